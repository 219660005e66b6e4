#include "contacts_grid.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <new>

#include "worker_threads.h"

namespace {

constexpr int kMaxCellsPerAxis = 1024;
constexpr int32_t kPrepareBlock = 16384;

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
std::vector<int32_t> cell_of;
std::vector<int32_t> cell_fill;

// Prepares every segment, in blocks taken from a shared counter, and returns their extent.
Extent prepare_all(const Fiber* fibers, int32_t count, int threads) {
  fit(prepared, count);
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

// Cells at least as large as the reach, and no more of them than about two per fiber. (Half-size
// cells with a 5 x 5 x 5 neighbourhood scan fewer candidates in dense networks, but their extra
// visits cost more than that saves up to 100 fibers per cell.)
void choose_cells(ContactGrid& g, const Extent& e, int32_t count) {
  // The margin covers rounding in the cell arithmetic.
  g.reach = 2 * e.max_half * (1 + 1e-6);
  g.cell = g.reach * (1 + 1e-6);
  for (int k = 0; k < 3; ++k) g.cell = std::max(g.cell, (e.hi[k] - e.lo[k]) / kMaxCellsPerAxis);
  if (!(g.cell > 0)) g.cell = 1;
  const double most = std::min(2.0 * count + 64, double(1 << 28));
  for (;;) {
    double total = 1;
    for (int k = 0; k < 3; ++k) {
      g.lo[k] = e.lo[k];
      g.n[k] = std::clamp(static_cast<int>((e.hi[k] - e.lo[k]) / g.cell) + 1, 1, kMaxCellsPerAxis);
      total *= g.n[k];
    }
    if (total <= most) break;
    g.cell *= std::max(1.01, std::cbrt(total / most));
  }
}

}  // namespace

int ContactGrid::coord(double v, int k) const {
  const double c = std::floor((v - lo[k]) / cell);
  return c < 0 ? 0 : (c >= n[k] ? n[k] - 1 : static_cast<int>(c));
}

double ContactGrid::gap2(double v, int c, int k) const {
  const double below = lo[k] + c * cell - v, above = v - (lo[k] + (c + 1) * cell);
  const double g = std::max({below, above, 0.0});
  return g * g;
}

void build_contact_grid(ContactGrid& g, const Fiber* fibers, int32_t count, int threads) {
  const Extent extent = prepare_all(fibers, count, threads);
  choose_cells(g, extent, count);

  // Counting sort by cell; stable, so each cell lists its fibers in increasing index.
  const int cells = g.cells();
  fit(g.cell_start, static_cast<size_t>(cells) + 1);
  std::fill(g.cell_start.begin(), g.cell_start.end(), 0);
  fit(cell_of, count);
  for (int32_t i = 0; i < count; ++i) {
    const Vec3& m = prepared[i].mid;
    cell_of[i] = g.id(g.coord(m[0], 0), g.coord(m[1], 1), g.coord(m[2], 2));
    ++g.cell_start[cell_of[i] + 1];
  }
  for (int c = 0; c < cells; ++c) g.cell_start[c + 1] += g.cell_start[c];
  fit(cell_fill, cells);
  std::copy(g.cell_start.begin(), g.cell_start.begin() + cells, cell_fill.begin());
  // Padded for the filter's last partial vector.
  for (std::vector<float>* column : {&g.x, &g.y, &g.z, &g.half, &g.dx, &g.dy, &g.dz}) {
    fit(*column, static_cast<size_t>(count) + kColumnPadding);
    std::fill(column->begin() + count, column->end(), 0.0f);
  }
  fit(g.exact_half, count);
  fit(g.index, static_cast<size_t>(count) + kColumnPadding);
  std::fill(g.index.begin() + count, g.index.end(), 0);
  for (int32_t i = 0; i < count; ++i) {
    const PreparedSegment& p = prepared[i];
    const int32_t e = cell_fill[cell_of[i]]++;
    g.x[e] = p.mid[0];
    g.y[e] = p.mid[1];
    g.z[e] = p.mid[2];
    g.half[e] = static_cast<float>(p.half);
    g.exact_half[e] = p.half;
    g.dx[e] = p.dir[0];
    g.dy[e] = p.dir[1];
    g.dz[e] = p.dir[2];
    g.index[e] = i;
  }
}
