#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "network.h"

// The electrical conductance of a fiber network between two electrodes (README, "Conductance").
// Each contact is a junction resistance between the closest points of the two axes; along a
// fiber, consecutive nodes (contact and electrode points ordered along its axis) are joined by
// the wire resistance rho * l / (pi D^2 / 4). Open along `axis`: the electrodes are the two faces
// across it, at 0 V (-side/2) and 1 V (+side/2). Periodic along it: 1 V is applied across the
// period, so a fiber's image k sides further along `axis` sits k volts higher. The other periodic
// axes only wrap the contacts.

enum class ConductanceSolver {
  multilevel,  // conjugate gradients preconditioned by a multilevel cycle on fibers and clusters
  cg_fiber,    // conjugate gradients preconditioned by each fiber's chain of wire pieces
  direct,      // sparse LDLT with an approximate minimum degree ordering
  cg_ichol,    // conjugate gradients with an incomplete Cholesky preconditioner
  cg_jacobi,   // conjugate gradients with a diagonal preconditioner
};

struct ConductanceInput {
  std::span<const Fiber> fibers;
  std::span<const float> diameters;  // per fiber, or empty: `diameter` for all
  float diameter = 0;
  std::span<const Contact> contacts;
  std::array<double, 3> side{};  // of the box centred on the origin
  std::array<bool, 3> periodic{};
  int axis = 0;                    // 0 x, 1 y, 2 z
  double junction_resistance = 1;  // ohm, > 0
  double resistivity = 0;          // ohm metre, >= 0; 0: ideal wires
  ConductanceSolver solver = ConductanceSolver::multilevel;
  int threads = 0;  // at most this many at once, 0: one per core; results never depend on it
};

struct ConductanceResult {
  bool ok = false;
  std::string error;        // why, when not ok
  double conductance = 0;   // siemens: current between the electrodes at 1 V
  double conductivity = 0;  // S/m: G side[axis] / (the other two sides' product)
  double residual = 0;      // |A x - b| / |b| of the solve, 0 without one
  int64_t unknowns = 0;     // node potentials solved for
  int64_t iterations = 0;   // of an iterative solver
  // A film (README): the box's one smallest side lies across an open axis other than `axis`.
  // Then the sheet resistance in ohms per square, side[w] / (G side[axis]) with w the third axis;
  // infinite at G = 0.
  bool film = false;
  double sheet_resistance = 0;
  // Per fiber: the mean potential of its nodes in volts, NaN off the current-carrying clusters;
  // the largest current along it in amperes, 0 there.
  std::vector<double> potential, current;
};

// Throws std::bad_alloc when memory runs out; every other failure is reported in the result.
ConductanceResult solve_conductance(const ConductanceInput& in);
