#include "contacts.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "contacts_filter.h"
#include "contacts_grid.h"
#include "contacts_join.h"
#include "network.h"
#include "progress.h"
#include "worker_threads.h"

// With a contact cap the fibers are split into chunks of consecutive indices. A worker takes the
// next chunk, visits its fibers cell by cell, so that the neighbouring cells stay in cache, and
// pairs each only with the later fibers around it. Contacts are collected per first index in pair
// order and the chunks joined in order; once the chunks finished in a row hold more than the
// capacity, no further chunk is needed and the scan stops. Without a cap every contact is needed,
// so the chunks are slabs of cells instead, each holding every index: the data is read once,
// and one counting sort by first index puts the contacts in pair order.

namespace {

constexpr int32_t kMinFibersPerChunk = 2048;
constexpr int kMaxChunks = 64;

ContactGrid grid;

struct Chunk {
  int32_t begin, end;             // first indices
  int z0, z1;                     // layers of cells
  std::vector<Contact> contacts;  // per first index in pair order; in index order unless a slab
  bool done = false;
};

struct Found {
  int32_t second;
  float distance;
  Vec3 point;
};

// One worker's scratch.
struct Scan {
  std::vector<int32_t> from, to;  // per cell: its entries with index in [begin, end)
  std::vector<int32_t> near;
  std::vector<Found> found;
  std::vector<Contact> raw;  // the chunk's contacts, per first index in cell order
  std::vector<int32_t> per_fiber;
};

// A cell around the scanned one: its entries from the chunk's first index on. The filter drops
// those up to the current fiber's index: few in an index chunk, about half in a slab, where that
// still costs less than a cursor per cell moving past them.
struct Neighbour {
  int dx, dy, dz;  // offset from the scanned cell plus one
  int32_t begin, end;
};

int32_t first_at_least(const ContactGrid& g, int c, int32_t value) {
  const int32_t* idx = g.index.data();
  return static_cast<int32_t>(
      std::lower_bound(idx + g.cell_start[c], idx + g.cell_start[c + 1], value) - idx);
}

// Contacts of fiber i (entry ea) with the later fibers of its neighbouring cells, appended to
// s.raw in increasing second index.
int32_t scan_fiber(const ContactGrid& g, const int* cell, int32_t ea, Neighbour* nb, int count,
                   Scan& s) {
  const int32_t i = g.index[ea];
  const PreparedSegment a = g.segment(ea);
  const float limit = fiber_diameter;
  const double reach2 = g.reach * g.reach;
  // Squared distances from the midpoint to the cells below, at and above its own, per axis.
  double gap[3][3];
  for (int k = 0; k < 3; ++k) {
    const double below = a.mid[k] - (g.lo[k] + cell[k] * g.cell);
    const double above = g.lo[k] + (cell[k] + 1) * g.cell - a.mid[k];
    gap[k][0] = below > 0 ? below * below : 0;
    gap[k][1] = 0;
    gap[k][2] = above > 0 ? above * above : 0;
  }
  EntryRange ranges[27];
  int used = 0;
  size_t entries = 0;
  for (int k = 0; k < count; ++k) {
    const Neighbour& b = nb[k];
    if (gap[0][b.dx] + gap[1][b.dy] + gap[2][b.dz] > reach2) continue;
    ranges[used++] = {b.begin, b.end};
    entries += b.end - b.begin;
  }
  if (s.near.size() < entries + 8) s.near.resize(2 * entries + 8);
  int found = scan_cells(g, a, limit, i, ranges, used, s.near.data());
  std::fill(s.near.begin() + found, s.near.begin() + found + 8, s.near[0]);
  found = keep_interior(g, a, s.near.data(), found);
  s.found.clear();
  for (int k = 0; k < found; ++k) {
    const int32_t eb = s.near[k];
    const PreparedSegment other = g.segment(eb);
    float distance;
    Vec3 point;
    if (!prepared_contact(a, other, &distance, point)) continue;
    if (distance > fiber_diameter) continue;
    s.found.push_back({g.index[eb], distance, point});
  }
  std::sort(s.found.begin(), s.found.end(),
            [](const Found& p, const Found& q) { return p.second < q.second; });
  for (const Found& f : s.found) s.raw.push_back({i, f.second, f.distance, f.point});
  return static_cast<int32_t>(s.found.size());
}

void scan_chunk(const ContactGrid& g, Chunk& chunk, bool slab, Scan& s) {
  const int cells = g.cells();
  const int32_t* from = g.cell_start.data();
  const int32_t* to = g.cell_start.data() + 1;
  if (!slab) {
    s.from.resize(cells);
    s.to.resize(cells);
    for (int c = 0; c < cells; ++c) {
      s.from[c] = first_at_least(g, c, chunk.begin);
      s.to[c] = first_at_least(g, c, chunk.end);
    }
    from = s.from.data();
    to = s.to.data();
    s.per_fiber.assign(chunk.end - chunk.begin + 1, 0);
  }
  s.raw.clear();
  Neighbour nb[27];
  for (int z = chunk.z0; z < chunk.z1; ++z) {
    for (int y = 0; y < g.n[1]; ++y) {
      for (int x = 0; x < g.n[0]; ++x) {
        const int a = g.id(x, y, z);
        if (from[a] == to[a]) continue;
        int count = 0;
        for (int bz = std::max(z - 1, 0); bz <= std::min(z + 1, g.n[2] - 1); ++bz) {
          for (int by = std::max(y - 1, 0); by <= std::min(y + 1, g.n[1] - 1); ++by) {
            for (int bx = std::max(x - 1, 0); bx <= std::min(x + 1, g.n[0] - 1); ++bx) {
              const int b = g.id(bx, by, bz);
              if (from[b] == g.cell_start[b + 1]) continue;
              nb[count++] = {bx - x + 1, by - y + 1, bz - z + 1, from[b], g.cell_start[b + 1]};
            }
          }
        }
        const int cell[3] = {x, y, z};
        for (int32_t ea = from[a]; ea < to[a]; ++ea) {
          const int32_t found = scan_fiber(g, cell, ea, nb, count, s);
          if (!slab) s.per_fiber[g.index[ea] - chunk.begin + 1] = found;
        }
      }
    }
  }
  if (slab) {
    chunk.contacts.swap(s.raw);
    return;
  }
  // Into pair order: a counting sort by first index keeps each fiber's run as it is.
  for (size_t k = 1; k < s.per_fiber.size(); ++k) s.per_fiber[k] += s.per_fiber[k - 1];
  chunk.contacts.resize(s.raw.size());
  for (const Contact& c : s.raw) chunk.contacts[s.per_fiber[c.first - chunk.begin]++] = c;
}

size_t largest_cell(const ContactGrid& g) {
  int32_t most = 0;
  for (int c = 0; c < g.cells(); ++c) most = std::max(most, g.cell_start[c + 1] - g.cell_start[c]);
  return static_cast<size_t>(most);
}

// Index chunks end at the quantiles of the work, which falls linearly with the index since fiber
// i pairs with the later fibers only; slabs hold equal numbers of layers.
std::vector<Chunk> make_chunks(const ContactGrid& g, int32_t count, int threads, bool slabs) {
  if (slabs) {
    const int k = std::clamp(4 * threads, 1, g.n[2]);
    std::vector<Chunk> chunks(k);
    for (int t = 0; t < k; ++t) {
      chunks[t].begin = 0;
      chunks[t].end = count;
      chunks[t].z0 = static_cast<int>(int64_t{g.n[2]} * t / k);
      chunks[t].z1 = static_cast<int>(int64_t{g.n[2]} * (t + 1) / k);
    }
    return chunks;
  }
  int k = std::clamp(count / kMinFibersPerChunk, 1, kMaxChunks);
  // Each chunk walks every cell once; with far more cells than fibers per chunk that dominates.
  k = std::min(k, std::max(2 * threads, static_cast<int>(2.0 * count / g.cells())));
  std::vector<Chunk> chunks(k);
  for (int t = 0; t < k; ++t) {
    chunks[t].begin = t == 0 ? 0 : chunks[t - 1].end;
    chunks[t].end =
        t + 1 == k ? count : static_cast<int32_t>(count * (1 - std::sqrt(1 - double(t + 1) / k)));
    chunks[t].z0 = 0;
    chunks[t].z1 = g.n[2];
  }
  return chunks;
}

// Contacts of all slabs put in pair order by a counting sort on the first index, which keeps
// each fiber's run as it is, up to `limit`; true when more were found.
bool join_slabs(std::vector<Chunk>& chunks, int32_t count, int64_t limit, int64_t* kept) {
  std::vector<int64_t> at(static_cast<size_t>(count) + 1, 0);
  for (const Chunk& c : chunks) {
    for (const Contact& k : c.contacts) ++at[k.first + 1];
  }
  for (int32_t i = 0; i < count; ++i) at[i + 1] += at[i];
  const int64_t total = at[count];
  *kept = std::min(total, limit);
  if (network.contacts.size() < *kept && !network.contacts.reset(*kept)) throw std::bad_alloc();
  for (Chunk& c : chunks) {
    for (const Contact& k : c.contacts) {
      const int64_t p = at[k.first]++;
      if (p < *kept) network.contacts[p] = k;
    }
    std::vector<Contact>().swap(c.contacts);
  }
  return total > limit;
}

}  // namespace

