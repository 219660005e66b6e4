#include "contacts_scan.h"

#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cmath>

#include "contacts_exact.h"
#include "contacts_filter.h"
#include "float_steps.h"
#include "periodic_image.h"

namespace {

constexpr int64_t kReportEvery = 4096;  // contacts a worker finds between budget counts

// A row around the scanned one, and the run of its entries the current fiber may reach.
struct Neighbour {
  int dy, dz;    // offset from the scanned row, plus one
  int32_t from;  // first entry within reach behind the fiber
  int32_t to;    // first entry beyond its reach ahead
  int32_t end;   // of the row
  bool own;      // the scanned row itself
};

// The first entry from `pos` on, before `end`, with x above `limit`. The entries are in x order
// and the answer is usually a step or two away: four at a time, without a branch per entry.
inline __attribute__((always_inline)) int32_t skip_to_above(const float* x, int32_t pos,
                                                            int32_t end, float limit) {
  const __m128 bound = _mm_set1_ps(limit);
  for (;;) {
    const unsigned not_above =
        static_cast<unsigned>(_mm_movemask_ps(_mm_cmple_ps(_mm_loadu_ps(x + pos), bound)));
    const int32_t left = end - pos;  // never negative
    const unsigned inside = left >= 4 ? 15u : (1u << left) - 1;
    const int steps = __builtin_ctz(~(not_above & inside));
    pos += steps;
    if (steps < 4) return pos;
  }
}

// `when` ? a : b, without a branch.
inline float pick(bool when, float a, float b) {
  const uint32_t mask = 0u - static_cast<uint32_t>(when);
  return std::bit_cast<float>((std::bit_cast<uint32_t>(a) & mask) |
                              (std::bit_cast<uint32_t>(b) & ~mask));
}

// float_at_least(v), the smallest float32 not below v, without a branch on the rounding.
inline float least_float_from(double v) {
  const float f = static_cast<float>(v);
  return pick(static_cast<double>(f) < v, next_up(f), f);
}

// In the periodic box, keeps in order the entries of near[0 .. count - 1] that make a pair of
// two fibers with the one of lower index unmoved, as the minimum-image rule tests them, and
// returns their count.
int keep_unmoved_first(const ContactGrid& g, int32_t ea, int32_t* near, int count) {
  const int32_t i = g.index[ea];
  const bool moved = g.from_image(ea);
  int kept = 0;
  for (int k = 0; k < count; ++k) {
    const int32_t e = near[k], j = g.index[e];
    near[kept] = e;
    kept += j != i && !(i < j ? moved : g.from_image(e));
  }
  return kept;
}

// Pairs the fiber at entry ea of row (ry, rz) with the entries within reach in the rows `nb`. In
// the pair scan (`pairs`) those are its own row, where it takes the entries after its own, and
// the rows after it; it files each contact, smaller index first, in s.blocks. In an index chunk
// they are all nine rows around, where it takes the later fibers, and it appends the contacts to
// s.raw in increasing second index. Returns the number of contacts.
int32_t scan_fiber(const ContactGrid& g, int ry, int rz, int32_t ea, Neighbour* nb, int count,
                   bool pairs, int block_shift, Scan& s) {
  const int32_t i = g.index[ea];
  const PreparedSegment a = g.segment(ea);
  const float xa = g.x[ea];
  const double far = g.reach + g.slack, far2 = far * far;
  // Squared distances from the midpoint to the rows below, at and above its own, per axis.
  double gap[2][3];
  const int own[2] = {ry, rz};
  for (int k = 0; k < 2; ++k) {
    const double v = a.mid[k + 1], lo = g.lo[k + 1] + own[k] * g.width;
    const double below = v - lo, above = lo + g.width - v;
    gap[k][0] = below > 0 ? below * below : 0;
    gap[k][1] = 0;
    gap[k][2] = above > 0 ? above * above : 0;
  }
  const float* x = g.x.data();
  const float to_limit = float_at_most(xa + far);
  const float from_limit = float_below(xa - far);
  EntryRange ranges[9];
  int used = 0;
  size_t entries = 0;
  // Without a branch on whether a row is in reach, its run empty or long, or on how a bound
  // rounds (all change from fiber to fiber at random): every cursor moves, every bound is taken,
  // and a run out of reach is written but not counted.
  for (int k = 0; k < count; ++k) {
    Neighbour& b = nb[k];
    const double rest = far2 - gap[0][b.dy] - gap[1][b.dz];
    b.to = skip_to_above(x, b.to, b.end, to_limit);
    const bool after_own = pairs && b.own;
    const int32_t start =
        after_own ? ea + 1 : (b.from = skip_to_above(x, b.from, b.to, from_limit));
    // A long run's scan stops early where the row's distance leaves no room ahead. Cutting its
    // start as well costs more than the filter spends on the entries skipped.
    const double ahead = _mm_cvtsd_f64(_mm_sqrt_sd(_mm_setzero_pd(), _mm_set_sd(rest)));
    const bool cut = (b.to - start > 8) & (rest >= 0);
    const float stop = pick(cut, least_float_from(xa + ahead), HUGE_VALF);
    const bool kept = (rest >= 0) & (start < b.to);
    ranges[used] = {start, b.to, stop};
    used += kept;
    entries += kept ? b.to - start : 0;
  }
  if (s.near.size() < entries + 8) s.near.resize(2 * entries + 8);
  int found = scan_cells(g, a, g.limit, pairs ? -1 : i, ranges, used, s.near.data());
  std::fill(s.near.begin() + found, s.near.begin() + found + 8, s.near[0]);
  found = keep_interior(g, a, s.near.data(), found);
  if (!g.image.empty()) found = keep_unmoved_first(g, ea, s.near.data(), found);
  if (s.touches.size() < static_cast<size_t>(found)) s.touches.resize(2 * found);
  const int touching = exact_contacts(g, a, i, s.near.data(), found, g.limit, s.touches.data());
  if (!g.image.empty()) {
    for (int k = 0; k < touching; ++k) wrap_point(s.touches[k].point, g.period);
  }
  if (pairs) {
    for (int k = 0; k < touching; ++k) {
      const Touch& t = s.touches[k];
      const int32_t j = g.index[t.entry];
      const int32_t first = std::min(i, j);
      s.blocks[first >> block_shift].push_back({first, std::max(i, j), t.distance, t.point});
    }
    return touching;
  }
  // The later fibers of the nine rows, in increasing index.
  std::sort(s.touches.begin(), s.touches.begin() + touching,
            [&g](const Touch& p, const Touch& q) { return g.index[p.entry] < g.index[q.entry]; });
  for (int k = 0; k < touching; ++k) {
    const Touch& t = s.touches[k];
    s.raw.push_back({i, g.index[t.entry], t.distance, t.point});
  }
  return touching;
}

}  // namespace

