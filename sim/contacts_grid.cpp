#include "contacts_grid.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <new>

#include "periodic_image.h"
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

// A fiber's place in its row: x, then index.
struct Key {
  float x;
  int32_t index;
};

// The extent of the prepared segments of src[0 .. count - 1], and their midpoints' x in `out_x`,
// in blocks taken from a shared counter. The segments themselves are prepared again where the
// grid's columns are written: keeping them would cost more memory than all the columns.
Extent prepare_all(const Fiber* src, int32_t count, int threads, std::vector<float>& out_x) {
  fit(out_x, count);
  // A thread costs more than preparing a few blocks.
  threads = std::min(threads, 1 + count / (4 * kPrepareBlock));
  std::atomic<int32_t> next{0};
  std::vector<Extent> extents(threads);
  const bool ok = run_workers(threads, [&](int worker) {
    Extent& e = extents[worker];
    for (int32_t b; (b = next.fetch_add(kPrepareBlock)) < count;) {
      const int32_t end = std::min(count, b + kPrepareBlock);
      for (int32_t k = b; k < end; ++k) {
        const PreparedSegment p = prepare_segment(src[k].start, src[k].end);
        out_x[k] = p.mid[0];
        for (int a = 0; a < 3; ++a) {
          e.lo[a] = std::min(e.lo[a], static_cast<double>(p.mid[a]));
          e.hi[a] = std::max(e.hi[a], static_cast<double>(p.mid[a]));
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

// The images, in the periodic box of side `box`, of fibers[0 .. count - 1] that come within reach
// of some fiber's midpoint, generously: an image too many only costs time, and at most one image
// of a fiber can pass the midpoint rejection with another. The fibers' midpoints lie in boxes one
// period apart (usually only the box itself); each image lies within reach of one of them.
void make_images(GridScratch& w, const Fiber* fibers, int32_t count, const Extent& e, double box) {
  std::vector<Fiber>& images = w.images;
  std::vector<int32_t>& image_of = w.image_of;
  images.clear();
  image_of.clear();
  double magnitude = box;
  for (int a = 0; a < 3; ++a) magnitude = std::max({magnitude, std::fabs(e.lo[a]), e.hi[a]});
  const double tolerance = 1e-5 * magnitude;  // of a midpoint beyond its box
  const double margin = 2 * e.max_half * (1 + 1e-3) + 2 * tolerance;
  using Period = std::array<int, 3>;
  std::vector<Period> periods{{0, 0, 0}};
  const auto holds = [&](const Period& p, const Vec3& m) {
    bool in = true;
    for (int a = 0; a < 3; ++a) in = in && std::fabs(m[a] - p[a] * box) <= box / 2 + tolerance;
    return in;
  };
  for (int32_t i = 0; i < count; ++i) {
    const Vec3 m = fiber_midpoint(fibers[i]);
    if (std::any_of(periods.begin(), periods.end(), [&](const Period& p) { return holds(p, m); }))
      continue;
    Period p;
    for (int a = 0; a < 3; ++a) p[a] = static_cast<int>(std::round(m[a] / box));
    periods.push_back(p);
  }
  std::vector<Period> shifts;
  for (int32_t i = 0; i < count; ++i) {
    const Vec3 m = fiber_midpoint(fibers[i]);
    shifts.clear();
    for (const Period& p : periods) {
      int lo[3], hi[3];
      for (int a = 0; a < 3; ++a) {
        const double centre = p[a] * box;
        lo[a] = static_cast<int>(std::ceil((centre - box / 2 - margin - m[a]) / box));
        hi[a] = static_cast<int>(std::floor((centre + box / 2 + margin - m[a]) / box));
      }
      for (int sz = lo[2]; sz <= hi[2]; ++sz) {
        for (int sy = lo[1]; sy <= hi[1]; ++sy) {
          for (int sx = lo[0]; sx <= hi[0]; ++sx) {
            if (sx != 0 || sy != 0 || sz != 0) shifts.push_back({sx, sy, sz});
          }
        }
      }
    }
    if (periods.size() > 1) {
      std::sort(shifts.begin(), shifts.end());
      shifts.erase(std::unique(shifts.begin(), shifts.end()), shifts.end());
    }
    for (const Period& shift : shifts) {
      // As nearest_image moves a fiber: each shifted end rounded once, other axes untouched.
      Fiber image = fibers[i];
      for (int a = 0; a < 3; ++a) {
        if (shift[a] == 0) continue;
        const double by = shift[a] * box;
        image.start[a] = static_cast<float>(image.start[a] + by);
        image.end[a] = static_cast<float>(image.end[a] + by);
      }
      images.push_back(image);
      image_of.push_back(i);
    }
  }
  if (images.size() > static_cast<size_t>(INT32_MAX - count)) throw std::bad_alloc();
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

void build_contact_grid(ContactGrid& g, const Fiber* fibers, int32_t count, int threads,
                        double box) {
  GridScratch& w = g.scratch;
  Extent extent = prepare_all(fibers, count, threads, w.prepared_x);
  g.box = box;
  const int32_t own = count;
  if (box > 0) {
    make_images(w, fibers, own, extent, box);
    count += static_cast<int32_t>(w.images.size());
    extent.take(prepare_all(w.images.data(), count - own, threads, w.image_x));
  }
  // Entry i of the fibers and their images together.
  const auto fiber_of = [&](int32_t i) -> const Fiber& {
    return i < own ? fibers[i] : w.images[i - own];
  };
  choose_rows(g, extent, count);
  const int rows = g.rows();

  // Counting sort by row; stable, so each row lists its fibers in increasing index. Few rows
  // against many fibers keep the scattered writes in cache.
  fit(g.row_start, static_cast<size_t>(rows) + 1);
  std::fill(g.row_start.begin(), g.row_start.end(), 0);
  std::vector<int32_t>& row_of = w.row_of;
  fit(row_of, count);
  for (int32_t i = 0; i < count; ++i) {
    const Vec3 m = fiber_midpoint(fiber_of(i));  // the prepared segment's
    row_of[i] = g.row(g.coord(m[1], 1), g.coord(m[2], 2));
    ++g.row_start[row_of[i] + 1];
  }
  for (int r = 0; r < rows; ++r) g.row_start[r + 1] += g.row_start[r];
  std::vector<int32_t>&order = w.order, &row_fill = w.row_fill;
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
  fit(g.image, box > 0 ? static_cast<size_t>(count) + kColumnPadding : 0);
  std::fill(g.image.begin() + std::min<size_t>(count, g.image.size()), g.image.end(), 0);

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
      for (int32_t e = begin; e < end; ++e) {
        const int32_t i = order[e];
        row.push_back({i < own ? w.prepared_x[i] : w.image_x[i - own], i});
      }
      if (row.size() > 1) sort_row(row, scratch, at, extent);
      for (int32_t e = begin; e < end; ++e) {
        const int32_t i = row[e - begin].index;
        const Fiber& f = fiber_of(i);
        const PreparedSegment q = prepare_segment(f.start, f.end);
        g.x[e] = q.mid[0];
        g.y[e] = q.mid[1];
        g.z[e] = q.mid[2];
        g.half[e] = static_cast<float>(q.half);
        g.exact_half[e] = q.half;
        g.dx[e] = q.dir[0];
        g.dy[e] = q.dir[1];
        g.dz[e] = q.dir[2];
        g.index[e] = i < own ? i : w.image_of[i - own];
        if (box > 0) g.image[e] = i >= own;
      }
    }
  });
  if (!ok) throw std::bad_alloc();
}
