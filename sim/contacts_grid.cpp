#include "contacts_grid.h"

#include <emmintrin.h>

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
constexpr int32_t kEntriesPerBand = 1 << 17;
constexpr int kMaxBands = 1024;
constexpr int kStaged = 16;  // entries per band
constexpr int kBandsPerThread = 4;

// Sets v to exactly n entries, reusing its memory when it suffices and never reserving more.
template <typename V>
void fit(V& v, size_t n) {
  if (n > v.capacity()) {
    V().swap(v);
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

// An entry's place in its row: x, then index.
struct Key {
  float x;
  int32_t index;
};

// The extent of the prepared segments of src[0 .. count - 1], in blocks taken from a shared
// counter: their midpoints, and the largest half-length, the root of the largest squared length
// (the root is monotonic and correctly rounded, so the two agree bit for bit).
Extent extent_of(const Fiber* src, int32_t count, int threads) {
  // A thread costs more than a few blocks.
  threads = std::min(threads, 1 + count / (4 * kPrepareBlock));
  std::atomic<int32_t> next{0};
  std::vector<Extent> extents(threads);
  std::vector<double> longest(threads, 0);
  const bool ok = run_workers(threads, [&](int worker) {
    Extent e;  // in registers, not in a cache line the workers share
    double most = 0;
    for (int32_t b; (b = next.fetch_add(kPrepareBlock)) < count;) {
      const int32_t end = std::min(count, b + kPrepareBlock);
      for (int32_t k = b; k < end; ++k) {
        const Vec3 m = fiber_midpoint(src[k]);
        double length2 = 0;
        for (int a = 0; a < 3; ++a) {
          e.lo[a] = std::min(e.lo[a], static_cast<double>(m[a]));
          e.hi[a] = std::max(e.hi[a], static_cast<double>(m[a]));
          const double d = static_cast<double>(src[k].end[a]) - src[k].start[a];
          length2 += d * d;
        }
        most = std::max(most, length2);
      }
    }
    extents[worker] = e;
    longest[worker] = most;
  });
  if (!ok) throw std::bad_alloc();
  Extent all;
  for (int t = 0; t < threads; ++t) {
    all.take(extents[t]);
    all.max_half = std::max(all.max_half, std::sqrt(longest[t]) * 0.5);
  }
  return all;
}

// The images, in the box periodic along the axes of non-zero `period`, of fibers[0 .. count - 1]
// that come within reach of some fiber's midpoint, generously: an image too many only costs time,
// and at most one image of a fiber can pass the midpoint rejection with another. The fibers'
// midpoints lie in boxes one period apart (usually only the box itself); each image lies within
// reach of one of them. Along an open axis nothing is moved.
void make_images(GridScratch& w, const Fiber* fibers, int32_t count, const Extent& e,
                 const Periods& period, int threads) {
  double magnitude = 0;
  for (int a = 0; a < 3; ++a)
    magnitude = std::max({magnitude, period[a], std::fabs(e.lo[a]), e.hi[a]});
  const double tolerance = 1e-5 * magnitude;  // of a midpoint beyond its box
  const double margin = 2 * e.max_half * (1 + 1e-3) + 2 * tolerance;
  using Period = std::array<int, 3>;
  std::vector<Period> periods{{0, 0, 0}};
  const auto holds = [&](const Period& p, const Vec3& m) {
    bool in = true;
    for (int a = 0; a < 3; ++a) {
      if (period[a] > 0) in = in && std::fabs(m[a] - p[a] * period[a]) <= period[a] / 2 + tolerance;
    }
    return in;
  };
  // The fibers in shares of consecutive indices, their findings joined in index order.
  const int shares = std::clamp(count / kFibersPerBuildThread, 1, 4 * threads);
  const auto share_begin = [&](int k) { return static_cast<int32_t>(int64_t{count} * k / shares); };
  std::atomic<int> next{0};
  // The midpoints outside the box itself, found side by side; each then opens its period unless
  // one opened before holds it, as one pass in index order would.
  std::vector<std::vector<int32_t>> outside(shares);
  bool ok = run_workers(std::min(threads, shares), [&](int) {
    for (int k; (k = next++) < shares;) {
      for (int32_t i = share_begin(k); i < share_begin(k + 1); ++i) {
        if (!holds(periods[0], fiber_midpoint(fibers[i]))) outside[k].push_back(i);
      }
    }
  });
  if (!ok) throw std::bad_alloc();
  for (const std::vector<int32_t>& found : outside) {
    for (const int32_t i : found) {
      const Vec3 m = fiber_midpoint(fibers[i]);
      if (std::any_of(periods.begin(), periods.end(), [&](const Period& p) { return holds(p, m); }))
        continue;
      Period p;
      for (int a = 0; a < 3; ++a)
        p[a] = period[a] > 0 ? static_cast<int>(std::round(m[a] / period[a])) : 0;
      periods.push_back(p);
    }
  }
  // With the box alone, a midpoint this far inside along every periodic axis has no image: every
  // shift below rounds to 0.
  double inner[3];
  for (int a = 0; a < 3; ++a) {
    inner[a] = period[a] == 0        ? HUGE_VAL
               : periods.size() == 1 ? period[a] / 2 - margin - 1e-6 * period[a]
                                     : -1;
  }
  std::vector<std::vector<Fiber>> found_images(shares);
  std::vector<std::vector<int32_t>> found_of(shares);
  next = 0;
  ok = run_workers(std::min(threads, shares), [&](int) {
    std::vector<Period> shifts;
    for (int k; (k = next++) < shares;) {
      for (int32_t i = share_begin(k); i < share_begin(k + 1); ++i) {
        const Vec3 m = fiber_midpoint(fibers[i]);
        if (std::fabs(m[0]) < inner[0] && std::fabs(m[1]) < inner[1] && std::fabs(m[2]) < inner[2])
          continue;
        shifts.clear();
        for (const Period& p : periods) {
          int lo[3], hi[3];
          for (int a = 0; a < 3; ++a) {
            const double side = period[a], centre = p[a] * side;
            lo[a] = side > 0
                        ? static_cast<int>(std::ceil((centre - side / 2 - margin - m[a]) / side))
                        : 0;
            hi[a] = side > 0
                        ? static_cast<int>(std::floor((centre + side / 2 + margin - m[a]) / side))
                        : 0;
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
            const double by = shift[a] * period[a];
            image.start[a] = static_cast<float>(image.start[a] + by);
            image.end[a] = static_cast<float>(image.end[a] + by);
          }
          found_images[k].push_back(image);
          found_of[k].push_back(i);
        }
      }
    }
  });
  if (!ok) throw std::bad_alloc();
  size_t total = 0;
  for (const std::vector<Fiber>& part : found_images) total += part.size();
  if (total > static_cast<size_t>(INT32_MAX - count)) throw std::bad_alloc();
  fit(w.images, total);
  fit(w.image_of, total);
  size_t at = 0;
  for (int k = 0; k < shares; ++k) {
    std::copy(found_images[k].begin(), found_images[k].end(), w.images.begin() + at);
    std::copy(found_of[k].begin(), found_of[k].end(), w.image_of.begin() + at);
    at += found_images[k].size();
  }
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
  g.per_width = 1 / g.width;
}

// Sorts keys[0 .. n - 1] by x, ties by index, into `sorted`: a stable counting sort into about
// one x bin per key, then an insertion sort, which only moves keys within a bin.
void sort_keys(const Key* keys, int32_t n, Key* sorted, std::vector<int32_t>& at, const Extent& e) {
  // The binning need not be exact: the insertion sort puts the keys in their exact order.
  const double per_bin = n / (e.hi[0] - e.lo[0]);
  const auto bin = [&](const Key& p) {
    const double c = (p.x - e.lo[0]) * per_bin;
    return c >= 0 && c < n ? static_cast<int32_t>(c) : (c >= n ? n - 1 : 0);
  };
  at.assign(static_cast<size_t>(n) + 1, 0);
  for (int32_t k = 0; k < n; ++k) ++at[bin(keys[k]) + 1];
  for (int32_t b = 0; b < n; ++b) at[b + 1] += at[b];
  for (int32_t k = 0; k < n; ++k) sorted[at[bin(keys[k])]++] = keys[k];
  for (int32_t k = 1; k < n; ++k) {
    const Key moved = sorted[k];
    int32_t to = k;
    for (; to > 0 && sorted[to - 1].x > moved.x; --to) sorted[to] = sorted[to - 1];
    sorted[to] = moved;
  }
}

inline double root(double v) {
  // No check for a negative argument: the squares summed never are.
  return _mm_cvtsd_f64(_mm_sqrt_sd(_mm_setzero_pd(), _mm_set_sd(v)));
}

// prepare_segment(f.start, f.end), bit for bit, inline: the same operations in the same order.
inline PreparedSegment prepared(const Fiber& f) {
  PreparedSegment p;
  double towards_end[3], along[3];
  for (int k = 0; k < 3; ++k) {
    const double a = f.start[k], b = f.end[k];
    p.mid[k] = static_cast<float>((a + b) * 0.5);
    towards_end[k] = b - p.mid[k];
    along[k] = b - a;
  }
  const double length = root(towards_end[0] * towards_end[0] + towards_end[1] * towards_end[1] +
                             towards_end[2] * towards_end[2]);
  for (int k = 0; k < 3; ++k) p.dir[k] = static_cast<float>(towards_end[k] / length);
  p.half = root(along[0] * along[0] + along[1] * along[1] + along[2] * along[2]) * 0.5;
  return p;
}

// One entry of the grid as a record, while the build moves it; `index` is the entry's number
// among the fibers and their images until its row is written.
struct Entry {
  float x, y, z, half, dx, dy, dz;
  int32_t index;
  double exact_half;
};
static_assert(sizeof(Entry) == 40);

}  // namespace

void build_contact_grid(ContactGrid& g, const Fiber* fibers, int32_t count, int threads,
                        const Periods& period) {
  GridScratch& w = g.scratch;
  Extent extent = extent_of(fibers, count, threads);
  g.period = period;
  const bool box = any_periodic(period);
  const int32_t own = count;
  if (box) {
    make_images(w, fibers, own, extent, period, threads);
    count += static_cast<int32_t>(w.images.size());
    extent.take(extent_of(w.images.data(), count - own, threads));
  } else {
    fit(w.images, 0);
    fit(w.image_of, 0);
  }
  // Entry i of the fibers and their images together.
  const Fiber* const images = w.images.data();
  const auto fiber_of = [&](int32_t i) -> const Fiber& {
    return i < own ? fibers[i] : images[i - own];
  };
  choose_rows(g, extent, count);
  const int rows = g.rows();
  const auto row_of_mid = [&](const Vec3& m) { return g.row(g.coord(m[1], 1), g.coord(m[2], 2)); };

  // Padded for the filter's last partial vector.
  for (Column<float>* column : {&g.x, &g.y, &g.z, &g.half, &g.dx, &g.dy, &g.dz}) {
    fit(*column, static_cast<size_t>(count) + kColumnPadding);
    std::fill(column->begin() + count, column->end(), 0.0f);
  }
  fit(g.exact_half, count);
  fit(g.index, static_cast<size_t>(count) + kColumnPadding);
  std::fill(g.index.begin() + count, g.index.end(), 0);
  fit(g.image, box ? static_cast<size_t>(count) + kColumnPadding : 0);
  std::fill(g.image.begin() + std::min<size_t>(count, g.image.size()), g.image.end(), 0);

  // The entries go to their rows in two steps, so that no step writes to more places at once
  // than the caches and the address translation keep at hand: first, in shares of consecutive
  // entries, each prepared and written to its band of rows, a share from its own place in each
  // band, so that a band lists its entries in increasing index; then each band is put in order
  // by row and, within a row, by x.
  const int shares = std::min(threads, 1 + count / kFibersPerBuildThread);
  const auto share_begin = [&](int p) { return static_cast<int32_t>(int64_t{count} * p / shares); };
  fit(w.place, static_cast<size_t>(shares) * rows);
  std::fill(w.place.begin(), w.place.end(), 0);
  std::atomic<int> next{0};
  bool ok = run_workers(shares, [&](int) {
    for (int p; (p = next++) < shares;) {
      int32_t* const counts = w.place.data() + static_cast<size_t>(p) * rows;
      for (int32_t i = share_begin(p); i < share_begin(p + 1); ++i)
        ++counts[row_of_mid(fiber_midpoint(fiber_of(i)))];
    }
  });
  if (!ok) throw std::bad_alloc();
  fit(g.row_start, static_cast<size_t>(rows) + 1);
  int32_t at = 0;
  for (int r = 0; r < rows; ++r) {
    g.row_start[r] = at;
    for (int p = 0; p < shares; ++p) at += w.place[static_cast<size_t>(p) * rows + r];
  }
  g.row_start[rows] = at;

  // Bands of rows holding about equal numbers of entries.
  const int bands = std::clamp(count / kEntriesPerBand, std::min(kBandsPerThread * threads, rows),
                               std::max(kMaxBands, std::min(kBandsPerThread * threads, rows)));
  std::vector<int> band_row(bands + 1);
  std::vector<int32_t> band_of(rows);
  for (int b = 0; b <= bands; ++b) {
    const auto entry = static_cast<int32_t>(int64_t{count} * b / bands);
    const auto starts = g.row_start.begin();
    band_row[b] = b == bands
                      ? rows
                      : static_cast<int>(std::lower_bound(starts, starts + rows, entry) - starts);
    if (b > 0) std::fill(band_of.begin() + band_row[b - 1], band_of.begin() + band_row[b], b - 1);
  }
  // Each share's place in each band.
  std::vector<int32_t> band_place(static_cast<size_t>(shares) * bands);
  for (int b = 0; b < bands; ++b) {
    int32_t place = g.row_start[band_row[b]];
    for (int p = 0; p < shares; ++p) {
      band_place[static_cast<size_t>(p) * bands + b] = place;
      for (int r = band_row[b]; r < band_row[b + 1]; ++r)
        place += w.place[static_cast<size_t>(p) * rows + r];
    }
  }
  const auto write = [&g](int32_t e, const Entry& t) {
    g.x[e] = t.x;
    g.y[e] = t.y;
    g.z[e] = t.z;
    g.half[e] = t.half;
    g.dx[e] = t.dx;
    g.dy[e] = t.dy;
    g.dz[e] = t.dz;
    g.index[e] = t.index;
    g.exact_half[e] = t.exact_half;
  };
  next = 0;
  ok = run_workers(shares, [&](int) {
    // Entries are staged per band and written a few at a time, so that the columns are written
    // in runs rather than one scattered value each.
    std::vector<Entry> staged(static_cast<size_t>(bands) * kStaged);
    std::vector<int> held(bands, 0);
    for (int p; (p = next++) < shares;) {
      int32_t* const place = band_place.data() + static_cast<size_t>(p) * bands;
      const auto flush = [&](int b) {
        const Entry* const from = staged.data() + static_cast<size_t>(b) * kStaged;
        for (int k = 0; k < held[b]; ++k) write(place[b] + k, from[k]);
        place[b] += held[b];
        held[b] = 0;
      };
      for (int32_t i = share_begin(p); i < share_begin(p + 1); ++i) {
        const Fiber& f = fiber_of(i);
        const PreparedSegment q = prepared(f);
        const int b = band_of[row_of_mid(q.mid)];
        staged[static_cast<size_t>(b) * kStaged + held[b]] = {
            q.mid[0], q.mid[1], q.mid[2], static_cast<float>(q.half), q.dir[0], q.dir[1],
            q.dir[2], i,        q.half};
        if (++held[b] == kStaged) flush(b);
      }
      for (int b = 0; b < bands; ++b) flush(b);
    }
  });
  if (!ok) throw std::bad_alloc();

  next = 0;
  ok = run_workers(std::min(threads, bands), [&](int) {
    std::vector<Entry> entries;
    std::vector<Key> keys, sorted;
    std::vector<int32_t> fill, bins;
    for (int b; (b = next++) < bands;) {
      const int r0 = band_row[b], r1 = band_row[b + 1];
      const int32_t e0 = g.row_start[r0], n = g.row_start[r1] - e0;
      entries.resize(n);
      fill.assign(g.row_start.begin() + r0, g.row_start.begin() + r1);
      // By row, each in increasing index.
      for (int32_t e = e0; e < e0 + n; ++e) {
        const int r = row_of_mid({g.x[e], g.y[e], g.z[e]});
        entries[fill[r - r0]++ - e0] = {g.x[e],  g.y[e],  g.z[e],     g.half[e],      g.dx[e],
                                        g.dy[e], g.dz[e], g.index[e], g.exact_half[e]};
      }
      for (int r = r0; r < r1; ++r) {
        const int32_t begin = g.row_start[r] - e0, m = g.row_start[r + 1] - e0 - begin;
        keys.resize(m);
        sorted.resize(m);
        for (int32_t k = 0; k < m; ++k) keys[k] = {entries[begin + k].x, k};
        if (m > 1)
          sort_keys(keys.data(), m, sorted.data(), bins, extent);
        else
          sorted = keys;
        for (int32_t k = 0; k < m; ++k) {
          Entry t = entries[begin + sorted[k].index];
          const int32_t i = t.index, e = e0 + begin + k;
          t.index = i < own ? i : w.image_of[i - own];
          write(e, t);
          if (box) g.image[e] = i >= own;
        }
      }
    }
  });
  if (!ok) throw std::bad_alloc();
}
