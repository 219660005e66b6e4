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
// Neighbours i, j are strongly coupled when |a_ij| > theta max(m_i, m_j), m_i being the largest
// coupling of i to any other unknown.
constexpr double kStrength = 0.08;
// Levels coarsened by strong neighbourhoods when the finest has wires.
constexpr size_t kNeighbourhoodLevels = 2;
// The smoothed prolongation keeps the weights of a row that are at least this share of its largest.
constexpr double kTruncation = 0.2;

}  // namespace

struct Level {
  SparseMatrix A;
  // The tridiagonal blocks smoothed exactly: runs of unknowns joined by `chain` (and by nothing
  // else within), factorised as L D L^T with D = pivot and the unit lower diagonal factor.
  Vector pivot, factor;
  std::vector<int32_t> run_start;  // the first unknown of each run, then the size
  // The next level: the aggregate each unknown belongs to (-1: none) and each aggregate's
  // unknowns in order; or the prolongation P from it, with R = P^T for its rows.
  std::vector<int32_t> aggregate, member_start, members;
  SparseMatrix P, R;
  // A large level is worked on in two parts, split at a run's start: the runs coupled only
  // within their part (inner) both at once, then the runs coupled across (border) in turn.
  std::vector<int32_t> inner[2], border;
  Eigen::LLT<Eigen::MatrixXd> exact;
  bool coarsest = false;
  // One cycle at a time: the block solves' right-hand sides, the residual, and the next level's
  // right-hand side and correction, kept to spare the page faults of fresh large vectors.
  mutable Vector scratch, residual, coarse_b, coarse_x;

  void set_runs(const Vector& chain) {
    const Eigen::Index n = A.rows();
    fresh(pivot, n);
    fresh(factor, n);
    run_start.clear();
    // Each block is A's own, so that it is solved exactly: its entries between joined
    // unknowns are A's, not just the wire's (a junction, or a series pair, may join the same two
    // in parallel), and a run ends where an unknown is coupled to one before its predecessor in
    // the run. A block missing such a strong coupling makes the sweep overshoot along it
    // instead of damping it, which at 10^6 fibers took a third more cycles.
    for (Eigen::Index u = 0; u < n; ++u) {
      bool joined = u > 0 && chain[u - 1] != 0;
      for (SparseMatrix::InnerIterator it(A, u); it && it.index() < u - 1 && joined; ++it)
        joined = it.index() < run_start.back();
      if (!joined) run_start.push_back(static_cast<int32_t>(u));
      pivot[u] = A.coeff(u, u) - (joined ? factor[u - 1] * A.coeff(u, u - 1) : 0.0);
      factor[u] = u + 1 < n && chain[u] != 0 ? A.coeff(u + 1, u) / pivot[u] : 0.0;
    }
    run_start.push_back(static_cast<int32_t>(n));
  }

  void set_parts() {
    const Eigen::Index n = A.rows();
    const auto runs = static_cast<int32_t>(run_start.size() - 1);
    const int32_t half = n < kSplit ? static_cast<int32_t>(n)
                                    : *(std::upper_bound(run_start.begin(), run_start.end() - 1,
                                                         static_cast<int32_t>(n / 2)) -
                                        1);
    for (int32_t k = 0; k < runs; ++k) {
      const bool second = run_start[k] >= half;
      bool across = false;
      for (int32_t u = run_start[k]; u < run_start[k + 1] && !across; ++u) {
        for (SparseMatrix::InnerIterator it(A, u); it; ++it)
          across |= (it.index() >= half) != second;
      }
      (across ? border : inner[second]).push_back(k);
    }
  }

  // Forward block Gauss-Seidel, from x = 0 when `from_zero`.
  void forward(const Vector& b, Vector& x, bool from_zero, Halves& halves) const {
    const auto sweep = [&](int part) {
      for (const int32_t k : inner[part]) relax(k, b, x, from_zero);
    };
    if (inner[1].empty()) {
      sweep(0);
    } else {
      halves.run(sweep);
    }
    // Border runs see unknowns of both parts that were updated after theirs.
    for (const int32_t k : border) relax(k, b, x);
  }

