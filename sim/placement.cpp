#include "placement.h"

#include "network.h"

namespace {
// The placement cube is fixed; it does not follow box_min/box_max.
constexpr float kCubeLo = -1e-6f;
constexpr float kCubeHi = 1e-6f;
}  // namespace

void place_fibers() {
  const float h = fiber_len * 0.5f;
  for (int32_t i = 0; i < num_fibers; ++i) {
    const Vec3 p = random_vector(network.stream, kCubeLo, kCubeHi);
    const Vec3 d = random_direction(network.stream);
    Fiber& f = network.fibers[i];
    for (int k = 0; k < 3; ++k) {
      const double offset = static_cast<double>(h) * d[k];
      f.start[k] = static_cast<float>(p[k] - offset);
      f.end[k] = static_cast<float>(p[k] + offset);
    }
  }
}