bool detect_contacts_threaded(int threads) {
  network.num_contacts = 0;
  if (num_fibers < 2) return true;
  threads = std::max(threads, 1);
  const int64_t limit = contact_limit();
  try {
    build_contact_grid(grid, network.fibers.data(), num_fibers, threads);
    const bool slabs = network.max_contacts == UNCAPPED;
    std::vector<Chunk> chunks = make_chunks(grid, num_fibers, threads, slabs);
    const int workers = std::min<int>(threads, static_cast<int>(chunks.size()));
    const size_t widest = largest_cell(grid);

    std::atomic<int> next{0};
    std::atomic<bool> enough{false};
    std::mutex finished;
    size_t joined = 0;  // chunks finished in a row from the first
    int64_t joined_contacts = 0;
    Progress progress("detection", num_fibers);
    const bool ok = run_workers(workers, [&](int) {
      Scan s;
      s.near.resize(widest);
      for (int k; !enough && (k = next++) < static_cast<int>(chunks.size());) {
        Chunk& c = chunks[k];
        scan_chunk(grid, c, slabs, s);
        progress.add(slabs ? grid.cell_start[grid.id(0, 0, c.z1)] -
                                 grid.cell_start[grid.id(0, 0, c.z0)]
                           : c.end - c.begin);
        const std::lock_guard<std::mutex> lock(finished);
        c.done = true;
        while (joined < chunks.size() && chunks[joined].done) {
          joined_contacts += static_cast<int64_t>(chunks[joined++].contacts.size());
        }
        if (!slabs && joined_contacts > limit) enough = true;
      }
    });
    if (!ok) return false;

    int64_t kept = 0;
    const bool overflow = slabs ? join_slabs(chunks, num_fibers, limit, &kept)
                                : keep_in_pair_order(chunks, joined, limit, &kept);
    network.num_contacts = static_cast<int32_t>(kept);
    if (overflow) std::puts("Too many contacts!");
    return true;
  } catch (const std::bad_alloc&) {
    network.num_contacts = 0;
    return false;
  }
}

bool detect_contacts() {
  return detect_contacts_threaded(
      static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
}
