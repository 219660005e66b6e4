#pragma once

#include <array>
#include <cmath>

#include "network.h"
#include "vec3.h"

// The minimum-image rule of the periodic box: a box centred on the origin, periodic along some
// or all of its axes. Every detector of the periodic box and the cluster analysis use these
// inline helpers, so that they shift fibers and wrap points with identical bits.

// The box's period along each axis: its side along a periodic axis, 0 along an open one.
using Periods = std::array<double, 3>;

inline bool any_periodic(const Periods& p) {
  return p[0] > 0 || p[1] > 0 || p[2] > 0;
}

// A fiber's midpoint exactly as the contact test stores it: the double sum halved, rounded once
// to float32.
inline Vec3 fiber_midpoint(const Fiber& f) {
  Vec3 m;
  for (int a = 0; a < 3; ++a) {
    m[a] = static_cast<float>((static_cast<double>(f.start[a]) + f.end[a]) * 0.5);
  }
  return m;
}

// The whole number of box sides that moves a point at `to` nearest to `from` along one axis,
// round((from - to) / box) in double. Halves round away from zero (std::round, independent of the
// rounding mode), so the shift of j towards i is minus that of i towards j. A half arises only
// when the midpoints lie half a box apart, too far for a contact in a valid box, so it never
// decides one. Along an open axis (box 0) there is no shift.
inline double image_shift(float from, float to, double box) {
  return box > 0 ? std::round((static_cast<double>(from) - to) / box) : 0.0;
}

// Fiber `f`, whose stored midpoint is `mid`, moved to its image nearest the midpoint `anchor`:
// along each axis both ends get the shift added in double and are stored as float32. An axis
// without shift keeps its coordinates bit for bit.
inline Fiber nearest_image(const Fiber& f, const Vec3& mid, const Vec3& anchor,
                           const Periods& periods) {
  Fiber image = f;
  for (int a = 0; a < 3; ++a) {
    const double shift = image_shift(anchor[a], mid[a], periods[a]) * periods[a];
    if (shift == 0) continue;
    image.start[a] = static_cast<float>(f.start[a] + shift);
    image.end[a] = static_cast<float>(f.end[a] + shift);
  }
  return image;
}

// A coordinate brought into the box, [-box/2, box/2): whole sides are subtracted in double, then
// the value is stored as float32. Rounding may carry a value onto the upper face, or just below
// the lower one; either becomes the lower face, float32(-box/2), so the interval holds exactly
// whenever box/2 is a float32 value (as it is for sides taken from float32 settings).
inline float wrap_coordinate(float x, double box) {
  const double half = box * 0.5;
  double w = x;
  if (w < -half || w >= half) w -= box * std::floor((w + half) / box);
  const float f = static_cast<float>(w);
  return f >= half || f < -half ? static_cast<float>(-half) : f;
}

// A point brought into the box along its periodic axes.
inline void wrap_point(Vec3& p, const Periods& periods) {
  for (int a = 0; a < 3; ++a) {
    if (periods[a] > 0) p[a] = wrap_coordinate(p[a], periods[a]);
  }
}

// The periodic box must be wide enough that a fiber never meets another fiber's image twice, nor
// its own image: side > 2 × length + diameter along every periodic axis.
inline bool periodic_box_valid(double box, double length, double diameter) {
  return box > 2 * length + diameter;
}
