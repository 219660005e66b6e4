#pragma once

#include <bit>
#include <cstdint>

// Neighbouring float32 values, and double bounds rounded to float32 in a chosen direction, so
// that a float32 comparison decides exactly as the double one would.

// The float32 just above a finite f: one more step of the bit pattern away from zero when
// positive, towards it when negative (-0 is taken as +0). No branch: the cursors that use these
// take a fresh bound for every fiber, with signs that change at random.
inline float next_up(float f) {
  const auto bits = std::bit_cast<int32_t>(f + 0.0f);
  return std::bit_cast<float>(bits + 1 - ((bits >> 31) & 2));
}

// The float32 just below a finite f.
inline float next_down(float f) {
  return -next_up(-f);
}

// The largest float32 not above v, the largest below it and the smallest not below it.
inline float float_at_most(double v) {
  const float f = static_cast<float>(v), down = next_down(f);
  return static_cast<double>(f) > v ? down : f;
}
inline float float_below(double v) {
  const float f = float_at_most(v), down = next_down(f);
  return static_cast<double>(f) < v ? f : down;
}
inline float float_at_least(double v) {
  const float f = static_cast<float>(v), up = next_up(f);
  return static_cast<double>(f) < v ? up : f;
}
