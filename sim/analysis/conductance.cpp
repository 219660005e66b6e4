#include "analysis/conductance.h"

#include <Eigen/IterativeLinearSolvers>
#include <Eigen/SparseCholesky>
#include <Eigen/SparseCore>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>

#include "analysis/circuit_reduction.h"
#include "analysis/clusters.h"
#include "analysis/huge_pages.h"
#include "analysis/multilevel.h"
#include "periodic_image.h"

namespace {

using SparseMatrix = Eigen::SparseMatrix<double, Eigen::ColMajor, int>;
using Vector = Eigen::VectorXd;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kTolerance = 1e-9;
// Electrode events carry these in place of a contact index.
constexpr int32_t kLowerFace = -1, kUpperFace = -2;

// A node of a fiber: a contact's or an electrode's point on its axis, at parameter t (0 at the
// start, 1 at the end).
struct Event {
  double t;
  int32_t what;  // contact index, kLowerFace or kUpperFace
};

// The parameter of the point on f's axis nearest to p, clamped to the segment.
double project(const Fiber& f, const double p[3]) {
  double num = 0, den = 0;
  for (int a = 0; a < 3; ++a) {
    const double d = static_cast<double>(f.end[a]) - f.start[a];
    num += (p[a] - f.start[a]) * d;
    den += d * d;
  }
  return std::clamp(num / den, 0.0, 1.0);
}

// Where f's axis meets the plane at coordinate `face` along `axis`.
double crossing(const Fiber& f, int axis, double face) {
  const double d = static_cast<double>(f.end[axis]) - f.start[axis];
  // A fiber lying in the face touches it everywhere; its start stands for it.
  return d != 0 ? std::clamp((face - f.start[axis]) / d, 0.0, 1.0) : 0.0;
}

ConductanceResult failure(ConductanceResult r, const std::string& why) {
  r.ok = false;
  r.error = why;
  return r;
}

std::string number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

// Solves A x = b; an empty string when it did.
template <typename Solver>
std::string iterate(Solver& solver, const SparseMatrix& A, const Vector& b, Vector& x,
                    int64_t& iterations) {
  solver.setTolerance(kTolerance / 10);
  solver.setMaxIterations(static_cast<Eigen::Index>(std::max<int64_t>(1000, 4 * A.rows())));
  solver.compute(A);
  if (solver.info() != Eigen::Success) return "the preconditioner could not be built";
  x = solver.solve(b);
  iterations = solver.iterations();
  if (solver.info() != Eigen::Success)
    return "no convergence after " + std::to_string(solver.iterations()) +
           " iterations (residual " + number(solver.error()) + ")";
  return {};
}

// Conjugate gradients preconditioned by the tridiagonal part of A: unknowns u and u + 1 joined
// by a wire piece of one fiber. Solving each fiber's chain exactly takes out the stiffness of
// short pieces, which otherwise slows plain diagonal scaling by orders of magnitude.
std::string fiber_cg(const SparseMatrix& A, const Vector& chain, const Vector& b, Vector& x,
                     int64_t& iterations) {
  const Eigen::Index m = A.rows();
  // LDL^T of the tridiagonal matrix with diagonal diag(A) and off-diagonal -chain.
  Vector pivot(m), factor(m);
  for (Eigen::Index u = 0; u < m; ++u) {
    pivot[u] = A.coeff(u, u) - (u > 0 ? factor[u - 1] * -chain[u - 1] : 0.0);
    if (!(pivot[u] > 0)) return "the fiber preconditioner is not positive definite";
    factor[u] = -chain[u] / pivot[u];
  }
  Halves in_turn(false);
  const auto precondition = [&](const Vector& r, Vector& z) {
    for (Eigen::Index u = 0; u < m; ++u) z[u] = r[u] - (u > 0 ? factor[u - 1] * z[u - 1] : 0.0);
    for (Eigen::Index u = 0; u < m; ++u) z[u] /= pivot[u];
    for (Eigen::Index u = m - 2; u >= 0; --u) z[u] -= factor[u] * z[u + 1];
  };
  const multilevel::Outcome out = multilevel::conjugate_gradients(
      A, precondition, b, x, kTolerance / 10, std::max<int64_t>(1000, 4 * static_cast<int64_t>(m)),
      in_turn);
  iterations = out.iterations;
  return out.error;
}

std::string solve(ConductanceSolver kind, int threads, const SparseMatrix& A, const Vector& chain,
                  const Vector& b, Vector& x, int64_t& iterations) {
  switch (kind) {
    case ConductanceSolver::multilevel: {
      Halves halves(threads != 1 && A.rows() >= multilevel::kSplit);
      const multilevel::Preconditioner M(A, chain, &halves);
      const multilevel::Outcome out = multilevel::conjugate_gradients(
          A, [&](const Vector& r, Vector& z) { M.apply(r, z); }, b, x, kTolerance / 10,
          std::max<int64_t>(1000, A.rows()), halves);
      iterations = out.iterations;
      return out.error;
    }
    case ConductanceSolver::cg_fiber:
      return fiber_cg(A, chain, b, x, iterations);
    case ConductanceSolver::direct: {
      Eigen::SimplicialLDLT<SparseMatrix, Eigen::Lower, Eigen::AMDOrdering<int>> ldlt(A);
      if (ldlt.info() != Eigen::Success) return "the factorisation failed";
      x = ldlt.solve(b);
      // One step of refinement recovers digits lost to widely spread conductances.
      const Vector r = b - A * x;
      if (r.norm() > kTolerance / 10 * b.norm()) x += ldlt.solve(r);
      return {};
    }
    case ConductanceSolver::cg_ichol: {
      Eigen::ConjugateGradient<SparseMatrix, Eigen::Lower | Eigen::Upper,
                               Eigen::IncompleteCholesky<double, Eigen::Lower>>
          cg;
      return iterate(cg, A, b, x, iterations);
    }
    case ConductanceSolver::cg_jacobi: {
      Eigen::ConjugateGradient<SparseMatrix, Eigen::Lower | Eigen::Upper> cg;
      return iterate(cg, A, b, x, iterations);
    }
  }
  return "unknown solver";
}

// Bit k of each coordinate moved to bit 3k (+1, +2) of the key.
uint64_t interleave(uint32_t x, uint32_t y, uint32_t z) {
  uint64_t key = 0;
  for (int k = 0; k < 21; ++k) {
    key |= (uint64_t{x} >> k & 1) << (3 * k) | (uint64_t{y} >> k & 1) << (3 * k + 1) |
           (uint64_t{z} >> k & 1) << (3 * k + 2);
  }
  return key;
}

// The active fibers sorted by the Morton key of their midpoints.
std::vector<int32_t> spatial_order(std::span<const Fiber> fibers,
                                   const BigVector<uint8_t>& active) {
  Vec3 lo{}, hi{};
  bool first = true;
  for (size_t f = 0; f < fibers.size(); ++f) {
    if (!active[f]) continue;
    const Vec3 mid = fiber_midpoint(fibers[f]);
    for (int a = 0; a < 3; ++a) {
      lo[a] = first ? mid[a] : std::min(lo[a], mid[a]);
      hi[a] = first ? mid[a] : std::max(hi[a], mid[a]);
    }
    first = false;
  }
  std::vector<std::pair<uint64_t, int32_t>> keyed;
  for (size_t f = 0; f < fibers.size(); ++f) {
    if (!active[f]) continue;
    const Vec3 mid = fiber_midpoint(fibers[f]);
    uint32_t cell[3];
    for (int a = 0; a < 3; ++a) {
      const double span = static_cast<double>(hi[a]) - lo[a];
      cell[a] = span > 0 ? static_cast<uint32_t>((mid[a] - lo[a]) / span * 1048575.0) : 0;
    }
    keyed.emplace_back(interleave(cell[0], cell[1], cell[2]), static_cast<int32_t>(f));
  }
  std::sort(keyed.begin(), keyed.end());
  std::vector<int32_t> order;
  order.reserve(keyed.size());
  for (const auto& k : keyed) order.push_back(k.second);
  return order;
}

// The matrix of Kirchhoff's law at the m unknowns, built column by column: rows in order,
// parallel resistors summed in the order given. Adds the held nodes' and the periods' currents
// to b and the wires joining consecutive unknowns to chain.
SparseMatrix kirchhoff(const BigVector<Resistor>& edges, const BigVector<uint8_t>& kept,
                       const BigVector<uint8_t>& wire, const BigVector<int32_t>& unknown,
                       const BigVector<double>& fixed, int32_t m, Vector& b, Vector& chain) {
  // Each column: its diagonal first, then one entry per resistor to another unknown.
  BigVector<int> outer(static_cast<size_t>(m) + 1, 0);
  for (size_t k = 0; k < edges.size(); ++k) {
    const int32_t up = unknown[edges[k].p], uq = unknown[edges[k].q];
    if (kept[k] && up >= 0 && uq >= 0) {
      ++outer[up + 1];
      ++outer[uq + 1];
    }
  }
  for (int32_t u = 0; u < m; ++u) outer[u + 1] += outer[u] + 1;
  BigVector<int> inner(static_cast<size_t>(outer[m])), next(outer.begin(), outer.end() - 1);
  BigVector<double> value(inner.size(), 0.0);
  for (int32_t u = 0; u < m; ++u) inner[next[u]++] = u;
  const auto add = [&](int32_t u, int32_t other, double g) {
    value[outer[u]] += g;
    if (other < 0) return;
    inner[next[u]] = other;
    value[next[u]++] = -g;
  };
  for (size_t k = 0; k < edges.size(); ++k) {
    if (!kept[k]) continue;
    const Resistor& e = edges[k];
    const int32_t up = unknown[e.p], uq = unknown[e.q];
    if (wire[k] && up >= 0 && uq >= 0 && std::abs(up - uq) == 1) chain[std::min(up, uq)] += e.g;
    if (up >= 0) {
      add(up, uq, e.g);
      b[up] += e.g * e.k;
      if (uq < 0) b[up] += e.g * fixed[e.q];
    }
    if (uq >= 0) {
      add(uq, up, e.g);
      b[uq] -= e.g * e.k;
      if (up < 0) b[uq] += e.g * fixed[e.p];
    }
  }
  // Sorted (stably, so that repeats add up in order) and repeats merged, packed to the front.
  int w = 0;
  for (int32_t u = 0; u < m; ++u) {
    const int from = outer[u], to = outer[u + 1];
    for (int i = from + 1; i < to; ++i) {
      for (int j = i; j > from && inner[j - 1] > inner[j]; --j) {
        std::swap(inner[j - 1], inner[j]);
        std::swap(value[j - 1], value[j]);
      }
    }
    outer[u] = w;
    for (int i = from; i < to; ++i) {
      if (i > from && inner[i] == inner[w - 1]) {
        value[w - 1] += value[i];
        continue;
      }
      inner[w] = inner[i];
      value[w++] = value[i];
    }
  }
  outer[m] = w;
  return multilevel::compressed(m, m, outer, inner, value);
}

}  // namespace

