// Networks owned by their caller: the same results as the programs' process-wide network, and
// several at once.

#include "engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

#include "contacts.h"
#include "contacts_periodic.h"
#include "placement.h"
#include "sim_settings_guard.h"
#include "summary.h"

namespace {

bool same_bytes(std::span<const Fiber> a, std::span<const Fiber> b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size_bytes()) == 0;
}

bool same_bytes(std::span<const Contact> a, std::span<const Contact> b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size_bytes()) == 0;
}

// The programs' own network of these settings, as `mikado` runs it with options.
struct ProgramRun {
  std::vector<Fiber> fibers;
  std::vector<Contact> contacts;
  std::string summary;
  std::vector<float> diameters;
};

ProgramRun program_run(const mikado::Settings& s) {
  SimSettingsGuard guard;
  const FiberPopulation& p = s.population;
  num_fibers = s.fibers;
  fiber_len = static_cast<float>(mean_length(p, s.length));
  fiber_diameter = static_cast<float>(mean_diameter(p, s.diameter));
  for (int k = 0; k < 3; ++k) {
    box_min[k] = -s.box.side[k] * 0.5f;
    box_max[k] = s.box.side[k] * 0.5f;
  }
  EXPECT_TRUE(size_network(s.fibers, UNCAPPED));
  random_seed_distinct(network.stream, s.seed);
  if (p.diameters != LengthDist::fixed) network.diameters.resize(static_cast<size_t>(num_fibers));
  if (p.plain())
    place_fibers_plain(network.fibers.data(), num_fibers, s.length, p, network.stream,
                       network.diameters.data());
  else
    place_fibers();
  Periods periods{};
  for (int k = 0; k < 3; ++k) periods[k] = s.box.periodic[k] ? s.box.side[k] : 0.0;
  EXPECT_TRUE(detect_contacts_periodic_threaded(periods, 2));
  const double vf =
      network.diameters.empty()
          ? volume_fraction()
          : expected_volume_fraction(num_fibers, mean_length(p, s.length),
                                     mean_square_diameter(p, s.diameter), box_min, box_max);
  ProgramRun run{{network.fibers.begin(), network.fibers.begin() + num_fibers},
                 {network.contacts.begin(), network.contacts.begin() + network.num_contacts},
                 format_summary(num_fibers, fiber_len, fiber_diameter, vf, network.num_contacts),
                 network.diameters};
  EXPECT_TRUE(size_network(MAXFIB, MAXCONTACTS));
  return run;
}

TEST(Engine, DefaultNetworkIsTheProgramsDefaultRun) {
  mikado::Network n{mikado::Settings{}};
  n.detect_contacts();
  EXPECT_EQ(n.summary(),
            "num_fibers 10000;length 2e-07;diameter 2e-09;vf 0.000785398;number of contacts 725");
  EXPECT_FALSE(n.capacity_reached());
  const ClusterResult c = n.clusters();
  EXPECT_EQ(c.contacts_per_fiber, 2.0 * 725 / 10000);
}

// A seed >= 0, a box that is not the default and both kinds of box: the settings must reach the
// seeding, the centres' box and the detector as the program passes them.
TEST(Engine, SettingsGiveTheProgramsNetworkBitForBit) {
  for (const bool periodic : {false, true}) {
    SCOPED_TRACE(periodic ? "periodic" : "open");
    mikado::Settings s;
    s.fibers = 6000;
    s.length = 3e-7f;
    s.diameter = 5e-9f;
    s.box = {{1.5e-6f, 1.2e-6f, 1.7e-6f}, {periodic, false, periodic}};
    s.seed = 12;
    const ProgramRun expected = program_run(s);
    mikado::Network n{s};
    n.detect_contacts(3);
    EXPECT_TRUE(same_bytes(n.fibers(), expected.fibers));
    EXPECT_TRUE(same_bytes(n.contacts(), expected.contacts));
    EXPECT_EQ(n.summary(), expected.summary);
    EXPECT_GT(n.contacts().size(), 500u);
  }
}

