#include "contacts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <thread>

#include "geomkit.h"
#include "network.h"

// Fibers are binned by midpoint into cubic cells as large as the largest reach h1 + h2 of the
// midpoint rejection; each fiber scans only the cells that meet the sphere of that reach around
// its midpoint, and only the later fibers in them, then tests those in index order. That
// reproduces the all-pairs contacts and their order exactly. Scratch is static: a run allocates
// nothing.

namespace {

constexpr int kMaxCellsPerAxis = 64;
constexpr int kMaxCells = kMaxCellsPerAxis * kMaxCellsPerAxis * kMaxCellsPerAxis;
constexpr int kMaxThreads = 2;
constexpr int32_t kMinFibersPerThread = 2000;

PreparedSegment prepared[MAXFIB];
int32_t cell_of[MAXFIB];
// Candidate data in cell order, as float32 columns, so a cell's scan reads contiguous memory.
struct Columns {
  float x[MAXFIB], y[MAXFIB], z[MAXFIB], half[MAXFIB];
  float dx[MAXFIB], dy[MAXFIB], dz[MAXFIB];
  int32_t index[MAXFIB];
};
Columns by_cell;
int32_t cell_start[kMaxCells + 1];
int32_t cell_fill[kMaxCells];

// Per-thread scratch: the cell cursors, the candidates of one fiber and their flags, and (for every thread but
// the first) the contacts of its share of fibers.
int32_t cell_next[kMaxThreads][kMaxCells];
int32_t near_fibers[kMaxThreads][MAXFIB];
uint8_t keep_flags[kMaxThreads][MAXFIB];
Contact found_contacts[kMaxThreads - 1][MAXCONTACTS];

struct Grid {
  double lo[3];
  double cell;
  double reach;  // no pair farther apart than this can pass the midpoint rejection
  int n[3];

  int coord(double v, int k) const {
    const double c = std::floor((v - lo[k]) / cell);
    return c < 0 ? 0 : (c >= n[k] ? n[k] - 1 : static_cast<int>(c));
  }
  int id(int cx, int cy, int cz) const { return (cz * n[1] + cy) * n[0] + cx; }
  // Squared distance from v to the slab of cells with coordinate c along axis k.
  double gap2(double v, int c, int k) const {
    const double below = lo[k] + c * cell - v, above = v - (lo[k] + (c + 1) * cell);
    const double g = std::max({below, above, 0.0});
    return g * g;
  }
};

Grid build_grid(int32_t count) {
  double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
  double max_half = 0;
  for (int32_t i = 0; i < count; ++i) {
    const Fiber& f = network.fibers[i];
    prepared[i] = prepare_segment(f.start, f.end);
    for (int k = 0; k < 3; ++k) {
      lo[k] = std::min(lo[k], static_cast<double>(prepared[i].mid[k]));
      hi[k] = std::max(hi[k], static_cast<double>(prepared[i].mid[k]));
    }
    max_half = std::max(max_half, prepared[i].half);
  }

  Grid g;
  // The margin covers rounding in the cell arithmetic.
  g.reach = 2 * max_half * (1 + 1e-6);
  g.cell = g.reach;
  for (int k = 0; k < 3; ++k) g.cell = std::max(g.cell, (hi[k] - lo[k]) / kMaxCellsPerAxis);
  if (!(g.cell > 0)) g.cell = 1;
  for (int k = 0; k < 3; ++k) {
    g.lo[k] = lo[k];
    g.n[k] = std::clamp(static_cast<int>((hi[k] - lo[k]) / g.cell) + 1, 1, kMaxCellsPerAxis);
  }

  // Counting sort by cell; stable, so each cell lists its fibers in increasing index.
  const int cells = g.n[0] * g.n[1] * g.n[2];
  std::fill(cell_start, cell_start + cells + 1, 0);
  for (int32_t i = 0; i < count; ++i) {
    const Vec3& m = prepared[i].mid;
    cell_of[i] = g.id(g.coord(m[0], 0), g.coord(m[1], 1), g.coord(m[2], 2));
    ++cell_start[cell_of[i] + 1];
  }
  for (int c = 0; c < cells; ++c) cell_start[c + 1] += cell_start[c];
  std::copy(cell_start, cell_start + cells, cell_fill);
  for (int32_t i = 0; i < count; ++i) {
    const PreparedSegment& p = prepared[i];
    const int32_t e = cell_fill[cell_of[i]]++;
    by_cell.x[e] = p.mid[0];
    by_cell.y[e] = p.mid[1];
    by_cell.z[e] = p.mid[2];
    by_cell.half[e] = static_cast<float>(p.half);
    by_cell.dx[e] = p.dir[0];
    by_cell.dy[e] = p.dir[1];
    by_cell.dz[e] = p.dir[2];
    by_cell.index[e] = i;
  }
  return g;
}

// Appends to `near` the fibers of entries [begin, end) that may touch `a`, and returns the new
// count. A candidate is dropped only when it certainly fails the exact test: midpoints out of
// reach, or axes farther apart than `limit` along their common normal n (|n.gap| / |n|). The
// margins cover the float32 arithmetic here and the rounding of the unit normal in the exact
// test; parallel axes (n near 0) always pass. The flags come from a branch-free loop of their
// own, which vectorizes.
int scan_cell(const PreparedSegment& a, float limit, int32_t begin, int32_t end, uint8_t* keep,
              int32_t* near, int found) {
  const float ax = a.mid[0], ay = a.mid[1], az = a.mid[2], ah = static_cast<float>(a.half);
  const float ux = a.dir[0], uy = a.dir[1], uz = a.dir[2];
  for (int32_t e = begin; e < end; ++e) {
    const float gx = by_cell.x[e] - ax, gy = by_cell.y[e] - ay, gz = by_cell.z[e] - az;
    const float reach = ah + by_cell.half[e];
    const float gap2 = gx * gx + gy * gy + gz * gz;
    const float vx = by_cell.dx[e], vy = by_cell.dy[e], vz = by_cell.dz[e];
    const float nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    const float n2 = nx * nx + ny * ny + nz * nz;
    const float along = nx * gx + ny * gy + nz * gz;
    const float bound = limit * (1 + 1e-5f) + reach * 1e-5f;
    const float slack = reach * 4e-6f;
    // |along| <= bound * sqrt(n2 + 4e-6) + slack, squared without the root: the cross term
    // 2xy is at most 0.01x^2 + 100y^2.
    const bool close = along * along <= 1.01f * bound * bound * (n2 + 4e-6f) + 101 * slack * slack;
    const bool in_reach = gap2 <= reach * reach * (1 + 1e-5f);
    keep[e - begin] = in_reach & close;
  }
  for (int32_t e = begin; e < end; ++e) {
    near[found] = by_cell.index[e];
    found += keep[e - begin];
  }
  return found;
}

// Contacts of one share of the fibers, in pair order, kept up to `capacity`; `overflow` tells
// that at least one more was found.
struct Share {
  int32_t begin, end;
  Contact* out;
  int32_t count;
  bool overflow;
};

void scan_share(const Grid& g, int slot, Share& s) {
  int32_t* next = cell_next[slot];
  int32_t* near = near_fibers[slot];
  uint8_t* keep = keep_flags[slot];
  // Cursors start past every fiber below the share: only later fibers are partners.
  const int cells = g.n[0] * g.n[1] * g.n[2];
  for (int c = 0; c < cells; ++c) {
    next[c] = static_cast<int32_t>(std::lower_bound(by_cell.index + cell_start[c],
                                                    by_cell.index + cell_start[c + 1], s.begin) -
                                   by_cell.index);
  }
  const float limit = fiber_diameter;
  const double reach2 = g.reach * g.reach;
  s.count = 0;
  s.overflow = false;
  for (int32_t i = s.begin; i < s.end; ++i) {
    const PreparedSegment& a = prepared[i];
    ++next[cell_of[i]];  // fiber i itself is the first unvisited entry of its cell
    int lo[3], hi[3];
    for (int k = 0; k < 3; ++k) {
      lo[k] = g.coord(a.mid[k] - g.reach, k);
      hi[k] = g.coord(a.mid[k] + g.reach, k);
    }
    int found = 0;
    for (int z = lo[2]; z <= hi[2]; ++z) {
      const double gz = g.gap2(a.mid[2], z, 2);
      for (int y = lo[1]; y <= hi[1]; ++y) {
        const double gyz = gz + g.gap2(a.mid[1], y, 1);
        if (gyz > reach2) continue;
        for (int x = lo[0]; x <= hi[0]; ++x) {
          if (gyz + g.gap2(a.mid[0], x, 0) > reach2) continue;
          const int c = g.id(x, y, z);
          found = scan_cell(a, limit, next[c], cell_start[c + 1], keep, near, found);
        }
      }
    }
    std::sort(near, near + found);
    for (int n = 0; n < found; ++n) {
      const int32_t j = near[n];
      float distance;
      Vec3 point;
      if (!prepared_contact(a, prepared[j], &distance, point)) continue;
      if (distance > fiber_diameter) continue;
      if (s.count == MAXCONTACTS) {
        s.overflow = true;
        return;
      }
      s.out[s.count++] = {i, j, distance, point};
    }
  }
}

}  // namespace

