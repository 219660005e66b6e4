// Characters of keys (ToAscii, ToUnicode) through XLookupString on a key event built from the
// virtual key, scan code and keyboard state, and the UTF-16 to 8-bit conversion.

#include <X11/keysym.h>

#include <string>

#include "x11_state.h"

namespace x11 {
namespace {

// The character code of a key, 0 for none. XLookupString gives Latin-1 bytes and the keysym;
// keysyms of the Unicode range carry their code point.
uint32_t key_code_point(uint32_t vk, uint32_t scan, const uint8_t keys[256]) {
  Display* d = state().display;
  if (d == nullptr || keys == nullptr) return 0;
  unsigned int keycode = keycode_for(vk, scan, keys);
  if (keycode == 0) return 0;
  XKeyEvent event{};
  event.type = KeyPress;
  event.display = d;
  event.window = state().root;
  event.root = state().root;
  event.keycode = keycode;
  event.state = modifier_state(keys);
  event.same_screen = True;
  char bytes[8] = {};
  KeySym sym = NoSymbol;
  int count = XLookupString(&event, bytes, sizeof bytes, &sym, nullptr);
  // Windows gives no character for the Delete key; X gives DEL.
  if (sym == XK_Delete || sym == XK_KP_Delete) return 0;
  if ((sym & 0xFF000000ul) == 0x01000000ul) return static_cast<uint32_t>(sym & 0x00FFFFFFul);
  if (count == 1) return static_cast<unsigned char>(bytes[0]);
  return 0;
}

int32_t to_ascii(uint32_t vk, uint32_t scan, const uint8_t keys[256], uint16_t* chars, uint32_t) {
  if (chars == nullptr) return 0;
  uint32_t code = key_code_point(vk, scan & 0xFF, keys);
  if (code == 0 || code > 0xFF) return 0;
  chars[0] = static_cast<uint16_t>(code);
  return 1;
}

int32_t to_unicode(uint32_t vk, uint32_t scan, const uint8_t keys[256], char16_t* buffer,
                   int32_t buffer_len, uint32_t) {
  if (buffer == nullptr || buffer_len < 1) return 0;
  return key_characters(vk, scan & 0xFF, keys, buffer, buffer_len);
}

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

// UTF-8, or for any other code page Latin-1 with '?' for what it cannot hold. Like Win32, a
// length of -1 converts the terminator too, an output length of 0 asks for the size needed, and
// an output too small fails.
int32_t wide_char_to_multi_byte(uint32_t code_page, uint32_t, const char16_t* wide,
                                int32_t wide_len, char* out, int32_t out_len,
                                const char* default_char, int32_t* used_default) {
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

}  // namespace

int key_characters(uint32_t vk, uint32_t scan, const uint8_t keys[256], char16_t* out,
                   int out_len) {
  uint32_t code = key_code_point(vk, scan, keys);
  if (code == 0 || out_len < 1) return 0;
  if (code < 0x10000) {
    out[0] = static_cast<char16_t>(code);
    return 1;
  }
  if (out_len < 2) return 0;
  code -= 0x10000;
  out[0] = static_cast<char16_t>(0xD800 + (code >> 10));
  out[1] = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
  return 2;
}

void fill_text_ops(PlatformOps& ops) {
  ops.to_ascii = to_ascii;
  ops.to_unicode = to_unicode;
  ops.wide_char_to_multi_byte = wide_char_to_multi_byte;
}

}  // namespace x11
