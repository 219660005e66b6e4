#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <thread>
#include <vector>

#include "contacts_filter.h"
#include "contacts_join.h"
#include "contacts_periodic.h"
#include "geomkit.h"
#include "network.h"
#include "periodic_image.h"
#include "progress.h"
#include "worker_threads.h"

// Fibers are binned by their midpoint brought into the box, in cells of equal side that tile the
// box exactly, so the cells wrap around it. A pair reaches the exact test only when conservative
// filters leave it a chance: the minimum-image distance of the midpoints, the distance of the axes
// along their common normal, and the closest points inside both segments. The exact test is the
// all-pairs loop's own on the same shifted image (prepared_contact agrees with segment_contact bit
// for bit), so the result is the same. Blocks of consecutive first indices are shared among the
// workers and joined in pair order.

namespace {

constexpr int kMaxCellsPerAxis = 1024;
constexpr int32_t kMinFibersPerBlock = 512;
constexpr int kMaxBlocks = 64;

// Fibers in cell order: the midpoint brought into the box (double), the prepared segment, the
// index.
struct Cells {
  int n = 1;                   // per axis
  double side = 0;             // box / n
  std::vector<int32_t> start;  // n³ + 1 offsets into the columns
  std::vector<int32_t> of;     // cell of each fiber
  std::vector<double> x, y, z;
  std::vector<PreparedSegment> segment;
  std::vector<int32_t> index;  // increasing within each cell
};

struct Block {
  int32_t begin, end;             // first indices
  std::vector<Contact> contacts;  // in pair order
  bool done = false;
};

double into_box(float m, double box) {
  return m - box * std::floor((m + box * 0.5) / box);
}

// Cells no smaller than `reach`, no more than about two per fiber.
void bin(Cells& c, const std::vector<PreparedSegment>& fibers, double box, double reach) {
  const int32_t count = static_cast<int32_t>(fibers.size());
  double n = reach > 0 ? std::floor(box / (reach * (1 + 1e-6))) : 1;
  n = std::min({n, double(kMaxCellsPerAxis), std::floor(std::cbrt(2.0 * count + 64))});
  c.n = std::max(1, static_cast<int>(n));
  c.side = box / c.n;
  const int cells = c.n * c.n * c.n;
  c.start.assign(static_cast<size_t>(cells) + 1, 0);
  c.of.resize(count);
  for (int32_t i = 0; i < count; ++i) {
    int at[3];
    for (int a = 0; a < 3; ++a) {
      const double w = into_box(fibers[i].mid[a], box) + box * 0.5;
      at[a] = std::clamp(static_cast<int>(std::floor(w / c.side)), 0, c.n - 1);
    }
    c.of[i] = (at[2] * c.n + at[1]) * c.n + at[0];
    ++c.start[c.of[i] + 1];
  }
  for (int k = 0; k < cells; ++k) c.start[k + 1] += c.start[k];
  std::vector<int32_t> fill(c.start.begin(), c.start.end() - 1);
  for (auto* column : {&c.x, &c.y, &c.z}) column->resize(count);
  c.segment.resize(count);
  c.index.resize(count);
  for (int32_t i = 0; i < count; ++i) {
    const int32_t e = fill[c.of[i]]++;
    c.x[e] = into_box(fibers[i].mid[0], box);
    c.y[e] = into_box(fibers[i].mid[1], box);
    c.z[e] = into_box(fibers[i].mid[2], box);
    c.segment[e] = fibers[i];
    c.index[e] = i;
  }
}

// A cell next to another, and the shift that brings its entries beside that other cell's.
struct Neighbour {
  int32_t cell;
  double shift[3];
  double lo[3];  // lower corner of the cell, shifted
};

// The distinct cells around `cell`, itself included. With three or more cells per axis each has
// one shift; with fewer the neighbours on both sides coincide, are listed once without shift, and
// the nearest image is left to each pair.
int neighbours(const Cells& c, int32_t cell, double box, Neighbour* out) {
  const int at[3] = {cell % c.n, cell / c.n % c.n, cell / (c.n * c.n)};
  const int span = std::min(c.n, 3);
  int coord[3][3];
  double shift[3][3];
  for (int a = 0; a < 3; ++a) {
    for (int d = 0; d < span; ++d) {
      const int to = at[a] + d - (c.n >= 3 ? 1 : at[a]);
      coord[a][d] = (to + c.n) % c.n;
      shift[a][d] = to < 0 ? -box : (to >= c.n ? box : 0.0);
    }
  }
  int found = 0;
  for (int z = 0; z < span; ++z) {
    for (int y = 0; y < span; ++y) {
      for (int x = 0; x < span; ++x) {
        Neighbour& nb = out[found++];
        const int xyz[3] = {x, y, z};
        for (int a = 0; a < 3; ++a) {
          nb.shift[a] = shift[a][xyz[a]];
          nb.lo[a] = -box * 0.5 + coord[a][xyz[a]] * c.side + nb.shift[a];
        }
        nb.cell = (coord[2][z] * c.n + coord[1][y]) * c.n + coord[0][x];
      }
    }
  }
  return found;
}

// Midpoints less than half a box apart along every axis: no image shift.
bool unshifted(const PreparedSegment& a, const PreparedSegment& b, double box) {
  bool near = true;
  for (int ax = 0; ax < 3; ++ax) {
    near = near && std::fabs(static_cast<double>(b.mid[ax]) - a.mid[ax]) < 0.49 * box;
  }
  return near;
}

// The prepared segment b of fiber j, or of its image nearest to a. An image moved along no axis
// keeps its end points, so its prepared segment is the stored one (prepared_contact gives
// segment_contact's result bit for bit).
PreparedSegment image_segment(const PreparedSegment& a, const PreparedSegment& b, int32_t j,
                              double box) {
  if (unshifted(a, b, box)) return b;
  const Fiber& fj = network.fibers[j];
  const Fiber image = nearest_image(fj, b.mid, a.mid, box);
  if (std::memcmp(&image, &fj, sizeof(Fiber)) == 0) return b;
  return prepare_segment(image.start, image.end);
}

// False when the axes are certainly farther apart than `limit`. The exact test measures along its
// unit common normal rounded to float32 (about 1e-7 per component), which moves the distance by
// at most about 2e-7 of the midpoints' coordinates; the margin is several times that. Nearly
// parallel axes are left to the exact test.
bool axes_may_touch(const PreparedSegment& a, const PreparedSegment& b, double limit) {
  double u[3], v[3], g[3], size = 0;
  for (int k = 0; k < 3; ++k) {
    u[k] = a.dir[k];
    v[k] = b.dir[k];
    g[k] = static_cast<double>(b.mid[k]) - a.mid[k];
    size += std::fabs(static_cast<double>(a.mid[k])) + std::fabs(static_cast<double>(b.mid[k]));
  }
  const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                       u[0] * v[1] - u[1] * v[0]};
  const double n2 = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
  if (n2 < 1e-6) return true;
  const double along = std::fabs(n[0] * g[0] + n[1] * g[1] + n[2] * g[2]) / std::sqrt(n2);
  return along <= limit * (1 + 1e-5) + 1e-6 * size;
}

