#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <vector>

#include "network.h"
#include "placement.h"
#include "random_draws.h"
#include "random_stream.h"

namespace {

bool same_state(const RandomStream& a, const RandomStream& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

RandomStream seeded(int32_t seed) {
  RandomStream s{};
  random_seed(s, seed);
  return s;
}

TEST(RandomStream, SeedSignAndZeroDoNotMatter) {
  RandomStream minus_one = seeded(-1), zero = seeded(0), one = seeded(1);
  RandomStream plus = seeded(987654), minus = seeded(-987654), other = seeded(987655);
  bool differs = false;
  for (int i = 0; i < 1000; ++i) {
    const int32_t v = random_next(minus_one);
    ASSERT_EQ(random_next(zero), v);
    ASSERT_EQ(random_next(one), v);
    const int32_t w = random_next(plus);
    ASSERT_EQ(random_next(minus), w);
    differs |= random_next(other) != w;
  }
  EXPECT_TRUE(differs);
}

// The programs' seeding: negative seeds exactly as before, every other seed a network of its own.
TEST(RandomStream, DistinctSeedingGivesEverySeedItsOwnNetwork) {
  for (const int32_t seed : {-1, -2, -987654, INT32_MIN}) {
    RandomStream s{};
    random_seed_distinct(s, seed);
    EXPECT_TRUE(same_state(s, seeded(seed))) << seed;
  }
  // Seeds >= 0 pinned by their first draws: files made with them must stay reproducible.
  const struct {
    int32_t seed, first, second;
  } pinned[] = {
      {0, 612850790, 544082547}, {1, 1762344124, 1635280658}, {INT32_MAX, 855356280, 510306389}};
  for (const auto& p : pinned) {
    RandomStream s{};
    random_seed_distinct(s, p.seed);
    EXPECT_EQ(random_next(s), p.first) << p.seed;
    EXPECT_EQ(random_next(s), p.second) << p.seed;
  }
  std::vector<int32_t> seeds;
  for (int32_t seed = -40; seed <= 40; ++seed) seeds.push_back(seed);
  // The seeds at the top share their second start with the seeds 0 to 249.
  constexpr int32_t kWrap = random_draws::kSecond.m - 1;
  for (int32_t seed = INT32_MAX; seed >= kWrap; --seed) seeds.push_back(seed);
  for (int32_t seed = 41; seed < 250; ++seed) seeds.push_back(seed);
  std::set<std::vector<float>> networks;
  for (const int32_t seed : seeds) {
    RandomStream s{};
    random_seed_distinct(s, seed);
    if (seed >= 0) {
      // Before the first draw no negative seed leaves the second generator positive.
      EXPECT_GT(s.state2, 0) << seed;
      EXPECT_LT(s.state2, random_draws::kSecond.m) << seed;
    }
    Fiber fibers[4];
    place_fibers_into(fibers, 4, 2e-7f, s);
    std::vector<float> coordinates;
    for (const Fiber& f : fibers)
      coordinates.insert(coordinates.end(), {f.start[0], f.start[1], f.start[2], f.end[0]});
    EXPECT_TRUE(networks.insert(coordinates).second) << "seed " << seed;
  }
}

TEST(RandomStream, SeedingWarmsUpFromTheNegativeStartAndFillsTheTableDownwards) {
  const RandomStream s = seeded(5);
  EXPECT_EQ(s.state2, -5);
  EXPECT_EQ(s.last, s.shuffle[0]);
  EXPECT_EQ(s.state1, s.shuffle[0]);
  // Slot j holds the state after 40 - j steps of a1 * s mod m1, started from -5.
  int64_t state = -5;
  int32_t expected[32];
  for (int step = 1; step <= 40; ++step) {
    state = ((40014 * state) % 2147483563 + 2147483563) % 2147483563;
    if (step >= 9) expected[40 - step] = static_cast<int32_t>(state);
  }
  for (int j = 0; j < 32; ++j) EXPECT_EQ(s.shuffle[j], expected[j]) << "slot " << j;
}

TEST(RandomStream, FirstDrawStepsBothGeneratorsFromTheSeededState) {
  RandomStream s = seeded(-1);
  const RandomStream before = s;
  const int32_t v = random_next(s);
  EXPECT_EQ(s.state1, static_cast<int32_t>((40014LL * before.state1) % 2147483563));
  EXPECT_EQ(s.state2, 2147483399 - 40692);  // a2 * -1 mod m2
  const int32_t slot = before.last / 67108862;
  int32_t expected = before.shuffle[slot] - s.state2;
  if (expected < 1) expected += 2147483562;
  EXPECT_EQ(v, expected);
  EXPECT_EQ(s.last, v);
  EXPECT_EQ(s.shuffle[slot], s.state1);
}

// The generators step by a reduction modulo 2^31 - c; Schrage's method, which defines them, must
// give the same state everywhere, near the modulus and at every carry of the reduction included.
TEST(RandomStream, StepsMatchSchragesMethod) {
  for (const random_draws::Generator& g : {random_draws::kFirst, random_draws::kSecond}) {
    std::vector<int64_t> states = {0,   1,       2,         g.m - 2, g.m - 1,
                                   g.m, g.m + 1, INT32_MAX, -1,      INT32_MIN};
    for (int64_t s = INT32_MIN; s <= INT32_MAX; s += 4093) states.push_back(s);
    // Where a * s crosses a multiple of 2^31 or of m.
    for (int64_t k = 1; k < g.a; k += 97) {
      for (const int64_t edge : {(k << 31) / g.a, k * g.m / g.a}) {
        for (int64_t s = edge - 1; s <= edge + 1; ++s) states.push_back(s);
      }
    }
    for (const int64_t s : states) {
      int32_t fast = static_cast<int32_t>(s), plain = fast;
      random_draws::step(fast, g);
      random_draws::schrage_step(plain, g);
      ASSERT_EQ(fast, plain) << s;
      if (s >= 0 && s < g.m) {
        ASSERT_EQ(fast, g.a * s % g.m) << s;
      }
    }
  }
}

// The slot is taken with shifts: it must be the quotient on both sides of every multiple.
TEST(RandomStream, SlotIsTheQuotientAtEveryBoundary) {
  constexpr int64_t kDivisor = 67108862;
  for (int64_t j = 0; j <= 32; ++j) {
    for (int64_t v = j * kDivisor - 3; v <= j * kDivisor + 3; ++v) {
      if (v < 0 || v > 2147483562) continue;
      EXPECT_EQ(random_draws::slot(static_cast<int32_t>(v)), v / kDivisor) << v;
    }
  }
}

TEST(RandomStream, DrawsStayInsideTheOpenUnitInterval) {
  RandomStream s = seeded(-1);
  for (int i = 0; i < 100000; ++i) {
    const int32_t v = random_next(s);
    ASSERT_GE(v, 1);
    ASSERT_LE(v, 2147483562);
  }
  for (int i = 0; i < 10000; ++i) {
    const float u = random_uniform(s);
    ASSERT_GT(u, 0.0f);
    ASSERT_LE(u, 1.0f);
    const float r = random_range(s, -1e-6f, 1e-6f);
    ASSERT_GE(r, -1e-6f);
    ASSERT_LE(r, 1e-6f);
  }
}

TEST(RandomStream, VectorTakesThreeRangeDrawsInOrder) {
  RandomStream a = seeded(-3), b = seeded(-3);
  const Vec3 v = random_vector(a, -2.0f, 6.0f);
  EXPECT_EQ(v[0], random_range(b, -2.0f, 6.0f));
  EXPECT_EQ(v[1], random_range(b, -2.0f, 6.0f));
  EXPECT_EQ(v[2], random_range(b, -2.0f, 6.0f));
  EXPECT_TRUE(same_state(a, b));
}

TEST(RandomStream, DirectionsAreUnitAndCoverTheSphere) {
  RandomStream s = seeded(-1);
  double mean[3] = {0, 0, 0};
  const int n = 20000;
  for (int i = 0; i < n; ++i) {
    const Vec3 d = random_direction(s);
    const double len = std::sqrt(double(d[0]) * d[0] + double(d[1]) * d[1] + double(d[2]) * d[2]);
    ASSERT_NEAR(len, 1.0, 3e-7);
    for (int k = 0; k < 3; ++k) mean[k] += d[k] / n;
  }
  for (double m : mean) EXPECT_NEAR(m, 0.0, 0.02);
}

TEST(RandomStream, GaussiansHaveTheirMomentsAndShareOnePairPerCall) {
  RandomStream s = seeded(-7);
  double sum = 0, sum2 = 0;
  const int n = 40000;
  for (int i = 0; i < n; ++i) {
    const float g = random_gaussian(s, 3.0f, 0.5f);
    sum += g;
    sum2 += double(g) * g;
  }
  const double mean = sum / n;
  EXPECT_NEAR(mean, 3.0, 0.01);
  EXPECT_NEAR(std::sqrt(sum2 / n - mean * mean), 0.5, 0.01);

  // One call of each kind consumes exactly one pair; the scaled pair scales both numbers.
  RandomStream a = seeded(-9), b = seeded(-9), c = seeded(-9);
  const std::array<float, 2> pair = random_gaussian_pair(a);
  const float single = random_gaussian(b, 1.0f, 2.0f);
  const std::array<float, 2> scaled = random_gaussian_pair_scaled(c, 1.0f, 2.0f);
  EXPECT_TRUE(same_state(a, b));
  EXPECT_TRUE(same_state(a, c));
  EXPECT_EQ(single, static_cast<float>(1.0 + 2.0 * pair[0]));
  EXPECT_EQ(scaled[0], single);
  EXPECT_EQ(scaled[1], static_cast<float>(1.0 + 2.0 * pair[1]));
}

}  // namespace
