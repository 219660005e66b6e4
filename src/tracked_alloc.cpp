#include "tracked_alloc.h"

#include <cstdio>
#include <cstdlib>

#include "assert_stop.h"

int32_t live_allocations = 0;

namespace {
// Stops name the toolkit's source as its users know it, with a fixed line per check.
constexpr const char* kSource = "../../src/quillfen";
}  // namespace

void* tracked_alloc(size_t size) {
  if (size == 0) assertion_stop("size", kSource, 51);
  void* block = std::calloc(1, size);
  if (block == nullptr) {
    std::puts("Not enought memory.");
    assertion_stop("0", kSource, 63);
  }
  ++live_allocations;
  return block;
}

void tracked_free(void* pointer) {
  if (pointer == nullptr) assertion_stop("ptr", kSource, 71);
  if (live_allocations == 0) {
    std::puts("Extra free().");
    assertion_stop("0", kSource, 85);
  }
  --live_allocations;
  std::free(pointer);
}
