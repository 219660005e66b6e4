#include "geomkit.h"

#include <cmath>

#include "assert_stop.h"

// Every intermediate is double; only the unit normal, the unit directions, the midpoints and the
// outputs are rounded to float32. The exact sequence of roundings decides contact counts.

namespace {

// The file name and line that the consistency stop prints are part of the output format: fixed
// strings, the same in every build and unchanged when this file is edited.
constexpr const char* kGuardFile = "../../tarn-core/include/../source/geomkit";
constexpr int kGuardLine = 202;

struct Dvec {
  double x, y, z;
};

Dvec widen(const Vec3& v) {
  return {v[0], v[1], v[2]};
}
Vec3 to_float(const Dvec& v) {
  return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}
Dvec sub(const Dvec& a, const Dvec& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Dvec add_scaled(const Dvec& p, const Dvec& d, double s) {
  return {p.x + d.x * s, p.y + d.y * s, p.z + d.z * s};
}
double dot(const Dvec& a, const Dvec& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
Dvec cross(const Dvec& a, const Dvec& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double norm(const Dvec& a) {
  return std::sqrt(dot(a, a));
}

// Midpoint of two stored points, itself stored.
Vec3 midpoint(const Vec3& a, const Vec3& b) {
  const Dvec da = widen(a), db = widen(b);
  return to_float({(da.x + db.x) * 0.5, (da.y + db.y) * 0.5, (da.z + db.z) * 0.5});
}

// Line from a point towards another, its direction made unit and stored.
Line line_towards(const Vec3& origin, const Vec3& through) {
  const Dvec d = sub(widen(through), widen(origin));
  const double len = norm(d);
  return {origin, to_float({d.x / len, d.y / len, d.z / len})};
}

// True when a and b lie closer than `radius`.
bool closer_than(const Vec3& a, const Vec3& b, double radius) {
  return norm(sub(widen(b), widen(a))) < radius;
}

}  // namespace

void line_closest_points(const Line& l1, const Line& l2, Vec3& out1, Vec3& out2, float* distance) {
  const Dvec p1 = widen(l1.origin), d1 = widen(l1.direction);
  const Dvec p2 = widen(l2.origin), d2 = widen(l2.direction);

  const Dvec n = cross(d1, d2);
  const float ell = static_cast<float>(norm(n));

  if (ell < GEOM_TOLERANCE) {
    // Parallel: P1 is L1's origin, P2 its foot on L2 taken along d1.
    out1 = l1.origin;
    const double q = dot(d1, d1);
    out2 = q >= GEOM_TOLERANCE ? to_float(add_scaled(p2, d1, (dot(p1, d1) - dot(p2, d1)) / q))
                               : l2.origin;
    if (distance) *distance = static_cast<float>(norm(sub(widen(out2), widen(out1))));
    return;
  }

  // Plane through L1 parallel to L2: unit normal nu (stored) and offset o.
  const Dvec nu = widen(to_float({n.x / ell, n.y / ell, n.z / ell}));
  const double o = dot(nu, p1);
  if (distance) *distance = static_cast<float>(std::fabs(dot(nu, p2) - o));

  // Plane containing L1 and the common normal; L2 crosses it at P2.
  const Dvec w = cross(d1, nu);
  const double v = dot(w, p1);
  const double big_w = dot(w, d2);
  if (std::fabs(big_w) >= GEOM_TOLERANCE) {
    out2 = to_float(add_scaled(p2, d2, (v - dot(w, p2)) / big_w));
  } else {
    out2 = l2.origin;
    const bool cross_guard = std::fabs(dot(w, p2) - v) < GEOM_TOLERANCE;
    if (!cross_guard) assertion_stop("cross_guard", kGuardFile, kGuardLine);
  }

  // P1: P2 projected onto the plane through L1 with normal nu.
  const Dvec q2 = widen(out2);
  const double nu2 = dot(nu, nu);
  out1 = nu2 < GEOM_TOLERANCE ? out2 : to_float(add_scaled(q2, nu, (o - dot(nu, q2)) / nu2));
}

PreparedSegment prepare_segment(const Vec3& a, const Vec3& b) {
  const Vec3 m = midpoint(a, b);
  return {m, line_towards(m, b).direction, norm(sub(widen(b), widen(a))) * 0.5};
}

namespace {

// The part of the contact test after the midpoint rejection, shared by both entry points so that
// they agree bit for bit.
int contact_of_lines(const Line& l1, double h1, const Line& l2, double h2, float* distance,
                     Vec3& point) {
  Vec3 p1, p2;
  float dist;
  line_closest_points(l1, l2, p1, p2, &dist);

  // Both closest points strictly inside their segments; never moved onto an end.
  const Dvec e1 = sub(widen(p1), widen(l1.origin)), e2 = sub(widen(p2), widen(l2.origin));
  if (dot(e1, e1) >= h1 * h1 || dot(e2, e2) >= h2 * h2) return 0;

  if (distance) *distance = dist;
  point = midpoint(p1, p2);
  return 1;
}

}  // namespace

int segment_contact(const Vec3& a1, const Vec3& b1, const Vec3& a2, const Vec3& b2, float* distance,
                    Vec3& point) {
  const Vec3 m1 = midpoint(a1, b1);
  const Vec3 m2 = midpoint(a2, b2);
  const double h1 = norm(sub(widen(b1), widen(a1))) * 0.5;
  const double h2 = norm(sub(widen(b2), widen(a2))) * 0.5;

  // Cheap rejection first: this runs for every candidate pair.
  if (!closer_than(m1, m2, h1 + h2)) return 0;

  return contact_of_lines(line_towards(m1, b1), h1, line_towards(m2, b2), h2, distance, point);
}

int prepared_contact(const PreparedSegment& s1, const PreparedSegment& s2, float* distance,
                     Vec3& point) {
  if (!closer_than(s1.mid, s2.mid, s1.half + s2.half)) return 0;
  return contact_of_lines({s1.mid, s1.dir}, s1.half, {s2.mid, s2.dir}, s2.half, distance, point);
}
