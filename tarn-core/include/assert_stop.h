#pragma once

// Assertion stops that stay active in every build: they guard invariants whose violation means
// corrupted results, so they must not vanish under NDEBUG.

[[noreturn]] void assertion_stop(const char* expression, const char* file, int line);

#define ALWAYS_ASSERT(expression) \
  ((expression) ? static_cast<void>(0) : assertion_stop(#expression, __FILE__, __LINE__))
