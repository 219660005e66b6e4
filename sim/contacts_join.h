#pragma once

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "network.h"

// Stores the contacts of the first `joined` parts (chunks or blocks of first indices, each with
// its `contacts` in pair order) in the network, up to `limit`: the plain loop's capacity rule.
// `kept` gets the number stored. True when more were found; std::bad_alloc when the storage
// cannot be had.
template <typename Part>
bool keep_in_pair_order(const std::vector<Part>& parts, size_t joined, int64_t limit,
                        int64_t* kept) {
  int64_t total = 0;
  for (size_t k = 0; k < joined; ++k) total += static_cast<int64_t>(parts[k].contacts.size());
  *kept = std::min(total, limit);
  if (network.contacts.size() < *kept && !network.contacts.reset(*kept)) throw std::bad_alloc();
  int64_t at = 0;
  for (size_t k = 0; k < joined && at < *kept; ++k) {
    const int64_t take =
        std::min<int64_t>(static_cast<int64_t>(parts[k].contacts.size()), *kept - at);
    std::copy(parts[k].contacts.begin(), parts[k].contacts.begin() + take,
              network.contacts.data() + at);
    at += take;
  }
  return total > limit;
}
