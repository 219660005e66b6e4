// Characters of keys (ToAscii, ToUnicode) through XLookupString on a key event built from the
// virtual key, scan code and keyboard state, and the UTF-16 to 8-bit conversion.

#include <X11/keysym.h>

#include "text_conversion.h"
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

int32_t wide_char_to_multi_byte(uint32_t code_page, uint32_t, const char16_t* wide,
                                int32_t wide_len, char* out, int32_t out_len,
                                const char* default_char, int32_t* used_default) {
  return emulation::wide_to_multi_byte(code_page, wide, wide_len, out, out_len, default_char,
                                       used_default);
}

}  // namespace x11
