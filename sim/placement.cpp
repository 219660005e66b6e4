#include "placement.h"

#include "assert_stop.h"
#include "network.h"
#include "progress.h"
#include "random_draws.h"

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
  const float lo[3] = {box_min[0], box_min[1], box_min[2]};
  const float hi[3] = {box_max[0], box_max[1], box_max[2]};
  RandomStream local = stream;  // kept in registers
  for (int32_t i = 0; i < count; ++i) {
    // Centres are uniform in the box, drawn x, then y, then z; the default box is the cube
    // of side 2e-6 around the origin.
    Vec3 p;
    for (int k = 0; k < 3; ++k) p[k] = static_cast<float>(random_draws::range(local, lo[k], hi[k]));
    const Vec3 d = random_draws::direction(local);
    Fiber& f = out[i];
    for (int k = 0; k < 3; ++k) {
      const double offset = static_cast<double>(h) * d[k];
      f.start[k] = static_cast<float>(p[k] - offset);
      f.end[k] = static_cast<float>(p[k] + offset);
    }
    if ((i + 1) % kReportEvery == 0) progress.add(kReportEvery);
  }
  stream = local;
}
