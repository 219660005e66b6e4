#include "quillfen_assert.h"

#include <cstdio>
#include <cstdlib>

void quillfen_assertion_stop(const char* expression, const char* file, int line) {
  // Whatever the program printed before the stop comes out first.
  std::fflush(stdout);
  std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", expression, file, line);
  std::fflush(stderr);
  std::abort();
}
