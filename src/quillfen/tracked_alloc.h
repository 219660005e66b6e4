#pragma once

// Every toolkit heap block goes through these two calls, so the live count shows leaks and
// double releases. Their stops stay active in every build.

#include <cstddef>
#include <cstdint>

extern int32_t live_allocations;

void* tracked_alloc(size_t size);  // zero-filled; stops the process when out of memory
void tracked_free(void* pointer);