struct Scan {
  const Cells& cells;
  const std::vector<PreparedSegment>& prepared;
  double box;
  double slack;  // covers the rounding of the shifted image's midpoint and half-length
  double widest;
  std::vector<int32_t> near;
  std::vector<Contact> raw;        // a block's contacts, per first index in cell order
  std::vector<int32_t> per_fiber;  // how many each first index has
};

// Appends to s.near the entries of the later fibers of one neighbouring cell whose nearest image
// may pass the exact test with fiber i (at w, in the box): the midpoint rejection, and where no
// shift is needed the axis distance.
void filter_cell(Scan& s, int32_t i, const double* w, const PreparedSegment& a,
                 const Neighbour& nb) {
  const Cells& c = s.cells;
  const int32_t* first = c.index.data() + c.start[nb.cell];
  const int32_t* last = c.index.data() + c.start[nb.cell + 1];
  const int32_t begin = static_cast<int32_t>(std::upper_bound(first, last, i) - c.index.data());
  const int32_t end = static_cast<int32_t>(last - c.index.data());
  const double* column[3] = {c.x.data(), c.y.data(), c.z.data()};
  const bool per_pair = c.n < 3;
  const double inverse = 1 / s.box;
  for (int32_t e = begin; e < end; ++e) {
    double gap2 = 0;
    for (int a = 0; a < 3; ++a) {
      double g = column[a][e] + nb.shift[a] - w[a];
      // Where two images lie equally far this may pick the other one: the gap is the same.
      if (per_pair) g -= s.box * std::nearbyint(g * inverse);
      gap2 += g * g;
    }
    const PreparedSegment& b = c.segment[e];
    const double reach = a.half + b.half + s.slack;
    if (gap2 >= reach * reach) continue;
    if (unshifted(a, b, s.box) && !axes_may_touch(a, b, fiber_diameter)) continue;
    s.near.push_back(e);
  }
}

// Contacts of fiber i with the later fibers around it, appended to s.raw in increasing second
// index; returns how many.
int32_t scan_fiber(Scan& s, int32_t i, const Neighbour* around, int count) {
  const PreparedSegment& a = s.prepared[i];
  const double w[3] = {into_box(a.mid[0], s.box), into_box(a.mid[1], s.box),
                       into_box(a.mid[2], s.box)};
  const double reach = a.half + s.widest + s.slack;
  s.near.clear();
  for (int k = 0; k < count; ++k) {
    if (s.cells.n >= 3) {
      double gap2 = 0;
      for (int ax = 0; ax < 3; ++ax) {
        const double g =
            std::max({around[k].lo[ax] - w[ax], w[ax] - (around[k].lo[ax] + s.cells.side), 0.0});
        gap2 += g * g;
      }
      if (gap2 >= reach * reach) continue;
    }
    filter_cell(s, i, w, a, around[k]);
  }
  const int32_t* index = s.cells.index.data();
  std::sort(s.near.begin(), s.near.end(),
            [index](int32_t p, int32_t q) { return index[p] < index[q]; });
  int32_t found = 0;
  for (const int32_t e : s.near) {
    const int32_t j = index[e];
    const PreparedSegment b = image_segment(a, s.cells.segment[e], j, s.box);
    if (!axes_may_touch(a, b, fiber_diameter)) continue;
    if (!may_meet_inside(a, b)) continue;
    float distance;
    Vec3 point;
    if (!prepared_contact(a, b, &distance, point)) continue;
    if (distance > fiber_diameter) continue;
    for (float& p : point) p = wrap_coordinate(p, s.box);
    s.raw.push_back({i, j, distance, point});
    ++found;
  }
  return found;
}

