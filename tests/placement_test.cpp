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

TEST(Placement, FollowsTheDrawOrderExactly) {
  SimSettingsGuard guard;
  num_fibers = 3;
  random_seed(network.stream, -11);
  RandomStream replay = network.stream;
  place_fibers();
  const double h = fiber_len * 0.5f;
  for (int i = 0; i < 3; ++i) {
    const Vec3 p = random_vector(replay, -1e-6f, 1e-6f);
    const Vec3 d = random_direction(replay);
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(network.fibers[i].start[k], static_cast<float>(p[k] - h * d[k]));
      EXPECT_EQ(network.fibers[i].end[k], static_cast<float>(p[k] + h * d[k]));
    }
  }
  EXPECT_TRUE(same_state(replay, network.stream));
}

}  // namespace
