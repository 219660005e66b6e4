#include "analysis/huge_pages.h"

#include <cstdint>

#ifdef __linux__
#include <sys/mman.h>
#endif

void prefer_huge_pages(const void* p, size_t bytes) {
#ifdef __linux__
  constexpr uintptr_t kHuge = uintptr_t{2} << 20;
  const auto start = reinterpret_cast<uintptr_t>(p);
  const uintptr_t lo = (start + kHuge - 1) & ~(kHuge - 1), hi = (start + bytes) & ~(kHuge - 1);
  // Only whole huge pages inside the range: advice is given per page, and a neighbour's memory
  // is not ours to advise.
  if (hi > lo) madvise(reinterpret_cast<void*>(lo), hi - lo, MADV_HUGEPAGE);
#else
  (void)p;
  (void)bytes;
#endif
}