ConductanceResult solve_conductance(const ConductanceInput& in) {
  ConductanceResult r;
  const size_t n = in.fibers.size();
  r.potential.assign(n, kNaN);
  r.current.assign(n, 0.0);
  if (in.axis < 0 || in.axis > 2) return failure(r, "the axis must be x, y or z");
  if (!(in.junction_resistance > 0) || !std::isfinite(in.junction_resistance))
    return failure(r, "the junction resistance must be finite and above 0");
  if (!(in.resistivity >= 0) || !std::isfinite(in.resistivity))
    return failure(r, "the resistivity must be finite and not below 0");
  for (const double side : in.side) {
    if (!(side > 0) || !std::isfinite(side))
      return failure(r, "the box sides must be finite and above 0");
  }
  if (!in.diameters.empty() && in.diameters.size() != n)
    return failure(r, "one diameter per fiber is needed");
  if (n > INT32_MAX || in.contacts.size() > INT32_MAX) return failure(r, "too many fibers");
  const int axis = in.axis;
  const double half = in.side[axis] / 2;
  const bool periodic = in.periodic[axis];
  Periods period{};
  for (int a = 0; a < 3; ++a) period[a] = in.periodic[a] ? in.side[a] : 0.0;
  const bool wires = in.resistivity > 0;

  // Only clusters joining the electrodes (or wrapping the period) carry current.
  const ClusterResult clusters =
      find_clusters(in.fibers.data(), static_cast<int32_t>(n), in.contacts.data(),
                    static_cast<int32_t>(in.contacts.size()), in.side, in.periodic);
  BigVector<uint8_t> active(n);
  for (size_t f = 0; f < n; ++f) active[f] = clusters.spans[clusters.cluster_of[f]] >> axis & 1;
  const auto lower_face = [&](const Fiber& f) {
    return !periodic && (f.start[axis] <= -half || f.end[axis] <= -half);
  };
  const auto upper_face = [&](const Fiber& f) {
    return !periodic && (f.start[axis] >= half || f.end[axis] >= half);
  };

  // The events of each fiber, grouped by fiber.
  BigVector<int64_t> first(n + 1, 0);
  for (const Contact& c : in.contacts) {
    if (!active[c.first]) continue;
    ++first[c.first + 1];
    ++first[c.second + 1];
  }
  for (size_t f = 0; f < n; ++f) {
    if (!active[f]) continue;
    first[f + 1] += lower_face(in.fibers[f]) + upper_face(in.fibers[f]);
  }
  for (size_t f = 0; f < n; ++f) first[f + 1] += first[f];
  BigVector<Event> events(static_cast<size_t>(first[n]));
  {
    BigVector<int64_t> next(first.begin(), first.end() - 1);
    for (size_t k = 0; k < in.contacts.size(); ++k) {
      const Contact& c = in.contacts[k];
      if (!active[c.first]) continue;
      for (const int32_t f : {c.first, c.second}) {
        const Fiber& fiber = in.fibers[f];
        // The contact point on the image of its axis that lies nearest this fiber.
        const Vec3 mid = fiber_midpoint(fiber);
        double p[3];
        for (int a = 0; a < 3; ++a)
          p[a] = c.point[a] + image_shift(mid[a], c.point[a], period[a]) * period[a];
        events[next[f]++] = {project(fiber, p), static_cast<int32_t>(k)};
      }
    }
    for (size_t f = 0; f < n; ++f) {
      if (!active[f]) continue;
      const Fiber& fiber = in.fibers[f];
      if (lower_face(fiber)) events[next[f]++] = {crossing(fiber, axis, -half), kLowerFace};
      if (upper_face(fiber)) events[next[f]++] = {crossing(fiber, axis, half), kUpperFace};
    }
  }
  for (size_t f = 0; f < n; ++f) {
    std::sort(events.begin() + first[f], events.begin() + first[f + 1],
              [](const Event& x, const Event& y) {
                return x.t < y.t || (x.t == y.t && x.what < y.what);
              });
  }

  // Nodes: one per fiber with ideal wires, else one per distinct point along it. An electrode's
  // node is held at its potential; periodic along the axis, one node of each cluster is grounded.
  BigVector<int32_t> node_of(events.size());
  BigVector<int32_t> fiber_node(n + 1, 0);
  BigVector<double> node_t, fixed;
  BigVector<int32_t> contact_end(2 * in.contacts.size(), -1);
  for (size_t f = 0; f < n; ++f) {
    fiber_node[f] = static_cast<int32_t>(node_t.size());
    for (int64_t e = first[f]; e < first[f + 1]; ++e) {
      const Event& ev = events[e];
      if (e == first[f] || (wires && ev.t != events[e - 1].t)) {
        node_t.push_back(ev.t);
        fixed.push_back(kNaN);
      }
      const auto node = static_cast<int32_t>(node_t.size() - 1);
      node_of[e] = node;
      if (ev.what >= 0) {
        const bool second = in.contacts[ev.what].second == static_cast<int32_t>(f);
        contact_end[2 * static_cast<size_t>(ev.what) + second] = static_cast<int32_t>(e);
        continue;
      }
      const double v = ev.what == kUpperFace ? 1.0 : 0.0;
      if (!std::isnan(fixed[node]) && fixed[node] != v)
        return failure(r, "fiber " + std::to_string(f) +
                              " joins both electrodes through ideal wire (infinite conductance)");
      fixed[node] = v;
    }
    if (node_t.size() > INT32_MAX) return failure(r, "too many nodes");
  }
  fiber_node[n] = static_cast<int32_t>(node_t.size());
  if (periodic) {
    for (size_t f = 0; f < n; ++f) {
      if (active[f] && clusters.cluster_of[f] == static_cast<int32_t>(f))
        fixed[fiber_node[f]] = 0.0;
    }
  }
  const size_t num_nodes = node_t.size();
  // The resistors: junctions in contact order, then wire pieces; room for the series
  // resistors the reduction appends too (at most one per node), so that they are not copied.
  BigVector<Resistor> edges;
  edges.reserve(in.contacts.size() + (wires ? 2 : 1) * num_nodes);
  BigVector<int32_t> edge_of_contact(in.contacts.size(), -1);
  for (size_t k = 0; k < in.contacts.size(); ++k) {
    const Contact& c = in.contacts[k];
    if (!active[c.first]) continue;
    // Only a step across the period along `axis` changes the potential.
    int32_t shift = 0;
    if (periodic) {
      const Vec3 mi = fiber_midpoint(in.fibers[c.first]), mj = fiber_midpoint(in.fibers[c.second]);
      shift = static_cast<int32_t>(image_shift(mi[axis], mj[axis], period[axis]));
    }
    edge_of_contact[k] = static_cast<int32_t>(edges.size());
    edges.push_back({node_of[contact_end[2 * k]], node_of[contact_end[2 * k + 1]],
                     1.0 / in.junction_resistance, shift});
  }
  const auto area = [&](size_t f) {
    const double d = in.diameters.empty() ? in.diameter : in.diameters[f];
    return std::numbers::pi * d * d / 4;
  };
  const auto wire_conductance = [&](size_t f, int32_t v) {
    const double l = (node_t[v + 1] - node_t[v]) * std::sqrt(squared_length(in.fibers[f]));
    return area(f) / (in.resistivity * l);
  };
  const size_t junctions = edges.size();
  if (wires) {
    for (size_t f = 0; f < n; ++f) {
      for (int32_t v = fiber_node[f]; v + 1 < fiber_node[f + 1]; ++v)
        edges.push_back({v, v + 1, wire_conductance(f, v), 0});
    }
  }

  const size_t resistors = edges.size();
  BigVector<uint8_t> wire(resistors, 0), free_node(num_nodes);
  std::fill(wire.begin() + static_cast<std::ptrdiff_t>(junctions), wire.end(), 1);
  for (size_t v = 0; v < num_nodes; ++v) free_node[v] = std::isnan(fixed[v]);
  const CircuitReduction reduced = reduce_circuit(edges, wire, free_node);

  // Unknowns numbered fiber by fiber along a space-filling curve: coupled unknowns then lie
  // close in memory, which makes the solver's sweeps several times faster than in the fibers'
  // random order.
  BigVector<int32_t> unknown(num_nodes, -1);
  int32_t m = 0;
  for (const int32_t f : spatial_order(in.fibers, active)) {
    for (int32_t v = fiber_node[f]; v < fiber_node[f + 1]; ++v) {
      if (free_node[v] && reduced.node_kept[v]) unknown[v] = m++;
    }
  }
  r.unknowns = m;

  // Kirchhoff's current law at every free node. `chain` holds the wires joining consecutive
  // unknowns, for the preconditioners that solve each fiber's chain exactly.
  Vector b = Vector::Zero(m), chain = Vector::Zero(m);
  const SparseMatrix A = kirchhoff(edges, reduced.kept, wire, unknown, fixed, m, b, chain);
  Vector x = Vector::Zero(m);
  if (m > 0 && b.norm() > 0) {
    const std::string why = solve(in.solver, in.threads, A, chain, b, x, r.iterations);
    if (!why.empty()) return failure(r, why);
    r.residual = (A * x - b).norm() / b.norm();
    if (!(r.residual <= kTolerance))
      return failure(r, "the residual " + number(r.residual) + " exceeds " + number(kTolerance));
  }

  BigVector<double> potential(fixed);
  for (size_t v = 0; v < num_nodes; ++v) {
    if (unknown[v] >= 0) potential[v] = x[unknown[v]];
  }
  recover_potentials(reduced.eliminated, potential);
  edges.resize(resistors);
  const auto flow = [&](const Resistor& e) {
    return e.g * (potential[e.p] - potential[e.q] - e.k);
  };
  // The current at 1 V is the power the network dissipates, sum g (V_p - V_q - k)^2. It equals
  // the current through an electrode (or across the period), but its error is of second order
  // in the potentials' error, so an iterative solve gives it to nearly full precision.
  double power = 0;
  for (const Resistor& e : edges) power += flow(e) * flow(e) / e.g;
  r.conductance = power;
  const int one = (axis + 1) % 3, other = (axis + 2) % 3;
  // In this order a cube's is G / side exactly.
  r.conductivity = power / in.side[one] * (in.side[axis] / in.side[other]);
  // The film's thickness: the one smallest side, across an open axis.
  const int thin = in.side[one] < in.side[other] ? one : other, w = thin == one ? other : one;
  r.film = in.side[thin] < in.side[w] && in.side[thin] < in.side[axis] && !in.periodic[thin];
  if (r.film)
    r.sheet_resistance =
        power > 0 ? in.side[w] / (power * in.side[axis]) : std::numeric_limits<double>::infinity();

  for (size_t f = 0; f < n; ++f) {
    if (!active[f]) continue;
    double sum = 0;
    for (int32_t v = fiber_node[f]; v < fiber_node[f + 1]; ++v) sum += potential[v];
    r.potential[f] = sum / (fiber_node[f + 1] - fiber_node[f]);
    double largest = 0;
    if (wires) {
      for (int32_t v = fiber_node[f]; v + 1 < fiber_node[f + 1]; ++v)
        largest = std::max(largest, std::abs(flow({v, v + 1, wire_conductance(f, v), 0})));
    } else {
      // The current along an ideal fiber between two points: the sum of what enters before.
      const auto entering = [&](const Event& ev) {
        const Resistor& e = edges[edge_of_contact[ev.what]];
        return in.contacts[ev.what].first == static_cast<int32_t>(f) ? -flow(e) : flow(e);
      };
      double junctions = 0;
      for (int64_t e = first[f]; e < first[f + 1]; ++e) {
        if (events[e].what >= 0) junctions += entering(events[e]);
      }
      double along = 0;
      for (int64_t e = first[f]; e < first[f + 1]; ++e) {
        along += events[e].what >= 0 ? entering(events[e]) : -junctions;
        if (e + 1 < first[f + 1] && events[e + 1].t != events[e].t)
          largest = std::max(largest, std::abs(along));
      }
    }
    r.current[f] = largest;
  }
  r.ok = true;
  return r;
}
