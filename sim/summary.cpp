#include "summary.h"

#include <cstdio>

#include "network.h"

double volume_fraction() {
  const double wx = static_cast<double>(box_max[0]) - box_min[0];
  const double wy = static_cast<double>(box_max[1]) - box_min[1];
  const double wz = static_cast<double>(box_max[2]) - box_min[2];
  const double d = fiber_diameter;
  const double quarter_pi = 0.7853981633974483;
  // The fiber volume is a stored float32, formed in this order.
  const float fiber_volume = static_cast<float>(num_fibers * d * d * fiber_len * quarter_pi);
  return fiber_volume / (wx * wy * wz);
}

void print_summary() {
  std::printf("num_fibers %i;length %g;diameter %g;vf %g;number of contacts %i\n", num_fibers,
              static_cast<double>(fiber_len), static_cast<double>(fiber_diameter),
              volume_fraction(), network.num_contacts);
}
