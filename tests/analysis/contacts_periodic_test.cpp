#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "../sim_settings_guard.h"
#include "contacts.h"
#include "contacts_periodic.h"
#include "geomkit.h"
#include "network.h"
#include "periodic_image.h"
#include "placement.h"

namespace {

const double kBox = 2e-6f;  // the default box side
const float kHalf = 1e-6f;

Fiber shifted(const Fiber& f, double dx, double dy, double dz) {
  const double d[3] = {dx, dy, dz};
  Fiber s = f;
  for (int a = 0; a < 3; ++a) {
    s.start[a] = static_cast<float>(s.start[a] + d[a]);
    s.end[a] = static_cast<float>(s.end[a] + d[a]);
  }
  return s;
}

// The one contact of fibers 0 and 1 in the open box, after moving fiber 1 by hand.
Contact open_contact(const Fiber& a, const Fiber& b) {
  num_fibers = 2;
  network.fibers[0] = a;
  network.fibers[1] = b;
  detect_contacts_all_pairs();
  EXPECT_EQ(network.num_contacts, 1);
  return network.contacts[0];
}

std::vector<Contact> periodic_contacts(const std::vector<Fiber>& fibers) {
  num_fibers = static_cast<int32_t>(fibers.size());
  for (size_t f = 0; f < fibers.size(); ++f) network.fibers[f] = fibers[f];
  detect_contacts_all_pairs_periodic(kBox);
  return {&network.contacts[0], &network.contacts[0] + network.num_contacts};
}

void expect_same_bits(const Contact& got, const Contact& want) {
  EXPECT_EQ(got.first, want.first);
  EXPECT_EQ(got.second, want.second);
  EXPECT_EQ(std::memcmp(&got.distance, &want.distance, sizeof(float)), 0);
  EXPECT_EQ(std::memcmp(got.point.data(), want.point.data(), sizeof(Vec3)), 0);
}

TEST(PeriodicOracle, FindsAContactAcrossAFaceWithTheWrappedPoint) {
  SimSettingsGuard guard;
  fiber_diameter = 2e-9f;
  // Fiber 0 leans out through the +x face; fiber 1 lies near the -x face, and its image one side
  // to the right crosses fiber 0 outside the box, at x = 1.01e-6.
  const Fiber lean = {{0.94e-6f, -1e-7f, 0}, {1.02e-6f, 1e-7f, 0}};
  const Fiber near_low = {{-1.05e-6f, 0.75e-7f, 1e-9f}, {-0.85e-6f, 0.75e-7f, 1e-9f}};
  const Fiber far = {{0, 0, 0}, {2e-7f, 0, 0}};

  Contact want = open_contact(lean, shifted(near_low, kBox, 0, 0));
  want.point[0] = static_cast<float>(want.point[0] - kBox);
  std::vector<Contact> got = periodic_contacts({lean, far, near_low});
  ASSERT_EQ(got.size(), 1u);
  want.second = 2;
  expect_same_bits(got[0], want);
  EXPECT_NEAR(got[0].point[0], -0.99e-6, 1e-12);

  // Listed the other way round the far-side fiber is the one moved; the pair keeps i < j and
  // the point lands inside the box.
  got = periodic_contacts({near_low, far, lean});
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].first, 0);
  EXPECT_EQ(got[0].second, 2);
  EXPECT_NEAR(got[0].point[0], -0.99e-6, 1e-12);
  EXPECT_NEAR(got[0].point[1], 0.75e-7, 1e-12);

  // The open box does not see it.
  detect_contacts_all_pairs();
  EXPECT_EQ(network.num_contacts, 0);
}

TEST(PeriodicOracle, FindsAContactAcrossACorner) {
  SimSettingsGuard guard;
  fiber_diameter = 1e-8f;
  // Fiber 1 sits at the opposite corner; its image shifted along all three axes crosses fiber 0
  // 4e-9 apart in z, at x = 1.02e-6, outside the box.
  const Fiber corner = {{0.88e-6f, 0.98e-6f, 0.997e-6f}, {1.08e-6f, 0.98e-6f, 0.997e-6f}};
  const Fiber opposite = {{-0.98e-6f, -1.09e-6f, -0.999e-6f}, {-0.98e-6f, -0.89e-6f, -0.999e-6f}};

  Contact want = open_contact(corner, shifted(opposite, kBox, kBox, kBox));
  want.point[0] = static_cast<float>(want.point[0] - kBox);
  const std::vector<Contact> got = periodic_contacts({corner, opposite});
  ASSERT_EQ(got.size(), 1u);
  expect_same_bits(got[0], want);
  EXPECT_NEAR(got[0].point[0], -0.98e-6, 1e-12);
  EXPECT_NEAR(got[0].distance, 4e-9, 1e-13);
}

