#pragma once

#include <bit>
#include <cstdint>
#include <limits>

// Neighbouring float32 values, and double bounds rounded to float32 in a chosen direction, so
// that a float32 comparison decides exactly as the double one would.

// The float32 just below a finite f.
inline float next_down(float f) {
  const auto bits = std::bit_cast<uint32_t>(f);
  if (f > 0) return std::bit_cast<float>(bits - 1);
  return f == 0 ? -std::numeric_limits<float>::denorm_min() : std::bit_cast<float>(bits + 1);
}

// The float32 just above a finite f.
inline float next_up(float f) {
  return -next_down(-f);
}

// The largest float32 not above v, the largest below it and the smallest not below it.
inline float float_at_most(double v) {
  const float f = static_cast<float>(v);
  return static_cast<double>(f) > v ? next_down(f) : f;
}
inline float float_below(double v) {
  const float f = float_at_most(v);
  return static_cast<double>(f) < v ? f : next_down(f);
}
inline float float_at_least(double v) {
  const float f = static_cast<float>(v);
  return static_cast<double>(f) < v ? next_up(f) : f;
}