// Planar fibers of drawn lengths and diameters: the population must reach the plain placement,
// its diameters the detector, and their means and mean square the summary.
TEST(Engine, PopulationGivesTheProgramsNetworkBitForBit) {
  mikado::Settings s;
  s.fibers = 3000;
  s.length = 3e-7f;
  s.diameter = 1e-8f;
  s.box = mikado::Box::cube(1.5e-6f, true);
  s.seed = 9;
  s.population.orientation = Orientation::planar;
  s.population.lengths = LengthDist::uniform, s.population.first = 1e-7, s.population.second = 4e-7;
  s.population.diameters = LengthDist::lognormal;
  s.population.diameter_first = 2e-8, s.population.diameter_second = 1e-8;
  const ProgramRun expected = program_run(s);
  mikado::Network n{s};
  n.detect_contacts(3);
  EXPECT_TRUE(same_bytes(n.fibers(), expected.fibers));
  EXPECT_TRUE(std::ranges::equal(n.diameters(), expected.diameters));
  EXPECT_TRUE(same_bytes(n.contacts(), expected.contacts));
  EXPECT_EQ(n.summary(), expected.summary);
  EXPECT_GT(n.contacts().size(), 100u);
}

TEST(Engine, NetworksOnTwoThreadsAtOnceMatchTheirSequentialRuns) {
  const auto settings = [](int32_t seed, bool periodic) {
    mikado::Settings s;
    s.fibers = 40000;
    s.box = mikado::Box::cube(3.2e-6f, periodic);
    s.seed = seed;
    return s;
  };
  const mikado::Settings a = settings(3, false), b = settings(-9, true);
  mikado::Network alone_a{a}, alone_b{b};
  alone_a.detect_contacts(1);
  alone_b.detect_contacts(1);
  std::unique_ptr<mikado::Network> na, nb;
  std::thread ta([&] {
    na = std::make_unique<mikado::Network>(a);
    na->detect_contacts(2);
  });
  std::thread tb([&] {
    nb = std::make_unique<mikado::Network>(b);
    nb->detect_contacts(2);
  });
  ta.join();
  tb.join();
  EXPECT_TRUE(same_bytes(na->fibers(), alone_a.fibers()));
  EXPECT_TRUE(same_bytes(na->contacts(), alone_a.contacts()));
  EXPECT_TRUE(same_bytes(nb->fibers(), alone_b.fibers()));
  EXPECT_TRUE(same_bytes(nb->contacts(), alone_b.contacts()));
  EXPECT_FALSE(same_bytes(na->fibers(), nb->fibers()));
}

TEST(Engine, OwnFibersAndCapsFollowTheSameRule) {
  mikado::Settings s;
  s.fibers = 3000;
  s.box = mikado::Box::cube(1e-6f, true);
  mikado::Network placed{s};
  placed.detect_contacts();
  mikado::Network own{placed.fibers(), s.diameter, s.box};
  own.detect_contacts(1);
  EXPECT_TRUE(same_bytes(own.contacts(), placed.contacts()));
  // The longest fiber is the length: a float32 sum of squares would not always give 2e-7.
  EXPECT_NEAR(own.length(), s.length, 1e-13);
  EXPECT_EQ(own.volume_fraction() > 0, true);

  // Capped: the first contacts in pair order, and a note that more exist.
  const std::span<const Contact> all = placed.contacts();
  ASSERT_GT(all.size(), 10u);
  own.detect_contacts(2, 10);
  EXPECT_TRUE(own.capacity_reached());
  EXPECT_TRUE(same_bytes(own.contacts(), all.first(10)));
  own.detect_contacts(2, static_cast<int64_t>(all.size()));
  EXPECT_FALSE(own.capacity_reached());
  EXPECT_EQ(own.clusters().num_clusters, placed.clusters().num_clusters);
}