  // The forward sweep's steps in reverse order.
  void backward(const Vector& b, Vector& x, Halves& halves) const {
    for (size_t i = border.size(); i-- > 0;) relax(border[i], b, x);
    const auto sweep = [&](int part) {
      for (size_t i = inner[part].size(); i-- > 0;) relax(inner[part][i], b, x);
    };
    if (inner[1].empty()) {
      sweep(0);
    } else {
      halves.run(sweep);
    }
  }

  // The next level's right-hand side from the residual r, at its unknowns [lo, hi).
  void restrict_to(const Vector& r, Vector& rc, Eigen::Index lo, Eigen::Index hi) const {
    if (P.size() > 0) {
      for (Eigen::Index a = lo; a < hi; ++a) rc[a] = column_dot(P, a, r);
      return;
    }
    for (Eigen::Index a = lo; a < hi; ++a) {
      double sum = 0;
      for (int32_t k = member_start[a]; k < member_start[a + 1]; ++k) sum += r[members[k]];
      rc[a] = sum;
    }
  }

  // x += the next level's correction e, at x's unknowns [lo, hi).
  void prolong(const Vector& e, Vector& x, Eigen::Index lo, Eigen::Index hi) const {
    if (P.size() > 0) {
      for (Eigen::Index u = lo; u < hi; ++u) x[u] += column_dot(R, u, e);
      return;
    }
    for (Eigen::Index u = lo; u < hi; ++u) {
      if (aggregate[u] >= 0) x[u] += e[aggregate[u]];
    }
  }

  // One block Gauss-Seidel step on run k: x_run += T^-1 (b - A x)_run.
  // `zero_from_run`: every unknown coupled to the run, from the run's first on, is still 0, so
  // the later columns contribute nothing and are not read.
  void relax(size_t k, const Vector& b, Vector& x, bool zero_from_run = false) const {
    const int32_t s = run_start[k], e = run_start[k + 1];
    const Eigen::Index end = zero_from_run ? s : A.rows();
    for (int32_t u = s; u < e; ++u) {
      double sum = b[u];
      for (SparseMatrix::InnerIterator it(A, u); it && it.index() < end; ++it)
        sum -= it.value() * x[it.index()];
      scratch[u] = sum - (u > s ? factor[u - 1] * scratch[u - 1] : 0.0);
    }
    for (int32_t u = s; u < e; ++u) scratch[u] /= pivot[u];
    for (int32_t u = e - 2; u >= s; --u) scratch[u] -= factor[u] * scratch[u + 1];
    for (int32_t u = s; u < e; ++u) x[u] += scratch[u];
  }
};

