#pragma once

#include <cstdint>
#include <string>

#include "network.h"

// How the fibers of a run are oriented, how long and how thick they are. The default, isotropic
// fibers of one length and one diameter, is placed by the tuned generator (placement.h);
// everything else takes the plain path below.
enum class Orientation { isotropic, planar, aligned };
// Of lengths and of diameters alike.
enum class LengthDist { fixed, uniform, lognormal };

struct FiberPopulation {
  Orientation orientation = Orientation::isotropic;
  double cap_degrees = 90;  // aligned: the half angle of the cap about the axis
  int axis = 2;             // 0, 1, 2 for x, y, z: the cap's axis and the order parameter's
  LengthDist lengths = LengthDist::fixed;
  double first = 0, second = 0;  // uniform: MIN, MAX; lognormal: MEAN, SD of the lengths (m)
  LengthDist diameters = LengthDist::fixed;
  double diameter_first = 0, diameter_second = 0;  // the same of the diameters (m)

  bool plain() const {
    return orientation != Orientation::isotropic || lengths != LengthDist::fixed ||
           diameters != LengthDist::fixed;
  }
};

// The mean length of the population; `fixed` for fixed lengths.
double mean_length(const FiberPopulation& p, float fixed);
// The mean diameter and the mean of its square; `fixed` (squared) for fixed diameters.
double mean_diameter(const FiberPopulation& p, float fixed);
double mean_square_diameter(const FiberPopulation& p, float fixed);
// The widest diameter there can be: MAX for uniform, `fixed` for fixed; lognormal has none and
// gives its mean.
float widest_diameter(const FiberPopulation& p, float fixed);

// The population of a sweep run whose table length is `length` and table diameter `diameter`,
// from one whose numbers are relative to them: uniform a:b is [a L, b L], lognormal m:s has mean
// m L and deviation s L, and the same of the diameters with D.
FiberPopulation scaled_population(const FiberPopulation& relative, float length, float diameter);

// Places `count` fibers into `out`, continuing `stream`, with centres uniform in the box
// (box_min to box_max, or `lo` to `hi`). Each fiber takes, in this order: 3 draws for its centre
// (x, y, z) as the tuned generator takes them; its length draws (fixed: none; uniform: 1,
// L = MIN + u (MAX - MIN); lognormal: 2, Box-Muller z = sqrt(-2 ln u1) cos(2 pi u2),
// L = exp(mu + sigma z) with sigma^2 = ln(1 + SD^2 / MEAN^2), mu = ln MEAN - sigma^2 / 2); its
// diameter draws, the same as the length's with the diameter's numbers; then its direction draws
// (isotropic: 3 per attempt until one lies in the generator's shell; planar: 1, phi = 2 pi u in
// the x-y plane; aligned: 3, cos(theta) = 1 - u1 (1 - cos THETA), phi = 2 pi u2 about the axis,
// and the end of the axis taken negative when u3 < 1/2). Isotropic fibers of one length come out
// exactly as from place_fibers_into. The diameters drawn go to `diameters` (`count` of them)
// unless the diameter is fixed, when it may be null. Returns the longest length drawn.
float place_fibers_plain(Fiber* out, int32_t count, float length, const FiberPopulation& p,
                         RandomStream& stream, float* diameters = nullptr);
float place_fibers_plain(Fiber* out, int32_t count, float length, const FiberPopulation& p,
                         const float lo[3], const float hi[3], RandomStream& stream,
                         float* diameters);

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
std::string diameter_dist_text(const FiberPopulation& p);
