#include "summary.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "network.h"

double volume_fraction(int32_t count, float length, float diameter, const float lo[3],
                       const float hi[3]) {
  const double wx = static_cast<double>(hi[0]) - lo[0];
  const double wy = static_cast<double>(hi[1]) - lo[1];
  const double wz = static_cast<double>(hi[2]) - lo[2];
  const double d = diameter;
  const double quarter_pi = 0.7853981633974483;
  // The fiber volume is a stored float32, formed in this order.
  const float fiber_volume = static_cast<float>(count * d * d * length * quarter_pi);
  return fiber_volume / (wx * wy * wz);
}

double expected_volume_fraction(int32_t count, double mean_length, double mean_square_diameter,
                                const float lo[3], const float hi[3]) {
  double box = 1;
  for (int k = 0; k < 3; ++k) box *= static_cast<double>(hi[k]) - lo[k];
  return count * 0.7853981633974483 * mean_square_diameter * mean_length / box;
}

double fibers_volume_fraction(std::span<const Fiber> fibers, std::span<const float> diameters,
                              float diameter, const float lo[3], const float hi[3]) {
  double volume = 0;
  for (size_t i = 0; i < fibers.size(); ++i) {
    const double d = diameters.empty() ? diameter : diameters[i];
    volume += 0.7853981633974483 * d * d * std::sqrt(squared_length(fibers[i]));
  }
  double box = 1;
  for (int k = 0; k < 3; ++k) box *= static_cast<double>(hi[k]) - lo[k];
  return volume / box;
}

double volume_fraction() {
  return volume_fraction(num_fibers, fiber_len, fiber_diameter, box_min, box_max);
}

std::string format_summary(int32_t count, float length, float diameter, double fraction,
                           int32_t contacts) {
  char line[256];
  std::snprintf(line, sizeof line,
                "num_fibers %i;length %g;diameter %g;vf %g;number of contacts %i", count,
                static_cast<double>(length), static_cast<double>(diameter), fraction, contacts);
  return line;
}

void print_summary() {
  std::printf("%s\n", format_summary(num_fibers, fiber_len, fiber_diameter, volume_fraction(),
                                     network.num_contacts)
                          .c_str());
}