namespace {

// A B by columns, accumulating each column densely (Eigen's general product scans far more).
SparseMatrix product(const SparseMatrix& A, const SparseMatrix& B) {
  const Eigen::Index rows = A.rows(), cols = B.cols();
  BigVector<int> outer(static_cast<size_t>(cols) + 1, 0), inner;
  BigVector<double> values;
  BigVector<int> mark(static_cast<size_t>(rows), -1), touched;
  BigVector<double> sum(static_cast<size_t>(rows), 0.0);
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
  // Measured against both rows' strongest couplings, not their diagonals: a node whose junction
  // the series reduction took away is left with a small diagonal, against which its wires to
  // two contacts look strong, and a neighbourhood about it would join two contacts whose
  // potentials differ across those wires (at 10^6 fibers, nearly twice the cycles).
  Vector largest = Vector::Zero(n);
  for (int32_t i = 0; i < n; ++i) {
    for (SparseMatrix::InnerIterator it(A, i); it; ++it) {
      if (it.index() != i) largest[i] = std::max(largest[i], std::abs(it.value()));
    }
  }
  const auto strong = [&](int32_t i, const SparseMatrix::InnerIterator& it) {
    const auto j = static_cast<int32_t>(it.index());
    return j != i && std::abs(it.value()) > kStrength * std::max(largest[i], largest[j]);
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
// the spectrum of D^-1 A, then truncated; returned as its transpose, whose columns are P's rows.
SparseMatrix smoothed_transpose(const SparseMatrix& A, const std::vector<int32_t>& aggregate,
                                int32_t count) {
  const Eigen::Index n = A.rows();
  const Vector diag = A.diagonal();
  double lambda = 0;
  for (Eigen::Index j = 0; j < n; ++j) {
    double row = 0;
    for (SparseMatrix::InnerIterator it(A, j); it; ++it) row += std::abs(it.value());
    lambda = std::max(lambda, row / diag[j]);
  }
  const double omega = 4.0 / (3.0 * lambda);
  BigVector<int> outer(static_cast<size_t>(n) + 1, 0), inner;
  BigVector<double> values;
  inner.reserve(static_cast<size_t>(A.nonZeros()));
  values.reserve(static_cast<size_t>(A.nonZeros()));
  std::vector<std::pair<int32_t, double>> row;  // (aggregate, weight) of row i
  for (Eigen::Index i = 0; i < n; ++i) {
    row.clear();
    for (SparseMatrix::InnerIterator it(A, i); it; ++it) {
      const int32_t a = aggregate[it.index()];
      auto at = std::find_if(row.begin(), row.end(), [&](const auto& e) { return e.first == a; });
      if (at == row.end()) at = row.insert(row.end(), {a, 0.0});
      at->second += it.value();
    }
    const double scale = omega / diag[i];
    double largest = 0, sum = 0, kept = 0;
    for (auto& [a, w] : row) {
      w = (a == aggregate[i] ? 1.0 : 0.0) - scale * w;
      largest = std::max(largest, std::abs(w));
      sum += w;
    }
    // Each row's small weights are dropped and the rest scaled to keep the row's sum: that
    // halves the next level's matrix and its cycles' cost, at hardly any cost in convergence.
    for (auto& [a, w] : row) {
      if (std::abs(w) < kTruncation * largest) w = 0;
      kept += w;
    }
    std::sort(row.begin(), row.end());
    for (const auto& [a, w] : row) {
      if (w == 0) continue;
      inner.push_back(a);
      values.push_back(kept == 0 ? w : w * (sum / kept));
    }
    outer[i + 1] = static_cast<int>(inner.size());
  }
  return compressed(count, n, outer, inner, values);
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

// The unknowns of each aggregate, in order, as compressed lists.
void list_members(const std::vector<int32_t>& aggregate, int32_t count, std::vector<int32_t>& start,
                  std::vector<int32_t>& members) {
  start.assign(static_cast<size_t>(count) + 1, 0);
  for (const int32_t a : aggregate) {
    if (a >= 0) ++start[a + 1];
  }
  for (int32_t a = 0; a < count; ++a) start[a + 1] += start[a];
  members.resize(static_cast<size_t>(start[count]));
  std::vector<int32_t> next(start.begin(), start.end() - 1);
  for (size_t u = 0; u < aggregate.size(); ++u) {
    if (aggregate[u] >= 0) members[next[aggregate[u]]++] = static_cast<int32_t>(u);
  }
}

// The Galerkin matrix of piecewise constant prolongation: entry (a, b) sums A's entries between
// the unknowns of aggregates a and b.
SparseMatrix collapse(const SparseMatrix& A, const std::vector<int32_t>& aggregate, int32_t count) {
  std::vector<int32_t> start, members;
  list_members(aggregate, count, start, members);
  BigVector<int> outer(static_cast<size_t>(count) + 1, 0), inner;
  BigVector<double> values;
  inner.reserve(static_cast<size_t>(A.nonZeros()));
  values.reserve(static_cast<size_t>(A.nonZeros()));
  BigVector<int> mark(static_cast<size_t>(count), -1), touched;
  BigVector<double> sum(static_cast<size_t>(count), 0.0);
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

Halves& in_turn() {
  static Halves none(false);
  return none;
}

}  // namespace

// The column-major matrix of the given compressed columns.
SparseMatrix compressed(Eigen::Index rows, Eigen::Index cols, const BigVector<int>& outer,
                        const BigVector<int>& inner, const BigVector<double>& values) {
  SparseMatrix C(rows, cols);
  C.resizeNonZeros(outer.back());
  prefer_huge_pages(C.valuePtr(), static_cast<size_t>(outer.back()) * sizeof(double));
  prefer_huge_pages(C.innerIndexPtr(), static_cast<size_t>(outer.back()) * sizeof(int));
  std::copy(outer.begin(), outer.end(), C.outerIndexPtr());
  std::copy(inner.begin(), inner.begin() + outer.back(), C.innerIndexPtr());
  std::copy(values.begin(), values.begin() + outer.back(), C.valuePtr());
  return C;
}

void fresh(Vector& v, Eigen::Index n) {
  v.resize(n);
  prefer_huge_pages(v.data(), static_cast<size_t>(n) * sizeof(double));
}

double dot(Halves& halves, const Vector& a, const Vector& b) {
  double sum[2] = {0, 0};
  in_halves(halves, a.size(), [&](Eigen::Index lo, Eigen::Index hi) {
    sum[lo > 0] = a.segment(lo, hi - lo).dot(b.segment(lo, hi - lo));
  });
  return sum[0] + sum[1];
}

Preconditioner::Preconditioner(SparseMatrix A, const Vector& chain, Halves* halves)
    : halves_(halves != nullptr ? halves : &in_turn()) {
  Vector joined = chain;
  const bool wires = chain.size() > 0 && chain.cwiseAbs().maxCoeff() > 0;
  for (;;) {
    auto level = std::make_unique<Level>();
    level->A = std::move(A);
    level->A.makeCompressed();
    const Eigen::Index n = level->A.rows();
    level->set_runs(joined);
    level->set_parts();
    fresh(level->scratch, n);
    int32_t count = static_cast<int32_t>(n);
    // With wires, the finest level couples unknowns by conductances that differ by orders of
    // magnitude, and so does the next; only their strong neighbourhoods, with a smoothed
    // prolongation, make coarse levels that keep the cycle's convergence independent of that
    // spread. Below, and with ideal wires, pairing keeps the coarse matrices sparse.
    if (n > kCoarsest && wires && levels_.size() < kNeighbourhoodLevels) {
      std::vector<int32_t> aggregate;
      count = aggregate_neighbourhoods(level->A, aggregate);
      level->R = smoothed_transpose(level->A, aggregate, count);
      level->P = level->R.transpose();
      A = product(level->R, product(level->A, level->P));
    } else if (n > kCoarsest) {
      // Two rounds of pairing: aggregates of up to four.
      std::vector<int32_t> first, second;
      const int32_t pairs = pair_up(level->A, first);
      const SparseMatrix paired = collapse(level->A, first, pairs);
      count = pair_up(paired, second);
      level->aggregate.resize(static_cast<size_t>(n));
      for (Eigen::Index u = 0; u < n; ++u)
        level->aggregate[u] = first[u] < 0 ? -1 : second[first[u]];
      list_members(level->aggregate, count, level->member_start, level->members);
      A = collapse(paired, second, count);
    }
    if (n <= kCoarsest || count > kLeastCoarsening * static_cast<double>(n)) {
      level->coarsest = true;
      level->aggregate.clear();
      level->members.clear();
      level->P.resize(0, 0);
      level->R.resize(0, 0);
      if (n <= kDense) level->exact.compute(Eigen::MatrixXd(level->A));
      levels_.push_back(std::move(level));
      return;
    }
    fresh(level->residual, n);
    fresh(level->coarse_b, count);
    fresh(level->coarse_x, count);
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

// x += an approximate solution of A_level e = b - A_level x, from x = 0: smoothing, the next
// level's correction, smoothing in the opposite order.
void Preconditioner::cycle(size_t index, const Vector& b, Vector& x) const {
  const Level& level = *levels_[index];
  if (level.coarsest) {
    if (level.A.rows() <= kDense) {
      x = level.exact.solve(b);
      return;
    }
    for (int sweep = 0; sweep < 10; ++sweep) {
      level.forward(b, x, false, *halves_);
      level.backward(b, x, *halves_);
    }
    return;
  }
  level.forward(b, x, true, *halves_);
  Vector& r = level.residual;
  in_halves(*halves_, r.size(), [&](Eigen::Index lo, Eigen::Index hi) {
    for (Eigen::Index u = lo; u < hi; ++u) r[u] = b[u] - column_dot(level.A, u, x);
  });
  Vector& rc = level.coarse_b;
  in_halves(*halves_, rc.size(),
            [&](Eigen::Index lo, Eigen::Index hi) { level.restrict_to(r, rc, lo, hi); });
  Vector& e = level.coarse_x;
  e.setZero();
  cycle(index + 1, rc, e);
  in_halves(*halves_, x.size(),
            [&](Eigen::Index lo, Eigen::Index hi) { level.prolong(e, x, lo, hi); });
  level.backward(b, x, *halves_);
}

}  // namespace multilevel
