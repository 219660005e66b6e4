#include "analysis/multilevel.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>

namespace multilevel {

namespace {

// Below this many unknowns a level is factorised exactly.
constexpr Eigen::Index kCoarsest = 400;
// A level that shrinks by less than this is not worth another.
constexpr double kLeastCoarsening = 0.9;
// A coarsest level larger than this is smoothed instead of factorised.
constexpr Eigen::Index kDense = 3000;
// Neighbours i, j of the finest level are strongly coupled when a_ij^2 > theta^2 a_ii a_jj.
constexpr double kStrength = 0.08;
// The smoothed prolongation keeps the weights of a row that are at least this share of its largest.
constexpr double kTruncation = 0.2;

}  // namespace

struct Level {
  SparseMatrix A;
  // The tridiagonal blocks smoothed exactly: runs of unknowns joined by `chain`, factorised as
  // L D L^T with D = pivot and the unit lower diagonal factor.
  Vector pivot, factor;
  std::vector<int32_t> run_start;  // the first unknown of each run, then the size
  std::vector<int32_t> aggregate;  // the next level's unknown each unknown belongs to
  SparseMatrix P;                  // or the prolongation from the next level
  Eigen::LLT<Eigen::MatrixXd> exact;
  bool coarsest = false;
  // One cycle at a time: the block solves' right-hand sides, the residual, and the next level's
  // right-hand side and correction, kept to spare the page faults of fresh large vectors.
  mutable Vector scratch, residual, coarse_b, coarse_x;

  void set_runs(const Vector& chain) {
    const Eigen::Index n = A.rows();
    pivot.resize(n);
    factor.resize(n);
    run_start.clear();
    for (Eigen::Index u = 0; u < n; ++u) {
      const double joined = u > 0 ? chain[u - 1] : 0.0;
      if (joined == 0) run_start.push_back(static_cast<int32_t>(u));
      pivot[u] = A.coeff(u, u) - (u > 0 ? factor[u - 1] * -joined : 0.0);
      factor[u] = u + 1 < n ? -chain[u] / pivot[u] : 0.0;
    }
    run_start.push_back(static_cast<int32_t>(n));
  }

