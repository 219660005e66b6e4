#include "contacts_grid.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <new>

#include "worker_threads.h"

namespace {

constexpr int kMaxRowsPerAxis = 1024;
constexpr int32_t kPrepareBlock = 16384;
constexpr int32_t kFibersPerBuildThread = 1 << 18;

// Sets v to exactly n entries, reusing its memory when it suffices and never reserving more.
template <typename T>
void fit(std::vector<T>& v, size_t n) {
  if (n > v.capacity()) {
    std::vector<T>().swap(v);
    v.reserve(n);
  }
  v.resize(n);
}

struct Extent {
  double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
  double hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
  double max_half = 0;

  void take(const Extent& o) {
    for (int k = 0; k < 3; ++k) {
      lo[k] = std::min(lo[k], o.lo[k]);
      hi[k] = std::max(hi[k], o.hi[k]);
    }
    max_half = std::max(max_half, o.max_half);
  }
};

std::vector<PreparedSegment> prepared;
std::vector<float> prepared_x;  // the midpoints' x again, densely, for the sort
std::vector<int32_t> row_of;
std::vector<int32_t> row_fill;
std::vector<int32_t> order;  // fibers by row

// A fiber's place in its row: x, then index.
struct Key {
  float x;
  int32_t index;
};

// Prepares every segment, in blocks taken from a shared counter, and returns their extent.
Extent prepare_all(const Fiber* fibers, int32_t count, int threads) {
  fit(prepared, count);
  fit(prepared_x, count);
  // A thread costs more than preparing a few blocks.
  threads = std::min(threads, 1 + count / (4 * kPrepareBlock));
  std::atomic<int32_t> next{0};
  std::vector<Extent> extents(threads);
  const bool ok = run_workers(threads, [&](int worker) {
    Extent& e = extents[worker];
    for (int32_t b; (b = next.fetch_add(kPrepareBlock)) < count;) {
      const int32_t end = std::min(count, b + kPrepareBlock);
      for (int32_t i = b; i < end; ++i) {
        const PreparedSegment p = prepare_segment(fibers[i].start, fibers[i].end);
        prepared[i] = p;
        prepared_x[i] = p.mid[0];
        for (int k = 0; k < 3; ++k) {
          e.lo[k] = std::min(e.lo[k], static_cast<double>(p.mid[k]));
          e.hi[k] = std::max(e.hi[k], static_cast<double>(p.mid[k]));
        }
        e.max_half = std::max(e.max_half, p.half);
      }
    }
  });
  if (!ok) throw std::bad_alloc();
  Extent all;
  for (const Extent& e : extents) all.take(e);
  return all;
}

// Rows at least as wide as the reach, and no more of them than about two per fiber. (Rows half
// as wide hold fewer candidates, but the 25 rows around a fiber cost more to visit than that
// saves, even at a hundred fibers per reach cube.)
void choose_rows(ContactGrid& g, const Extent& e, int32_t count) {
  // The margin covers rounding in the row arithmetic.
  g.reach = 2 * e.max_half * (1 + 1e-6);
  double magnitude = 0;
  for (int k = 0; k < 3; ++k) {
    g.lo[k] = e.lo[k];
    magnitude = std::max({magnitude, std::fabs(e.lo[k]), std::fabs(e.hi[k])});
  }
  g.slack = 1e-3 * g.reach + 1e-12 * magnitude;
  g.width = g.reach * (1 + 1e-6);
  for (int k = 1; k < 3; ++k) g.width = std::max(g.width, (e.hi[k] - e.lo[k]) / kMaxRowsPerAxis);
  if (!(g.width > 0)) g.width = 1;
  const double most = std::min(2.0 * count + 64, double(1 << 28));
  for (;;) {
    for (int k = 1; k < 3; ++k) {
      g.n[k - 1] =
          std::clamp(static_cast<int>((e.hi[k] - e.lo[k]) / g.width) + 1, 1, kMaxRowsPerAxis);
    }
    if (double(g.n[0]) * g.n[1] <= most) break;
    g.width *= std::max(1.01, std::sqrt(double(g.n[0]) * g.n[1] / most));
  }
}

// Sorts a row's keys by x, ties by index, through `scratch`: a stable counting sort into about
// one x bin per key, then an insertion sort, which only moves keys within a bin.
void sort_row(std::vector<Key>& row, std::vector<Key>& scratch, std::vector<int32_t>& at,
              const Extent& e) {
  const auto n = static_cast<int32_t>(row.size());
  // The binning need not be exact: the insertion sort puts the keys in their exact order.
  const double per_bin = n / (e.hi[0] - e.lo[0]);
  const auto bin = [&](const Key& p) {
    const double c = (p.x - e.lo[0]) * per_bin;
    return c >= 0 && c < n ? static_cast<int32_t>(c) : (c >= n ? n - 1 : 0);
  };
  at.assign(static_cast<size_t>(n) + 1, 0);
  for (const Key& p : row) ++at[bin(p) + 1];
  for (int32_t b = 0; b < n; ++b) at[b + 1] += at[b];
  scratch.resize(n);
  for (const Key& p : row) scratch[at[bin(p)]++] = p;
  for (int32_t k = 1; k < n; ++k) {
    const Key moved = scratch[k];
    int32_t to = k;
    for (; to > 0 && scratch[to - 1].x > moved.x; --to) scratch[to] = scratch[to - 1];
    scratch[to] = moved;
  }
  row.swap(scratch);
}

}  // namespace

