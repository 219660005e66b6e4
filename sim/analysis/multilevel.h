#pragma once

#include <Eigen/SparseCore>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "analysis/halves.h"
#include "analysis/huge_pages.h"

// An algebraic multilevel preconditioner for the resistor networks' symmetric positive definite
// systems: one V-cycle per step of conjugate gradients.
//
// The finest level, when wires join its unknowns, and the next are coarsened by strongly coupled
// neighbourhoods with a once-smoothed prolongation (smoothed aggregation); further levels by two
// rounds of pairing with the strongest neighbour and piecewise constant prolongation, whose
// coarse matrices stay sparse. Each level is smoothed by Gauss-Seidel over blocks (the runs of
// unknowns one wire joins, solved exactly, so that stiff short pieces do no harm), forward before
// and backward after the coarse correction, so that the cycle is symmetric, as conjugate
// gradients needs.
namespace multilevel {

using SparseMatrix = Eigen::SparseMatrix<double, Eigen::ColMajor, int>;
using Vector = Eigen::VectorXd;

struct Level;

class Preconditioner {
 public:
  // A holds both triangles. chain[u] is the conductance joining unknowns u and u + 1 along one
  // wire (0 where they are not so joined). Large levels are worked on by `halves` (the same
  // result without it, only slower).
  Preconditioner(SparseMatrix A, const Vector& chain, Halves* halves = nullptr);
  ~Preconditioner();
  Preconditioner(const Preconditioner&) = delete;
  Preconditioner& operator=(const Preconditioner&) = delete;

  // z = M^-1 r for the finest system.
  void apply(const Vector& r, Vector& z) const;
  int levels() const { return static_cast<int>(levels_.size()); }
  int64_t unknowns(int level) const;
  int64_t nonzeros(int level) const;

 private:
  void cycle(size_t level, const Vector& b, Vector& x) const;
  std::vector<std::unique_ptr<Level>> levels_;
  Halves* halves_;
};

struct Outcome {
  std::string error;  // empty when converged
  int64_t iterations = 0;
};

// The column-major matrix of the given compressed columns (the first outer.back() entries of
// inner and values).
SparseMatrix compressed(Eigen::Index rows, Eigen::Index cols, const BigVector<int>& outer,
                        const BigVector<int>& inner, const BigVector<double>& values);

// v resized to n, in huge pages where the system has them.
void fresh(Vector& v, Eigen::Index n);

// Vectors at least this long are worked on in two halves at once.
constexpr Eigen::Index kSplit = 50000;

// Calls part(lo, hi) on [0, n / 2) and [n / 2, n), at once through `halves` when n is large.
template <typename Part>
void in_halves(Halves& halves, Eigen::Index n, Part&& part) {
  if (n < kSplit) {
    part(Eigen::Index{0}, n);
    return;
  }
  halves.run([&](int h) { part(h == 0 ? 0 : n / 2, h == 0 ? n / 2 : n); });
}

// (column u of M) . x: row u of M x when M is symmetric, of M^T x otherwise.
inline double column_dot(const SparseMatrix& M, Eigen::Index u, const Vector& x) {
  double sum = 0;
  for (SparseMatrix::InnerIterator it(M, u); it; ++it) sum += it.value() * x[it.index()];
  return sum;
}

// a . b summed by halves, the same sum however many threads add it.
double dot(Halves& halves, const Vector& a, const Vector& b);

// Preconditioned conjugate gradients from x = 0 until |b - A x| <= tolerance |b|;
// precondition(r, z) sets z to the preconditioner applied to r. A is symmetric.
template <typename Precondition>
Outcome conjugate_gradients(const SparseMatrix& A, Precondition&& precondition, const Vector& b,
                            Vector& x, double tolerance, int64_t most_iterations, Halves& halves) {
  const Eigen::Index m = A.rows();
  Outcome out;
  Vector r, z, p, q;
  for (Vector* v : {&x, &r, &z, &p, &q}) fresh(*v, m);
  x.setZero();
  r = b;
  const double norm_b = std::sqrt(dot(halves, b, b)), target = tolerance * norm_b;
  precondition(r, z);
  p = z;
  double rz = dot(halves, r, z);
  for (double norm_r = norm_b; norm_r > target;) {
    if (out.iterations == most_iterations) {
      char residual[32];
      std::snprintf(residual, sizeof residual, "%g", norm_r / norm_b);
      out.error = "no convergence after " + std::to_string(most_iterations) +
                  " iterations (residual " + residual + ")";
      return out;
    }
    in_halves(halves, m, [&](Eigen::Index lo, Eigen::Index hi) {
      for (Eigen::Index u = lo; u < hi; ++u) q[u] = column_dot(A, u, p);
    });
    const double alpha = rz / dot(halves, p, q);
    in_halves(halves, m, [&](Eigen::Index lo, Eigen::Index hi) {
      x.segment(lo, hi - lo) += alpha * p.segment(lo, hi - lo);
      r.segment(lo, hi - lo) -= alpha * q.segment(lo, hi - lo);
    });
    ++out.iterations;
    norm_r = std::sqrt(dot(halves, r, r));
    if (norm_r <= target) break;
    precondition(r, z);
    const double next = dot(halves, r, z), beta = next / rz;
    in_halves(halves, m, [&](Eigen::Index lo, Eigen::Index hi) {
      p.segment(lo, hi - lo) = z.segment(lo, hi - lo) + beta * p.segment(lo, hi - lo);
    });
    rz = next;
  }
  return out;
}

}  // namespace multilevel
