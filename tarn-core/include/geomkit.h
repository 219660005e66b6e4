#pragma once

#include "vec3.h"

// A line through `origin` along `direction` (any non-zero length).
struct Line {
  Vec3 origin;
  Vec3 direction;
};

// Every degeneracy test of the geometry uses this tolerance.
inline constexpr double GEOM_TOLERANCE = 1e-24;

// Closest points P1 on L1 and P2 on L2 of two infinite lines; the distance is written only
// when `distance` is not null.
void line_closest_points(const Line& l1, const Line& l2, Vec3& p1, Vec3& p2, float* distance);

// 1 when the closest points of the lines through a1-b1 and a2-b2 lie strictly inside both
// segments (and the midpoints are closer than the half-lengths summed); then `point` gets the
// midpoint of the closest points and `distance` (if not null) their distance. On 0 neither
// output is written. Both segments must have non-zero length.
int segment_contact(const Vec3& a1, const Vec3& b1, const Vec3& a2, const Vec3& b2, float* distance,
                    Vec3& point);

// A segment as the contact test derives it: stored midpoint, stored unit direction towards the
// second end, and half-length. Preparing each segment once lets an index test many pairs.
struct PreparedSegment {
  Vec3 mid;
  Vec3 dir;
  double half;
};

PreparedSegment prepare_segment(const Vec3& a, const Vec3& b);

// The same test as segment_contact, bit for bit, on prepared segments.
int prepared_contact(const PreparedSegment& s1, const PreparedSegment& s2, float* distance,
                     Vec3& point);