int ContactGrid::coord(double v, int k) const {
  const double c = std::floor((v - lo[k]) / width);
  return c < 0 ? 0 : (c >= n[k - 1] ? n[k - 1] - 1 : static_cast<int>(c));
}

void build_contact_grid(ContactGrid& g, const Fiber* fibers, int32_t count, int threads) {
  const Extent extent = prepare_all(fibers, count, threads);
  choose_rows(g, extent, count);
  const int rows = g.rows();

  // Counting sort by row; stable, so each row lists its fibers in increasing index. Few rows
  // against many fibers keep the scattered writes in cache.
  fit(g.row_start, static_cast<size_t>(rows) + 1);
  std::fill(g.row_start.begin(), g.row_start.end(), 0);
  fit(row_of, count);
  for (int32_t i = 0; i < count; ++i) {
    const Vec3& m = prepared[i].mid;
    row_of[i] = g.row(g.coord(m[1], 1), g.coord(m[2], 2));
    ++g.row_start[row_of[i] + 1];
  }
  for (int r = 0; r < rows; ++r) g.row_start[r + 1] += g.row_start[r];
  fit(order, count);
  fit(row_fill, rows);
  std::copy(g.row_start.begin(), g.row_start.begin() + rows, row_fill.begin());
  for (int32_t i = 0; i < count; ++i) order[row_fill[row_of[i]]++] = i;

  // Padded for the filter's last partial vector.
  for (std::vector<float>* column : {&g.x, &g.y, &g.z, &g.half, &g.dx, &g.dy, &g.dz}) {
    fit(*column, static_cast<size_t>(count) + kColumnPadding);
    std::fill(column->begin() + count, column->end(), 0.0f);
  }
  fit(g.exact_half, count);
  fit(g.index, static_cast<size_t>(count) + kColumnPadding);
  std::fill(g.index.begin() + count, g.index.end(), 0);

  // Then each row is gathered, put in x order and written out, rows side by side in runs of
  // about equal numbers of fibers once there are enough of them to pay for the threads.
  const int parts = std::min(threads, 1 + count / kFibersPerBuildThread);
  const bool ok = run_workers(parts, [&](int p) {
    std::vector<Key> row, scratch;
    std::vector<int32_t> at;
    const auto starts = g.row_start.begin();
    const auto first_row = [&](int q) {
      const auto fiber = static_cast<int32_t>(int64_t{count} * q / parts);
      return q == parts ? rows
                        : static_cast<int>(std::lower_bound(starts, starts + rows, fiber) - starts);
    };
    for (int r = first_row(p); r < first_row(p + 1); ++r) {
      const int32_t begin = g.row_start[r], end = g.row_start[r + 1];
      row.clear();
      for (int32_t e = begin; e < end; ++e) row.push_back({prepared_x[order[e]], order[e]});
      if (row.size() > 1) sort_row(row, scratch, at, extent);
      for (int32_t e = begin; e < end; ++e) {
        const int32_t i = row[e - begin].index;
        const PreparedSegment& q = prepared[i];
        g.x[e] = q.mid[0];
        g.y[e] = q.mid[1];
        g.z[e] = q.mid[2];
        g.half[e] = static_cast<float>(q.half);
        g.exact_half[e] = q.half;
        g.dx[e] = q.dir[0];
        g.dy[e] = q.dir[1];
        g.dz[e] = q.dir[2];
        g.index[e] = i;
      }
    }
  });
  if (!ok) throw std::bad_alloc();
}
