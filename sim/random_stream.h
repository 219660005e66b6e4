#pragma once

#include <array>
#include <cstdint>

#include "vec3.h"

// Combined multiplicative congruential generator (two moduli) with a 32-slot shuffle table.
struct RandomStream {
  int32_t state1;
  int32_t state2;
  int32_t last;  // last output; also picks the slot of the next draw
  int32_t shuffle[32];
};

// Seeds as the compiled-in runs always have: -|seed|, so S, -S, 0 and -1 share streams.
void random_seed(RandomStream& s, int32_t seed);
// The seeding of the programs' --seed, where every 32-bit value names its own stream. A negative
// seed is random_seed's; a seed S >= 0 starts the second generator from a positive state, which
// no negative seed gives before the first draw, and the first from a scrambled S.
void random_seed_distinct(RandomStream& s, int32_t seed);
int32_t random_next(RandomStream& s);  // in [1, 2147483562]
float random_uniform(RandomStream& s);
float random_range(RandomStream& s, float lo, float hi);
Vec3 random_vector(RandomStream& s, float lo, float hi);
Vec3 random_direction(RandomStream& s);  // unit length, uniform over the sphere
std::array<float, 2> random_gaussian_pair(RandomStream& s);
float random_gaussian(RandomStream& s, float mean, float deviation);
std::array<float, 2> random_gaussian_pair_scaled(RandomStream& s, float mean, float deviation);
