// Fibers of drawn diameters: their distributions, their place in the draws, the theory of their
// contacts, the grid against the oracles, and the engine against the program's path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "analysis/theory.h"
#include "contacts.h"
#include "contacts_periodic.h"
#include "engine.h"
#include "fiber_population.h"
#include "random_draws.h"
#include "sim_settings_guard.h"

namespace {

constexpr double kPi = 3.141592653589793;

FiberPopulation with_diameters(LengthDist dist, double first, double second,
                               Orientation o = Orientation::isotropic) {
  FiberPopulation p;
  p.orientation = o;
  p.diameters = dist;
  p.diameter_first = first;
  p.diameter_second = second;
  return p;
}

// Fibers and their diameters from the box the settings hold, on the stream of `seed`.
std::vector<float> place(std::vector<Fiber>& fibers, float length, const FiberPopulation& p,
                         int32_t seed) {
  std::vector<float> diameters(fibers.size());
  RandomStream s;
  random_seed_distinct(s, seed);
  place_fibers_plain(fibers.data(), static_cast<int32_t>(fibers.size()), length, p, s,
                     diameters.data());
  return diameters;
}

double ks_distance(std::vector<double> x, const std::function<double(double)>& cdf) {
  std::sort(x.begin(), x.end());
  const double n = static_cast<double>(x.size());
  double d = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    const double f = cdf(x[i]);
    d = std::max({d, f - i / n, (i + 1) / n - f});
  }
  return d;
}

// 4000 draws: the 0.1 % critical distance is 1.95 / sqrt(n).
constexpr int kDraws = 4000;
const double kCritical = 1.95 / std::sqrt(kDraws);

TEST(DrawnDiameters, FollowTheirDistributions) {
  SimSettingsGuard guard;
  std::vector<Fiber> fibers(kDraws);
  const std::vector<float> uniform =
      place(fibers, 2e-7f, with_diameters(LengthDist::uniform, 1e-9, 3e-9), 5);
  EXPECT_LT(
      ks_distance({uniform.begin(), uniform.end()}, [](double x) { return (x - 1e-9) / 2e-9; }),
      kCritical);

  const std::vector<float> lognormal =
      place(fibers, 2e-7f, with_diameters(LengthDist::lognormal, 2e-9, 1e-9), 6);
  // sigma^2 = ln(1 + 1/4), mu = ln(2e-9) - sigma^2 / 2.
  const double sigma = std::sqrt(std::log(1.25)), mu = std::log(2e-9) - std::log(1.25) / 2;
  EXPECT_LT(ks_distance({lognormal.begin(), lognormal.end()},
                        [=](double x) {
                          return 0.5 * std::erfc(-(std::log(x) - mu) / (sigma * std::sqrt(2.0)));
                        }),
            kCritical);
}

TEST(DrawnDiameters, MeansOfTheDistributions) {
  const FiberPopulation uniform = with_diameters(LengthDist::uniform, 1, 3);
  EXPECT_EQ(mean_diameter(uniform, 9), 2);
  EXPECT_DOUBLE_EQ(mean_square_diameter(uniform, 9), 13.0 / 3);
  EXPECT_EQ(widest_diameter(uniform, 9), 3);
  const FiberPopulation lognormal = with_diameters(LengthDist::lognormal, 2, 1);
  EXPECT_EQ(mean_diameter(lognormal, 9), 2);
  EXPECT_EQ(mean_square_diameter(lognormal, 9), 5);
  EXPECT_EQ(mean_square_diameter(FiberPopulation{}, 3), 9);
  // A sweep scales the diameters by the table diameter and the lengths by the table length.
  FiberPopulation both = uniform;
  both.lengths = LengthDist::uniform, both.first = 0.5, both.second = 2;
  const FiberPopulation scaled = scaled_population(both, 4, 10);
  EXPECT_EQ(scaled.first, 2);
  EXPECT_EQ(scaled.diameter_second, 30);
  EXPECT_EQ(diameter_dist_text(with_diameters(LengthDist::lognormal, 2e-9, 5e-10)),
            "lognormal:2e-09:5e-10");
}

