#pragma once

// UTF-16 to 8-bit text as WideCharToMultiByte converts it.

#include <cstdint>

namespace emulation {

// Writes the UTF-8 bytes of `code` (at most 4) to `out`; returns their count.
int encode_utf8(uint32_t code, char* out);

// UTF-8, or for any other code page Latin-1 with `default_char` ('?' when null) for what it
// cannot hold. Like Win32, a length of -1 converts the terminator too, an output length of 0
// asks for the size needed, and an output too small fails.
int32_t wide_to_multi_byte(uint32_t code_page, const char16_t* wide, int32_t wide_len, char* out,
                           int32_t out_len, const char* default_char, int32_t* used_default);

}  // namespace emulation
