#include "text_conversion.h"

#include <string>

#include "platform.h"

namespace emulation {

int encode_utf8(uint32_t code, char* out) {
  if (code < 0x80) {
    out[0] = static_cast<char>(code);
    return 1;
  }
  if (code < 0x800) {
    out[0] = static_cast<char>(0xC0 | (code >> 6));
    out[1] = static_cast<char>(0x80 | (code & 0x3F));
    return 2;
  }
  if (code < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (code >> 12));
    out[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (code & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (code >> 18));
  out[1] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (code & 0x3F));
  return 4;
}

int32_t wide_to_multi_byte(uint32_t code_page, const char16_t* wide, int32_t wide_len, char* out,
                           int32_t out_len, const char* default_char, int32_t* used_default) {
  if (used_default) *used_default = 0;
  if (wide == nullptr || out_len < 0 || wide_len == 0 || wide_len < -1) return 0;
  if (wide_len < 0) {
    wide_len = 0;
    while (wide[wide_len] != 0) ++wide_len;
    ++wide_len;
  }
  std::string bytes;
  for (int32_t i = 0; i < wide_len; ++i) {
    uint32_t code = wide[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < wide_len && wide[i + 1] >= 0xDC00 &&
        wide[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = 0xFFFD;
    }
    if (code_page == PW_CP_UTF8) {
      char buffer[4];
      bytes.append(buffer, static_cast<size_t>(encode_utf8(code, buffer)));
    } else if (code < 0x100) {
      bytes.push_back(static_cast<char>(code));
    } else {
      bytes.push_back(default_char != nullptr ? *default_char : '?');
      if (used_default) *used_default = 1;
    }
  }
  int32_t needed = static_cast<int32_t>(bytes.size());
  if (out_len == 0) return needed;
  if (out == nullptr || needed > out_len) return 0;
  bytes.copy(out, bytes.size());
  return needed;
}

}  // namespace emulation
