#include "contacts.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <new>
#include <thread>
#include <vector>

#include "contacts_grid.h"
#include "contacts_join.h"
#include "contacts_periodic.h"
#include "contacts_scan.h"
#include "network.h"
#include "progress.h"
#include "worker_threads.h"

// The rows of the grid are shared out in runs of about equal numbers of fibers, and the workers
// scan them for pairs (contacts_scan.h), each filing its contacts by block of first indices. The
// blocks are then put in pair order side by side, each by a counting sort on the first index and
// a sort of each fiber's few contacts by the second.
//
// With a contact cap that leaves most of the contacts unused, storing them all would cost memory
// out of proportion to the cap. Once a capped scan has found more than a budget, it gives way to
// a scan in chunks of consecutive first indices, which pairs each fiber with the later ones
// around it, collects each chunk's contacts in pair order and stops once the chunks finished in
// a row hold more than the cap.

namespace {

constexpr int32_t kMinFibersPerChunk = 2048;
constexpr int kMaxIndexChunks = 64;
constexpr int kChunksPerThread = 4;
constexpr int64_t kMinBudget = int64_t{1} << 20;  // contacts a capped scan may always store
constexpr int kMaxBlocks = 64;

// Runs of rows holding about equal numbers of fibers.
std::vector<Chunk> row_chunks(const ContactGrid& g, int32_t count, int threads) {
  const int k = std::clamp(count / kMinFibersPerChunk, 1, kChunksPerThread * threads);
  std::vector<Chunk> chunks(k);
  const auto starts = g.row_start.begin();
  for (int t = 0; t < k; ++t) {
    const auto first = static_cast<int32_t>(int64_t{count} * (t + 1) / k);
    chunks[t].row0 = t == 0 ? 0 : chunks[t - 1].row1;
    chunks[t].row1 =
        t + 1 == k ? g.rows()
                   : static_cast<int>(std::lower_bound(starts, starts + g.rows(), first) - starts);
    chunks[t].begin = 0;
    chunks[t].end = INT32_MAX;
  }
  return chunks;
}

// Chunks of first indices ending at the quantiles of the work, which falls linearly with the
// index since fiber i pairs with the later fibers only.
std::vector<Chunk> index_chunks(const ContactGrid& g, int32_t count) {
  const int k = std::clamp(count / kMinFibersPerChunk, 1, kMaxIndexChunks);
  std::vector<Chunk> chunks(k);
  for (int t = 0; t < k; ++t) {
    chunks[t].row0 = 0;
    chunks[t].row1 = g.rows();
    chunks[t].begin = t == 0 ? 0 : chunks[t - 1].end;
    chunks[t].end =
        t + 1 == k ? count : static_cast<int32_t>(count * (1 - std::sqrt(1 - double(t + 1) / k)));
  }
  return chunks;
}

// The smallest shift that splits `count` first indices into at most kMaxBlocks blocks of at
// least kMinFibersPerChunk.
int block_shift_for(int32_t count) {
  int shift = std::bit_width(static_cast<uint32_t>(kMinFibersPerChunk - 1));
  while ((int64_t{count} >> shift) >= kMaxBlocks) ++shift;
  return shift;
}

// Stores the pair scan's contacts in pair order, up to `limit`, block by block on up to
// `threads` workers; blocks wholly past the limit are left alone. `kept` gets the number stored;
// true when more were found.
bool join_blocks(std::vector<Scan>& scans, int32_t count, int shift, int64_t limit, int threads,
                 RecordBuffer<Contact>& out, int64_t* kept) {
  const int blocks = static_cast<int>((int64_t{count} + (int64_t{1} << shift) - 1) >> shift);
  std::vector<int64_t> offset(blocks + 1, 0);
  for (int b = 0; b < blocks; ++b) {
    offset[b + 1] = offset[b];
    for (const Scan& s : scans) offset[b + 1] += static_cast<int64_t>(s.blocks[b].size());
  }
  const int64_t total = offset[blocks];
  *kept = std::min(total, limit);
  if (out.size() < *kept && !out.reset(*kept)) throw std::bad_alloc();
  std::atomic<int> next{0};
  const bool ok = run_workers(std::min(threads, blocks), [&](int) {
    Column<int32_t> at;
    Column<Contact> sorted;
    const auto by_second = [](const Contact& p, const Contact& q) { return p.second < q.second; };
    for (int b; (b = next++) < blocks;) {
      if (offset[b] >= *kept) continue;
      const int32_t lo = b << shift;
      const int32_t width =
          static_cast<int32_t>(std::min(int64_t{count} - lo, int64_t{1} << shift));
      at.assign(static_cast<size_t>(width) + 1, 0);
      for (const Scan& s : scans) {
        for (const Contact& c : s.blocks[b]) ++at[c.first - lo + 1];
      }
      for (int32_t k = 0; k < width; ++k) at[k + 1] += at[k];
      sorted.resize(static_cast<size_t>(at[width]));
      for (const Scan& s : scans) {
        for (const Contact& c : s.blocks[b]) sorted[at[c.first - lo]++] = c;
      }
      // at[k] is now where fiber lo + k's run ends.
      for (int32_t k = 0, begin = 0; k < width; begin = at[k++]) {
        if (at[k] - begin > 1) std::sort(sorted.begin() + begin, sorted.begin() + at[k], by_second);
      }
      const int64_t take =
          std::min<int64_t>(static_cast<int64_t>(sorted.size()), *kept - offset[b]);
      std::copy(sorted.begin(), sorted.begin() + take, out.data() + offset[b]);
    }
  });
  if (!ok) throw std::bad_alloc();
  return total > limit;
}

}  // namespace

