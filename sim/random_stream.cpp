#include "random_stream.h"

#include <cmath>

#include "random_draws.h"

namespace {

constexpr int kWarmUp = 40;

void warm_up(RandomStream& s, int32_t start1, int32_t start2) {
  s.state2 = start2;
  s.state1 = start1;
  for (int j = kWarmUp - 1; j >= 0; --j) {
    random_draws::step(s.state1, random_draws::kFirst);
    if (j < 32) s.shuffle[j] = s.state1;
  }
  s.last = s.shuffle[0];
}

// A bijection of 32-bit values whose every output bit depends on every input bit, so that
// neighbouring seeds start the first generator far apart.
uint32_t scramble(uint32_t h) {
  h ^= h >> 16;
  h *= 0x85ebca6bu;
  h ^= h >> 13;
  h *= 0xc2b2ae35u;
  h ^= h >> 16;
  return h;
}

}  // namespace

void random_seed(RandomStream& s, int32_t seed) {
  // The warm-up starts from the negative value on purpose; the stream depends on it.
  const int32_t start = seed == 0 ? -1 : (seed < 0 ? seed : -seed);
  warm_up(s, start, start);
}

void random_seed_distinct(RandomStream& s, int32_t seed) {
  if (seed < 0) return random_seed(s, seed);
  // Both starts lie in [1, m - 1]: 0 would stick, and a negative start is random_seed's. The
  // second start alone is one-to-one below m2 - 1; the 250 seeds above it share their second
  // start with S - (m2 - 1), from which their first start differs (checked by the tests).
  const auto s1 = static_cast<uint32_t>(random_draws::kFirst.m - 1);
  const auto s2 = static_cast<uint32_t>(random_draws::kSecond.m - 1);
  const auto u = static_cast<uint32_t>(seed);
  warm_up(s, static_cast<int32_t>(1 + scramble(u) % s1), static_cast<int32_t>(1 + u % s2));
}

int32_t random_next(RandomStream& s) {
  return random_draws::next(s);
}

float random_uniform(RandomStream& s) {
  const float u = static_cast<float>(random_draws::uniform(s));
  return u > 1.0f ? 1.0f : u;
}

float random_range(RandomStream& s, float lo, float hi) {
  return static_cast<float>(random_draws::range(s, lo, hi));
}

Vec3 random_vector(RandomStream& s, float lo, float hi) {
  const float x = random_range(s, lo, hi);
  const float y = random_range(s, lo, hi);
  const float z = random_range(s, lo, hi);
  return {x, y, z};
}

Vec3 random_direction(RandomStream& s) {
  return random_draws::direction(s);
}

std::array<float, 2> random_gaussian_pair(RandomStream& s) {
  double x, y, r2;
  do {
    x = 2.0 * random_draws::uniform(s) - 1.0;
    y = 2.0 * random_draws::uniform(s) - 1.0;
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