// Near the longest valid length, every pair is tried at all 27 neighbouring images: no pair may
// touch at more than one, and the minimum image must be the one that touches.
TEST(PeriodicOracle, MinimumImageIsTheOnlyTouchingImageUpToTheLengthLimit) {
  SimSettingsGuard guard;
  random_seed(network.stream, -3);
  num_fibers = 400;
  fiber_diameter = 2e-8f;
  fiber_len = std::nextafter(static_cast<float>((kBox - fiber_diameter) / 2), 0.0f);
  ASSERT_TRUE(periodic_box_valid(kBox, fiber_len, fiber_diameter));
  place_fibers();

  std::vector<Contact> want;
  for (int32_t i = 0; i < num_fibers; ++i) {
    for (int32_t j = i + 1; j < num_fibers; ++j) {
      int touching = 0;
      for (int s = 0; s < 27; ++s) {
        const Fiber b = shifted(network.fibers[j], (s % 3 - 1) * kBox, (s / 3 % 3 - 1) * kBox,
                                (s / 9 - 1) * kBox);
        Contact c{i, j, 0, {}};
        const Fiber& a = network.fibers[i];
        if (!segment_contact(a.start, a.end, b.start, b.end, &c.distance, c.point)) continue;
        if (c.distance > fiber_diameter) continue;
        for (float& p : c.point) p = wrap_coordinate(p, kBox);
        want.push_back(c);
        ++touching;
      }
      ASSERT_LE(touching, 1) << i << " " << j;
    }
  }
  ASSERT_GT(want.size(), 100u);

  detect_contacts_all_pairs_periodic(kBox);
  ASSERT_EQ(network.num_contacts, static_cast<int32_t>(want.size()));
  for (size_t c = 0; c < want.size(); ++c) expect_same_bits(network.contacts[c], want[c]);
}

TEST(PeriodicBox, SideMustExceedTwiceTheLengthPlusTheDiameter) {
  EXPECT_FALSE(periodic_box_valid(4.0, 1.5, 1.0));
  EXPECT_TRUE(periodic_box_valid(std::nextafter(4.0, 5.0), 1.5, 1.0));
  EXPECT_TRUE(periodic_box_valid(4.0, 1.5, 0.5));
  EXPECT_FALSE(periodic_box_valid(4.0, 2.0, 0.0));
}

TEST(PeriodicBox, WrapsIntoTheHalfOpenBox) {
  EXPECT_EQ(wrap_coordinate(-kHalf, kBox), -kHalf);
  EXPECT_EQ(wrap_coordinate(kHalf, kBox), -kHalf);
  EXPECT_EQ(wrap_coordinate(std::nextafter(kHalf, 0.0f), kBox), std::nextafter(kHalf, 0.0f));
  EXPECT_EQ(wrap_coordinate(0.25e-6f, kBox), 0.25e-6f);
  EXPECT_EQ(wrap_coordinate(1.25e-6f, kBox), static_cast<float>(1.25e-6f - kBox));
  EXPECT_EQ(wrap_coordinate(-5.5e-6f, kBox), static_cast<float>(-5.5e-6f + 3 * kBox));
  const float below = wrap_coordinate(std::nextafter(-kHalf, -1.0f), kBox);
  EXPECT_GE(below, -kHalf);
  EXPECT_LT(below, kHalf);
}

TEST(PeriodicBox, ImageShiftRoundsHalvesAwayFromZero) {
  EXPECT_EQ(image_shift(0.5f, 0.0f, 1.0), 1.0);
  EXPECT_EQ(image_shift(0.0f, 0.5f, 1.0), -1.0);
  EXPECT_EQ(image_shift(0.49f, 0.0f, 1.0), 0.0);
  EXPECT_EQ(image_shift(-0.9f, 0.9f, 1.0), -2.0);
}

}  // namespace
