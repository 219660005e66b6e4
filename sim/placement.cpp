#include "placement.h"

#include "network.h"

void place_fibers() {
  const float h = fiber_len * 0.5f;
  for (int32_t i = 0; i < num_fibers; ++i) {
    const Vec3 p = random_vector(network.stream, box_min[0], box_max[0]);
    const Vec3 d = random_direction(network.stream);
    Fiber& f = network.fibers[i];
    for (int k = 0; k < 3; ++k) {
      const double offset = static_cast<double>(h) * d[k];
      f.start[k] = static_cast<float>(p[k] - offset);
      f.end[k] = static_cast<float>(p[k] + offset);
    }
  }
}
