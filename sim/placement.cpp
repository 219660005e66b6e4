#include "placement.h"

#include "assert_stop.h"
#include "network.h"
#include "progress.h"

namespace {
constexpr int32_t kReportEvery = 1 << 16;
}  // namespace

void place_fibers() {
  ALWAYS_ASSERT(num_fibers <= network.fibers.size());
  place_fibers_into(network.fibers.data(), num_fibers, fiber_len, network.stream);
}

void place_fibers_into(Fiber* out, int32_t count, float length, RandomStream& stream) {
  Progress progress("placement", count);
  const float h = length * 0.5f;
  for (int32_t i = 0; i < count; ++i) {
    // Centres are uniform in the box, drawn x, then y, then z; the default box is the cube
    // of side 2e-6 around the origin.
    Vec3 p;
    for (int k = 0; k < 3; ++k) p[k] = random_range(stream, box_min[k], box_max[k]);
    const Vec3 d = random_direction(stream);
    Fiber& f = out[i];
    for (int k = 0; k < 3; ++k) {
      const double offset = static_cast<double>(h) * d[k];
      f.start[k] = static_cast<float>(p[k] - offset);
      f.end[k] = static_cast<float>(p[k] + offset);
    }
    if ((i + 1) % kReportEvery == 0) progress.add(kReportEvery);
  }
}