  // One block Gauss-Seidel step on run k: x_run += T^-1 (b - A x)_run.
  void relax(size_t k, const Vector& b, Vector& x) const {
    const int32_t s = run_start[k], e = run_start[k + 1];
    for (int32_t u = s; u < e; ++u) {
      double sum = b[u];
      for (SparseMatrix::InnerIterator it(A, u); it; ++it) sum -= it.value() * x[it.index()];
      scratch[u] = sum - (u > s ? factor[u - 1] * scratch[u - 1] : 0.0);
    }
    for (int32_t u = s; u < e; ++u) scratch[u] /= pivot[u];
    for (int32_t u = e - 2; u >= s; --u) scratch[u] -= factor[u] * scratch[u + 1];
    for (int32_t u = s; u < e; ++u) x[u] += scratch[u];
  }
};

namespace {

// The column-major matrix of the given compressed columns.
SparseMatrix compressed(Eigen::Index rows, Eigen::Index cols, const std::vector<int>& outer,
                        const std::vector<int>& inner, const std::vector<double>& values) {
  SparseMatrix C(rows, cols);
  C.resizeNonZeros(static_cast<Eigen::Index>(inner.size()));
  std::copy(outer.begin(), outer.end(), C.outerIndexPtr());
  std::copy(inner.begin(), inner.end(), C.innerIndexPtr());
  std::copy(values.begin(), values.end(), C.valuePtr());
  return C;
}

// A B by columns, accumulating each column densely (Eigen's general product scans far more).
SparseMatrix product(const SparseMatrix& A, const SparseMatrix& B) {
  const Eigen::Index rows = A.rows(), cols = B.cols();
  std::vector<int> outer(static_cast<size_t>(cols) + 1, 0), inner;
  std::vector<double> values;
  std::vector<int> mark(static_cast<size_t>(rows), -1), touched;
  std::vector<double> sum(static_cast<size_t>(rows), 0.0);
  for (Eigen::Index j = 0; j < cols; ++j) {
    touched.clear();
    for (SparseMatrix::InnerIterator b(B, j); b; ++b) {
      for (SparseMatrix::InnerIterator a(A, b.index()); a; ++a) {
        const auto i = static_cast<int>(a.index());
        if (mark[i] != j) {
          mark[i] = static_cast<int>(j);
          sum[i] = 0;
          touched.push_back(i);
        }
        sum[i] += a.value() * b.value();
      }
    }
    std::sort(touched.begin(), touched.end());
    for (const int i : touched) {
      inner.push_back(i);
      values.push_back(sum[i]);
    }
    outer[j + 1] = static_cast<int>(inner.size());
  }
  return compressed(rows, cols, outer, inner, values);
}

// Greedy aggregation of strongly coupled neighbourhoods: whole neighbourhoods first, then the
// rest joined to an aggregate they are coupled to, then what is left grouped on its own.
int32_t aggregate_neighbourhoods(const SparseMatrix& A, std::vector<int32_t>& aggregate) {
  const auto n = static_cast<int32_t>(A.rows());
  const Vector diag = A.diagonal();
  const auto strong = [&](int32_t i, const SparseMatrix::InnerIterator& it) {
    const auto j = static_cast<int32_t>(it.index());
    return j != i && it.value() * it.value() > kStrength * kStrength * diag[i] * diag[j];
  };
  aggregate.assign(static_cast<size_t>(n), -1);
  int32_t count = 0;
  for (int32_t i = 0; i < n; ++i) {
    if (aggregate[i] >= 0) continue;
    bool free = true, any = false;
    for (SparseMatrix::InnerIterator it(A, i); it && free; ++it) {
      if (!strong(i, it)) continue;
      any = true;
      free = aggregate[it.index()] < 0;
    }
    if (!free || !any) continue;
    aggregate[i] = count;
    for (SparseMatrix::InnerIterator it(A, i); it; ++it) {
      if (strong(i, it)) aggregate[it.index()] = count;
    }
    ++count;
  }
  const std::vector<int32_t> first(aggregate);
  for (int32_t i = 0; i < n; ++i) {
    if (first[i] >= 0) continue;
    double best = 0;
    for (SparseMatrix::InnerIterator it(A, i); it; ++it) {
      if (strong(i, it) && first[it.index()] >= 0 && std::abs(it.value()) > best) {
        best = std::abs(it.value());
        aggregate[i] = first[it.index()];
      }
    }
  }
  for (int32_t i = 0; i < n; ++i) {
    if (aggregate[i] >= 0) continue;
    aggregate[i] = count;
    for (SparseMatrix::InnerIterator it(A, i); it; ++it) {
      if (strong(i, it) && aggregate[it.index()] < 0) aggregate[it.index()] = count;
    }
    ++count;
  }
  return count;
}

// P = (I - omega D^-1 A) P_t, P_t piecewise constant, omega = 4 / (3 lambda), lambda bounding
// the spectrum of D^-1 A, then truncated.
SparseMatrix smoothed(const SparseMatrix& A, const std::vector<int32_t>& aggregate, int32_t count) {
  SparseMatrix T(A.rows(), count);
  std::vector<Eigen::Triplet<double, int>> ones;
  ones.reserve(aggregate.size());
  for (size_t i = 0; i < aggregate.size(); ++i)
    ones.emplace_back(static_cast<int>(i), aggregate[i], 1.0);
  T.setFromTriplets(ones.begin(), ones.end());
  const Vector diag = A.diagonal();
  double lambda = 0;
  for (Eigen::Index j = 0; j < A.outerSize(); ++j) {
    double row = 0;
    for (SparseMatrix::InnerIterator it(A, j); it; ++it) row += std::abs(it.value());
    lambda = std::max(lambda, row / diag[j]);
  }
  const Vector scale = diag.cwiseInverse() * (4.0 / (3.0 * lambda));
  // Each row's small weights are dropped and the rest scaled to keep the row's sum: that halves
  // the next level's matrix and its cycles' cost, at hardly any cost in convergence.
  Eigen::SparseMatrix<double, Eigen::RowMajor, int> rows = T - scale.asDiagonal() * product(A, T);
  for (Eigen::Index i = 0; i < rows.outerSize(); ++i) {
    double largest = 0, sum = 0, kept = 0;
    for (decltype(rows)::InnerIterator it(rows, i); it; ++it) {
      largest = std::max(largest, std::abs(it.value()));
      sum += it.value();
    }
    for (decltype(rows)::InnerIterator it(rows, i); it; ++it) {
      if (std::abs(it.value()) < kTruncation * largest) it.valueRef() = 0;
      kept += it.value();
    }
    if (kept == 0) continue;
    for (decltype(rows)::InnerIterator it(rows, i); it; ++it) it.valueRef() *= sum / kept;
  }
  rows.prune(0.0);
  SparseMatrix P = rows;
  P.makeCompressed();
  return P;
}

// Pairs each unknown with its most strongly coupled unpaired neighbour; one whose neighbours are
// all taken joins the group of the strongest of them, so that every level at least halves.
// Returns the number of groups; `group` maps each unknown to one, or to -1 when it has no
// neighbour at all.
int32_t pair_up(const SparseMatrix& A, std::vector<int32_t>& group) {
  const auto n = static_cast<int32_t>(A.rows());
  group.assign(static_cast<size_t>(n), -1);
  int32_t count = 0;
  for (int32_t i = 0; i < n; ++i) {
    if (group[i] >= 0) continue;
    int32_t partner = -1, nearest = -1;
    double best = 0, nearest_best = 0;
    for (SparseMatrix::InnerIterator it(A, i); it; ++it) {
      const auto j = static_cast<int32_t>(it.index());
      const double w = std::abs(it.value());
      if (j == i) continue;
      if (group[j] < 0 && w > best) {
        best = w;
        partner = j;
      }
      if (group[j] >= 0 && w > nearest_best) {
        nearest_best = w;
        nearest = j;
      }
    }
    if (partner < 0 && nearest >= 0) {
      group[i] = group[nearest];
      continue;
    }
    // Nothing couples it: the smoother solves it exactly, so the next level leaves it out.
    if (partner < 0) continue;
    group[i] = count;
    if (partner >= 0) group[partner] = count;
    ++count;
  }
  return count;
}

// The Galerkin matrix of piecewise constant prolongation: entry (a, b) sums A's entries between
// the unknowns of aggregates a and b.
SparseMatrix collapse(const SparseMatrix& A, const std::vector<int32_t>& aggregate, int32_t count) {
  std::vector<int32_t> start(static_cast<size_t>(count) + 1, 0), members(aggregate.size());
  for (const int32_t a : aggregate) {
    if (a >= 0) ++start[a + 1];
  }
  for (int32_t a = 0; a < count; ++a) start[a + 1] += start[a];
  {
    std::vector<int32_t> next(start.begin(), start.end() - 1);
    for (size_t u = 0; u < aggregate.size(); ++u) {
      if (aggregate[u] >= 0) members[next[aggregate[u]]++] = static_cast<int32_t>(u);
    }
  }
  std::vector<int> outer(static_cast<size_t>(count) + 1, 0), inner;
  std::vector<double> values;
  inner.reserve(static_cast<size_t>(A.nonZeros()));
  values.reserve(static_cast<size_t>(A.nonZeros()));
  std::vector<int> mark(static_cast<size_t>(count), -1), touched;
  std::vector<double> sum(static_cast<size_t>(count), 0.0);
  for (int32_t b = 0; b < count; ++b) {
    touched.clear();
    for (int32_t k = start[b]; k < start[b + 1]; ++k) {
      for (SparseMatrix::InnerIterator it(A, members[k]); it; ++it) {
        const int a = aggregate[it.index()];
        if (a < 0) continue;
        if (mark[a] != b) {
          mark[a] = b;
          sum[a] = 0;
          touched.push_back(a);
        }
        sum[a] += it.value();
      }
    }
    std::sort(touched.begin(), touched.end());
    for (const int a : touched) {
      inner.push_back(a);
      values.push_back(sum[a]);
    }
    outer[b + 1] = static_cast<int>(inner.size());
  }
  return compressed(count, count, outer, inner, values);
}

}  // namespace

Preconditioner::Preconditioner(SparseMatrix A, const Vector& chain) {
  Vector joined = chain;
  for (;;) {
    auto level = std::make_unique<Level>();
    level->A = std::move(A);
    level->A.makeCompressed();
    const Eigen::Index n = level->A.rows();
    level->set_runs(joined);
    level->scratch.resize(n);
    int32_t count = static_cast<int32_t>(n);
    // With wires, the finest level couples unknowns by conductances that differ by orders of
    // magnitude; only its strong neighbourhoods, with a smoothed prolongation, make a coarse
    // level that keeps the cycle's convergence independent of that spread. Below, and with ideal
    // wires, pairing keeps the coarse matrices sparse.
    const bool wires = levels_.empty() && n > 0 && joined.cwiseAbs().maxCoeff() > 0;
    if (n > kCoarsest && wires) {
      std::vector<int32_t> aggregate;
      count = aggregate_neighbourhoods(level->A, aggregate);
      level->P = smoothed(level->A, aggregate, count);
      A = product(SparseMatrix(level->P.transpose()), product(level->A, level->P));
    } else if (n > kCoarsest) {
      // Two rounds of pairing: aggregates of up to four.
      std::vector<int32_t> first, second;
      const int32_t pairs = pair_up(level->A, first);
      const SparseMatrix paired = collapse(level->A, first, pairs);
      count = pair_up(paired, second);
      level->aggregate.resize(static_cast<size_t>(n));
      for (Eigen::Index u = 0; u < n; ++u)
        level->aggregate[u] = first[u] < 0 ? -1 : second[first[u]];
      A = collapse(paired, second, count);
    }
    if (n <= kCoarsest || count > kLeastCoarsening * static_cast<double>(n)) {
      level->coarsest = true;
      level->aggregate.clear();
      level->P.resize(0, 0);
      if (n <= kDense) level->exact.compute(Eigen::MatrixXd(level->A));
      levels_.push_back(std::move(level));
      return;
    }
    level->residual.resize(n);
    level->coarse_b.resize(count);
    level->coarse_x.resize(count);
    joined = Vector::Zero(count);
    levels_.push_back(std::move(level));
  }
}

Preconditioner::~Preconditioner() = default;

int64_t Preconditioner::unknowns(int level) const {
  return levels_[level]->A.rows();
}
int64_t Preconditioner::nonzeros(int level) const {
  return levels_[level]->A.nonZeros();
}

void Preconditioner::apply(const Vector& r, Vector& z) const {
  z.setZero(r.size());
  cycle(0, r, z);
}

// x += an approximate solution of A_level e = b - A_level x: smoothing, the next level's
// correction, smoothing in the opposite order.
void Preconditioner::cycle(size_t index, const Vector& b, Vector& x) const {
  const Level& level = *levels_[index];
  if (level.coarsest) {
    if (level.A.rows() <= kDense) {
      x = level.exact.solve(b);
      return;
    }
    const size_t runs = level.run_start.size() - 1;
    for (int sweep = 0; sweep < 10; ++sweep) {
      for (size_t k = 0; k < runs; ++k) level.relax(k, b, x);
      for (size_t k = runs; k-- > 0;) level.relax(k, b, x);
    }
    return;
  }
  const size_t runs = level.run_start.size() - 1;
  for (size_t k = 0; k < runs; ++k) level.relax(k, b, x);
  const Eigen::Index n = level.A.rows();
  Vector& r = level.residual;
  r = b;
  r.noalias() -= level.A * x;
  Vector& rc = level.coarse_b;
  if (level.P.size() > 0) {
    rc.noalias() = level.P.transpose() * r;
  } else {
    rc.setZero();
    for (Eigen::Index u = 0; u < n; ++u) {
      if (level.aggregate[u] >= 0) rc[level.aggregate[u]] += r[u];
    }
  }
  Vector& e = level.coarse_x;
  e.setZero();
  cycle(index + 1, rc, e);
  if (level.P.size() > 0) {
    x.noalias() += level.P * e;
  } else {
    for (Eigen::Index u = 0; u < n; ++u) {
      if (level.aggregate[u] >= 0) x[u] += e[level.aggregate[u]];
    }
  }
  for (size_t k = runs; k-- > 0;) level.relax(k, b, x);
}

}  // namespace multilevel
