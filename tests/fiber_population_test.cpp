#include "fiber_population.h"

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
#include "placement.h"
#include "random_draws.h"
#include "sim_settings_guard.h"

namespace {

constexpr double kPi = 3.141592653589793;

// With drawn diameters, `diameters` gets them.
std::vector<Fiber> place(int32_t count, float length, const FiberPopulation& p, int32_t seed,
                         float* longest = nullptr, std::vector<float>* diameters = nullptr) {
  std::vector<Fiber> fibers(count);
  RandomStream s;
  random_seed_distinct(s, seed);
  if (diameters != nullptr) diameters->assign(p.diameters == LengthDist::fixed ? 0 : count, 0);
  const float l = place_fibers_plain(fibers.data(), count, length, p, s,
                                     diameters != nullptr ? diameters->data() : nullptr);
  if (longest != nullptr) *longest = l;
  return fibers;
}

std::array<double, 3> axis_of(const Fiber& f) {
  return {static_cast<double>(f.end[0]) - f.start[0], static_cast<double>(f.end[1]) - f.start[1],
          static_cast<double>(f.end[2]) - f.start[2]};
}

double norm(const std::array<double, 3>& d) {
  return std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
}

// The Kolmogorov-Smirnov distance of the sample from `cdf`.
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

FiberPopulation population(Orientation o, LengthDist l = LengthDist::fixed, double first = 0,
                           double second = 0) {
  FiberPopulation p;
  p.orientation = o;
  p.lengths = l;
  p.first = first;
  p.second = second;
  return p;
}

FiberPopulation aligned(double degrees, int axis, LengthDist l = LengthDist::fixed,
                        double first = 0, double second = 0) {
  FiberPopulation p = population(Orientation::aligned, l, first, second);
  p.cap_degrees = degrees;
  p.axis = axis;
  return p;
}

FiberPopulation with_diameters(LengthDist d, double first, double second,
                               Orientation o = Orientation::isotropic) {
  FiberPopulation p = population(o);
  p.diameters = d;
  p.diameter_first = first;
  p.diameter_second = second;
  return p;
}

std::vector<double> lengths_of(const std::vector<Fiber>& fibers) {
  std::vector<double> out;
  for (const Fiber& f : fibers) out.push_back(norm(axis_of(f)));
  return out;
}

// Isotropic fibers of one length by the plain path are those of the tuned generator, bit for
// bit, and leave the stream where it does: the centre draws and their arithmetic are shared.
TEST(PlainPlacement, IsotropicFixedLengthIsTheTunedGenerator) {
  SimSettingsGuard guard;
  box_min[0] = -1e-6f, box_max[0] = 3e-6f;  // unequal sides catch an axis mixed up
  const int32_t count = 3000;
  std::vector<Fiber> tuned(count), plain(count);
  RandomStream a, b;
  random_seed_distinct(a, 17);
  b = a;
  place_fibers_into(tuned.data(), count, 3e-7f, a);
  EXPECT_EQ(place_fibers_plain(plain.data(), count, 3e-7f, FiberPopulation{}, b), 3e-7f);
  EXPECT_EQ(std::memcmp(tuned.data(), plain.data(), sizeof(Fiber) * count), 0);
  EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
}

// The draws each fiber takes, as documented: 3 for the centre, then 0, 1 or 2 for the length,
// then 1 (planar) or 3 (aligned) for the direction; 25 fibers leave the stream that far on.
TEST(PlainPlacement, EachFiberTakesItsDocumentedDraws) {
  for (const auto& [p, draws] :
       {std::pair{population(Orientation::planar), 4},
        {population(Orientation::planar, LengthDist::uniform, 1e-7, 2e-7), 5},
        {aligned(20, 2, LengthDist::lognormal, 1e-7, 1e-8), 8}}) {
    RandomStream placed, counted;
    random_seed_distinct(placed, 12);
    counted = placed;
    std::vector<Fiber> fibers(25);
    place_fibers_plain(fibers.data(), 25, 1e-7f, p, placed);
    for (int k = 0; k < 25 * draws; ++k) random_next(counted);
    EXPECT_EQ(std::memcmp(&placed, &counted, sizeof placed), 0) << draws;
  }
}

// The directions: planar ones lie in the x-y plane with phi uniform; a cap's cos(theta) is
// uniform in [cos THETA, 1] about its axis, phi uniform about it, and both ends of the axis are
// taken equally.
TEST(PlainPlacement, DirectionsFollowTheirDistributions) {
  const std::vector<Fiber> flat = place(kDraws, 2e-7f, population(Orientation::planar), 3);
  std::vector<double> phi;
  for (const Fiber& f : flat) {
    ASSERT_EQ(f.start[2], f.end[2]);
    const auto d = axis_of(f);
    phi.push_back(std::atan2(d[1], d[0]) + kPi);
  }
  EXPECT_LT(ks_distance(phi, [](double x) { return x / (2 * kPi); }), kCritical);

  for (const auto& [degrees, axis] : {std::pair{30.0, 0}, {75.0, 1}, {90.0, 2}}) {
    const std::string what = std::to_string(degrees) + " about " + axis_name(axis);
    const double c0 = std::cos(degrees * kPi / 180);
    const std::vector<Fiber> fibers = place(kDraws, 2e-7f, aligned(degrees, axis), 4);
    std::vector<double> cosine, around;
    int negative = 0;
    for (const Fiber& f : fibers) {
      const auto d = axis_of(f);
      const double c = d[axis] / norm(d);
      negative += c < 0;
      cosine.push_back(std::fabs(c));
      // phi about the axis, the fiber taken at its end on the positive side.
      const double s = c < 0 ? -1 : 1;
      around.push_back(std::atan2(s * d[(axis + 2) % 3], s * d[(axis + 1) % 3]) + kPi);
    }
    EXPECT_LT(ks_distance(cosine, [c0](double x) { return (x - c0) / (1 - c0); }), kCritical)
        << what;
    EXPECT_LT(ks_distance(around, [](double x) { return x / (2 * kPi); }), kCritical) << what;
    // Binomial(4000, 1/2): 4 standard deviations are 126.
    EXPECT_NEAR(negative, kDraws / 2, 126) << what;
  }
}

TEST(PlainPlacement, LengthsFollowTheirDistributions) {
  float longest = 0;
  std::vector<double> lengths = lengths_of(
      place(kDraws, 5e-7f, population(Orientation::isotropic, LengthDist::uniform, 1e-7, 3e-7), 5,
            &longest));
  EXPECT_LT(ks_distance(lengths, [](double x) { return (x - 1e-7) / 2e-7; }), kCritical);
  EXPECT_NEAR(longest, *std::max_element(lengths.begin(), lengths.end()), 1e-13);
  EXPECT_LE(longest, 3e-7f);

  // Lengths do not depend on the directions.
  lengths = lengths_of(
      place(kDraws, 5e-7f, aligned(10, 2, LengthDist::lognormal, 2e-7, 1e-7), 6, &longest));
  // sigma^2 = ln(1 + 1/4), mu = ln(2e-7) - sigma^2 / 2.
  const double sigma = std::sqrt(std::log(1.25)), mu = std::log(2e-7) - std::log(1.25) / 2;
  EXPECT_LT(ks_distance(lengths,
                        [=](double x) {
                          return 0.5 * std::erfc(-(std::log(x) - mu) / (sigma * std::sqrt(2.0)));
                        }),
            kCritical);
  EXPECT_NEAR(longest, *std::max_element(lengths.begin(), lengths.end()), 1e-12);
}

TEST(PlainPlacement, DiametersFollowTheirDistributions) {
  std::vector<float> d;
  place(kDraws, 2e-7f, with_diameters(LengthDist::uniform, 1e-9, 3e-9), 5, nullptr, &d);
  EXPECT_LT(ks_distance({d.begin(), d.end()}, [](double x) { return (x - 1e-9) / 2e-9; }),
            kCritical);
  place(kDraws, 2e-7f, with_diameters(LengthDist::lognormal, 2e-9, 1e-9), 6, nullptr, &d);
  const double sigma = std::sqrt(std::log(1.25)), mu = std::log(2e-9) - std::log(1.25) / 2;
  EXPECT_LT(ks_distance({d.begin(), d.end()},
                        [=](double x) {
                          return 0.5 * std::erfc(-(std::log(x) - mu) / (sigma * std::sqrt(2.0)));
                        }),
            kCritical);
}

// Per fiber: 3 centre draws, the length's, the diameter's, then the direction's, stepped here by
// hand for uniform lengths, lognormal diameters and planar directions.
TEST(PlainPlacement, DiameterDrawsComeAfterTheLengthAndBeforeTheDirection) {
  FiberPopulation p = with_diameters(LengthDist::lognormal, 3e-9, 1e-9, Orientation::planar);
  p.lengths = LengthDist::uniform, p.first = 1e-7, p.second = 3e-7;
  std::vector<float> diameters;
  const std::vector<Fiber> fibers = place(4, 1e-7f, p, 21, nullptr, &diameters);
  RandomStream s;
  random_seed_distinct(s, 21);
  const double sigma = std::sqrt(std::log(1 + 1.0 / 9)), mu = std::log(3e-9) - sigma * sigma / 2;
  for (int i = 0; i < 4; ++i) {
    for (int k = 0; k < 3; ++k) random_draws::next(s);
    const double length = 1e-7 + random_draws::uniform(s) * 2e-7;
    const double u1 = random_draws::uniform(s), u2 = random_draws::uniform(s);
    const double z = std::sqrt(-2 * std::log(u1)) * std::cos(2 * kPi * u2);
    EXPECT_EQ(diameters[i], static_cast<float>(std::exp(mu + sigma * z))) << i;
    const double phi = 2 * kPi * random_draws::uniform(s);
    const auto d = axis_of(fibers[i]);
    EXPECT_NEAR(d[0], length * std::cos(phi), length * 1e-6) << i;
    EXPECT_NEAR(d[1], length * std::sin(phi), length * 1e-6) << i;
  }
}

TEST(OrderParameter, IsMinusHalfInThePlaneAndOneAlongTheAxis) {
  const std::vector<Fiber> flat = place(1000, 2e-7f, population(Orientation::planar), 7);
  EXPECT_DOUBLE_EQ(order_parameter(flat.data(), 1000, 2), -0.5);
  // Within the plane cos^2 phi averages 1/2: S about x is 1/4.
  EXPECT_NEAR(order_parameter(flat.data(), 1000, 0), 0.25, 0.03);

  const Fiber along_y{{0, -1, 0}, {0, 2, 0}};
  EXPECT_DOUBLE_EQ(order_parameter(&along_y, 1, 1), 1.0);
  EXPECT_DOUBLE_EQ(order_parameter(&along_y, 1, 0), -0.5);
}

// The cap's <|sin gamma|> against a three-dimensional adaptive quadrature (scipy tplquad over
// cos theta1, cos theta2 and the angle between the azimuths, checked by Monte Carlo), the
// isotropic limit at 90 degrees, and the series and the small-cap expansion where they meet.
TEST(Theory, MeanAbsSineOfEachOrientation) {
  EXPECT_EQ(mean_abs_sine(FiberPopulation{}), kPi / 4);
  EXPECT_DOUBLE_EQ(mean_abs_sine(population(Orientation::planar)), 2 / kPi);
  EXPECT_NEAR(mean_abs_sine(aligned(90, 2)), kPi / 4, 1e-9);
  EXPECT_NEAR(mean_abs_sine(aligned(60, 2)), 0.71470600983, 1e-9);
  EXPECT_NEAR(mean_abs_sine(aligned(10, 0)), 0.15674719232, 1e-10);
  const double below = mean_abs_sine(aligned(std::nextafter(1.0, 0.0), 2));
  EXPECT_NEAR(mean_abs_sine(aligned(1, 2)) / below, 1, 1e-8);
}

struct Network {
  const char* name;
  FiberPopulation population;
};

// Diameters are multiples of each test's diameter D (scaled_population).
std::vector<Network> networks() {
  return {{"isotropic lognormal",
           population(Orientation::isotropic, LengthDist::lognormal, 2e-7, 0.4e-7)},
          {"planar uniform", population(Orientation::planar, LengthDist::uniform, 0.5e-7, 3.5e-7)},
          {"aligned lognormal", aligned(35, 0, LengthDist::lognormal, 2e-7, 0.4e-7)},
          {"isotropic lognormal diameters", with_diameters(LengthDist::lognormal, 1, 1)}};
}

// Periodic contact counts of polydisperse and oriented networks within 4 standard deviations
// (Poisson) of 2 <D> <L>^2 <|sin gamma|> / V per pair: two drawn diameters touch within their
// mean, whose expectation is <D> (the root mean square, 41 % above, lies far outside). D / L is
// small enough (1/200) that the excluded volume's end-cap terms stay well inside the margin.
TEST(Theory, PeriodicContactsMatchOnSeveralSeeds) {
  SimSettingsGuard guard;
  const double box = 1e-6;
  for (int k = 0; k < 3; ++k) box_min[k] = -5e-7f, box_max[k] = 5e-7f;
  ContactDetector detector;
  for (const Network& n : networks()) {
    for (int32_t seed : {1, 2, 3}) {
      const FiberPopulation p = scaled_population(n.population, 1, 1e-9f);
      std::vector<float> d;
      const std::vector<Fiber> fibers = place(5000, 2e-7f, p, seed, nullptr, &d);
      RecordBuffer<Contact> contacts;
      ContactFindings found;
      ASSERT_TRUE(detector.detect({fibers.data(),
                                   5000,
                                   1e-9f,
                                   d.empty() ? nullptr : d.data(),
                                   {box, box, box},
                                   UNCAPPED,
                                   2},
                                  contacts, found));
      const double theory = theory_contacts(5000, mean_length(p, 2e-7f), mean_diameter(p, 1e-9f),
                                            box * box * box, mean_abs_sine(p));
      EXPECT_NEAR(found.count, theory, 4 * std::sqrt(theory)) << n.name << ", seed " << seed;
    }
  }
}

// The grid's reach follows the longest fiber and the widest diameter, and each pair its own half
// lengths and mean diameter: the same contacts as the all-pairs loops, open and periodic, on 1
// and 3 threads.
TEST(Grid, MatchesTheOraclesOnPolydisperseOrientedNetworks) {
  SimSettingsGuard guard;
  const double box = 2e-6;
  num_fibers = 3000;
  fiber_diameter = 2e-8f;
  for (const Network& n : networks()) {
    const FiberPopulation p = scaled_population(n.population, 1, fiber_diameter);
    network.diameters.assign(p.diameters == LengthDist::fixed ? 0 : num_fibers, 0);
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
      ASSERT_GT(want.size(), 300u) << n.name;
      for (int threads : {1, 3}) {
        ASSERT_TRUE(periodic ? detect_contacts_periodic_threaded(box, threads)
                             : detect_contacts_threaded(threads));
        const std::string how = std::string(n.name) + (periodic ? ", periodic" : ", open") +
                                ", threads " + std::to_string(threads);
        ASSERT_EQ(static_cast<size_t>(network.num_contacts), want.size()) << how;
        EXPECT_EQ(std::memcmp(&network.contacts[0], want.data(), sizeof(Contact) * want.size()), 0)
            << how;
      }
    }
  }
}

}  // namespace
