#pragma once

#include <cstddef>
#include <memory>
#include <vector>

// Asks the system to back [p, p + bytes) with 2 MiB pages where it can (Linux; elsewhere this
// does nothing). The solver's passes read large arrays at scattered places: with 4 KiB pages most
// of those reads also miss the processor's address cache, and filling the arrays takes a fault
// per page. Best called before the memory is first written.
void prefer_huge_pages(const void* p, size_t bytes);

// An allocator whose large blocks prefer huge pages, advised before anything is written to them.
template <typename T>
struct HugePageAllocator {
  using value_type = T;
  HugePageAllocator() = default;
  template <typename U>
  explicit HugePageAllocator(const HugePageAllocator<U>&) {}
  T* allocate(size_t n) {
    T* p = std::allocator<T>().allocate(n);
    prefer_huge_pages(p, n * sizeof(T));
    return p;
  }
  void deallocate(T* p, size_t n) { std::allocator<T>().deallocate(p, n); }
  friend bool operator==(const HugePageAllocator&, const HugePageAllocator&) { return true; }
};

template <typename T>
using BigVector = std::vector<T, HugePageAllocator<T>>;
