#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>

// Indexable storage of plain records whose new entries stay uninitialised, so that a large
// capacity costs address space and no memory until entries are written.
template <typename T>
class RecordBuffer {
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

 public:
  RecordBuffer() = default;
  explicit RecordBuffer(int64_t size) { reset(size); }

  // Replaces the contents by `size` uninitialised entries; false, changing nothing, when the
  // memory cannot be had.
  bool reset(int64_t size) noexcept {
    if (size < 0) return false;
    T* fresh = size == 0 ? nullptr : new (std::nothrow) T[static_cast<size_t>(size)];
    if (size > 0 && fresh == nullptr) return false;
    data_.reset(fresh);
    size_ = size;
    return true;
  }

  int64_t size() const { return size_; }
  T* data() { return data_.get(); }
  const T* data() const { return data_.get(); }
  T* begin() { return data_.get(); }
  T* end() { return data_.get() + size_; }
  const T* begin() const { return data_.get(); }
  const T* end() const { return data_.get() + size_; }
  T& operator[](int64_t i) { return data_[i]; }
  const T& operator[](int64_t i) const { return data_[i]; }

 private:
  std::unique_ptr<T[]> data_;
  int64_t size_ = 0;
};
