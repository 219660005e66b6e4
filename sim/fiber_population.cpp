#include "fiber_population.h"

#include <algorithm>
#include <cmath>

#include "decimal_text.h"
#include "progress.h"
#include "random_draws.h"
#include "settings.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr int32_t kReportEvery = 1 << 16;

// <|sin gamma|> for two directions uniform over the cap of half angle `degrees` (either end of
// the axis, which |sin gamma| does not see). With |sin gamma| = sum a_l P_l(cos gamma) and the
// addition theorem, an axially symmetric distribution gives sum a_l <P_l(cos theta)>^2, where
// a_2n = -(4n + 1)/2 pi b_n^2 / ((2n - 1)(2n + 2)), b_n = C(2n, n) / 4^n, and over the cap
// <P_l> = (P_{l-1}(c0) - P_{l+1}(c0)) / ((2l + 1)(1 - c0)). The terms fall off once l exceeds
// a few times 1/THETA; below a degree the differences of P_l cancel too much, and the small-cap
// expansion (the mean distance of two points in a disc, 128 T / (45 pi), and its next term) is
// closer than 1e-8.
double cap_mean_abs_sine(double degrees) {
  const double t = degrees * (kPi / 180);
  if (degrees < 1) return 128 * t / (45 * kPi) * (1 - 4 * t * t / 15);
  const double c0 = std::cos(t);
  const double w = 2 * std::sin(t / 2) * std::sin(t / 2);  // 1 - c0 without cancellation
  const int terms = static_cast<int>(400 / t) + 100;
  double sum = kPi / 4;
  double below = 1, at = c0;  // P_{l-1}(c0), P_l(c0) with l = 1
  double b = 1;
  for (int l = 1; l <= 2 * terms; l += 2) {
    // From P_{l-1}, P_l to P_{l+1}, P_{l+2}.
    const double p1 = ((2 * l + 1) * c0 * at - l * below) / (l + 1);
    const double p2 = ((2 * l + 3) * c0 * p1 - (l + 1) * at) / (l + 2);
    const int n = (l + 1) / 2;
    const int even = l + 1;
    b *= (2.0 * n - 1) / (2.0 * n);
    const double m = (at - p2) / ((2 * even + 1) * w);
    const double a = -(4.0 * n + 1) / 2 * kPi * b * b / ((2.0 * n - 1) * (2.0 * n + 2));
    sum += a * m * m;
    below = p1;
    at = p2;
  }
  return sum;
}

}  // namespace

double mean_length(const FiberPopulation& p, float fixed) {
  switch (p.lengths) {
    case LengthDist::uniform:
      return (p.first + p.second) / 2;
    case LengthDist::lognormal:
      return p.first;
    case LengthDist::fixed:
      break;
  }
  return fixed;
}

double mean_diameter(const FiberPopulation& p, float fixed) {
  switch (p.diameters) {
    case LengthDist::uniform:
      return (p.diameter_first + p.diameter_second) / 2;
    case LengthDist::lognormal:
      return p.diameter_first;
    case LengthDist::fixed:
      break;
  }
  return fixed;
}

double mean_square_diameter(const FiberPopulation& p, float fixed) {
  const double a = p.diameter_first, b = p.diameter_second;
  switch (p.diameters) {
    case LengthDist::uniform:
      return (a * a + a * b + b * b) / 3;
    case LengthDist::lognormal:
      return a * a + b * b;
    case LengthDist::fixed:
      break;
  }
  return static_cast<double>(fixed) * fixed;
}

float widest_diameter(const FiberPopulation& p, float fixed) {
  switch (p.diameters) {
    case LengthDist::uniform:
      return static_cast<float>(p.diameter_second);
    case LengthDist::lognormal:
      return static_cast<float>(p.diameter_first);
    case LengthDist::fixed:
      break;
  }
  return fixed;
}

FiberPopulation scaled_population(const FiberPopulation& relative, float length, float diameter) {
  FiberPopulation p = relative;
  p.first *= length;
  p.second *= length;
  p.diameter_first *= diameter;
  p.diameter_second *= diameter;
  return p;
}

namespace {

// The draws of one size, a length or a diameter, of a distribution with numbers a and b.
class SizeDraws {
 public:
  SizeDraws(LengthDist dist, double a, double b) : dist_(dist), a_(a), b_(b) {
    // The underlying normal of sizes with mean M and deviation s: sigma^2 = ln(1 + s^2 / M^2),
    // mu = ln M - sigma^2 / 2.
    if (dist == LengthDist::lognormal) {
      const double ratio = b / a;
      const double variance = std::log1p(ratio * ratio);
      mu_ = std::log(a) - variance / 2;
      sigma_ = std::sqrt(variance);
    }
  }

  float draw(RandomStream& s, float fixed) const {
    if (dist_ == LengthDist::uniform)
      return static_cast<float>(a_ + random_draws::uniform(s) * (b_ - a_));
    if (dist_ == LengthDist::lognormal) {
      const double u1 = random_draws::uniform(s);
      const double u2 = random_draws::uniform(s);
      const double z = std::sqrt(-2 * std::log(u1)) * std::cos(2 * kPi * u2);
      return static_cast<float>(std::exp(mu_ + sigma_ * z));
    }
    return fixed;
  }

