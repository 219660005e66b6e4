#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "contacts.h"
#include "network.h"
#include "placement.h"
#include "sim_settings_guard.h"

// The grid must reproduce the all-pairs loop bit for bit: same contacts, same order, same
// capacity behaviour, whatever the thread count.

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int32_t kLargestCount = 2000;  // the quadratic oracle is slow under the sanitizers
#else
constexpr int32_t kLargestCount = 20000;
#endif

Contact oracle[MAXCONTACTS];

struct Detection {
  int32_t count;
  std::string output;
};

template <typename Detect>
Detection run(Detect detect) {
  testing::internal::CaptureStdout();
  detect();
  return {network.num_contacts, testing::internal::GetCapturedStdout()};
}

// Runs the oracle and the grid with one and two threads on the placed fibers and compares.
void expect_grid_matches_oracle(const std::string& what) {
  const Detection expected = run(detect_contacts_all_pairs);
  std::memcpy(oracle, network.contacts.data(), sizeof(Contact) * expected.count);
  for (int threads : {1, 2, 3, 8}) {
    std::memset(network.contacts.data(), 0xAB, sizeof(Contact) * expected.count);
    const Detection got = run([threads] { detect_contacts_threaded(threads); });
    ASSERT_EQ(got.count, expected.count) << what << ", threads " << threads;
    ASSERT_EQ(got.output, expected.output) << what << ", threads " << threads;
    ASSERT_EQ(std::memcmp(oracle, network.contacts.data(), sizeof(Contact) * expected.count), 0)
        << what << ", threads " << threads;
  }
}

class GridOnSweepShapes : public testing::TestWithParam<int32_t> {};

TEST_P(GridOnSweepShapes, MatchesAllPairsForEveryLengthAndDiameter) {
  SimSettingsGuard guard;
  random_seed(network.stream, -1);
  num_fibers = GetParam();
  if (num_fibers > kLargestCount) GTEST_SKIP() << "too slow in this build";
  for (int k = 6; k < 9; ++k) {
    fiber_len = sweep_sizes[k];
    place_fibers();
    for (int q = 0; q < 6; ++q) {
      fiber_diameter = sweep_sizes[q];
      expect_grid_matches_oracle(std::to_string(num_fibers) + " fibers, length " +
                                 std::to_string(fiber_len) + ", diameter " +
                                 std::to_string(fiber_diameter));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Counts, GridOnSweepShapes,
                         testing::Values(100, 500, 1000, 2000, 5000, 10000, 20000));

TEST(Grid, MatchesAllPairsOnUnusualLayouts) {
  SimSettingsGuard guard;
  random_seed(network.stream, -5);
  num_fibers = 3000;
  fiber_len = 2e-7f;
  fiber_diameter = 4e-8f;
  place_fibers();

  // Squeezed into a thin slab, with a few fibers far outside the cube: the cell count per axis
  // hits its cap and cells grow beyond the reach.
  for (int i = 0; i < num_fibers; ++i) {
    for (Vec3* end : {&network.fibers[i].start, &network.fibers[i].end}) (*end)[2] *= 1e-2f;
  }
  for (int i = 0; i < 30; ++i) {
    for (Vec3* end : {&network.fibers[i * 97].start, &network.fibers[i * 97].end}) {
      (*end)[0] += 1e-4f * static_cast<float>(i % 3 - 1);
    }
  }
  expect_grid_matches_oracle("thin slab with outliers");

  // Everything in one cell: parallel copies side by side.
  for (int i = 0; i < num_fibers; ++i) {
    const float y = 1e-10f * static_cast<float>(i % 50);
    network.fibers[i] = {{0, y, 0}, {2e-7f, y, 0}};
  }
  expect_grid_matches_oracle("parallel bundle");
}

TEST(Grid, OverflowKeepsTheFirstMillionInPairOrder) {
  SimSettingsGuard guard;
  num_fibers = 4000;
  fiber_len = 2e-7f;
  // Two far apart bundles of identical fibers: the early one alone stays below capacity, the
  // late one overflows it, so the shares of both threads take part.
  for (int i = 0; i < num_fibers; ++i) {
    const float x = i < 1000 ? 0.0f : 5e-6f;
    network.fibers[i] = {{x, 0, 0}, {x + 2e-7f, 0, 0}};
  }
  expect_grid_matches_oracle("two bundles");
  EXPECT_EQ(network.num_contacts, MAXCONTACTS);
  // All identical: the first share overflows on its own.
  for (int i = 0; i < num_fibers; ++i) network.fibers[i] = {{0, 0, 0}, {2e-7f, 0, 0}};
  expect_grid_matches_oracle("one bundle");
}

}  // namespace
