#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "contacts_exact.h"
#include "contacts_filter.h"
#include "network.h"
#include "placement.h"
#include "sim_settings_guard.h"

// The batched exact test must give what prepared_contact gives, bit for bit, in both versions.

namespace {

bool same_bits(float a, float b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// prepared_contact on each candidate, the pair in index order, as the plain loop runs it.
std::vector<Touch> expected_touches(const ContactGrid& g, int32_t ea,
                                    const std::vector<int32_t>& near, float limit) {
  const PreparedSegment a = g.segment(ea);
  std::vector<Touch> want;
  for (const int32_t e : near) {
    Touch t{e, 0, {}};
    const bool touch = g.index[ea] < g.index[e]
                           ? prepared_contact(a, g.segment(e), &t.distance, t.point)
                           : prepared_contact(g.segment(e), a, &t.distance, t.point);
    if (touch && !(t.distance > limit)) want.push_back(t);
  }
  return want;
}

void expect_same(const std::vector<Touch>& want, const std::vector<Touch>& got, int count) {
  ASSERT_EQ(count, static_cast<int>(want.size()));
  for (int k = 0; k < count; ++k) {
    ASSERT_EQ(got[k].entry, want[k].entry) << k;
    ASSERT_TRUE(same_bits(got[k].distance, want[k].distance)) << k;
    for (int c = 0; c < 3; ++c) ASSERT_TRUE(same_bits(got[k].point[c], want[k].point[c])) << k;
  }
}

TEST(ExactContacts, BothVersionsGiveThePreparedTestBitForBit) {
  SimSettingsGuard guard;
  // Dense enough that about one pair in a hundred touches within the limit.
  const float side = 2e-7f;
  for (int k = 0; k < 3; ++k) box_min[k] = -side, box_max[k] = side;
  num_fibers = 400;
  fiber_len = 2e-7f;
  random_seed(network.stream, -7);
  place_fibers();
  Fiber* f = network.fibers.data();
  // Every third fiber shorter, so that the pair's two half-lengths differ.
  for (int32_t i = 3; i < num_fibers; i += 3) {
    for (int k = 0; k < 3; ++k) f[i].end[k] = (f[i].start[k] + f[i].end[k]) / 2;
  }
  // Parallel axes take the test's degenerate branch: a copy, and a copy moved sideways.
  f[1] = f[0];
  f[2] = f[0];
  for (Vec3* end : {&f[2].start, &f[2].end}) (*end)[1] += 1e-9f;
  ContactGrid g;
  build_contact_grid(g, f, num_fibers, 1);

  const float limit = 2e-8f;
  int boundaries = 0;
  for (bool wide : {false, true}) {
    if (wide && !wide_filter_available()) continue;
    use_wide_filter(wide);
    SCOPED_TRACE(wide ? "AVX2" : "SSE2");
    size_t touching = 0;
    for (int32_t ea = 0; ea < num_fibers; ++ea) {
      // Every other entry, a count that leaves 0 to 3 lanes over, then padding.
      std::vector<int32_t> near;
      for (int32_t e = 0; e < num_fibers; ++e) {
        if (e != ea && (e + ea) % 5 != 0) near.push_back(e);
      }
      const int count = static_cast<int>(near.size());
      const std::vector<Touch> want = expected_touches(g, ea, near, limit);
      near.insert(near.end(), 3, ea);
      std::vector<Touch> got(count);
      const PreparedSegment a = g.segment(ea);
      const int32_t i = g.index[ea];
      const int n = exact_contacts(g, a, i, near.data(), count, limit, got.data());
      SCOPED_TRACE(ea);
      expect_same(want, got, n);
      touching += want.size();

      // A pair exactly at the limit is kept; one rounding step below it, dropped.
      if (want.empty() || want[0].distance == 0) continue;
      const int32_t one[4] = {want[0].entry, ea, ea, ea};
      const float d = want[0].distance;
      EXPECT_EQ(exact_contacts(g, a, i, one, 1, d, got.data()), 1);
      EXPECT_EQ(exact_contacts(g, a, i, one, 1, std::nextafter(d, 0.0f), got.data()), 0);
      ++boundaries;
    }
    EXPECT_GT(touching, 1000u);
  }
  EXPECT_GT(boundaries, 100);
  use_wide_filter(true);
}

}  // namespace
