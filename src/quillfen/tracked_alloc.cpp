#include "tracked_alloc.h"

#include <cstdio>
#include <cstdlib>

#include "quillfen_assert.h"

int32_t live_allocations = 0;

namespace {
// The file name and the line of each stop are part of the toolkit's output: they are fixed
// strings and numbers, the same in every build and unchanged when this file is edited.
constexpr const char* kSource = "../../src/quillfen";
}  // namespace

void* tracked_alloc(size_t size) {
  if (size == 0) quillfen_assertion_stop("size", kSource, 51);
  void* block = std::calloc(1, size);
  if (block == nullptr) {
    std::puts("Not enought memory.");
    quillfen_assertion_stop("0", kSource, 63);
  }
  ++live_allocations;
  return block;
}

void tracked_free(void* pointer) {
  if (pointer == nullptr) quillfen_assertion_stop("ptr", kSource, 71);
  if (live_allocations == 0) {
    std::puts("Extra free().");
    quillfen_assertion_stop("0", kSource, 85);
  }
  --live_allocations;
  std::free(pointer);
}