TEST(Engine, OwnDiametersGiveTheOraclesContacts) {
  mikado::Settings s;
  s.fibers = 2000;
  s.box = mikado::Box::cube(1e-6f);
  const mikado::Network placed{s};
  std::vector<float> diameters(2000);
  for (size_t i = 0; i < diameters.size(); ++i) diameters[i] = (i % 2 ? 1e-9f : 2e-8f) + i * 1e-12f;
  mikado::Network own{placed.fibers(), diameters, s.box};
  own.detect_contacts(2);
  EXPECT_EQ(own.diameter(), *std::max_element(diameters.begin(), diameters.end()));
  SimSettingsGuard guard;
  num_fibers = s.fibers;
  std::copy(placed.fibers().begin(), placed.fibers().end(), network.fibers.begin());
  network.diameters = diameters;
  detect_contacts_all_pairs();
  const std::vector<Contact> oracle(network.contacts.begin(),
                                    network.contacts.begin() + network.num_contacts);
  EXPECT_TRUE(same_bytes(own.contacts(), oracle));
  EXPECT_GT(oracle.size(), 100u);
  diameters.pop_back();
  EXPECT_THROW(mikado::Network(placed.fibers(), diameters, s.box), std::invalid_argument);
}

TEST(Engine, SettingsTheProgramsRefuseThrow) {
  const float nan = std::nanf("");
  const auto refused = [](auto make) {
    try {
      make();
    } catch (const std::invalid_argument&) {
      return true;
    }
    return false;
  };
  const auto refuses = [&](auto change) {
    mikado::Settings s;
    change(s);
    return refused([&] { mikado::Network{s}; });
  };
  EXPECT_TRUE(refuses([](mikado::Settings& s) { s.fibers = -1; }));
  EXPECT_TRUE(refuses([&](mikado::Settings& s) { s.length = nan; }));
  EXPECT_TRUE(refuses([](mikado::Settings& s) { s.diameter = 0; }));
  EXPECT_TRUE(refuses([](mikado::Settings& s) { s.box.side[2] = -2e-6f; }));
  // The periodic side must exceed 2 L + D, compared as float32.
  const auto bound = static_cast<float>(2.0 * 2e-7f + 2e-9f);
  EXPECT_TRUE(refuses([&](mikado::Settings& s) {
    s.box = {{1e-6f, bound, 1e-6f}, {false, true}};
  }));
  // Only a periodic axis is bound.
  EXPECT_FALSE(refuses([&](mikado::Settings& s) {
    s.box = {{bound, 1e-6f, 1e-6f}, {false, true}};
  }));
  EXPECT_FALSE(refuses(
      [&](mikado::Settings& s) { s.box = mikado::Box::cube(std::nextafter(bound, 1.0f), true); }));
  // Lognormal diameters are bound by the widest drawn: 2 L + 2e-8 = 4.2e-7 is too wide here.
  const auto drawn = [](double sd) {
    return [sd](mikado::Settings& s) {
      s.fibers = 2000;
      s.box = mikado::Box::cube(4.2e-7f, true);
      s.population.diameters = LengthDist::lognormal;
      s.population.diameter_first = 1e-8, s.population.diameter_second = sd;
    };
  };
  EXPECT_TRUE(refuses(drawn(1e-8)));
  EXPECT_FALSE(refuses(drawn(1e-10)));
  EXPECT_TRUE(refuses(drawn(-1e-10)));
  EXPECT_TRUE(refuses([](mikado::Settings& s) {
    s.population.diameters = LengthDist::uniform;
    s.population.diameter_first = 2e-9, s.population.diameter_second = 1e-9;
  }));
  const Fiber point{{1e-7f, 0, 0}, {1e-7f, 0, 0}};
  const Fiber not_finite{{nan, 0, 0}, {1e-7f, 0, 0}};
  const Fiber good{{0, 0, 0}, {1e-7f, 0, 0}};
  for (const Fiber& bad : {point, not_finite}) {
    const std::vector<Fiber> fibers{good, bad};
    EXPECT_TRUE(refused([&] { mikado::Network(fibers, 2e-9f, {}); }));
  }
  const std::vector<Fiber> fibers{good};
  EXPECT_FALSE(refused([&] { mikado::Network(fibers, 2e-9f, {}); }));
  EXPECT_TRUE(refused([&] { mikado::Network(fibers, 2e-9f, mikado::Box::cube(2.01e-7f, true)); }));
}

}  // namespace