// The grid and the workers' scratch and findings, kept from one detection to the next: a sweep of
// many detections then reuses their memory instead of mapping it afresh each time.
struct ContactDetector::Workspace {
  ContactGrid grid;
  std::vector<Scan> scans;
};

namespace {

// The pair scan. False when a capped scan (`capped`) gave up past its budget.
bool scan_pairs(ContactDetector::Workspace& w, int32_t count, int threads, int64_t limit,
                bool capped, RecordBuffer<Contact>& out, int64_t* kept, bool* overflow) {
  const ContactGrid& grid = w.grid;
  std::vector<Scan>& scans = w.scans;
  const int shift = block_shift_for(count);
  std::vector<Chunk> chunks = row_chunks(grid, grid.entries(), threads);
  const int workers = std::min<int>(threads, static_cast<int>(chunks.size()));
  if (scans.size() < static_cast<size_t>(workers)) scans.resize(workers);
  for (Scan& s : scans) {
    s.blocks.resize(((count - 1) >> shift) + 1);
    for (Column<Contact>& b : s.blocks) b.clear();
  }
  std::atomic<int> next{0};
  ScanBudget budget{std::max(2 * limit, kMinBudget)};
  ScanBudget* const spend = capped ? &budget : nullptr;
  Progress progress("detection", grid.entries());
  const bool ok = run_workers(workers, [&](int worker) {
    Scan& s = scans[worker];
    s.unreported = 0;
    for (int k; !budget.spent && (k = next++) < static_cast<int>(chunks.size());) {
      const Chunk& c = chunks[k];
      scan_chunk(grid, chunks[k], true, shift, s, spend);
      progress.add(grid.row_start[c.row1] - grid.row_start[c.row0]);
    }
  });
  if (!ok) throw std::bad_alloc();
  if (budget.spent) return false;
  *overflow = join_blocks(scans, count, shift, limit, threads, out, kept);
  return true;
}

// The scan in index chunks, stopping once the chunks finished in a row hold more than `limit`.
bool scan_index_chunks(const ContactGrid& grid, int32_t count, int threads, int64_t limit,
                       RecordBuffer<Contact>& out, int64_t* kept) {
  std::vector<Chunk> chunks = index_chunks(grid, count);
  std::atomic<int> next{0};
  PairOrderJoin<Chunk> join(chunks, limit);
  Progress progress("detection", count);
  const bool ok = run_workers(std::min<int>(threads, static_cast<int>(chunks.size())), [&](int) {
    Scan s;
    for (int k; !join.enough() && (k = next++) < static_cast<int>(chunks.size());) {
      Chunk& c = chunks[k];
      scan_chunk(grid, c, false, 0, s, nullptr);
      progress.add(c.end - c.begin);
      join.finish(k);
    }
  });
  if (!ok) throw std::bad_alloc();
  return join.keep(out, kept);
}

}  // namespace

ContactDetector::ContactDetector() : work_(std::make_unique<Workspace>()) {}
ContactDetector::~ContactDetector() = default;

bool ContactDetector::detect(const ContactQuery& q, RecordBuffer<Contact>& out,
                             ContactFindings& found) {
  found = {};
  if (q.count < 2) return true;
  const int threads = std::max(q.threads, 1);
  const int64_t limit = q.max_contacts == UNCAPPED ? INT32_MAX : q.max_contacts;
  try {
    // The filters pass every pair within the widest diameter; the exact test then holds each
    // pair to its own.
    work_->grid.limit = q.diameter;
    work_->grid.diameters = q.diameters;
    if (q.diameters != nullptr)
      work_->grid.limit = *std::max_element(q.diameters, q.diameters + q.count);
    build_contact_grid(work_->grid, q.fibers, q.count, threads, q.periods);
    int64_t kept = 0;
    if (!scan_pairs(*work_, q.count, threads, limit, q.max_contacts != UNCAPPED, out, &kept,
                    &found.overflow))
      found.overflow = scan_index_chunks(work_->grid, q.count, threads, limit, out, &kept);
    found.count = static_cast<int32_t>(kept);
    return true;
  } catch (const std::bad_alloc&) {
    found = {};
    return false;
  }
}

void ContactDetector::release() {
  work_ = std::make_unique<Workspace>();
}

namespace {

// The detector of the process-wide network.
ContactDetector& network_detector() {
  static ContactDetector detector;
  return detector;
}

int machine_cores() {
  return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

// Detection on the process-wide network, in the open box (periods 0) or in a periodic one.
bool detect_on_grid(int threads, const Periods& periods) {
  ContactFindings found;
  const bool ok =
      network_detector().detect({network.fibers.data(), num_fibers, fiber_diameter,
                                 network.diameters.empty() ? nullptr : network.diameters.data(),
                                 periods, network.max_contacts, threads},
                                network.contacts, found);
  network.num_contacts = found.count;
  if (found.overflow) report_contact_overflow();
  return ok;
}

}  // namespace

bool detect_contacts_threaded(int threads) {
  return detect_on_grid(threads, {});
}

bool detect_contacts_periodic_threaded(const Periods& periods, int threads) {
  return detect_on_grid(threads, periods);
}

bool detect_contacts_periodic_threaded(double box, int threads) {
  return detect_on_grid(threads, {box, box, box});
}

bool detect_contacts_periodic(double box) {
  return detect_contacts_periodic_threaded(box, machine_cores());
}

void release_detection_memory() {
  network_detector().release();
}

bool detect_contacts() {
  return detect_on_grid(machine_cores(), {});
}