// The block's fibers cell by cell, so that the cells around stay in cache, then their contacts
// into pair order.
void scan_block(Scan& s, Block& block) {
  const Cells& c = s.cells;
  const int32_t* index = c.index.data();
  s.raw.clear();
  s.per_fiber.assign(block.end - block.begin + 1, 0);
  Neighbour around[27];
  for (int cell = 0; cell < c.n * c.n * c.n; ++cell) {
    const int32_t* first = index + c.start[cell];
    const int32_t* last = index + c.start[cell + 1];
    const int32_t* from = std::lower_bound(first, last, block.begin);
    const int32_t* to = std::lower_bound(from, last, block.end);
    if (from == to) continue;
    const int count = neighbours(c, cell, s.box, around);
    for (const int32_t* e = from; e < to; ++e) {
      s.per_fiber[*e - block.begin + 1] = scan_fiber(s, *e, around, count);
    }
  }
  // A counting sort by first index keeps each fiber's run as it is.
  for (size_t k = 1; k < s.per_fiber.size(); ++k) s.per_fiber[k] += s.per_fiber[k - 1];
  block.contacts.resize(s.raw.size());
  for (const Contact& k : s.raw) block.contacts[s.per_fiber[k.first - block.begin]++] = k;
}

// Blocks end at the quantiles of the work, which falls linearly with the first index since a
// fiber pairs with later fibers only. Each block walks every cell once, so with far more cells
// than fibers per block there are fewer blocks.
std::vector<Block> make_blocks(int32_t count, int threads, int cells) {
  int k = std::clamp(count / kMinFibersPerBlock, 1, kMaxBlocks);
  k = std::min(k, std::max(2 * threads, static_cast<int>(2.0 * count / cells)));
  std::vector<Block> blocks(k);
  for (int t = 0; t < k; ++t) {
    blocks[t].begin = t == 0 ? 0 : blocks[t - 1].end;
    blocks[t].end =
        t + 1 == k ? count : static_cast<int32_t>(count * (1 - std::sqrt(1 - double(t + 1) / k)));
  }
  return blocks;
}

}  // namespace

bool detect_contacts_periodic_threaded(double box, int threads) {
  network.num_contacts = 0;
  if (num_fibers < 2) return true;
  const int64_t limit = contact_limit();
  try {
    std::vector<PreparedSegment> prepared(num_fibers);
    double widest = 0, farthest = 0;
    for (int32_t i = 0; i < num_fibers; ++i) {
      const Fiber& f = network.fibers[i];
      prepared[i] = prepare_segment(f.start, f.end);
      widest = std::max(widest, prepared[i].half);
      for (int a = 0; a < 3; ++a) {
        farthest = std::max({farthest, std::fabs(double{f.start[a]}), std::fabs(double{f.end[a]})});
      }
    }
    // Shifted coordinates lie within about a box side and a fiber of the unshifted ones; their
    // float32 rounding moves the midpoint and the half-length far less than this.
    const double slack = 1e-6 * (farthest + box + 4 * widest);
    Cells cells;
    bin(cells, prepared, box, 2 * widest + slack);

    std::vector<Block> blocks = make_blocks(num_fibers, threads, cells.n * cells.n * cells.n);
    std::atomic<int> next{0};
    PairOrderJoin<Block> join(blocks, limit);
    Progress progress("detection", num_fibers);
    const int workers = std::clamp(threads, 1, static_cast<int>(blocks.size()));
    const bool ok = run_workers(workers, [&](int) {
      Scan s{cells, prepared, box, slack, widest, {}, {}, {}};
      for (int k; !join.enough() && (k = next++) < static_cast<int>(blocks.size());) {
        scan_block(s, blocks[k]);
        progress.add(blocks[k].end - blocks[k].begin);
        join.finish(k);
      }
    });
    if (!ok) return false;

    // The first `limit` contacts in pair order lie in the blocks finished in a row.
    int64_t kept = 0;
    const bool overflow = join.keep(&kept);
    network.num_contacts = static_cast<int32_t>(kept);
    if (overflow) std::puts("Too many contacts!");
    return true;
  } catch (const std::bad_alloc&) {
    network.num_contacts = 0;
    return false;
  }
}

bool detect_contacts_periodic(double box) {
  return detect_contacts_periodic_threaded(
      box, static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
}
