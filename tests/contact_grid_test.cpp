#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "contacts.h"
#include "contacts_filter.h"
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

// Runs the oracle, then the grid with 1, 2, 3 and 8 threads, with the SSE2 filter and (where
// the CPU has it) the AVX2 one, and, when the oracle stays within the cap, also uncapped (slabs of
// cells instead of index chunks), on the placed fibers and compares.
void expect_grid_matches_oracle(const std::string& what) {
  const Detection expected = run(detect_contacts_all_pairs);
  const size_t bytes = sizeof(Contact) * expected.count;
  if (bytes > 0) std::memcpy(oracle, network.contacts.data(), bytes);
  const int64_t cap = network.max_contacts;
  for (int64_t max_contacts : {cap, UNCAPPED}) {
    if (max_contacts == UNCAPPED && !expected.output.empty()) continue;
    network.max_contacts = max_contacts;
    for (bool wide : {false, true}) {
      if (wide && !wide_filter_available()) continue;
      use_wide_filter(wide);
      for (int threads : {1, 2, 3, 8}) {
        const std::string how = what + ", threads " + std::to_string(threads) +
                                (wide ? ", AVX2" : ", SSE2") +
                                (max_contacts == UNCAPPED ? ", uncapped" : "");
        if (bytes > 0) std::memset(network.contacts.data(), 0xAB, bytes);
        const Detection got = run([threads] { ASSERT_TRUE(detect_contacts_threaded(threads)); });
        ASSERT_EQ(got.count, expected.count) << how;
        ASSERT_EQ(got.output, expected.output) << how;
        if (bytes > 0) {
          ASSERT_EQ(std::memcmp(oracle, network.contacts.data(), bytes), 0) << how;
        }
      }
    }
  }
  network.max_contacts = cap;
  use_wide_filter(true);
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

TEST(Grid, SmallCapsCutTheChunksInPairOrder) {
  SimSettingsGuard guard;
  // The default network has 725 contacts spread over every chunk: a cap just below keeps the
  // first ones and reports; a cap of exactly 725 is never exceeded.
  for (int64_t cap : {0, 1, 300, 724, 725}) {
    ASSERT_TRUE(size_network(MAXFIB, cap));
    random_seed(network.stream, -1);
    place_fibers();
    expect_grid_matches_oracle("cap " + std::to_string(cap));
    EXPECT_EQ(network.num_contacts, std::min<int64_t>(cap, 725));
  }
  ASSERT_TRUE(size_network(MAXFIB, MAXCONTACTS));
}

TEST(Grid, CapsWriteNothingPastTheContactsKept) {
  SimSettingsGuard guard;
  // The default network's 725 contacts under a cap of 300, in storage the plain loop left
  // larger than that: the entries past the cap must stay as they were.
  constexpr int32_t kCap = 300;
  ASSERT_TRUE(size_network(MAXFIB, kCap));
  random_seed(network.stream, -1);
  place_fibers();
  run(detect_contacts_all_pairs);
  ASSERT_EQ(network.num_contacts, kCap);
  ASSERT_GT(network.contacts.size(), kCap);
  std::memcpy(oracle, network.contacts.data(), sizeof(Contact) * kCap);
  const size_t past = sizeof(Contact) * (network.contacts.size() - kCap);
  const std::vector<unsigned char> untouched(past, 0xAB);
  for (int threads : {1, 3}) {
    std::memset(network.contacts.data() + kCap, 0xAB, past);
    const Detection got = run([threads] { ASSERT_TRUE(detect_contacts_threaded(threads)); });
    ASSERT_EQ(got.count, kCap) << threads;
    EXPECT_EQ(std::memcmp(oracle, network.contacts.data(), sizeof(Contact) * kCap), 0) << threads;
    EXPECT_EQ(std::memcmp(untouched.data(), network.contacts.data() + kCap, past), 0) << threads;
  }
  ASSERT_TRUE(size_network(MAXFIB, MAXCONTACTS));
}

TEST(Grid, MatchesAllPairsWhenTheCountFillsWholeBlocks) {
  SimSettingsGuard guard;
  random_seed(network.stream, -7);
  fiber_len = 2e-7f;
  fiber_diameter = 4e-8f;
  // Counts that are whole multiples of every power of two up to them: the last block of first
  // indices is full, with no partial one after it.
  for (int32_t count : {2048, 4096}) {
    num_fibers = count;
    place_fibers();
    expect_grid_matches_oracle(std::to_string(count) + " fibers");
  }
}

TEST(Grid, MatchesAllPairsInABoxShiftedDifferentlyAlongEachAxis) {
  SimSettingsGuard guard;
  random_seed(network.stream, -9);
  num_fibers = 2000;
  fiber_len = 2e-7f;
  fiber_diameter = 4e-8f;
  place_fibers();
  // The rows start where the midpoints along y and along z do, far from where those along x do.
  const float shift[3] = {0, 5e-6f, -3e-6f};
  for (int i = 0; i < num_fibers; ++i) {
    for (Vec3* end : {&network.fibers[i].start, &network.fibers[i].end}) {
      for (int k = 0; k < 3; ++k) (*end)[k] += shift[k];
    }
  }
  expect_grid_matches_oracle("shifted box");
}

// Pairs that touch although their midpoints lie just inside the sum of the half-lengths (the
// reach of the midpoint rejection): nearly opposite directions, the closest points near the far
// ends. Each pair is turned so that its midpoints are apart along x, y or z.
TEST(Grid, KeepsPairsWithMidpointsJustWithinReach) {
  SimSettingsGuard guard;
  fiber_len = 2e-7f;
  fiber_diameter = 4e-8f;
  const double h = 1e-7, s = h * (1 - 1e-3), offset = 3e-8;
  const double apart = 2 * h * (1 - 2.5e-6);  // between midpoints
  // With u = (1, 0, 0), v = (cos phi, sin phi, 0) and the closest points at s u and, offset
  // along z, at s u + (0, 0, offset) = mid_b + s v: |s u - s v + offset z| = apart.
  const double cos_phi = 1 - (apart * apart - offset * offset) / (2 * s * s);
  const double sin_phi = std::sqrt(1 - cos_phi * cos_phi);
  const double u[3] = {1, 0, 0}, v[3] = {cos_phi, sin_phi, 0};
  const double sep[3] = {s * (u[0] - v[0]), s * (u[1] - v[1]), offset};
  // An orthonormal frame whose first axis runs from mid_a to mid_b.
  double e[3][3];
  for (int k = 0; k < 3; ++k) e[0][k] = sep[k] / apart;
  const double along = u[0] * e[0][0] + u[1] * e[0][1];
  for (int k = 0; k < 3; ++k) e[1][k] = u[k] - along * e[0][k];
  const double n1 = std::sqrt(e[1][0] * e[1][0] + e[1][1] * e[1][1] + e[1][2] * e[1][2]);
  for (int k = 0; k < 3; ++k) e[1][k] /= n1;
  for (int k = 0; k < 3; ++k) {
    e[2][k] = e[0][(k + 1) % 3] * e[1][(k + 2) % 3] - e[0][(k + 2) % 3] * e[1][(k + 1) % 3];
  }
  const auto place = [&](int fiber, const double mid[3], const double dir[3], int axis,
                         const double centre[3]) {
    Vec3 ends[2];
    for (int side = 0; side < 2; ++side) {
      const double l = side ? h : -h;
      const double p[3] = {mid[0] + l * dir[0], mid[1] + l * dir[1], mid[2] + l * dir[2]};
      // Frame coordinate k goes to axis (axis + k) % 3.
      for (int k = 0; k < 3; ++k) {
        const double c = p[0] * e[k][0] + p[1] * e[k][1] + p[2] * e[k][2];
        ends[side][(axis + k) % 3] = static_cast<float>(centre[(axis + k) % 3] + c);
      }
    }
    network.fibers[fiber] = {ends[0], ends[1]};
  };
  const double mid_a[3] = {0, 0, 0}, mid_b[3] = {sep[0], sep[1], sep[2]};
  // Eight pairs around the origin, far enough apart not to meet each other.
  num_fibers = 16;
  for (int p = 0; p < 8; ++p) {
    const double centre[3] = {p & 1 ? 4e-7 : -4e-7, p & 2 ? 4e-7 : -4e-7, p & 4 ? 4e-7 : -4e-7};
    const bool swap = p >= 4;
    place(2 * p + (swap ? 1 : 0), mid_a, u, p % 3, centre);
    place(2 * p + (swap ? 0 : 1), mid_b, v, p % 3, centre);
  }
  detect_contacts_all_pairs();
  ASSERT_EQ(network.num_contacts, 8);
  expect_grid_matches_oracle("pairs at the edge of reach");
}

// A cap far below what the pair scan finds: it gives way to the scan in chunks of first
// indices, and the contacts kept run across several of them.
TEST(Grid, CapFarBelowTheContactsKeepsThemInPairOrderAcrossChunks) {
  SimSettingsGuard guard;
  constexpr int32_t kCap = 500000;
  ASSERT_TRUE(size_network(MAXFIB, kCap));
  random_seed(network.stream, -11);
  num_fibers = 8192;
  fiber_len = 2e-7f;
  place_fibers();
  // Fibers 1000 to 2599 in one bundle of identical ones, 1,279,200 touching pairs: their first
  // indices run across the bounds of the first chunks.
  for (int i = 1000; i < 2600; ++i) network.fibers[i] = {{0, 0, 0}, {2e-7f, 0, 0}};
  const Detection expected = run(detect_contacts_all_pairs);
  ASSERT_EQ(expected.count, kCap);
  ASSERT_EQ(expected.output, "Too many contacts!\n");
  std::memcpy(oracle, network.contacts.data(), sizeof(Contact) * kCap);
  for (int threads : {1, 3}) {
    std::memset(network.contacts.data(), 0xAB, sizeof(Contact) * kCap);
    const Detection got = run([threads] { ASSERT_TRUE(detect_contacts_threaded(threads)); });
    ASSERT_EQ(got.count, kCap) << threads;
    EXPECT_EQ(got.output, expected.output) << threads;
    EXPECT_EQ(std::memcmp(oracle, network.contacts.data(), sizeof(Contact) * kCap), 0) << threads;
  }
  ASSERT_TRUE(size_network(MAXFIB, MAXCONTACTS));
}

// A million fibers at the default density (the box grows with the cube root of the count): too
// many for the oracle, so the thread counts and filter widths are compared with each other.
TEST(ContactGrid, ManyFibersSameForThreadCountsSlow) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "too slow in this build";
#endif
  SimSettingsGuard guard;
  float saved_min[3], saved_max[3];
  const float side = static_cast<float>(2e-6 * std::cbrt(100.0));
  for (int k = 0; k < 3; ++k) {
    saved_min[k] = box_min[k], saved_max[k] = box_max[k];
    box_min[k] = -side / 2, box_max[k] = side / 2;
  }
  ASSERT_TRUE(size_network(1000000, UNCAPPED));
  num_fibers = 1000000;
  random_seed(network.stream, -1);
  place_fibers();
  for (int k = 0; k < 3; ++k) box_min[k] = saved_min[k], box_max[k] = saved_max[k];

  use_wide_filter(false);
  ASSERT_TRUE(detect_contacts_threaded(1));
  const std::vector<Contact> one(network.contacts.begin(),
                                 network.contacts.begin() + network.num_contacts);
  use_wide_filter(true);
  ASSERT_TRUE(detect_contacts_threaded(8));
  // About 7 contacts per 100 fibers at this density.
  EXPECT_GT(one.size(), 60000u);
  ASSERT_EQ(static_cast<size_t>(network.num_contacts), one.size());
  EXPECT_EQ(std::memcmp(one.data(), network.contacts.data(), sizeof(Contact) * one.size()), 0);
  ASSERT_TRUE(size_network(MAXFIB, MAXCONTACTS));
}

}  // namespace
