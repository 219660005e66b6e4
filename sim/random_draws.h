#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

#include "random_stream.h"

// The stream's draws as inline code for loops that take many of them: working on a local copy
// of the stream, the compiler keeps its state in registers. random_stream.cpp defines the public
// operations with these, so both give the same numbers.
namespace random_draws {

struct Generator {
  int32_t m, a, q, r;
};
inline constexpr Generator kFirst{2147483563, 40014, 53668, 12211};
inline constexpr Generator kSecond{2147483399, 40692, 52774, 3791};
inline constexpr int32_t kTop = 2147483562;             // m1 - 1
inline constexpr int32_t kSlotDivisor = 1 + kTop / 32;  // 2^26 - 2
// The float32 nearest 1/2147483563, which is exactly 2^-31.
inline constexpr double kScale = static_cast<float>(1.0 / 2147483563.0);
// 0.8 * 0.8 computed in float32: one ulp above the float nearest 0.64.
inline constexpr double kShellInner = std::bit_cast<float>(0x3F23D70Bu);

// Schrage's method: a * s mod m without leaving 32 bits. The seeding starts the generators from
// a negative state, where its result is what the stream is defined by.
inline void schrage_step(int32_t& s, const Generator& g) {
  const int32_t k = s / g.q;
  s = g.a * (s - k * g.q) - k * g.r;
  if (s < 0) s += g.m;
}

// The same as schrage_step, with half the multiplications. For 0 <= s < m, Schrage's result is
// a * s mod m, and here m = 2^31 - c: the product, below 2^47, is reduced by 2^31 = c (mod m),
// which leaves less than 2m. Every other state, as only the seeding makes, takes Schrage's way.
inline void step(int32_t& s, const Generator& g) {
  const auto v = static_cast<uint32_t>(s);
  if (v >= static_cast<uint32_t>(g.m)) [[unlikely]] {
    schrage_step(s, g);
    return;
  }
  const uint64_t product = uint64_t{static_cast<uint32_t>(g.a)} * v;
  const uint64_t c = (uint64_t{1} << 31) - static_cast<uint32_t>(g.m);
  uint64_t reduced = (product & 0x7fffffff) + (product >> 31) * c;
  if (reduced >= static_cast<uint64_t>(g.m)) reduced -= g.m;
  s = static_cast<int32_t>(reduced);
}

// last / kSlotDivisor for last in [0, 2^31), with shifts instead of a multiply: a draw's latency
// is its chain through `last`. With last = j (2^26 - 2) + r, r < 2^26 - 2, and q = last >> 26 in
// {j - 1, j}: last + 2 q + 2 lies in [j 2^26, (j + 1) 2^26).
inline int32_t slot(int32_t last) {
  static_assert(kSlotDivisor == (1 << 26) - 2);
  const uint32_t v = static_cast<uint32_t>(last);
  return static_cast<int32_t>((v + 2 * (v >> 26) + 2) >> 26);
}

// a^n mod m: n steps of a generator taken at once.
constexpr uint32_t power_mod(const Generator& g, int n) {
  uint64_t r = 1;
  for (int k = 0; k < n; ++k) r = r * static_cast<uint32_t>(g.a) % static_cast<uint32_t>(g.m);
  return static_cast<uint32_t>(r);
}

// For 0 <= s < m and any multiplier b < m: b * s mod m. The product, below 2^62, is reduced
// twice by 2^31 = c (mod m), which leaves less than 2m. With b = power_mod(g, n) this is n steps.
inline uint32_t multiply_mod(uint32_t b, uint32_t s, const Generator& g) {
  const uint64_t c = (uint64_t{1} << 31) - static_cast<uint32_t>(g.m);
  uint64_t r = uint64_t{b} * s;
  r = (r & 0x7fffffff) + (r >> 31) * c;
  r = (r & 0x7fffffff) + (r >> 31) * c;
  return static_cast<uint32_t>(r >= static_cast<uint32_t>(g.m) ? r - static_cast<uint32_t>(g.m)
                                                               : r);
}

inline int32_t next(RandomStream& s) {
  step(s.state1, kFirst);
  step(s.state2, kSecond);
  const int32_t j = slot(s.last);
  s.last = s.shuffle[j] - s.state2;
  s.shuffle[j] = s.state1;
  if (s.last < 1) s.last += kTop;
  return s.last;
}

// The uniform number at full precision, in (0, 1).
inline double uniform(RandomStream& s) {
  return next(s) * kScale;
}

inline double range(RandomStream& s, float lo, float hi) {
  const float span = hi - lo;  // float32 difference of the two ends
  return lo + uniform(s) * span;
}

inline Vec3 direction(RandomStream& s) {
  for (;;) {
    const float vx = static_cast<float>(2.0 * uniform(s) - 1.0);
    const float vy = static_cast<float>(2.0 * uniform(s) - 1.0);
    const float vz = static_cast<float>(2.0 * uniform(s) - 1.0);
    const double r2 =
        static_cast<double>(vx) * vx + static_cast<double>(vy) * vy + static_cast<double>(vz) * vz;
    if (!(r2 > kShellInner && r2 < 1.0)) continue;
    const float len = static_cast<float>(std::sqrt(r2));
    const double inv = 1.0 / len;
    return {static_cast<float>(vx * inv), static_cast<float>(vy * inv),
            static_cast<float>(vz * inv)};
  }
}

}  // namespace random_draws