void scan_chunk(const ContactGrid& g, Chunk& chunk, bool pairs, int block_shift, Scan& s,
                ScanBudget* budget) {
  if (!pairs) {
    s.per_fiber.assign(chunk.end - chunk.begin + 1, 0);
    s.raw.clear();
  }
  Neighbour nb[9];
  for (int r = chunk.row0; r < chunk.row1; ++r) {
    const int ry = r % g.n[0], rz = r / g.n[0];
    int count = -1;  // neighbours not yet listed
    for (int32_t ea = g.row_start[r]; ea < g.row_start[r + 1]; ++ea) {
      const int32_t i = g.index[ea];
      if (i < chunk.begin || i >= chunk.end) continue;
      // An image never has the lower index of a pair it makes, and would take its fiber's count.
      if (!pairs && g.from_image(ea)) continue;
      if (budget && budget->spent.load(std::memory_order_relaxed)) return;
      if (count < 0) {
        // The pair scan meets each pair once: from the earlier row, or in one row from the
        // earlier entry.
        count = 0;
        for (int bz = std::max(rz - 1, 0); bz <= std::min(rz + 1, g.n[1] - 1); ++bz) {
          for (int by = std::max(ry - 1, 0); by <= std::min(ry + 1, g.n[0] - 1); ++by) {
            const int b = g.row(by, bz);
            const int32_t begin = g.row_start[b], end = g.row_start[b + 1];
            if (begin == end || (pairs && b < r)) continue;
            nb[count++] = {by - ry + 1, bz - rz + 1, begin, begin, end, b == r};
          }
        }
      }
      const int32_t n = scan_fiber(g, ry, rz, ea, nb, count, pairs, block_shift, s);
      if (!pairs) s.per_fiber[i - chunk.begin + 1] = n;
      if (budget && (s.unreported += n) >= kReportEvery) {
        if (budget->used.fetch_add(s.unreported) + s.unreported > budget->most)
          budget->spent = true;
        s.unreported = 0;
      }
    }
  }
  if (pairs) return;
  // Into pair order: a counting sort by first index keeps each fiber's run as it is.
  for (size_t k = 1; k < s.per_fiber.size(); ++k) s.per_fiber[k] += s.per_fiber[k - 1];
  chunk.contacts.resize(s.raw.size());
  for (const Contact& c : s.raw) chunk.contacts[s.per_fiber[c.first - chunk.begin]++] = c;
}