// Per fiber: 3 centre draws, the length's, the diameter's, then the direction's, stepped here by
// hand for uniform lengths, lognormal diameters and planar directions.
TEST(DrawnDiameters, ComeAfterTheLengthAndBeforeTheDirection) {
  SimSettingsGuard guard;
  FiberPopulation p = with_diameters(LengthDist::lognormal, 3e-9, 1e-9, Orientation::planar);
  p.lengths = LengthDist::uniform, p.first = 1e-7, p.second = 3e-7;
  const int32_t count = 4;
  std::vector<Fiber> fibers(count);
  std::vector<float> diameters(count);
  RandomStream placed, stepped;
  random_seed_distinct(placed, 21);
  stepped = placed;
  place_fibers_plain(fibers.data(), count, 1e-7f, p, placed, diameters.data());
  const double variance = std::log(1 + 1.0 / 9);
  const double mu = std::log(3e-9) - variance / 2;
  for (int32_t i = 0; i < count; ++i) {
    for (int k = 0; k < 3; ++k) random_draws::next(stepped);
    const double length = 1e-7 + random_draws::uniform(stepped) * 2e-7;
    const double u1 = random_draws::uniform(stepped), u2 = random_draws::uniform(stepped);
    const double z = std::sqrt(-2 * std::log(u1)) * std::cos(2 * kPi * u2);
    EXPECT_EQ(diameters[i], static_cast<float>(std::exp(mu + std::sqrt(variance) * z))) << i;
    const double phi = 2 * kPi * random_draws::uniform(stepped);
    const double dx = static_cast<double>(fibers[i].end[0]) - fibers[i].start[0];
    const double dy = static_cast<double>(fibers[i].end[1]) - fibers[i].start[1];
    EXPECT_NEAR(std::hypot(dx, dy), length, length * 1e-6) << i;
    EXPECT_NEAR(dx, length * std::cos(phi), length * 1e-6) << i;
    EXPECT_NEAR(dy, length * std::sin(phi), length * 1e-6) << i;
  }
  EXPECT_EQ(std::memcmp(&placed, &stepped, sizeof placed), 0);
}

// Periodic contact counts of isotropic fibers of drawn diameters within 4 standard deviations
// (Poisson) of the theory with the mean diameter: independent diameters touch within their mean,
// whose expectation is <D>. The root mean square, 12 % above for the lognormal, lies outside.
TEST(DrawnDiameters, PeriodicContactsMatchTheTheoryWithTheMeanDiameter) {
  SimSettingsGuard guard;
  const double box = 1e-6;
  for (int k = 0; k < 3; ++k) box_min[k] = -5e-7f, box_max[k] = 5e-7f;
  const int32_t count = 10000;
  ContactDetector detector;
  for (const FiberPopulation& p : {with_diameters(LengthDist::uniform, 0.2e-9, 1.8e-9),
                                   with_diameters(LengthDist::lognormal, 1e-9, 0.5e-9)}) {
    for (int32_t seed : {1, 2, 3}) {
      std::vector<Fiber> fibers(count);
      const std::vector<float> diameters = place(fibers, 2e-7f, p, seed);
      RecordBuffer<Contact> contacts;
      ContactFindings found;
      ASSERT_TRUE(detector.detect(
          {fibers.data(), count, 1e-9f, diameters.data(), {box, box, box}, UNCAPPED, 2}, contacts,
          found));
      const double theory =
          theory_contacts(count, 2e-7, mean_diameter(p, 0), box * box * box, mean_abs_sine(p));
      EXPECT_NEAR(found.count, theory, 4 * std::sqrt(theory))
          << diameter_dist_text(p) << ", seed " << seed;
    }
  }
}

