#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

// Large working memory is mapped in 2 MB pages where the system offers them: the first write to
// each 4 KB page is a fault, and on a virtual machine a fault costs more than filling the page.
// Sanitizer builds keep the allocator, which checks every access.
#if !defined(_WIN32) && !defined(__SANITIZE_ADDRESS__)
#define MIKADO_LARGE_PAGES 1
#include <sys/mman.h>
#endif

namespace big_memory {

inline constexpr size_t kPage = size_t{2} << 20;
// Below this, the rounding to whole pages would cost more than the faults it saves.
inline constexpr size_t kLeast = size_t{1} << 20;

// `bytes` of uninitialised memory, or null when they cannot be had.
inline void* take(size_t bytes) noexcept {
#ifdef MIKADO_LARGE_PAGES
  if (bytes >= kLeast) {
    const size_t length = (bytes + kPage - 1) & ~(kPage - 1);
    void* const got =
        mmap(nullptr, length + kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (got == MAP_FAILED) return nullptr;
    // Aligned to a page, so that the kernel can back it by whole pages; the rest is given back.
    const auto raw = reinterpret_cast<uintptr_t>(got);
    const uintptr_t start = (raw + kPage - 1) & ~uintptr_t{kPage - 1};
    if (start > raw) munmap(got, start - raw);
    munmap(reinterpret_cast<void*>(start + length), raw + kPage - start);
#if defined(MADV_HUGEPAGE)
    madvise(reinterpret_cast<void*>(start), length, MADV_HUGEPAGE);
#endif
    return reinterpret_cast<void*>(start);
  }
#endif
  return ::operator new(bytes, std::nothrow);
}

// Gives back what take(bytes) returned.
inline void give(void* p, size_t bytes) noexcept {
  if (p == nullptr) return;
#ifdef MIKADO_LARGE_PAGES
  if (bytes >= kLeast) {
    munmap(p, (bytes + kPage - 1) & ~(kPage - 1));
    return;
  }
#endif
  (void)bytes;
  ::operator delete(p);
}

}  // namespace big_memory

// An allocator for the large vectors of detection: big_memory's pages, and entries that a resize
// leaves uninitialised (the code writes every one it reads), so that no pass clears them first.
template <typename T>
struct BigAllocator {
  using value_type = T;
  BigAllocator() = default;
  template <typename U>
  BigAllocator(const BigAllocator<U>&) noexcept {}

  T* allocate(size_t n) {
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    void* const p = big_memory::take(n * sizeof(T));
    if (p == nullptr) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, size_t n) noexcept { big_memory::give(p, n * sizeof(T)); }

  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    if constexpr (sizeof...(Args) == 0) {
      ::new (static_cast<void*>(p)) U;
    } else {
      ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
  }

  template <typename U>
  bool operator==(const BigAllocator<U>&) const noexcept {
    return true;
  }
};

// Indexable storage of plain records whose new entries stay uninitialised, so that a large
// capacity costs address space and no memory until entries are written.
template <typename T>
class RecordBuffer {
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

 public:
  RecordBuffer() = default;
  explicit RecordBuffer(int64_t size) { reset(size); }
  RecordBuffer(RecordBuffer&& o) noexcept
      : data_(std::exchange(o.data_, nullptr)), size_(std::exchange(o.size_, 0)) {}
  RecordBuffer& operator=(RecordBuffer&& o) noexcept {
    if (this != &o) {
      release();
      data_ = std::exchange(o.data_, nullptr);
      size_ = std::exchange(o.size_, 0);
    }
    return *this;
  }
  ~RecordBuffer() { release(); }

  // Replaces the contents by `size` uninitialised entries; false, changing nothing, when the
  // memory cannot be had.
  bool reset(int64_t size) noexcept {
    if (size < 0 || static_cast<uint64_t>(size) > SIZE_MAX / sizeof(T)) return false;
    T* fresh = nullptr;
    if (size > 0) {
      fresh = static_cast<T*>(big_memory::take(static_cast<size_t>(size) * sizeof(T)));
      if (fresh == nullptr) return false;
    }
    release();
    data_ = fresh;
    size_ = size;
    return true;
  }

  int64_t size() const { return size_; }
  T* data() { return data_; }
  const T* data() const { return data_; }
  T* begin() { return data_; }
  T* end() { return data_ + size_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + size_; }
  T& operator[](int64_t i) { return data_[i]; }
  const T& operator[](int64_t i) const { return data_[i]; }

 private:
  void release() noexcept {
    big_memory::give(data_, static_cast<size_t>(size_) * sizeof(T));
    data_ = nullptr;
    size_ = 0;
  }

  T* data_ = nullptr;
  int64_t size_ = 0;
};
