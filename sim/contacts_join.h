#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>
#include <vector>

#include "network.h"

// Stores the contacts of the first `joined` parts (chunks or blocks of first indices, each with
// its `contacts` in pair order) in `out`, up to `limit`: the plain loop's capacity rule. `kept`
// gets the number stored. True when more were found; std::bad_alloc when the storage cannot be
// had.
template <typename Part>
bool keep_in_pair_order(const std::vector<Part>& parts, size_t joined, int64_t limit,
                        RecordBuffer<Contact>& out, int64_t* kept) {
  int64_t total = 0;
  for (size_t k = 0; k < joined; ++k) total += static_cast<int64_t>(parts[k].contacts.size());
  *kept = std::min(total, limit);
  if (out.size() < *kept && !out.reset(*kept)) throw std::bad_alloc();
  int64_t at = 0;
  for (size_t k = 0; k < joined && at < *kept; ++k) {
    const int64_t take =
        std::min<int64_t>(static_cast<int64_t>(parts[k].contacts.size()), *kept - at);
    std::copy(parts[k].contacts.begin(), parts[k].contacts.begin() + take, out.data() + at);
    at += take;
  }
  return total > limit;
}

// Follows the parts that workers finish in any order: the contacts of those finished in a row
// from the first, and whether they already exceed `limit`, after which later parts cannot change
// what is kept. Each part has `done` and `contacts`.
template <typename Part>
class PairOrderJoin {
 public:
  PairOrderJoin(std::vector<Part>& parts, int64_t limit) : parts_(parts), limit_(limit) {}

  // Marks part k finished; safe from any worker.
  void finish(size_t k) {
    const std::lock_guard<std::mutex> lock(finished_);
    parts_[k].done = true;
    while (joined_ < parts_.size() && parts_[joined_].done) {
      contacts_ += static_cast<int64_t>(parts_[joined_++].contacts.size());
    }
    if (contacts_ > limit_) enough_ = true;
  }

  bool enough() const { return enough_; }

  // Once the workers are done: keep_in_pair_order on the parts finished in a row.
  bool keep(RecordBuffer<Contact>& out, int64_t* kept) const {
    return keep_in_pair_order(parts_, joined_, limit_, out, kept);
  }

 private:
  std::vector<Part>& parts_;
  const int64_t limit_;
  std::mutex finished_;
  size_t joined_ = 0;
  int64_t contacts_ = 0;
  std::atomic<bool> enough_{false};
};
