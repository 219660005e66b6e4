#include "placement.h"

#include <algorithm>
#include <cmath>

#include "assert_stop.h"
#include "network.h"
#include "progress.h"
#include "random_draws.h"

namespace {

constexpr int32_t kReportEvery = 1 << 16;
constexpr int kBatch = 2048;  // draws
constexpr int32_t kNone = kBatch;

// Each fiber takes 3 draws for its centre, then 3 per direction attempt until one falls in the
// shell. The draws are made in batches, so that the generator runs in a tight loop, and the
// fibers are then read from the batch without a branch on each attempt. A batch never takes more
// draws than the fibers left certainly need (6 each), so the stream ends exactly after the last
// fiber.
struct Batch {
  double u[kBatch];       // the uniform draws
  float v[kBatch];        // 2u - 1 in float32: a direction component
  double square[kBatch];  // v^2, exact in double
  int32_t shell[kBatch];  // the first attempt from here on, in steps of 3, in the shell
  int count;

  // Draws up to `target` (at most kBatch) after the `kept` draws at the front.
  void fill(RandomStream& stream, int kept, int target) {
    for (int t = kept; t < target; ++t) {
      u[t] = random_draws::uniform(stream);
      v[t] = static_cast<float>(2.0 * u[t] - 1.0);
      square[t] = static_cast<double>(v[t]) * v[t];
    }
    count = target;
    // From the back, keeping the answers for t + 1, t + 2 and t + 3 in registers.
    int32_t next1 = kNone, next2 = kNone, next3 = kNone;
    for (int t = count - 1; t >= 0; --t) {
      const bool whole = t + 3 <= count;
      const double r2 = whole ? square[t] + square[t + 1] + square[t + 2] : 0;
      // A select without a branch: which attempts land in the shell is random.
      const int32_t in = -static_cast<int32_t>((r2 > random_draws::kShellInner) & (r2 < 1.0));
      const int32_t here = (t & in) | (next3 & ~in);
      shell[t] = here;
      next3 = next2;
      next2 = next1;
      next1 = here;
    }
  }

  // Keeps the draws of the fiber begun at `from` for the next batch: its centre and the part of
  // an attempt at the end (its whole attempts were all outside the shell, so a batch always has
  // room to go on). Returns how many.
  int keep_fiber_from(int from) {
    int kept = 0;
    const auto keep = [&](int begin, int end) {
      for (int t = begin; t < end; ++t, ++kept) {
        u[kept] = u[t];
        v[kept] = v[t];
        square[kept] = square[t];
      }
    };
    if (count - from <= 3) {
      keep(from, count);
    } else {
      keep(from, from + 3);
      keep(from + 3 + (count - from - 3) / 3 * 3, count);
    }
    return kept;
  }
};

}  // namespace

void place_fibers() {
  ALWAYS_ASSERT(num_fibers <= network.fibers.size());
  place_fibers_into(network.fibers.data(), num_fibers, fiber_len, network.stream);
}

void place_fibers_into(Fiber* out, int32_t count, float length, RandomStream& stream) {
  Progress progress("placement", count);
  const double h = length * 0.5f;
  // Centres are uniform in the box, drawn x, then y, then z; the default box is the cube of side
  // 2e-6 around the origin.
  double lo[3], span[3];
  for (int k = 0; k < 3; ++k) {
    lo[k] = box_min[k];
    span[k] = box_max[k] - box_min[k];  // the float32 difference
  }
  RandomStream local = stream;  // kept in registers
  Batch batch;                  // 48 KB
  int kept = 0;
  int32_t i = 0;
  while (i < count) {
    // The fiber begun in the kept draws needs at least 6 in all.
    const int64_t needed = 6 * int64_t{count - i};
    batch.fill(local, kept, static_cast<int>(std::min<int64_t>(kBatch, needed)));
    int pos = 0;
    for (; i < count && pos + 6 <= batch.count; ++i) {
      const int32_t d = batch.shell[pos + 3];
      if (d == kNone) break;
      const double r2 = batch.square[d] + batch.square[d + 1] + batch.square[d + 2];
      const float len = static_cast<float>(std::sqrt(r2));
      const double inv = 1.0 / len;
      Fiber& f = out[i];
      for (int k = 0; k < 3; ++k) {
        const float p = static_cast<float>(lo[k] + batch.u[pos + k] * span[k]);
        const float dir = static_cast<float>(batch.v[d + k] * inv);
        const double offset = h * dir;
        f.start[k] = static_cast<float>(p - offset);
        f.end[k] = static_cast<float>(p + offset);
      }
      pos = d + 3;
      if ((i + 1) % kReportEvery == 0) progress.add(kReportEvery);
    }
    kept = batch.keep_fiber_from(pos);
  }
  stream = local;
}
