#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "contacts_grid.h"
#include "float_steps.h"
#include "network.h"
#include "placement.h"
#include "sim_settings_guard.h"

// The grid's rows and the float32 bounds its cursors compare against: the scan is exact only if
// every row holds its fibers in x order and the bounds never round the wrong way.

namespace {

TEST(FloatSteps, NeighboursAndBoundsRoundTheNamedWay) {
  const float inf = std::numeric_limits<float>::infinity();
  for (float f :
       {0.0f, -0.0f, 1.0f, -1.0f, 1e-7f, -1e-7f, 2e-6f, -2e-6f, 1e-45f, -1e-45f, 3e38f, -3e38f}) {
    EXPECT_EQ(next_down(f), std::nextafter(f, -inf)) << f;
    EXPECT_EQ(next_up(f), std::nextafter(f, inf)) << f;
  }
  for (double v : {0.0, 1.0, -1.0, 0.1, -0.1, 1e-7 + 1e-20, -1e-7 - 1e-20, 2e-6, -2e-6, 1.0 + 1e-12,
                   -1.0 - 1e-12, 1e-46, -1e-46}) {
    const float most = float_at_most(v), below = float_below(v), least = float_at_least(v);
    EXPECT_LE(most, v) << v;
    EXPECT_GT(static_cast<double>(next_up(most)), v) << v;
    EXPECT_LT(below, v) << v;
    EXPECT_GE(static_cast<double>(next_up(below)), v) << v;
    EXPECT_GE(least, v) << v;
    EXPECT_LT(static_cast<double>(next_down(least)), v) << v;
  }
}

void expect_rows_hold_every_fiber_in_x_order(const Fiber* fibers, int32_t count, int threads) {
  ContactGrid g;
  build_contact_grid(g, fibers, count, threads);
  EXPECT_GE(g.width, g.reach);
  const int rows = g.rows();
  ASSERT_EQ(g.row_start.size(), static_cast<size_t>(rows) + 1);
  EXPECT_EQ(g.row_start[0], 0);
  EXPECT_EQ(g.row_start[rows], count);
  std::vector<int> seen(count, 0);
  for (int r = 0; r < rows; ++r) {
    ASSERT_LE(g.row_start[r], g.row_start[r + 1]);
    for (int32_t e = g.row_start[r]; e < g.row_start[r + 1]; ++e) {
      const int32_t i = g.index[e];
      ASSERT_GE(i, 0);
      ASSERT_LT(i, count);
      ++seen[i];
      ASSERT_EQ(g.row(g.coord(g.y[e], 1), g.coord(g.z[e], 2)), r) << "entry " << e;
      const PreparedSegment want = prepare_segment(fibers[i].start, fibers[i].end);
      const PreparedSegment got = g.segment(e);
      ASSERT_EQ(std::memcmp(&want.mid, &got.mid, sizeof want.mid), 0) << "fiber " << i;
      ASSERT_EQ(std::memcmp(&want.dir, &got.dir, sizeof want.dir), 0) << "fiber " << i;
      ASSERT_EQ(want.half, got.half) << "fiber " << i;
      ASSERT_EQ(static_cast<float>(want.half), g.half[e]) << "fiber " << i;
      if (e + 1 < g.row_start[r + 1]) {
        ASSERT_LE(g.x[e], g.x[e + 1]) << "row " << r << ", entry " << e;
        if (g.x[e] == g.x[e + 1]) {
          ASSERT_LT(i, g.index[e + 1]) << "row " << r << ", entry " << e;
        }
      }
    }
  }
  for (int32_t i = 0; i < count; ++i) ASSERT_EQ(seen[i], 1) << "fiber " << i;
}

TEST(ContactGridRows, HoldEveryFiberOnceInItsRowInXOrder) {
  SimSettingsGuard guard;
  random_seed(network.stream, -3);
  // Enough fibers that the rows are sorted by two threads side by side.
  num_fibers = 300000;
  fiber_len = 1e-7f;
  ASSERT_TRUE(size_network(num_fibers, MAXCONTACTS));
  place_fibers();
  // Ties in x: copies of earlier fibers, and fibers moved to share one x across many rows.
  for (int32_t i = 0; i < 2000; ++i) network.fibers[num_fibers - 1 - i] = network.fibers[i * 7];
  for (int32_t i = 2000; i < 4000; ++i) {
    Fiber& f = network.fibers[i];
    const float shift = 1e-7f - (f.start[0] + f.end[0]) / 2;
    f.start[0] += shift;
    f.end[0] += shift;
  }
  for (int threads : {1, 3}) {
    SCOPED_TRACE(threads);
    expect_rows_hold_every_fiber_in_x_order(network.fibers.data(), num_fibers, threads);
  }
  ASSERT_TRUE(size_network(MAXFIB, MAXCONTACTS));
}

}  // namespace
