#include "random_stream.h"

#include <bit>
#include <cmath>

namespace {

struct Generator {
  int32_t m, a, q, r;
};
constexpr Generator kFirst{2147483563, 40014, 53668, 12211};
constexpr Generator kSecond{2147483399, 40692, 52774, 3791};
constexpr int32_t kTop = 2147483562;  // m1 - 1
constexpr int32_t kSlotDivisor = 1 + kTop / 32;
constexpr int kWarmUp = 40;
// The float32 nearest 1/2147483563, which is exactly 2^-31.
constexpr double kScale = static_cast<float>(1.0 / 2147483563.0);
// 0.8 * 0.8 computed in float32: one ulp above the float nearest 0.64.
constexpr double kShellInner = std::bit_cast<float>(0x3F23D70Bu);

// Schrage's method: a * s mod m without leaving 32 bits.
void step(int32_t& s, const Generator& g) {
  const int32_t k = s / g.q;
  s = g.a * (s - k * g.q) - k * g.r;
  if (s < 0) s += g.m;
}

// The uniform number at full precision, in (0, 1).
double uniform_exact(RandomStream& s) {
  return random_next(s) * kScale;
}

double range_exact(RandomStream& s, float lo, float hi) {
  const float span = hi - lo;  // float32 difference of the two ends
  return lo + uniform_exact(s) * span;
}

}  // namespace

void random_seed(RandomStream& s, int32_t seed) {
  // The warm-up starts from the negative value on purpose; the stream depends on it.
  const int32_t start = seed == 0 ? -1 : (seed < 0 ? seed : -seed);
  s.state2 = start;
  s.state1 = start;
  for (int j = kWarmUp - 1; j >= 0; --j) {
    step(s.state1, kFirst);
    if (j < 32) s.shuffle[j] = s.state1;
  }
  s.last = s.shuffle[0];
}

int32_t random_next(RandomStream& s) {
  step(s.state1, kFirst);
  step(s.state2, kSecond);
  const int32_t j = s.last / kSlotDivisor;
  s.last = s.shuffle[j] - s.state2;
  s.shuffle[j] = s.state1;
  if (s.last < 1) s.last += kTop;
  return s.last;
}

float random_uniform(RandomStream& s) {
  const float u = static_cast<float>(uniform_exact(s));
  return u > 1.0f ? 1.0f : u;
}

float random_range(RandomStream& s, float lo, float hi) {
  return static_cast<float>(range_exact(s, lo, hi));
}

Vec3 random_vector(RandomStream& s, float lo, float hi) {
  const float x = random_range(s, lo, hi);
  const float y = random_range(s, lo, hi);
  const float z = random_range(s, lo, hi);
  return {x, y, z};
}

Vec3 random_direction(RandomStream& s) {
  for (;;) {
    const float vx = static_cast<float>(2.0 * uniform_exact(s) - 1.0);
    const float vy = static_cast<float>(2.0 * uniform_exact(s) - 1.0);
    const float vz = static_cast<float>(2.0 * uniform_exact(s) - 1.0);
    const double r2 =
        static_cast<double>(vx) * vx + static_cast<double>(vy) * vy + static_cast<double>(vz) * vz;
    if (!(r2 > kShellInner && r2 < 1.0)) continue;
    const float len = static_cast<float>(std::sqrt(r2));
    const double inv = 1.0 / len;
    return {static_cast<float>(vx * inv), static_cast<float>(vy * inv),
            static_cast<float>(vz * inv)};
  }
}

std::array<float, 2> random_gaussian_pair(RandomStream& s) {
  double x, y, r2;
  do {
    x = 2.0 * uniform_exact(s) - 1.0;
    y = 2.0 * uniform_exact(s) - 1.0;
    r2 = x * x + y * y;
  } while (std::fabs(r2) < 1e-24 || r2 >= 1.0);
  const double f = static_cast<float>(std::sqrt(-2.0 * std::log(r2) / r2));
  return {static_cast<float>(x * f), static_cast<float>(y * f)};
}

float random_gaussian(RandomStream& s, float mean, float deviation) {
  const std::array<float, 2> g = random_gaussian_pair(s);
  return static_cast<float>(mean + static_cast<double>(deviation) * g[0]);
}

std::array<float, 2> random_gaussian_pair_scaled(RandomStream& s, float mean, float deviation) {
  const std::array<float, 2> g = random_gaussian_pair(s);
  return {static_cast<float>(mean + static_cast<double>(deviation) * g[0]),
          static_cast<float>(mean + static_cast<double>(deviation) * g[1])};
}
