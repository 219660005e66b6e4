#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "contacts.h"
#include "network.h"
#include "placement.h"
#include "sim_settings_guard.h"
#include "summary.h"

namespace {

void place_identical(int count, const Vec3& a, const Vec3& b) {
  num_fibers = count;
  for (int i = 0; i < count; ++i) network.fibers[i] = {a, b};
}

TEST(Contacts, DefaultRunFindsItsContactsInPairOrder) {
  SimSettingsGuard guard;
  random_seed(network.stream, -1);
  place_fibers();
  detect_contacts();

  ASSERT_EQ(network.num_contacts, 725);
  EXPECT_EQ(network.contacts[0].first, 0);
  std::vector<int> per_fiber(num_fibers);
  for (int c = 0; c < network.num_contacts; ++c) {
    const Contact& k = network.contacts[c];
    ASSERT_LT(k.first, k.second);
    ASSERT_LE(k.distance, fiber_diameter);
    if (c > 0) {
      const Contact& p = network.contacts[c - 1];
      ASSERT_TRUE(p.first < k.first || (p.first == k.first && p.second < k.second)) << c;
    }
    ++per_fiber[k.first];
    ++per_fiber[k.second];
  }
  for (int n : per_fiber) ASSERT_LE(n, 3);

  testing::internal::CaptureStdout();
  print_summary();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "num_fibers 10000;length 2e-07;diameter 2e-09;vf 0.000785398;number of contacts 725\n");
}

TEST(Contacts, FewerThanTwoFibersHaveNone) {
  SimSettingsGuard guard;
  for (int count : {0, 1}) {
    place_identical(count, {0, 0, 0}, {1e-7f, 0, 0});
    network.num_contacts = 99;
    detect_contacts();
    EXPECT_EQ(network.num_contacts, 0) << count;
  }
}

TEST(Contacts, ExactlyOneDiameterApartTouches) {
  SimSettingsGuard guard;
  num_fibers = 3;
  const float d = fiber_diameter;
  network.fibers[0] = {{-1e-7f, 0, 0}, {1e-7f, 0, 0}};
  network.fibers[1] = {{0, -1e-7f, d}, {0, 1e-7f, d}};
  const float beyond = std::nextafter(d, 1.0f);
  network.fibers[2] = {{0, -1e-7f, -beyond}, {0, 1e-7f, -beyond}};
  detect_contacts();
  ASSERT_EQ(network.num_contacts, 1);
  const Contact& c = network.contacts[0];
  EXPECT_EQ(c.first, 0);
  EXPECT_EQ(c.second, 1);
  EXPECT_EQ(c.distance, d);
  EXPECT_EQ(c.point[2], d * 0.5f);
}

TEST(Contacts, OverflowKeepsTheFirstMillionAndReportsOnce) {
  SimSettingsGuard guard;
  // 1416 identical fibers make 1,001,820 touching pairs.
  place_identical(1416, {0, 0, 0}, {2e-7f, 0, 0});
  testing::internal::CaptureStdout();
  detect_contacts();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Too many contacts!\n");
  ASSERT_EQ(network.num_contacts, MAXCONTACTS);
  // The millionth pair in order: rows of 1415, 1414, ... pairs.
  int first = 0, left = MAXCONTACTS;
  while (left > 1415 - first) left -= 1415 - first++;
  const Contact& last = network.contacts[MAXCONTACTS - 1];
  EXPECT_EQ(last.first, first);
  EXPECT_EQ(last.second, first + left);

  testing::internal::CaptureStdout();
  print_summary();
  EXPECT_EQ(
      testing::internal::GetCapturedStdout(),
      "num_fibers 1416;length 2e-07;diameter 2e-09;vf 0.000111212;number of contacts 1000000\n");
}

TEST(Contacts, UncappedStorageKeepsEveryContact) {
  SimSettingsGuard guard;
  ASSERT_TRUE(size_network(1416, UNCAPPED));
  place_identical(1416, {0, 0, 0}, {2e-7f, 0, 0});
  testing::internal::CaptureStdout();
  const bool ok = detect_contacts();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(ok);
  ASSERT_EQ(network.num_contacts, 1001820);
  const Contact& last = network.contacts[network.num_contacts - 1];
  EXPECT_EQ(last.first, 1414);
  EXPECT_EQ(last.second, 1415);
  ASSERT_TRUE(size_network(MAXFIB, MAXCONTACTS));
}

TEST(Contacts, SizeNetworkRefusesWhatCannotBeCountedAndChangesNothing) {
  ASSERT_TRUE(size_network(500, 20));
  EXPECT_EQ(network.fibers.size(), 500);
  EXPECT_EQ(network.max_contacts, 20);
  EXPECT_EQ(contact_limit(), 20);
  constexpr int64_t kBeyond = int64_t{1} << 31;
  for (auto [fibers, contacts] :
       {std::pair<int64_t, int64_t>{-1, 10}, {10, -2}, {10, kBeyond}, {kBeyond, 10}}) {
    EXPECT_FALSE(size_network(fibers, contacts)) << fibers << " " << contacts;
    EXPECT_EQ(network.fibers.size(), 500);
    EXPECT_EQ(network.max_contacts, 20);
  }
  ASSERT_TRUE(size_network(MAXFIB, UNCAPPED));
  EXPECT_EQ(contact_limit(), kBeyond - 1);
  ASSERT_TRUE(size_network(MAXFIB, MAXCONTACTS));
}

TEST(Summary, NoFibersReportZeroes) {
  SimSettingsGuard guard;
  num_fibers = 0;
  network.num_contacts = 0;
  EXPECT_EQ(volume_fraction(), 0.0);
  testing::internal::CaptureStdout();
  print_summary();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "num_fibers 0;length 2e-07;diameter 2e-09;vf 0;number of contacts 0\n");
}

}  // namespace