 private:
  LengthDist dist_;
  double a_, b_, mu_ = 0, sigma_ = 0;
};

}  // namespace

float place_fibers_plain(Fiber* out, int32_t count, float length, const FiberPopulation& p,
                         RandomStream& stream, float* diameters) {
  return place_fibers_plain(out, count, length, p, box_min, box_max, stream, diameters);
}

float place_fibers_plain(Fiber* out, int32_t count, float length, const FiberPopulation& p,
                         const float lo_corner[3], const float hi_corner[3], RandomStream& stream,
                         float* diameters) {
  if (count <= 0) return 0;
  Progress progress("placement", count);
  double lo[3], span[3];
  for (int k = 0; k < 3; ++k) {
    lo[k] = lo_corner[k];
    span[k] =
        hi_corner[k] - lo_corner[k];  // the float32 difference, as the tuned generator takes it
  }
  const double cap = p.cap_degrees * (kPi / 180);
  const double cap_width = 2 * std::sin(cap / 2) * std::sin(cap / 2);  // 1 - cos THETA
  const SizeDraws lengths(p.lengths, p.first, p.second);
  const SizeDraws widths(p.diameters, p.diameter_first, p.diameter_second);
  const bool thick = p.diameters != LengthDist::fixed;
  RandomStream s = stream;
  float longest = 0;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t centre[3] = {random_draws::next(s), random_draws::next(s), random_draws::next(s)};
    const float len = lengths.draw(s, length);
    longest = std::max(longest, len);
    if (thick) diameters[i] = widths.draw(s, 0);
    Vec3 dir{};
    if (p.orientation == Orientation::isotropic) {
      dir = random_draws::direction(s);
    } else if (p.orientation == Orientation::planar) {
      const double phi = 2 * kPi * random_draws::uniform(s);
      dir = {static_cast<float>(std::cos(phi)), static_cast<float>(std::sin(phi)), 0.0f};
    } else {
      const double below_top = random_draws::uniform(s) * cap_width;  // 1 - cos(theta)
      const double phi = 2 * kPi * random_draws::uniform(s);
      const double sign = random_draws::uniform(s) < 0.5 ? -1 : 1;
      const double c = 1 - below_top;
      const double r = std::sqrt(below_top * (1 + c));  // sin(theta)
      dir[p.axis] = static_cast<float>(sign * c);
      dir[(p.axis + 1) % 3] = static_cast<float>(sign * r * std::cos(phi));
      dir[(p.axis + 2) % 3] = static_cast<float>(sign * r * std::sin(phi));
    }
    const double h = len * 0.5f;
    Fiber& f = out[i];
    for (int k = 0; k < 3; ++k) {
      const double u = centre[k] * random_draws::kScale;
      const float c = static_cast<float>(lo[k] + u * span[k]);
      const double offset = h * dir[k];
      f.start[k] = static_cast<float>(c - offset);
      f.end[k] = static_cast<float>(c + offset);
    }
    if ((i + 1) % kReportEvery == 0) progress.add(kReportEvery);
  }
  stream = s;
  return longest;
}

double order_parameter(const Fiber* fibers, int32_t count, int axis) {
  double sum = 0;
  for (int32_t i = 0; i < count; ++i) {
    double d[3], n2 = 0;
    for (int k = 0; k < 3; ++k) {
      d[k] = static_cast<double>(fibers[i].end[k]) - fibers[i].start[k];
      n2 += d[k] * d[k];
    }
    sum += 1.5 * d[axis] * d[axis] / n2 - 0.5;
  }
  return count > 0 ? sum / count : 0;
}

double mean_abs_sine(const FiberPopulation& p) {
  switch (p.orientation) {
    case Orientation::planar:
      return 2 / kPi;
    case Orientation::aligned:
      return cap_mean_abs_sine(p.cap_degrees);
    case Orientation::isotropic:
      break;
  }
  return kPi / 4;
}

const char* axis_name(int axis) {
  static const char* const names[] = {"x", "y", "z"};
  return names[axis];
}

std::string orientation_text(const FiberPopulation& p) {
  switch (p.orientation) {
    case Orientation::planar:
      return "planar";
    case Orientation::aligned:
      return "aligned:" + shortest_decimal(static_cast<float>(p.cap_degrees));
    case Orientation::isotropic:
      break;
  }
  return "isotropic";
}

std::string length_dist_text(const FiberPopulation& p) {
  const auto number = [](double v) { return shortest_decimal(static_cast<float>(v)); };
  switch (p.lengths) {
    case LengthDist::uniform:
      return "uniform:" + number(p.first) + ":" + number(p.second);
    case LengthDist::lognormal:
      return "lognormal:" + number(p.first) + ":" + number(p.second);
    case LengthDist::fixed:
      break;
  }
  return "fixed";
}

std::string diameter_dist_text(const FiberPopulation& p) {
  FiberPopulation as_lengths;
  as_lengths.lengths = p.diameters;
  as_lengths.first = p.diameter_first;
  as_lengths.second = p.diameter_second;
  return length_dist_text(as_lengths);
}
