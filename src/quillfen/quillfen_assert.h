#pragma once

// The toolkit's assertion stops. They stay active in every build: a failed one means the toolkit's
// records can no longer be trusted, so they must not vanish under NDEBUG.

// Prints "Assertion failed: <expression>, file <file>, line <line>" on standard error and aborts.
[[noreturn]] void quillfen_assertion_stop(const char* expression, const char* file, int line);

#define QUILLFEN_ASSERT(expression) \
  ((expression) ? static_cast<void>(0) : quillfen_assertion_stop(#expression, __FILE__, __LINE__))