void detect_contacts_threaded(int threads) {
  network.num_contacts = 0;
  if (num_fibers < 2) return;
  const Grid g = build_grid(num_fibers);

  threads = std::clamp(std::min(threads, num_fibers / kMinFibersPerThread), 1, kMaxThreads);
  // Fiber i pairs with the later fibers only, so early fibers cost more: shares end at the
  // quantiles of that linearly falling work.
  Share shares[kMaxThreads];
  for (int t = 0; t < threads; ++t) {
    const double q = double(t + 1) / threads;
    shares[t].begin = t == 0 ? 0 : shares[t - 1].end;
    shares[t].end =
        t + 1 == threads ? num_fibers : static_cast<int32_t>(num_fibers * (1 - std::sqrt(1 - q)));
    shares[t].out = t == 0 ? network.contacts : found_contacts[t - 1];
  }
  std::thread workers[kMaxThreads - 1];
  for (int t = 1; t < threads; ++t)
    workers[t - 1] = std::thread(scan_share, std::cref(g), t, std::ref(shares[t]));
  scan_share(g, 0, shares[0]);
  for (int t = 1; t < threads; ++t) workers[t - 1].join();

  // Join the shares in order, keeping the first MAXCONTACTS contacts as the plain loop would.
  int32_t total = shares[0].count;
  bool overflow = shares[0].overflow;
  for (int t = 1; t < threads && !overflow; ++t) {
    const int32_t take = std::min(shares[t].count, MAXCONTACTS - total);
    std::copy(shares[t].out, shares[t].out + take, network.contacts + total);
    total += take;
    overflow = shares[t].overflow || take < shares[t].count;
  }
  network.num_contacts = total;
  if (overflow) std::puts("Too many contacts!");
}

void detect_contacts() {
  detect_contacts_threaded(std::thread::hardware_concurrency() > 1 ? kMaxThreads : 1);
}
