#pragma once

#include <cstdint>
#include <string>

#include "network.h"

// How the fibers of a run are oriented and how long they are. The default, isotropic fibers of
// one length, is placed by the tuned generator (placement.h); everything else takes the plain
// path below.
enum class Orientation { isotropic, planar, aligned };
enum class LengthDist { fixed, uniform, lognormal };

struct FiberPopulation {
  Orientation orientation = Orientation::isotropic;
  double cap_degrees = 90;  // aligned: the half angle of the cap about the axis
  int axis = 2;             // 0, 1, 2 for x, y, z: the cap's axis and the order parameter's
  LengthDist lengths = LengthDist::fixed;
  double first = 0, second = 0;  // uniform: MIN, MAX; lognormal: MEAN, SD of the lengths (m)

  bool plain() const {
    return orientation != Orientation::isotropic || lengths != LengthDist::fixed;
  }
};

// The mean length of the population; `fixed` for fixed lengths.
double mean_length(const FiberPopulation& p, float fixed);

// The population of a sweep run whose table length is `length`, from one whose numbers are
// relative to it: uniform a:b is [a L, b L], lognormal m:s has mean m L and deviation s L.
FiberPopulation scaled_population(const FiberPopulation& relative, float length);

// Places `count` fibers into `out`, continuing `stream`, with centres uniform in the box
// (box_min to box_max). Each fiber takes, in this order: 3 draws for its centre (x, y, z) as the
// tuned generator takes them; its length draws (fixed: none; uniform: 1, L = MIN + u (MAX - MIN);
// lognormal: 2, Box-Muller z = sqrt(-2 ln u1) cos(2 pi u2), L = exp(mu + sigma z)); then its
// direction draws (isotropic: 3 per attempt until one lies in the generator's shell; planar: 1,
// phi = 2 pi u in the x-y plane; aligned: 3, cos(theta) = 1 - u1 (1 - cos THETA), phi = 2 pi u2
// about the axis, and the end of the axis taken negative when u3 < 1/2). Isotropic fibers of one
// length come out exactly as from place_fibers_into. Returns the longest length drawn.
float place_fibers_plain(Fiber* out, int32_t count, float length, const FiberPopulation& p,
                         RandomStream& stream);

// S = <(3 cos^2 theta - 1) / 2> over the fibers, theta the angle between a fiber and the axis.
double order_parameter(const Fiber* fibers, int32_t count, int axis);

// <|sin gamma|> for two independent fiber directions of the population: pi/4 isotropic, 2/pi
// planar, and for a cap of half angle THETA a Legendre series (within 1e-8).
double mean_abs_sine(const FiberPopulation& p);

// "x", "y" or "z".
const char* axis_name(int axis);

// The settings as the options write them: "aligned:30", "uniform:1e-07:3e-07".
std::string orientation_text(const FiberPopulation& p);
std::string length_dist_text(const FiberPopulation& p);
