#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "contacts.h"
#include "contacts_join.h"
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

#if !defined(_WIN32)
// In a child whose address space has no room left for more than a few threads' stacks, a
// detection asking for 48 workers starts what it can and still finds every contact. Returns 0
// when it does, 1 on wrong contacts, 2 when no thread was refused (nothing was tested), 3 when
// the limit could not be set.
int detect_without_room_for_threads(const std::vector<Contact>& expected) {
  long pages = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
    std::fclose(statm);
  }
  if (pages == 0) return 3;
  const rlim_t room = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (rlim_t{1} << 20);
  const rlimit limit{room, room};
  if (setrlimit(RLIMIT_AS, &limit) != 0) return 3;
  // Stacks of finished threads are kept for reuse, so only some of many threads are refused.
  std::atomic<bool> go{false};
  std::vector<std::thread> probes;
  bool refused = false;
  try {
    for (int k = 0; k < 64; ++k)
      probes.emplace_back([&go] {
        while (!go) std::this_thread::yield();
      });
  } catch (const std::system_error&) {
    refused = true;
  }
  go = true;
  for (std::thread& t : probes) t.join();
  if (!refused) return 2;
  if (!detect_contacts_threaded(48)) return 1;
  const size_t bytes = sizeof(Contact) * expected.size();
  return network.num_contacts == static_cast<int32_t>(expected.size()) &&
                 std::memcmp(network.contacts.data(), expected.data(), bytes) == 0
             ? 0
             : 1;
}

TEST(Contacts, ThreadsThatCannotStartLeaveTheirShareToTheOthers) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's shadow memory needs more address space than the limit leaves";
#endif
  SimSettingsGuard guard;
  random_seed(network.stream, -1);
  num_fibers = MAXFIB;  // enough for 48 shares of the work
  fiber_len = 1e-7f;
  place_fibers();
  // Once on one thread, which also puts the working memory in place for the child.
  ASSERT_TRUE(detect_contacts_threaded(1));
  const std::vector<Contact> expected(network.contacts.data(),
                                      network.contacts.data() + network.num_contacts);
  std::fflush(nullptr);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(detect_without_room_for_threads(expected));
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: wrong contacts, 2: no thread refused, 3: no limit";
}
#endif

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
  // The smallest network with a pair: the last fiber is a partner too.
  num_fibers = 2;
  detect_contacts();
  EXPECT_EQ(network.num_contacts, 1);
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

// Workers finish parts out of order: only parts finished in a row from the first count, and the
// limit is passed once those hold more contacts than it.
TEST(PairOrderJoin, CountsOnlyThePartsFinishedInARowFromTheFirst) {
  struct Part {
    bool done = false;
    std::vector<Contact> contacts;
  };
  std::vector<Part> parts(4);
  for (int32_t k = 0; k < 4; ++k) {
    for (int32_t c = 0; c < 3; ++c) parts[k].contacts.push_back({k, 10 * k + c, 0, {}});
  }
  PairOrderJoin<Part> join(parts, 6);
  join.finish(1);
  EXPECT_FALSE(join.enough());  // part 1 waits for part 0
  join.finish(0);
  EXPECT_FALSE(join.enough());  // 6 contacts in a row: the limit, not past it
  join.finish(2);
  EXPECT_TRUE(join.enough());
  int64_t kept = 0;
  RecordBuffer<Contact> out;
  ASSERT_TRUE(join.keep(out, &kept));
  ASSERT_EQ(kept, 6);
  for (int32_t n = 0; n < 6; ++n) EXPECT_EQ(out[n].second, 10 * (n / 3) + n % 3);
}

}  // namespace
