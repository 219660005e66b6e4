// Fibers of unequal diameters: each pair touches within the mean of its two diameters, rounded
// once to float32; the grid, open and periodic, must equal the all-pairs loops bit for bit.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "contacts.h"
#include "contacts_filter.h"
#include "contacts_periodic.h"
#include "network.h"
#include "placement.h"
#include "sim_settings_guard.h"

namespace {

std::vector<Contact> stored_contacts() {
  return {network.contacts.begin(), network.contacts.begin() + network.num_contacts};
}

bool same(const std::vector<Contact>& a, const std::vector<Contact>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Contact)) == 0;
}

TEST(UnequalDiameters, PairTouchesWithinTheMeanOfItsDiameters) {
  SimSettingsGuard guard;
  num_fibers = 3;
  fiber_diameter = 1.0f;  // not used once the fibers have their own
  network.diameters = {1e-8f, 3e-8f, 1e-8f};
  const float mean = pair_diameter(1e-8f, 3e-8f);
  EXPECT_EQ(mean, 2e-8f);
  // Fiber 1 crosses fiber 0 exactly at the mean apart and fiber 2 just beyond it.
  network.fibers[0] = {{-1e-7f, 0, 0}, {1e-7f, 0, 0}};
  network.fibers[1] = {{0, -1e-7f, mean}, {0, 1e-7f, mean}};
  const float beyond = std::nextafter(mean, 1.0f);
  network.fibers[2] = {{0, -1e-7f, mean + beyond}, {0, 1e-7f, mean + beyond}};
  // Fibers 1 and 2 are `beyond` apart: within their own mean of 2e-8? No: 2e-8 < beyond.
  for (const bool periodic : {false, true}) {
    SCOPED_TRACE(periodic ? "periodic" : "open");
    periodic ? detect_contacts_all_pairs_periodic(1e-6) : detect_contacts_all_pairs();
    const std::vector<Contact> oracle = stored_contacts();
    ASSERT_EQ(oracle.size(), 1u);
    EXPECT_EQ(oracle[0].first, 0);
    EXPECT_EQ(oracle[0].second, 1);
    for (int threads : {1, 3}) {
      ASSERT_TRUE(periodic ? detect_contacts_periodic_threaded(1e-6, threads)
                           : detect_contacts_threaded(threads));
      EXPECT_TRUE(same(stored_contacts(), oracle)) << threads;
    }
  }
}

// Two lengths and diameters spread over a factor of 20, so that many pairs lie between their own
// limit and the widest; the SSE2 and AVX2 paths, 1 and 3 threads, open and periodic.
TEST(UnequalDiameters, GridEqualsTheOraclesOnAMixedNetwork) {
  SimSettingsGuard guard;
  constexpr int32_t kCount = 3000;
  constexpr double kBox = 1e-6;
  for (int k = 0; k < 3; ++k) box_min[k] = -5e-7f, box_max[k] = 5e-7f;
  random_seed(network.stream, -33);
  place_fibers_into(network.fibers.data(), kCount / 2, 1e-7f, network.stream);
  place_fibers_into(network.fibers.data() + kCount / 2, kCount / 2, 3e-7f, network.stream);
  num_fibers = kCount;
  network.diameters.resize(kCount);
  for (int32_t i = 0; i < kCount; ++i)
    network.diameters[i] = 2e-9f + 3.8e-8f * static_cast<float>((i * 7919) % 1000) / 1000;
  fiber_diameter = 4e-8f;
  for (const bool periodic : {false, true}) {
    const auto oracle = [&] {
      periodic ? detect_contacts_all_pairs_periodic(kBox) : detect_contacts_all_pairs();
      return stored_contacts();
    };
    const std::vector<Contact> want = oracle();
    // The rule is the pair's own: neither the widest nor the narrowest diameter for all.
    std::vector<float> own = std::move(network.diameters);
    network.diameters.clear();
    const size_t widest = oracle().size();
    fiber_diameter = 2e-9f;
    const size_t narrowest = oracle().size();
    fiber_diameter = 4e-8f;
    network.diameters = std::move(own);
    EXPECT_LT(want.size(), widest);
    EXPECT_GT(want.size(), narrowest);
    for (const bool wide : {false, true}) {
      if (wide && !wide_filter_available()) continue;
      use_wide_filter(wide);
      for (const int threads : {1, 3}) {
        const std::string how = std::string(periodic ? "periodic" : "open") +
                                (wide ? ", AVX2" : ", SSE2") + ", threads " +
                                std::to_string(threads);
        ASSERT_TRUE(periodic ? detect_contacts_periodic_threaded(kBox, threads)
                             : detect_contacts_threaded(threads));
        EXPECT_TRUE(same(stored_contacts(), want)) << how;
      }
    }
  }
  use_wide_filter(true);
}

}  // namespace
