#include "engine.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>
#include <thread>

#include "contacts.h"
#include "decimal_text.h"
#include "placement.h"
#include "random_stream.h"
#include "summary.h"

namespace mikado {

struct Network::State {
  RecordBuffer<Fiber> fibers;
  RecordBuffer<Contact> contacts;
  int32_t count = 0, num_contacts = 0;
  float length = 0, diameter = 0;
  std::vector<float> diameters;                // per fiber, or empty
  bool own = false;                            // fibers of the caller's
  FiberPopulation population;                  // of generated fibers
  float fixed_length = 0, fixed_diameter = 0;  // the settings' length and diameter
  Box box;
  bool overflow = false;

  // The box's corners as the programs store them: float32 halves of the sides.
  void corners(float lo[3], float hi[3]) const {
    for (int k = 0; k < 3; ++k) {
      lo[k] = -box.side[k] * 0.5f;
      hi[k] = box.side[k] * 0.5f;
    }
  }

  Periods periods() const {
    Periods p{};
    for (int k = 0; k < 3; ++k) p[k] = box.periodic[k] ? box.side[k] : 0.0;
    return p;
  }
};

namespace {

void require(bool holds, const std::string& what) {
  if (!holds) throw std::invalid_argument(what);
}

bool positive(float v) {
  return std::isfinite(v) && v > 0;
}

// The checks the programs make of their options, with their wording.
void check(int64_t count, float length, float diameter, const Box& box) {
  require(count >= 0, "the fiber count " + std::to_string(count) + " is below 0");
  require(positive(length), "the fiber length " + shortest_decimal(length) + " is not above 0");
  require(positive(diameter), "the diameter " + shortest_decimal(diameter) + " is not above 0");
  // Compared as float32, as the programs do.
  const auto bound = static_cast<float>(2.0 * length + diameter);
  for (int k = 0; k < 3; ++k) {
    const std::string side = "the box side " + shortest_decimal(box.side[k]) + " along " +
                             std::string(1, static_cast<char>('x' + k));
    require(positive(box.side[k]), side + " is not above 0");
    require(!box.periodic[k] || box.side[k] > bound,
            "periodic: " + side + " must exceed twice the fiber length plus the diameter, " +
                shortest_decimal(bound));
  }
}

// A distribution's numbers as the options accept them: MIN above 0 and MAX at least MIN, or MEAN
// above 0 and SD at least 0.
void check_dist(LengthDist dist, double first, double second, const std::string& what) {
  if (dist == LengthDist::fixed) return;
  const bool uniform = dist == LengthDist::uniform;
  require(std::isfinite(first) && first > 0 && std::isfinite(second) &&
              (uniform ? second >= first : second >= 0),
          "the " + what + " distribution " + std::string(uniform ? "uniform" : "lognormal") + ":" +
              shortest_decimal(static_cast<float>(first)) + ":" +
              shortest_decimal(static_cast<float>(second)) + " is out of bounds");
}

void take(RecordBuffer<Fiber>& fibers, int64_t count) {
  if (!fibers.reset(count)) throw std::bad_alloc();
}

}  // namespace

Network::Network(const Settings& s) : state_(std::make_unique<State>()) {
  const FiberPopulation& p = s.population;
  check_dist(p.lengths, p.first, p.second, "length");
  check_dist(p.diameters, p.diameter_first, p.diameter_second, "diameter");
  // The longest fiber and widest diameter there can be; lognormal ones are checked once drawn.
  const float longest = p.lengths == LengthDist::uniform     ? static_cast<float>(p.second)
                        : p.lengths == LengthDist::lognormal ? static_cast<float>(p.first)
                                                             : s.length;
  check(s.fibers, longest, widest_diameter(p, s.diameter), s.box);
  State& n = *state_;
  take(n.fibers, s.fibers);
  n.count = s.fibers;
  n.population = p;
  n.fixed_length = s.length;
  n.fixed_diameter = s.diameter;
  n.length = static_cast<float>(mean_length(p, s.length));
  n.diameter = static_cast<float>(mean_diameter(p, s.diameter));
  n.box = s.box;
  RandomStream stream{};
  random_seed_distinct(stream, s.seed);
  float lo[3], hi[3];
  n.corners(lo, hi);
  if (!p.plain()) {
    place_fibers_into(n.fibers.data(), n.count, n.length, lo, hi, stream);
    return;
  }
  if (p.diameters != LengthDist::fixed) n.diameters.resize(static_cast<size_t>(n.count));
  const float drawn =
      place_fibers_plain(n.fibers.data(), n.count, s.length, p, lo, hi, stream, n.diameters.data());
  const float widest =
      n.diameters.empty() ? s.diameter : *std::max_element(n.diameters.begin(), n.diameters.end());
  check(s.fibers, std::max(longest, drawn), std::max(widest_diameter(p, s.diameter), widest),
        s.box);
}

Network::Network(std::span<const Fiber> fibers, float diameter, Box box)
    : Network(fibers, std::span<const float>(&diameter, 1), box) {
  state_->diameters.clear();
}

Network::Network(std::span<const Fiber> fibers, std::span<const float> diameters, Box box)
    : state_(std::make_unique<State>()) {
  // One per fiber, or one for all.
  const bool each = diameters.size() == fibers.size();
  require(each || diameters.size() == 1, std::to_string(diameters.size()) + " diameters for " +
                                             std::to_string(fibers.size()) + " fibers");
  float widest = diameters.empty() ? 1.0f : diameters[0];
  for (const float d : diameters) {
    require(positive(d), "the diameter " + shortest_decimal(d) + " is not above 0");
    widest = std::max(widest, d);
  }
  require(fibers.size() <= static_cast<size_t>(INT32_MAX), "more than 2147483647 fibers");
  double longest = 0;
  for (size_t i = 0; i < fibers.size(); ++i) {
    for (int k = 0; k < 3; ++k) {
      require(std::isfinite(fibers[i].start[k]) && std::isfinite(fibers[i].end[k]),
              "fiber " + std::to_string(i) + " has a coordinate that is not finite");
    }
    const double squared = squared_length(fibers[i]);
    require(squared > 0, "fiber " + std::to_string(i) + " has length 0");
    longest = std::max(longest, squared);
  }
  State& n = *state_;
  n.length = fibers.empty() ? 0 : static_cast<float>(std::sqrt(longest));
  check(static_cast<int64_t>(fibers.size()), fibers.empty() ? 1 : n.length, widest, box);
  take(n.fibers, static_cast<int64_t>(fibers.size()));
  std::copy(fibers.begin(), fibers.end(), n.fibers.begin());
  n.count = static_cast<int32_t>(fibers.size());
  n.diameter = widest;
  if (each) n.diameters.assign(diameters.begin(), diameters.end());
  n.own = true;
  n.box = box;
}

Network::~Network() = default;
Network::Network(Network&&) noexcept = default;
Network& Network::operator=(Network&&) noexcept = default;

std::span<const Fiber> Network::fibers() const {
  return {state_->fibers.data(), static_cast<size_t>(state_->count)};
}
int32_t Network::count() const {
  return state_->count;
}
float Network::length() const {
  return state_->length;
}
float Network::diameter() const {
  return state_->diameter;
}
std::span<const float> Network::diameters() const {
  return state_->diameters;
}
const Box& Network::box() const {
  return state_->box;
}

double Network::volume_fraction() const {
  const State& n = *state_;
  float lo[3], hi[3];
  n.corners(lo, hi);
  if (!n.own && !n.diameters.empty())
    return expected_volume_fraction(n.count, mean_length(n.population, n.fixed_length),
                                    mean_square_diameter(n.population, n.fixed_diameter), lo, hi);
  if (!n.own) return ::volume_fraction(n.count, n.length, n.diameter, lo, hi);
  return fibers_volume_fraction(fibers(), n.diameters, n.diameter, lo, hi);
}

void Network::detect_contacts(int threads, int64_t max_contacts) {
  State& n = *state_;
  n.num_contacts = 0;
  n.overflow = false;
  if (threads <= 0) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  // A detector per detection: its working memory goes when the contacts are found.
  ContactDetector detector;
  ContactFindings found;
  if (!detector.detect(
          {n.fibers.data(), n.count, n.diameter, n.diameters.empty() ? nullptr : n.diameters.data(),
           n.periods(), max_contacts, threads},
          n.contacts, found))
    throw std::bad_alloc();
  n.num_contacts = found.count;
  n.overflow = found.overflow;
}

std::span<const Contact> Network::contacts() const {
  return {state_->contacts.data(), static_cast<size_t>(state_->num_contacts)};
}

bool Network::capacity_reached() const {
  return state_->overflow;
}

ClusterResult Network::clusters() const {
  const State& n = *state_;
  const std::array<double, 3> side{n.box.side[0], n.box.side[1], n.box.side[2]};
  return find_clusters(n.fibers.data(), n.count, n.contacts.data(), n.num_contacts, side,
                       n.box.periodic);
}

ConductanceResult Network::conductance(int axis, double junction_resistance, double resistivity,
                                       ConductanceSolver solver, int threads) const {
  const State& n = *state_;
  ConductanceInput in;
  in.fibers = fibers();
  in.diameters = n.diameters;
  in.diameter = n.diameter;
  in.contacts = contacts();
  in.side = {n.box.side[0], n.box.side[1], n.box.side[2]};
  in.periodic = n.box.periodic;
  in.axis = axis;
  in.junction_resistance = junction_resistance;
  in.resistivity = resistivity;
  in.solver = solver;
  in.threads = threads;
  return solve_conductance(in);
}

std::string Network::summary() const {
  return format_summary(state_->count, state_->length, state_->diameter, volume_fraction(),
                        state_->num_contacts);
}

}  // namespace mikado
