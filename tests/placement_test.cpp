#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "network.h"
#include "placement.h"
#include "sim_settings_guard.h"

namespace {

bool same_state(const RandomStream& a, const RandomStream& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// Number of draws that lead from `from` to `to`.
long draws_between(RandomStream from, const RandomStream& to, long limit) {
  for (long n = 0; n <= limit; ++n) {
    if (same_state(from, to)) return n;
    random_next(from);
  }
  return -1;
}

TEST(Placement, ZeroFibersTakeNoDraw) {
  SimSettingsGuard guard;
  num_fibers = 0;
  random_seed(network.stream, -1);
  const RandomStream before = network.stream;
  place_fibers();
  EXPECT_TRUE(same_state(before, network.stream));
}

TEST(Placement, DefaultNetworkKeepsItsInvariants) {
  SimSettingsGuard guard;
  random_seed(network.stream, -1);
  const RandomStream before = network.stream;
  place_fibers();

  const double h = fiber_len * 0.5;
  bool sticks_out = false;
  for (int i = 0; i < num_fibers; ++i) {
    const Fiber& f = network.fibers[i];
    double len2 = 0;
    for (int k = 0; k < 3; ++k) {
      const double centre = (double(f.start[k]) + f.end[k]) * 0.5;
      ASSERT_LE(std::fabs(centre), 1e-6 * (1 + 1e-6)) << i;
      ASSERT_LE(std::fabs(f.end[k]), 1e-6 + h * (1 + 1e-6)) << i;
      sticks_out |= std::fabs(f.end[k]) > 1e-6 || std::fabs(f.start[k]) > 1e-6;
      len2 += (double(f.end[k]) - f.start[k]) * (double(f.end[k]) - f.start[k]);
    }
    ASSERT_NEAR(std::sqrt(len2), fiber_len, fiber_len * 1e-6) << i;
  }
  EXPECT_TRUE(sticks_out);

  // Each fiber takes 3 draws for its centre and 3 per direction attempt.
  const long draws = draws_between(before, network.stream, 20L * num_fibers);
  ASSERT_GT(draws, 0);
  ASSERT_EQ(draws % 3, 0);
  const double attempts = double(draws) / 3 / num_fibers - 1;
  EXPECT_NEAR(attempts, 3.9, 0.1);
}

// Replays the draws of `count` fibers from `replay` with centres from per-axis ranges.
void expect_placed_from(RandomStream replay, int count, const float* lo, const float* hi) {
  const double h = fiber_len * 0.5f;
  for (int i = 0; i < count; ++i) {
    Vec3 p;
    for (int k = 0; k < 3; ++k) p[k] = random_range(replay, lo[k], hi[k]);
    const Vec3 d = random_direction(replay);
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(network.fibers[i].start[k], static_cast<float>(p[k] - h * d[k])) << i;
      EXPECT_EQ(network.fibers[i].end[k], static_cast<float>(p[k] + h * d[k])) << i;
    }
  }
  EXPECT_TRUE(same_state(replay, network.stream));
}

TEST(Placement, FollowsTheDrawOrderExactly) {
  SimSettingsGuard guard;
  num_fibers = 3;
  random_seed(network.stream, -11);
  const RandomStream before = network.stream;
  place_fibers();
  const float lo[3] = {-1e-6f, -1e-6f, -1e-6f}, hi[3] = {1e-6f, 1e-6f, 1e-6f};
  expect_placed_from(before, 3, lo, hi);
}

TEST(Placement, CentresFollowTheBoxPerAxis) {
  SimSettingsGuard guard;
  const float lo[3] = {0.0f, -3e-6f, 1e-5f}, hi[3] = {4e-6f, -1e-6f, 1.5e-5f};
  float saved_min[3], saved_max[3];
  for (int k = 0; k < 3; ++k) {
    saved_min[k] = box_min[k], saved_max[k] = box_max[k];
    box_min[k] = lo[k], box_max[k] = hi[k];
  }
  // Enough fibers that their draws are made in many batches, each ending inside a fiber.
  num_fibers = 3000;
  random_seed(network.stream, -3);
  const RandomStream before = network.stream;
  place_fibers();
  for (int k = 0; k < 3; ++k) box_min[k] = saved_min[k], box_max[k] = saved_max[k];
  expect_placed_from(before, num_fibers, lo, hi);
}

}  // namespace
