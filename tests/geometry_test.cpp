#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "geomkit.h"

namespace {

constexpr float kNan = std::numeric_limits<float>::quiet_NaN();

struct Outcome {
  int result;
  float distance = kNan;
  Vec3 point{kNan, kNan, kNan};
};

// segment_contact, checked against the prepared form, which must agree bit for bit.
Outcome contact(const Vec3& a1, const Vec3& b1, const Vec3& a2, const Vec3& b2) {
  Outcome o, prepared;
  o.result = segment_contact(a1, b1, a2, b2, &o.distance, o.point);
  prepared.result = prepared_contact(prepare_segment(a1, b1), prepare_segment(a2, b2),
                                     &prepared.distance, prepared.point);
  EXPECT_EQ(prepared.result, o.result);
  if (o.result == 1 && prepared.result == 1) {
    EXPECT_EQ(prepared.distance, o.distance);
    EXPECT_EQ(prepared.point, o.point);
  }
  return o;
}

TEST(SegmentContact, IdenticalSegmentsMeetAtTheirCommonMidpoint) {
  const Vec3 a{1e-7f, -2e-7f, 3e-8f}, b{2e-7f, 1e-7f, -5e-8f};
  const Outcome o = contact(a, b, a, b);
  ASSERT_EQ(o.result, 1);
  EXPECT_EQ(o.distance, 0.0f);
  for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(o.point[k], (a[k] + b[k]) * 0.5f);
}

TEST(SegmentContact, ParallelSideBySideReportsTheirSeparation) {
  // Overlapping along their length, 1e-9 apart, second shifted along the axis.
  const Outcome o = contact({0, 0, 0}, {2e-7f, 0, 0}, {5e-8f, 1e-9f, 0}, {2.5e-7f, 1e-9f, 0});
  ASSERT_EQ(o.result, 1);
  EXPECT_NEAR(o.distance, 1e-9, 1e-15);
  // P1 is the first midpoint, P2 its foot on the second line: the point lies between them.
  EXPECT_FLOAT_EQ(o.point[0], 1e-7f);
  EXPECT_FLOAT_EQ(o.point[1], 5e-10f);
}

TEST(SegmentContact, ParallelFootOutsideTheOtherSegmentIsNoContact) {
  // Midpoints closer than h1 + h2, but segment 1's midpoint projects beyond segment 2's end.
  const Outcome o = contact({0, 0, 0}, {2e-7f, 0, 0}, {1.05e-7f, 1e-9f, 0}, {3.05e-7f, 1e-9f, 0});
  EXPECT_EQ(o.result, 0);
}

TEST(SegmentContact, TouchesAtEndsAreNeverReported) {
  // Collinear end to end: midpoints exactly h1 + h2 apart.
  EXPECT_EQ(contact({0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {2, 0, 0}).result, 0);
  // T junction: segment 1 ends on the middle of segment 2, so |P1 - m1|^2 = h1^2; swapped, the
  // end is P2. One step short of the end the closest point lies inside.
  EXPECT_EQ(contact({0, 0, 0}, {0, 1, 0}, {-1, 1, 0}, {1, 1, 0}).result, 0);
  EXPECT_EQ(contact({-1, 1, 0}, {1, 1, 0}, {0, 0, 0}, {0, 1, 0}).result, 0);
  const float short_of_end = std::nextafter(1.0f, 0.0f);
  EXPECT_EQ(contact({0, 0, 0}, {0, 1, 0}, {-1, short_of_end, 0}, {1, short_of_end, 0}).result, 1);
  EXPECT_EQ(contact({-1, short_of_end, 0}, {1, short_of_end, 0}, {0, 0, 0}, {0, 1, 0}).result, 1);
  // Lines cross beyond the end of segment 2.
  EXPECT_EQ(contact({-1, 0, 0}, {1, 0, 0}, {0.5f, 0.25f, 0.1f}, {0.5f, 2.25f, 0.1f}).result, 0);
}

TEST(SegmentContact, MidpointsExactlyTheHalfLengthsApartAreNoContact) {
  // Crossing at right angles 1.5 apart: the closest points are the midpoints, well inside both
  // segments, but the midpoints lie exactly h1 + h2 = 1 + 0.5 apart. Any nearer, it is a contact.
  EXPECT_EQ(contact({-1, 0, 0}, {1, 0, 0}, {0, -0.5f, 1.5f}, {0, 0.5f, 1.5f}).result, 0);
  const float nearer = std::nextafter(1.5f, 0.0f);
  const Outcome o = contact({-1, 0, 0}, {1, 0, 0}, {0, -0.5f, nearer}, {0, 0.5f, nearer});
  ASSERT_EQ(o.result, 1);
  EXPECT_EQ(o.distance, nearer);
}

TEST(SegmentContact, RightAngleCrossingThroughBothMidpoints) {
  const Outcome o = contact({-1e-7f, 0, 0}, {1e-7f, 0, 0}, {0, -1e-7f, 1e-9f}, {0, 1e-7f, 1e-9f});
  ASSERT_EQ(o.result, 1);
  EXPECT_FLOAT_EQ(o.distance, 1e-9f);
  EXPECT_NEAR(o.point[0], 0, 1e-20);
  EXPECT_NEAR(o.point[1], 0, 1e-20);
  EXPECT_FLOAT_EQ(o.point[2], 5e-10f);

  const Outcome flat = contact({-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0});
  ASSERT_EQ(flat.result, 1);
  EXPECT_EQ(flat.distance, 0.0f);
}

TEST(SegmentContact, FarMidpointsLeaveOutputsUntouched) {
  float distance = 42.0f;
  Vec3 point{7, 8, 9};
  EXPECT_EQ(segment_contact({0, 0, 0}, {1, 0, 0}, {0, 5, 0}, {1, 5, 1}, &distance, point), 0);
  EXPECT_EQ(distance, 42.0f);
  EXPECT_EQ(point, (Vec3{7, 8, 9}));
}

TEST(SegmentContact, DistanceIsOptional) {
  Vec3 point{};
  EXPECT_EQ(segment_contact({-1, 0, 0}, {1, 0, 0}, {0, -1, 0.5f}, {0, 1, 0.5f}, nullptr, point), 1);
  EXPECT_FLOAT_EQ(point[2], 0.25f);
}

// An independent formulation in which every stored value passes through a volatile float, so the
// compiler cannot keep an unrounded double in its place (GCC 12's SLP vectorizer did, once).
struct Reference {
  static float store(double v) {
    volatile float f = static_cast<float>(v);
    return f;
  }
  static double dot(const double* a, const double* b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
  }
  static void cross(const double* a, const double* b, double* out) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
  }

  static int contact(const Vec3& a1, const Vec3& b1, const Vec3& a2, const Vec3& b2, float& dist,
                     Vec3& point) {
    double m1[3], m2[3], d1[3], d2[3], s1[3], s2[3];
    for (int k = 0; k < 3; ++k) {
      m1[k] = store((static_cast<double>(a1[k]) + b1[k]) * 0.5);
      m2[k] = store((static_cast<double>(a2[k]) + b2[k]) * 0.5);
      s1[k] = static_cast<double>(b1[k]) - a1[k];
      s2[k] = static_cast<double>(b2[k]) - a2[k];
    }
    const double h1 = std::sqrt(dot(s1, s1)) * 0.5, h2 = std::sqrt(dot(s2, s2)) * 0.5;
    double gap[3] = {m2[0] - m1[0], m2[1] - m1[1], m2[2] - m1[2]};
    if (!(std::sqrt(dot(gap, gap)) < h1 + h2)) return 0;
    double e1[3], e2[3];
    for (int k = 0; k < 3; ++k) {
      e1[k] = b1[k] - m1[k];
      e2[k] = b2[k] - m2[k];
    }
    const double l1 = std::sqrt(dot(e1, e1)), l2 = std::sqrt(dot(e2, e2));
    for (int k = 0; k < 3; ++k) {
      d1[k] = store(e1[k] / l1);
      d2[k] = store(e2[k] / l2);
    }
    double n[3], p1[3], p2[3];
    cross(d1, d2, n);
    const double ell = store(std::sqrt(dot(n, n)));
    if (ell < 1e-24) {
      const double q = dot(d1, d1);
      const double s = (dot(m1, d1) - dot(m2, d1)) / q;
      double diff[3];
      for (int k = 0; k < 3; ++k) {
        p1[k] = m1[k];
        p2[k] = store(m2[k] + d1[k] * s);
        diff[k] = p2[k] - p1[k];
      }
      dist = store(std::sqrt(dot(diff, diff)));
    } else {
      double nu[3], w[3];
      for (int k = 0; k < 3; ++k) nu[k] = store(n[k] / ell);
      const double o = dot(nu, m1);
      dist = store(std::fabs(dot(nu, m2) - o));
      cross(d1, nu, w);
      const double t = (dot(w, m1) - dot(w, m2)) / dot(w, d2);
      for (int k = 0; k < 3; ++k) p2[k] = store(m2[k] + t * d2[k]);
      const double back = (o - dot(nu, p2)) / dot(nu, nu);
      for (int k = 0; k < 3; ++k) p1[k] = store(p2[k] + nu[k] * back);
    }
    double r1[3], r2[3];
    for (int k = 0; k < 3; ++k) {
      r1[k] = p1[k] - m1[k];
      r2[k] = p2[k] - m2[k];
    }
    if (dot(r1, r1) >= h1 * h1 || dot(r2, r2) >= h2 * h2) return 0;
    for (int k = 0; k < 3; ++k) point[k] = store((p1[k] + p2[k]) * 0.5);
    return 1;
  }
};

TEST(SegmentContact, RoundsExactlyTheStoredValues) {
  uint64_t state = 12345;
  auto next = [&state] {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(state >> 11) / 9007199254740992.0 * 2 - 1;
  };
  auto segment = [&next](Vec3& a, Vec3& b) {
    double d[3] = {next(), next(), next()};
    const double len = std::sqrt(Reference::dot(d, d));
    for (int k = 0; k < 3; ++k) {
      const double c = next() * 1e-7;
      a[k] = static_cast<float>(c - d[k] / len * 1e-7);
      b[k] = static_cast<float>(c + d[k] / len * 1e-7);
    }
  };
  int contacts = 0;
  for (int i = 0; i < 20000; ++i) {
    Vec3 a1, b1, a2, b2, point{}, ref_point{};
    segment(a1, b1);
    segment(a2, b2);
    float distance = 0, ref_distance = 0;
    const int got = segment_contact(a1, b1, a2, b2, &distance, point);
    ASSERT_EQ(got, Reference::contact(a1, b1, a2, b2, ref_distance, ref_point)) << i;
    if (!got) continue;
    ++contacts;
    ASSERT_EQ(distance, ref_distance) << i;
    ASSERT_EQ(point, ref_point) << i;
  }
  EXPECT_GT(contacts, 1000);
}

TEST(LineClosestPoints, SkewLinesGiveFeetOfTheCommonPerpendicular) {
  Vec3 p1, p2;
  float distance = -1;
  line_closest_points({{0, 0, 0}, {1, 0, 0}}, {{3, 5, 2}, {0, 2, 0}}, p1, p2, &distance);
  EXPECT_FLOAT_EQ(distance, 2.0f);
  EXPECT_EQ(p1, (Vec3{3, 0, 0}));
  EXPECT_EQ(p2, (Vec3{3, 0, 2}));
  // The distance output is optional.
  line_closest_points({{0, 0, 0}, {1, 0, 0}}, {{3, 5, 2}, {0, 2, 0}}, p1, p2, nullptr);
  EXPECT_EQ(p2, (Vec3{3, 0, 2}));
}

TEST(LineClosestPointsDeathTest, InconsistentPlaneCrossingStops) {
  // Directions whose cross product is just below the tolerance but rounds up to it as float32:
  // the lines count as skew, yet L2 barely crosses the plane and does not lie in it.
  const double mid = (std::nextafter(1e-24f, 0.0f) + static_cast<double>(1e-24f)) / 2;
  float d1x = 0, d2y = 0;
  for (float f = 3; f < 1000 && d2y == 0; f += 2) {
    for (float y = std::nextafter(static_cast<float>(1e-24 / f), 0.0f);
         y < static_cast<float>(1e-24 / f) * 1.0001f; y = std::nextafter(y, 1.0f)) {
      const double nz = static_cast<double>(f) * y;
      if (nz > mid && nz < 1e-24) {
        d1x = f;
        d2y = y;
        break;
      }
    }
  }
  ASSERT_NE(d2y, 0.0f);
  Vec3 p1, p2;
  EXPECT_DEATH(
      line_closest_points({{0, 0, 0}, {d1x, 0, 0}}, {{0, 1, 0}, {0, d2y, 0}}, p1, p2, nullptr),
      "Assertion failed: cross_guard, file \\.\\./\\.\\./tarn-core/include/\\.\\./source/"
      "geomkit, line 202");
  // The same directions with L2 inside the plane pass the check.
  line_closest_points({{0, 0, 0}, {d1x, 0, 0}}, {{0, 0, 1}, {0, d2y, 0}}, p1, p2, nullptr);
  EXPECT_EQ(p2, (Vec3{0, 0, 1}));
}

}  // namespace