// Each pair is held to its own mean diameter, and the grid's reach to the widest: the same
// contacts as the all-pairs loops, open and periodic, on 1 and 3 threads.
TEST(DrawnDiameters, GridMatchesTheOracles) {
  SimSettingsGuard guard;
  const double box = 2e-6;
  num_fibers = 3000;
  for (const FiberPopulation& p : {with_diameters(LengthDist::uniform, 0.5e-8, 4e-8),
                                   with_diameters(LengthDist::lognormal, 2e-8, 1.5e-8)}) {
    fiber_diameter = static_cast<float>(mean_diameter(p, 0));
    network.diameters.assign(static_cast<size_t>(num_fibers), 0);
    RandomStream s;
    random_seed_distinct(s, 11);
    place_fibers_plain(network.fibers.data(), num_fibers, 2e-7f, p, s, network.diameters.data());
    for (bool periodic : {false, true}) {
      if (periodic)
        detect_contacts_all_pairs_periodic(box);
      else
        detect_contacts_all_pairs();
      const std::vector<Contact> want(&network.contacts[0],
                                      &network.contacts[0] + network.num_contacts);
      ASSERT_GT(want.size(), 300u) << diameter_dist_text(p);
      for (int threads : {1, 3}) {
        ASSERT_TRUE(periodic ? detect_contacts_periodic_threaded(box, threads)
                             : detect_contacts_threaded(threads));
        const std::string how = diameter_dist_text(p) + (periodic ? ", periodic" : ", open") +
                                ", threads " + std::to_string(threads);
        ASSERT_EQ(static_cast<size_t>(network.num_contacts), want.size()) << how;
        EXPECT_EQ(std::memcmp(&network.contacts[0], want.data(), sizeof(Contact) * want.size()), 0)
            << how;
      }
    }
  }
}

// The engine with a population places the fibers and diameters that `mikado` places on the same
// seed, and finds the same contacts, bit for bit.
TEST(DrawnDiameters, EngineNetworkIsTheProgramsNetwork) {
  SimSettingsGuard guard;
  mikado::Settings settings;
  settings.fibers = 3000;
  settings.length = 3e-7f;
  settings.diameter = 1e-8f;
  settings.box = mikado::Box::cube(1.5e-6f, true);
  settings.seed = 9;
  settings.population = with_diameters(LengthDist::lognormal, 2e-8, 1e-8, Orientation::planar);
  settings.population.lengths = LengthDist::uniform;
  settings.population.first = 1e-7, settings.population.second = 4e-7;
  mikado::Network engine(settings);
  engine.detect_contacts(2);

  num_fibers = settings.fibers;
  fiber_diameter = static_cast<float>(mean_diameter(settings.population, settings.diameter));
  for (int k = 0; k < 3; ++k) box_min[k] = -1.5e-6f * 0.5f, box_max[k] = 1.5e-6f * 0.5f;
  random_seed_distinct(network.stream, settings.seed);
  network.diameters.assign(static_cast<size_t>(num_fibers), 0);
  place_fibers_plain(network.fibers.data(), num_fibers, settings.length, settings.population,
                     network.stream, network.diameters.data());
  ASSERT_TRUE(detect_contacts_periodic_threaded(static_cast<double>(1.5e-6f), 1));

  ASSERT_EQ(engine.count(), num_fibers);
  EXPECT_EQ(std::memcmp(engine.fibers().data(), network.fibers.data(),
                        sizeof(Fiber) * static_cast<size_t>(num_fibers)),
            0);
  ASSERT_EQ(engine.diameters().size(), network.diameters.size());
  EXPECT_TRUE(
      std::equal(engine.diameters().begin(), engine.diameters().end(), network.diameters.begin()));
  ASSERT_EQ(engine.contacts().size(), static_cast<size_t>(network.num_contacts));
  ASSERT_GT(network.num_contacts, 100);
  EXPECT_EQ(std::memcmp(engine.contacts().data(), network.contacts.data(),
                        sizeof(Contact) * static_cast<size_t>(network.num_contacts)),
            0);
  EXPECT_EQ(engine.diameter(), fiber_diameter);
}

// The engine refuses a periodic box that a drawn lognormal diameter leaves too small, as the
// program does.
TEST(DrawnDiameters, EngineRefusesAPeriodicBoxTooSmallForTheWidestDrawn) {
  mikado::Settings settings;
  settings.fibers = 2000;
  settings.length = 2e-7f;
  settings.box = mikado::Box::cube(4.3e-7f, true);
  settings.population = with_diameters(LengthDist::lognormal, 1e-8, 1e-8);
  EXPECT_THROW(mikado::Network{settings}, std::invalid_argument);
  settings.population.diameter_second = 1e-10;
  EXPECT_NO_THROW(mikado::Network{settings});
}

}  // namespace
