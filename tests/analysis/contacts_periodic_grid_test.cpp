#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "../sim_settings_guard.h"
#include "contacts_filter.h"
#include "contacts_periodic.h"
#include "network.h"
#include "periodic_image.h"
#include "placement.h"

// The periodic grid must reproduce the minimum-image all-pairs loop bit for bit: same contacts,
// same order, same capacity behaviour, whatever the thread count.

namespace {

const double kBox = 2e-6f;

struct Detection {
  std::vector<Contact> contacts;
  std::string output;
};

template <typename Detect>
Detection run(Detect detect) {
  testing::internal::CaptureStdout();
  detect();
  Detection d;
  d.output = testing::internal::GetCapturedStdout();
  d.contacts.assign(&network.contacts[0], &network.contacts[0] + network.num_contacts);
  return d;
}

// The oracle, then the grid with 1, 2, 3 and 8 threads, with the SSE2 filter and (where the CPU
// has it) the AVX2 one, capped as the network is and, when the oracle stays within the cap, also
// uncapped.
void expect_grid_matches_oracle(const std::string& what) {
  const Detection want = run([] { detect_contacts_all_pairs_periodic(kBox); });
  const int64_t cap = network.max_contacts;
  for (int64_t max_contacts : {cap, UNCAPPED}) {
    if (max_contacts == UNCAPPED && !want.output.empty()) continue;
    network.max_contacts = max_contacts;
    for (bool wide : {false, true}) {
      if (wide && !wide_filter_available()) continue;
      use_wide_filter(wide);
      for (int threads : {1, 2, 3, 8}) {
        const std::string how = what + ", threads " + std::to_string(threads) +
                                (wide ? ", AVX2" : ", SSE2") +
                                (max_contacts == UNCAPPED ? ", uncapped" : "");
        const Detection got = run([threads] { detect_contacts_periodic_threaded(kBox, threads); });
        ASSERT_EQ(got.contacts.size(), want.contacts.size()) << how;
        ASSERT_EQ(got.output, want.output) << how;
        ASSERT_EQ(std::memcmp(got.contacts.data(), want.contacts.data(),
                              sizeof(Contact) * want.contacts.size()),
                  0)
            << how;
      }
    }
  }
  network.max_contacts = cap;
  use_wide_filter(true);
}

// Lengths from many cells per axis through three (each neighbour distinct, wrapping) and two to
// one (neighbours on both sides the same cell) up to the longest valid length.
TEST(PeriodicGrid, MatchesTheOracleFromShortFibersToTheLengthLimit) {
  SimSettingsGuard guard;
  random_seed(network.stream, -21);
  num_fibers = 2000;
  fiber_diameter = 2e-8f;
  const float longest = std::nextafter(static_cast<float>((kBox - fiber_diameter) / 2), 0.0f);
  for (float length : {5e-8f, 2e-7f, 3.2e-7f, 4.5e-7f, longest}) {
    fiber_len = length;
    place_fibers();
    expect_grid_matches_oracle("length " + std::to_string(length));
  }
}

TEST(PeriodicGrid, MatchesTheOracleOnFibersAcrossFacesCornersAndFarOutside) {
  SimSettingsGuard guard;
  random_seed(network.stream, -22);
  num_fibers = 2000;
  fiber_len = 2e-7f;
  fiber_diameter = 4e-8f;
  place_fibers();
  // Push every other fiber's midpoint towards its nearest corner, so that most of them straddle
  // faces or corners, and move a few of the others whole box sides away.
  for (int i = 0; i < num_fibers; ++i) {
    Fiber& f = network.fibers[i];
    const Vec3 m = fiber_midpoint(f);
    for (int a = 0; a < 3; ++a) {
      double to = 0;
      if (i % 2 == 0) to = (m[a] < 0 ? -1e-6 : 1e-6) * 0.9 - m[a] * 0.9;
      if (i % 50 == 1) to = (a - 1) * 3 * kBox;
      f.start[a] = static_cast<float>(f.start[a] + to);
      f.end[a] = static_cast<float>(f.end[a] + to);
    }
  }
  expect_grid_matches_oracle("corners");
}

// A box of three different sides, periodic along each subset of its axes, with fibers pushed
// across its faces and corners: the grid equals the minimum-image oracle on the periodic axes.
TEST(PeriodicGrid, MatchesTheOracleAlongEverySubsetOfAxesInABoxThatIsNotACube) {
  SimSettingsGuard guard;
  const float half[3] = {6e-7f, 4e-7f, 3e-7f};
  for (int k = 0; k < 3; ++k) box_min[k] = -half[k], box_max[k] = half[k];
  random_seed(network.stream, -23);
  num_fibers = 2500;
  fiber_len = 2e-7f;
  fiber_diameter = 3e-8f;
  place_fibers();
  for (int i = 0; i < num_fibers; i += 3) {
    Fiber& f = network.fibers[i];
    const Vec3 m = fiber_midpoint(f);
    for (int a = 0; a < 3; ++a) {
      const double to = (m[a] < 0 ? -half[a] : half[a]) * 0.95 - m[a];
      f.start[a] = static_cast<float>(f.start[a] + to);
      f.end[a] = static_cast<float>(f.end[a] + to);
    }
  }
  size_t found[8];
  for (int axes = 0; axes < 8; ++axes) {
    Periods periods{};
    for (int a = 0; a < 3; ++a) periods[a] = axes >> a & 1 ? 2.0 * half[a] : 0.0;
    detect_contacts_all_pairs_periodic(periods);
    const std::vector<Contact> want(&network.contacts[0],
                                    &network.contacts[0] + network.num_contacts);
    found[axes] = want.size();
    for (bool wide : {false, true}) {
      if (wide && !wide_filter_available()) continue;
      use_wide_filter(wide);
      for (int threads : {1, 3}) {
        ASSERT_TRUE(detect_contacts_periodic_threaded(periods, threads));
        ASSERT_EQ(network.num_contacts, static_cast<int32_t>(want.size())) << axes;
        EXPECT_EQ(std::memcmp(want.data(), &network.contacts[0], sizeof(Contact) * want.size()), 0)
            << "axes " << axes << ", threads " << threads << (wide ? ", AVX2" : ", SSE2");
      }
    }
  }
  use_wide_filter(true);
  // Each periodic axis adds the pairs across its faces, and only its own.
  for (int axes = 0; axes < 8; ++axes) {
    for (int a = 0; a < 3; ++a) {
      if (!(axes >> a & 1)) {
        EXPECT_GT(found[axes | 1 << a], found[axes]) << axes << " + " << a;
      }
    }
  }
}

TEST(PeriodicGrid, OverflowKeepsTheFirstContactsInPairOrder) {
  SimSettingsGuard guard;
  ASSERT_TRUE(size_network(MAXFIB, 2000));
  num_fibers = 1200;
  fiber_len = 2e-7f;
  // Apart, then a bundle straddling the x faces, where every pair touches across them: the
  // capacity runs out in a later block of first indices.
  for (int i = 0; i < num_fibers; ++i) {
    const float x = i % 2 ? 0.95e-6f : -1.05e-6f;
    const float y = i < 600 ? -0.9e-6f + 3e-9f * static_cast<float>(i) : 0.0f;
    network.fibers[i] = {{x, y, 0}, {x + 2e-7f, y, 0}};
  }
  expect_grid_matches_oracle("bundle");
  EXPECT_EQ(network.num_contacts, 2000);
  ASSERT_TRUE(size_network(MAXFIB, MAXCONTACTS));
}

// A cap far below what the pair scan finds: it gives way to the scan in chunks of first indices.
// The contacts kept run across several chunks, and most join a fiber to another's image.
TEST(PeriodicGrid, CapFarBelowTheContactsKeepsThemInPairOrderAcrossChunksSlow) {
  SimSettingsGuard guard;
  ASSERT_TRUE(size_network(MAXFIB, 500000));
  random_seed(network.stream, -23);
  num_fibers = 6000;
  fiber_len = 2e-7f;
  fiber_diameter = 2e-9f;
  place_fibers();
  // Fibers 1000 to 2599 in one bundle across the x faces, every other one a whole side away:
  // 1,279,200 touching pairs, their first indices across the bounds of the first chunks.
  for (int i = 1000; i < 2600; ++i) {
    const float x = i % 2 ? 0.95e-6f : -1.05e-6f;
    network.fibers[i] = {{x, 0, 0}, {x + 2e-7f, 0, 0}};
  }
  expect_grid_matches_oracle("bundle across a face");
  EXPECT_EQ(network.num_contacts, 500000);
  ASSERT_TRUE(size_network(MAXFIB, MAXCONTACTS));
}

}  // namespace
