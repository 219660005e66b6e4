#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "contacts_filter.h"
#include "contacts_periodic.h"
#include "geomkit.h"
#include "network.h"
#include "periodic_image.h"
#include "progress.h"
#include "worker_threads.h"

// Fibers are binned by their midpoint brought into the box, in cells of equal side that tile the
// box exactly, so the cells wrap around it. A pair is tested only when the minimum-image distance
// of its midpoints leaves room for the exact test to pass; that test is the all-pairs loop's own
// (shifted image, segment_contact, diameter), so the result is the same bit for bit. Blocks of
// consecutive first indices are shared among the workers and joined in pair order.

namespace {

constexpr int kMaxCellsPerAxis = 1024;
constexpr int32_t kBlock = 1024;

struct Cells {
  int n = 1;                   // per axis
  double side = 0;             // box / n
  std::vector<int32_t> start;  // n³ + 1 offsets into `index`
  std::vector<int32_t> index;  // fiber indices by cell, increasing within each cell
  std::vector<int32_t> of;     // cell of each fiber
};

struct Block {
  std::vector<Contact> contacts;  // in pair order
  bool done = false;
};

int axis_cell(float m, double box, const Cells& c) {
  const double half = box * 0.5;
  const double w = m - box * std::floor((m + half) / box);
  return std::clamp(static_cast<int>(std::floor((w + half) / c.side)), 0, c.n - 1);
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
    const Vec3& m = fibers[i].mid;
    c.of[i] =
        (axis_cell(m[2], box, c) * c.n + axis_cell(m[1], box, c)) * c.n + axis_cell(m[0], box, c);
    ++c.start[c.of[i] + 1];
  }
  for (int k = 0; k < cells; ++k) c.start[k + 1] += c.start[k];
  std::vector<int32_t> fill(c.start.begin(), c.start.end() - 1);
  c.index.resize(count);
  for (int32_t i = 0; i < count; ++i) c.index[fill[c.of[i]]++] = i;
}

// The distinct cells next to `cell` (itself included) around the box: with fewer than three cells
// per axis, the neighbours on both sides coincide and are listed once.
int neighbours(const Cells& c, int32_t cell, int32_t* out) {
  const int at[3] = {cell % c.n, cell / c.n % c.n, cell / (c.n * c.n)};
  int along[3][3], count[3];
  for (int a = 0; a < 3; ++a) {
    count[a] = std::min(c.n, 3);
    for (int d = 0; d < count[a]; ++d) along[a][d] = (at[a] + d - 1 + c.n) % c.n;
  }
  int found = 0;
  for (int z = 0; z < count[2]; ++z) {
    for (int y = 0; y < count[1]; ++y) {
      for (int x = 0; x < count[0]; ++x) {
        out[found++] = (along[2][z] * c.n + along[1][y]) * c.n + along[0][x];
      }
    }
  }
  return found;
}

struct Scan {
  const Cells& cells;
  const std::vector<PreparedSegment>& prepared;
  double box;
  double slack;  // covers the rounding of the shifted image's midpoint and half-length
  std::vector<int32_t> near;
};

// Contacts of fiber i with the later fibers, appended to `out` in increasing second index.
void scan_fiber(Scan& s, int32_t i, std::vector<Contact>& out) {
  int32_t around[27];
  const int count = neighbours(s.cells, s.cells.of[i], around);
  const PreparedSegment& a = s.prepared[i];
  const double inverse = 1 / s.box;
  s.near.clear();
  for (int k = 0; k < count; ++k) {
    const int32_t* first = s.cells.index.data() + s.cells.start[around[k]];
    const int32_t* last = s.cells.index.data() + s.cells.start[around[k] + 1];
    for (const int32_t* e = std::upper_bound(first, last, i); e < last; ++e) {
      const PreparedSegment& b = s.prepared[*e];
      // The nearest image found without division may differ from image_shift's only where two
      // images lie equally far, half a box away, so the gap is the same.
      double gap2 = 0;
      for (int ax = 0; ax < 3; ++ax) {
        const double d = static_cast<double>(b.mid[ax]) - a.mid[ax];
        const double g = d - s.box * std::nearbyint(d * inverse);
        gap2 += g * g;
      }
      const double reach = a.half + b.half + s.slack;
      if (gap2 < reach * reach) s.near.push_back(*e);
    }
  }
  std::sort(s.near.begin(), s.near.end());
  for (const int32_t j : s.near) {
    // An image moved along no axis keeps its end points, so its prepared segment is the stored
    // one; prepared_contact gives segment_contact's result bit for bit.
    const Fiber& fj = network.fibers[j];
    const Fiber image = nearest_image(fj, s.prepared[j].mid, a.mid, s.box);
    const bool moved = std::memcmp(&image, &fj, sizeof(Fiber)) != 0;
    const PreparedSegment b = moved ? prepare_segment(image.start, image.end) : s.prepared[j];
    if (!may_meet_inside(a, b)) continue;
    float distance;
    Vec3 point;
    if (!prepared_contact(a, b, &distance, point)) continue;
    if (distance > fiber_diameter) continue;
    for (float& p : point) p = wrap_coordinate(p, s.box);
    out.push_back({i, j, distance, point});
  }
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

    std::vector<Block> blocks((num_fibers + kBlock - 1) / kBlock);
    std::atomic<int> next{0};
    std::atomic<bool> enough{false};
    std::mutex finished;
    size_t joined = 0;  // blocks finished in a row from the first
    int64_t joined_contacts = 0;
    Progress progress("detection", num_fibers);
    const int workers = std::clamp(threads, 1, static_cast<int>(blocks.size()));
    const bool ok = run_workers(workers, [&](int) {
      Scan s{cells, prepared, box, slack, {}};
      for (int k; !enough && (k = next++) < static_cast<int>(blocks.size());) {
        const int32_t end = std::min(num_fibers, (k + 1) * kBlock);
        for (int32_t i = k * kBlock; i < end; ++i) scan_fiber(s, i, blocks[k].contacts);
        progress.add(end - k * kBlock);
        const std::lock_guard<std::mutex> lock(finished);
        blocks[k].done = true;
        while (joined < blocks.size() && blocks[joined].done) {
          joined_contacts += static_cast<int64_t>(blocks[joined++].contacts.size());
        }
        if (joined_contacts > limit) enough = true;
      }
    });
    if (!ok) return false;

    // The first `limit` contacts in pair order lie in the blocks finished in a row.
    const int64_t kept = std::min(joined_contacts, limit);
    if (network.contacts.size() < kept && !network.contacts.reset(kept)) return false;
    int64_t at = 0;
    for (size_t k = 0; k < joined && at < kept; ++k) {
      const int64_t take =
          std::min<int64_t>(static_cast<int64_t>(blocks[k].contacts.size()), kept - at);
      std::copy(blocks[k].contacts.begin(), blocks[k].contacts.begin() + take,
                network.contacts.data() + at);
      at += take;
    }
    network.num_contacts = static_cast<int32_t>(kept);
    if (joined_contacts > limit) std::puts("Too many contacts!");
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
