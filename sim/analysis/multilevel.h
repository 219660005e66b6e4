#pragma once

#include <Eigen/SparseCore>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// An algebraic multilevel preconditioner for the resistor networks' symmetric positive definite
// systems: one V-cycle per step of conjugate gradients.
//
// The finest level, when wires join its unknowns, is coarsened by strongly coupled
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
  // wire (0 where they are not so joined).
  Preconditioner(SparseMatrix A, const Vector& chain);
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
};

struct Outcome {
  std::string error;  // empty when converged
  int64_t iterations = 0;
};

// Preconditioned conjugate gradients from x = 0 until |b - A x| <= tolerance |b|;
// precondition(r, z) sets z to the preconditioner applied to r.
template <typename Precondition>
Outcome conjugate_gradients(const SparseMatrix& A, Precondition&& precondition, const Vector& b,
                            Vector& x, double tolerance, int64_t most_iterations) {
  const Eigen::Index m = A.rows();
  Outcome out;
  x.setZero(m);
  Vector r = b, z(m), p(m), q(m);
  const double target = tolerance * b.norm();
  precondition(r, z);
  p = z;
  double rz = r.dot(z);
  for (; r.norm() > target; ++out.iterations) {
    if (out.iterations == most_iterations) {
      char residual[32];
      std::snprintf(residual, sizeof residual, "%g", r.norm() / b.norm());
      out.error = "no convergence after " + std::to_string(most_iterations) +
                  " iterations (residual " + residual + ")";
      return out;
    }
    q.noalias() = A * p;
    const double alpha = rz / p.dot(q);
    x += alpha * p;
    r -= alpha * q;
    precondition(r, z);
    const double next = r.dot(z);
    p = z + (next / rz) * p;
    rz = next;
  }
  return out;
}

}  // namespace multilevel
