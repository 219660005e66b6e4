#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "../sim_settings_guard.h"
#include "analysis/theory.h"
#include "contacts_periodic.h"
#include "network.h"
#include "periodic_image.h"
#include "placement.h"

namespace {

TEST(Theory, ContactsOfIsotropicSticks) {
  // 4 sticks, 6 pairs, each touching with chance π × 2 × 3² / (2 × 100).
  EXPECT_DOUBLE_EQ(theory_contacts(4, 3.0, 2.0, 100.0), 6 * 3.141592653589793 * 18 / 200);
  EXPECT_EQ(theory_contacts(1, 3.0, 2.0, 100.0), 0.0);
  EXPECT_EQ(theory_contacts(0, 3.0, 2.0, 100.0), 0.0);
}

struct Density {
  int32_t count;
  float length;
  float diameter;
};

// In the periodic box no fiber loses contacts at a face, so the counts follow the excluded-volume
// expectation within 4 standard deviations (Poisson, √expected). Contacts per fiber from about
// 0.16 through 1 to 4.
class PeriodicCountsFollowTheory : public testing::TestWithParam<Density> {};

TEST_P(PeriodicCountsFollowTheory, OnFixedSeeds) {
  SimSettingsGuard guard;
  const double box = static_cast<double>(box_max[0]) - box_min[0];
  num_fibers = GetParam().count;
  fiber_len = GetParam().length;
  fiber_diameter = GetParam().diameter;
  ASSERT_TRUE(periodic_box_valid(box, fiber_len, fiber_diameter));
  const double expected = theory_contacts(num_fibers, fiber_len, fiber_diameter, box * box * box);
  for (int32_t seed : {-11, -12, -13}) {
    random_seed(network.stream, seed);
    place_fibers();
    detect_contacts_all_pairs_periodic(box);
    EXPECT_LT(std::fabs(network.num_contacts - expected), 4 * std::sqrt(expected))
        << "seed " << seed << ": " << network.num_contacts << " contacts, expected " << expected;
  }
}

INSTANTIATE_TEST_SUITE_P(Densities, PeriodicCountsFollowTheory,
                         testing::Values(Density{2000, 2e-7f, 1e-8f}, Density{3000, 4e-7f, 1e-8f},
                                         Density{3000, 6e-7f, 2e-8f}),
                         [](const testing::TestParamInfo<Density>& info) {
                           return "z" + std::to_string(info.index);
                         });

}  // namespace
