// Keyboard state and character conversion (a US layout plus scripted characters), the cursor,
// mouse capture and cursor visibility of the scripted backend.

#include <string>

#include "key_state.h"
#include "scripted_state.h"
#include "text_conversion.h"

namespace scripted::detail {
namespace {

char16_t us_character(uint32_t vk, const uint8_t state[256]) {
  auto down = [&](uint32_t key) { return (state[key] & PW_KEY_STATE_DOWN) != 0; };
  bool shift = down(PW_VK_SHIFT) || down(PW_VK_LSHIFT) || down(PW_VK_RSHIFT);
  bool caps = (state[PW_VK_CAPITAL] & PW_KEY_STATE_TOGGLED) != 0;
  bool ctrl = down(PW_VK_CONTROL) || down(PW_VK_LCONTROL) || down(PW_VK_RCONTROL);
  if (vk >= PW_VK_A && vk <= PW_VK_Z) {
    if (ctrl) return static_cast<char16_t>(vk - PW_VK_A + 1);
    return static_cast<char16_t>((shift != caps ? 'A' : 'a') + (vk - PW_VK_A));
  }
  if (vk >= PW_VK_0 && vk <= PW_VK_9)
    return static_cast<char16_t>(shift ? ")!@#$%^&*("[vk - PW_VK_0] : '0' + (vk - PW_VK_0));
  if (vk >= PW_VK_NUMPAD0 && vk <= PW_VK_NUMPAD9)
    return static_cast<char16_t>('0' + (vk - PW_VK_NUMPAD0));
  struct Pair {
    uint32_t vk;
    char plain, shifted;
  };
  static constexpr Pair kKeys[] = {
      {PW_VK_SPACE, ' ', ' '},      {PW_VK_RETURN, '\r', '\r'},  {PW_VK_BACK, '\b', '\b'},
      {PW_VK_TAB, '\t', '\t'},      {PW_VK_ESCAPE, 0x1B, 0x1B},  {PW_VK_OEM_1, ';', ':'},
      {PW_VK_OEM_PLUS, '=', '+'},   {PW_VK_OEM_COMMA, ',', '<'}, {PW_VK_OEM_MINUS, '-', '_'},
      {PW_VK_OEM_PERIOD, '.', '>'}, {PW_VK_OEM_2, '/', '?'},     {PW_VK_OEM_3, '`', '~'},
      {PW_VK_OEM_4, '[', '{'},      {PW_VK_OEM_5, '\\', '|'},    {PW_VK_OEM_6, ']', '}'},
      {PW_VK_OEM_7, '\'', '"'},     {PW_VK_MULTIPLY, '*', '*'},  {PW_VK_ADD, '+', '+'},
      {PW_VK_SUBTRACT, '-', '-'},   {PW_VK_DECIMAL, '.', '.'},   {PW_VK_DIVIDE, '/', '/'},
  };
  for (const Pair& pair : kKeys)
    if (pair.vk == vk) return static_cast<char16_t>(shift ? pair.shifted : pair.plain);
  return 0;
}

bool contains(const Window& w, PwPoint point) {
  PwPoint origin = client_origin(w);
  PwRect size = client_size(w);
  return point.x >= origin.x && point.y >= origin.y && point.x < origin.x + size.right &&
         point.y < origin.y + size.bottom;
}

// The window that receives mouse input at `point`: the capture owner, else the focused window
// under it, else any shown window under it.
uintptr_t mouse_target(PwPoint point) {
  State& s = state();
  if (s.capture != 0) return s.capture;
  if (Window* w = find(s.focus); w && w->visible && contains(*w, point)) return s.focus;
  for (auto& [id, w] : s.windows)
    if (w.visible && contains(w, point)) return id;
  return 0;
}

}  // namespace

void apply_input_state(const PwMsg& msg) {
  emulation::apply_key_message(state().keys, msg);
}

int char_of(uint32_t vk, const uint8_t keys[256], char16_t* unit, uint8_t* ansi) {
  *unit = 0;
  *ansi = 0;
  if (keys == nullptr) return 0;
  auto scripted = state().characters.find(vk);
  if (scripted != state().characters.end()) {
    *ansi = scripted->second.first;
    *unit = scripted->second.second;
  } else {
    *unit = us_character(vk, keys);
    *ansi = static_cast<uint8_t>(*unit < 0x80 ? *unit : 0);
  }
  return (*unit != 0 || *ansi != 0) ? 1 : 0;
}

int32_t get_keyboard_state(uint8_t keys[256]) {
  log("GetKeyboardState");
  if (keys == nullptr || failing("GetKeyboardState")) return 0;
  for (int i = 0; i < 256; ++i) keys[i] = state().keys[i];
  return 1;
}

int32_t to_ascii(uint32_t vk, uint32_t, const uint8_t keys[256], uint16_t* chars, uint32_t) {
  log("ToAscii");
  char16_t unit = 0;
  uint8_t ansi = 0;
  if (chars == nullptr || failing("ToAscii") || char_of(vk, keys, &unit, &ansi) != 1 || ansi == 0)
    return 0;
  chars[0] = ansi;
  return 1;
}

int32_t to_unicode(uint32_t vk, uint32_t, const uint8_t keys[256], char16_t* buffer,
                   int32_t buffer_len, uint32_t) {
  log("ToUnicode");
  char16_t unit = 0;
  uint8_t ansi = 0;
  if (buffer == nullptr || buffer_len < 1 || failing("ToUnicode") ||
      char_of(vk, keys, &unit, &ansi) != 1 || unit == 0)
    return 0;
  buffer[0] = unit;
  return 1;
}

int32_t wide_char_to_multi_byte(uint32_t code_page, uint32_t, const char16_t* wide,
                                int32_t wide_len, char* out, int32_t out_len,
                                const char* default_char, int32_t* used_default) {
  log("WideCharToMultiByte");
  if (used_default) *used_default = 0;
  if (wide == nullptr || out_len < 0 || failing("WideCharToMultiByte")) return 0;
  return emulation::wide_to_multi_byte(code_page, wide, wide_len, out, out_len, default_char,
                                       used_default);
}

int32_t get_cursor_pos(PwPoint* point) {
  log("GetCursorPos");
  if (point == nullptr || failing("GetCursorPos")) return 0;
  *point = state().cursor;
  return 1;
}

int32_t screen_to_client(PwWindow window, PwPoint* point) {
  log("ScreenToClient");
  Window* w = find(window);
  if (w == nullptr || point == nullptr || failing("ScreenToClient")) return 0;
  PwPoint origin = client_origin(*w);
  point->x -= origin.x;
  point->y -= origin.y;
  return 1;
}

int32_t client_to_screen(PwWindow window, PwPoint* point) {
  log("ClientToScreen");
  Window* w = find(window);
  if (w == nullptr || point == nullptr || failing("ClientToScreen")) return 0;
  PwPoint origin = client_origin(*w);
  point->x += origin.x;
  point->y += origin.y;
  return 1;
}

int32_t set_cursor_pos(int32_t x, int32_t y) {
  log("SetCursorPos", std::to_string(x) + "," + std::to_string(y));
  State& s = state();
  if (failing("SetCursorPos")) return 0;
  int32_t width = static_cast<int32_t>(s.desktop.pels_width);
  int32_t height = static_cast<int32_t>(s.desktop.pels_height);
  PwPoint target{x < 0 ? 0 : (x >= width ? width - 1 : x),
                 y < 0 ? 0 : (y >= height ? height - 1 : y)};
  if (target.x == s.cursor.x && target.y == s.cursor.y) return 1;
  s.cursor = target;
  // The system reports the move as a posted motion message.
  if (uintptr_t id = mouse_target(target)) {
    PwPoint origin = client_origin(*find(id));
    s.queue.push_back(PwMsg{handle(id), PW_WM_MOUSEMOVE, 0,
                            pw_make_lparam(target.x - origin.x, target.y - origin.y), s.tick,
                            target});
  }
  return 1;
}

PwWindow set_capture(PwWindow window) {
  log("SetCapture");
  State& s = state();
  if (failing("SetCapture") || find(window) == nullptr) return nullptr;
  uintptr_t previous = s.capture;
  s.capture = id_of(window);
  if (previous != 0 && previous != s.capture)
    send(previous, PW_WM_CAPTURECHANGED, 0, reinterpret_cast<PwLParam>(window));
  return handle(previous);
}

int32_t release_capture() {
  log("ReleaseCapture");
  State& s = state();
  if (failing("ReleaseCapture")) return 0;
  uintptr_t previous = s.capture;
  s.capture = 0;
  if (previous != 0) send(previous, PW_WM_CAPTURECHANGED, 0, 0);
  return 1;
}

int32_t show_cursor(int32_t show) {
  log("ShowCursor", show ? "TRUE" : "FALSE");
  State& s = state();
  s.cursor_count += show ? 1 : -1;
  return s.cursor_count;
}

}  // namespace scripted::detail
