#pragma once

// The engine on networks that their caller owns: placement, contact detection and clusters. Any
// number of networks may live at once, each processed on its own thread; nothing here touches
// the programs' process-wide network (network.h) or their settings (settings.h). The writers
// (io/csv_tables.h, io/vtk_polydata.h) take a network's fibers(), contacts() and clusters().

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "analysis/clusters.h"
#include "analysis/conductance.h"
#include "fiber_population.h"
#include "network.h"

namespace mikado {

// The box that holds the fiber centres, centred on the origin: its sides along x, y and z, and
// the axes along which it is periodic (pairs meet at their nearest images across those faces).
struct Box {
  std::array<float, 3> side{2e-6f, 2e-6f, 2e-6f};
  std::array<bool, 3> periodic{};

  static Box cube(float side, bool periodic = false) {
    return {{side, side, side}, {periodic, periodic, periodic}};
  }
};

// A generated network, as `mikado` places it with these options; the defaults are its defaults.
struct Settings {
  int32_t fibers = 10000;
  float length = 2e-7f;
  float diameter = 2e-9f;
  Box box;
  int32_t seed = -1;  // every seed names its own network
  // Orientations and length and diameter distributions as `mikado`'s options give them; the
  // default is the tuned generator's isotropic fibers of `length` and `diameter`.
  FiberPopulation population;
};

class Network {
 public:
  // Places the fibers. Throws std::invalid_argument for settings `mikado` refuses (a count below
  // 0, a length, diameter or side not above 0 or not finite, a distribution's numbers that the
  // options refuse, a periodic axis's side not above twice the longest fiber plus the widest
  // diameter, those drawn for lognormal ones) and std::bad_alloc when the memory cannot be had.
  // With distributions, length() and diameter() are their means, as `mikado` summarises them, and
  // diameters() the drawn ones.
  explicit Network(const Settings& settings);
  // Fibers of the caller's own, all of one diameter or each of its own (two fibers touch within
  // the mean of theirs, pair_diameter; a single diameter is for all); the network's length is the
  // longest fiber's, its diameter the widest. Throws as above, and for a fiber of zero length, a
  // coordinate that is not finite or a count of diameters that is not the count of fibers.
  Network(std::span<const Fiber> fibers, float diameter, Box box);
  Network(std::span<const Fiber> fibers, std::span<const float> diameters, Box box);
  ~Network();
  Network(Network&&) noexcept;
  Network& operator=(Network&&) noexcept;

  std::span<const Fiber> fibers() const;
  int32_t count() const;
  float length() const;
  float diameter() const;
  // Per fiber when they were given so, else empty.
  std::span<const float> diameters() const;
  const Box& box() const;
  // The fibers' volume over the box's; of generated networks as the programs compute it.
  double volume_fraction() const;

  // Finds the touching pairs, in pair order, exactly those of the all-pairs loop; keeps at most
  // `max_contacts` (UNCAPPED: all). `threads` 0 takes one per core; the result does not depend on
  // it. Throws std::bad_alloc, with no contacts kept, when the memory cannot be had.
  void detect_contacts(int threads = 0, int64_t max_contacts = UNCAPPED);
  std::span<const Contact> contacts() const;
  // More contacts exist than the cap let detect_contacts keep.
  bool capacity_reached() const;

  // The clusters of the contact graph of the contacts found (all fibers alone before detection).
  ClusterResult clusters() const;

  // The conductance along `axis` (0 x, 1 y, 2 z) through the contacts found: junctions of
  // `junction_resistance` ohms, wires of `resistivity` ohm metres (0: ideal), on at most
  // `threads` threads (0: one per core); the result does not depend on them.
  ConductanceResult conductance(int axis, double junction_resistance, double resistivity,
                                ConductanceSolver solver = ConductanceSolver::multilevel,
                                int threads = 0) const;

  // The line `mikado` prints for this network, without its line break.
  std::string summary() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace mikado
