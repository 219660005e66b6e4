#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "network.h"
#include "placement.h"
#include "random_draws.h"
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

// Enough fibers that the draws are made on a second thread (where there is one) and go round its
// ring twice, so that the stream is left from a block saved well before the last one made; with
// the generator's vector lanes at both widths.
TEST(Placement, ManyFibersFollowTheDrawOrderExactlyAtBothWidths) {
  SimSettingsGuard guard;
  num_fibers = 300000;
  ASSERT_TRUE(size_network(num_fibers, MAXCONTACTS));
  const float lo[3] = {-1e-6f, -1e-6f, -1e-6f}, hi[3] = {1e-6f, 1e-6f, 1e-6f};
  for (bool wide : {false, true}) {
    SCOPED_TRACE(wide ? "AVX2" : "SSE2");
    use_wide_draws(wide);
    random_seed(network.stream, -7);
    const RandomStream before = network.stream;
    place_fibers();
    expect_placed_from(before, num_fibers, lo, hi);
  }
  ASSERT_TRUE(size_network(MAXFIB, MAXCONTACTS));
}

// A stream whose next draws are `outputs`, each set through the shuffle slot it reads; those slots
// must all differ, so that no draw reads an entry an earlier one rewrote.
RandomStream stream_drawing(const std::vector<int32_t>& outputs) {
  RandomStream s{};
  random_seed(s, -5);
  s.last = 31 * random_draws::kSlotDivisor;
  RandomStream run = s;
  bool read[32] = {};
  for (const int32_t k : outputs) {
    random_draws::step(run.state1, random_draws::kFirst);
    random_draws::step(run.state2, random_draws::kSecond);
    const int32_t j = random_draws::slot(run.last);
    EXPECT_FALSE(read[j]) << j;
    read[j] = true;
    const int64_t entry = int64_t{k} + run.state2;
    s.shuffle[j] = static_cast<int32_t>(entry > INT32_MAX ? entry - random_draws::kTop : entry);
    run.last = k;
  }
  RandomStream check = s;
  for (const int32_t k : outputs) EXPECT_EQ(random_next(check), k);
  return s;
}

// r^2 of a direction attempt from three draws, as the placement takes them.
double attempt_r2(int32_t x, int32_t y, int32_t z) {
  double r2 = 0;
  for (const int32_t k : {x, y, z}) {
    const float v = static_cast<float>(2.0 * std::ldexp(k, -31) - 1.0);
    r2 += static_cast<double>(v) * v;
  }
  return r2;
}

// Attempts exactly on the shell's bounds, r^2 = 1 and r^2 = the float32 0.8 * 0.8, are outside
// it: the fiber takes the third attempt and 12 draws, however the draws are batched.
TEST(Placement, AttemptsExactlyOnTheShellBoundsAreRejected) {
  SimSettingsGuard guard;
  constexpr int32_t kZero = 1 << 30;  // the draw of v = 0
  const auto v = [](int32_t n, int shift) { return kZero + n * (1 << shift); };  // n 2^(shift-30)
  const int32_t slot = random_draws::kSlotDivisor;
  const std::vector<int32_t> draws = {
      3 * slot,    5 * slot,       7 * slot,       // the centre
      64,          kZero + 368981, kZero - 35944,  // -(1 - 2^-24), small, small: r^2 rounds to 1
      v(3213, 18), v(553, 18),     v(329, 18),     // (3213^2 + 553^2 + 329^2) / 2^24
      v(1, 29),    v(-1, 29),      v(1, 29)};      // (1, -1, 1) / 2
  ASSERT_EQ(attempt_r2(draws[3], draws[4], draws[5]), 1.0);
  ASSERT_EQ(attempt_r2(draws[6], draws[7], draws[8]), random_draws::kShellInner);
  const RandomStream before = stream_drawing(draws);

  num_fibers = 1;
  network.stream = before;
  place_fibers();
  EXPECT_EQ(draws_between(before, network.stream, 20), 12);
  const float lo[3] = {-1e-6f, -1e-6f, -1e-6f}, hi[3] = {1e-6f, 1e-6f, 1e-6f};
  expect_placed_from(before, 1, lo, hi);
}

}  // namespace
