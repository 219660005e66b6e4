#include "analysis/theory.h"

double theory_contacts(int64_t count, double length, double diameter, double volume) {
  const double pi = 3.141592653589793;
  const double n = static_cast<double>(count);
  return n * (n - 1) / 2 * (pi * diameter * length * length / (2 * volume));
}

double theory_contacts(int64_t count, double mean_length, double diameter, double volume,
                       double mean_abs_sine) {
  const double n = static_cast<double>(count);
  return n * (n - 1) / 2 * (2 * diameter * mean_length * mean_length * mean_abs_sine / volume);
}
