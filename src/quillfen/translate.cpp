#include "translate.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "event_queue.h"
#include "key_map.h"
#include "pointer.h"

namespace {

constexpr int32_t kButtonKeys[3] = {105, 106, 107};  // left, middle, right
constexpr int32_t kWheelAway = 108;
constexpr int32_t kWheelToward = 109;
constexpr int32_t kMinimizedPosition = -32000;

// Seconds since the window's time base; the first stamp sets the base and a stamp below it
// moves it back.
float stamp(ToolkitWindow* window, uint32_t time_ms) {
  uint32_t now = time_ms != 0 ? time_ms : platform().get_tick_count();
  if (window->time_base == 0) window->time_base = now;
  uint32_t elapsed;
  if (now >= window->time_base) {
    elapsed = now - window->time_base;
  } else if (window->time_base - now < 0x80000000u) {
    // A queued message older than the base (the base came from a later sent message): it is
    // the new base, not a wrap of nearly 50 days.
    elapsed = 0;
    window->time_base = now;
  } else {
    // The counter wrapped; one millisecond short of the true span.
    elapsed = (0xFFFFFFFFu - window->time_base) + now;
    window->time_base = now;
  }
  return static_cast<float>(static_cast<double>(elapsed) * static_cast<double>(0.001f));
}

bool down(const uint8_t* keys, uint32_t vk) {
  return (keys[vk] & PW_KEY_STATE_DOWN) != 0;
}
bool toggled(const uint8_t* keys, uint32_t vk) {
  return (keys[vk] & PW_KEY_STATE_TOGGLED) != 0;
}

void fill_keyboard(ToolkitWindow* window, ToolkitEvent& event) {
  uint8_t* keys = window->key_state;
  platform().get_keyboard_state(keys);
  event.buttons = (down(keys, PW_VK_LBUTTON) ? 1 : 0) | (down(keys, PW_VK_MBUTTON) ? 2 : 0) |
                  (down(keys, PW_VK_RBUTTON) ? 4 : 0);
  event.modifiers = (toggled(keys, PW_VK_NUMLOCK) ? 1 : 0) |
                    (toggled(keys, PW_VK_CAPITAL) ? 2 : 0) | (toggled(keys, PW_VK_SCROLL) ? 4 : 0) |
                    (down(keys, PW_VK_LSHIFT) || down(keys, PW_VK_RSHIFT) ? 8 : 0) |
                    (down(keys, PW_VK_LCONTROL) || down(keys, PW_VK_RCONTROL) ? 16 : 0) |
                    (down(keys, PW_VK_MENU) ? 32 : 0) |
                    (down(keys, PW_VK_LWIN) || down(keys, PW_VK_RWIN) ? 64 : 0);
}

void fill_snapshot(const ToolkitWindow* window, ToolkitEvent& event) {
  event.focused = window->focused ? 1 : 0;
  event.visible = window->visible ? 1 : 0;
  if (window->visible) {
    event.win_x = window->x;
    event.win_y = window->y;
    event.win_width = window->width;
    event.win_height = window->height;
  }
}

void fill_common(ToolkitWindow* window, ToolkitEvent& event, PwPoint screen) {
  event.screen_x = screen.x;
  event.screen_y = screen.y;
  PwPoint client = screen;
  if (!platform().screen_to_client(window->hwnd, &client)) client = screen;
  event.x = client.x;
  event.y = client.y;
  fill_keyboard(window, event);
  fill_snapshot(window, event);
}

// The system never erases the background; a moved or resized window's stale area goes black.
void black_fill(ToolkitWindow* window) {
  PwRect rect{};
  if (platform().get_update_rect(window->hwnd, &rect, 0) && rect.left < rect.right &&
      rect.top < rect.bottom)
    platform().pat_blt(window->hdc, rect.left, rect.top, rect.right - rect.left,
                       rect.bottom - rect.top, PW_BLACKNESS);
}

void key_characters(ToolkitWindow* window, ToolkitEvent& event, uint32_t vk, uint32_t scan) {
  const PlatformOps& p = platform();
  uint16_t ansi[2] = {};
  if (p.to_ascii(vk, scan, window->key_state, ansi, 0) == 1) event.ascii = ansi[0] & 0xFF;
  char16_t units[4] = {};
  int32_t produced = p.to_unicode(vk, scan, window->key_state, units, 4, 0);
  if (produced == 1) event.unicode = units[0];
  if (event.ascii <= 127) {
    event.text[0] = static_cast<char>(event.ascii);
    event.text[1] = '\0';
    event.text_len = 1;
  } else if (produced > 0) {
    int32_t bytes = p.wide_char_to_multi_byte(PW_CP_UTF8, 0, units, produced, event.text,
                                              sizeof event.text, nullptr, nullptr);
    if (bytes > 0) {
      if (bytes > 255) bytes = 255;
      event.text_len = bytes;
      event.text[bytes] = '\0';
    } else {
      event.text[0] = '\0';
    }
  }
}

bool translate_key(ToolkitWindow* window, ToolkitEvent& event, PwWParam wparam, PwLParam lparam,
                   bool pressed) {
  if (pressed && window->no_key_repeat && pw_key_previous_down(lparam)) return false;
  uint32_t vk = static_cast<uint32_t>(wparam);
  event.kind = EVENT_KEY;
  event.pressed = pressed ? 1 : 0;
  event.key = key_code(vk, lparam);
  key_characters(window, event, vk, pw_key_scan_code(lparam));
  if (event.key != 0) window->key_down[event.key] = pressed;
  return true;
}

uint32_t button_bit(int button) {
  return 1u << button;
}

// A press takes one capture reference per button and its own release gives it back, so the
// capture ends with the last button held. The first button's release also marks the motion
// message that the capture change causes.
void translate_button(ToolkitWindow* window, ToolkitEvent& event, int button, bool pressed) {
  static constexpr uint32_t kReleaseMessages[3] = {PW_WM_LBUTTONUP, PW_WM_MBUTTONUP,
                                                   PW_WM_RBUTTONUP};
  event.kind = EVENT_KEY;
  event.pressed = pressed ? 1 : 0;
  event.key = kButtonKeys[button];
  window->key_down[event.key] = pressed;
  if (pressed) {
    if (window->capture_button_up == 0) window->capture_button_up = kReleaseMessages[button];
    if (!(window->capture_buttons & button_bit(button)) && capture_take(window))
      window->capture_buttons |= button_bit(button);
    return;
  }
  // A drop refused while the window is hidden keeps the reference; the next release of the
  // button gives it back.
  if ((window->capture_buttons & button_bit(button)) && capture_drop(window))
    window->capture_buttons &= ~button_bit(button);
  if (window->capture_button_up == kReleaseMessages[button]) {
    window->warp_pending = true;
    window->capture_button_up = 0;
  }
}

bool translate_wheel(ToolkitWindow* window, ToolkitEvent& event, PwWParam wparam) {
  window->wheel_accum += pw_signed_high(wparam);
  if (window->wheel_accum >= -119 && window->wheel_accum <= 119) return false;
  bool away = window->wheel_accum > 0;
  event.kind = EVENT_KEY;
  event.pressed = 1;
  event.key = away ? kWheelAway : kWheelToward;
  window->key_down[kWheelAway] = away;
  window->key_down[kWheelToward] = !away;
  window->wheel_accum = 0;  // one notch per message at most
  return true;
}

// The virtual position stops at the ends of int32 instead of overflowing; the deltas reported
// stay exact.
int32_t saturated_sum(int32_t position, int32_t delta) {
  const int64_t sum = static_cast<int64_t>(position) + delta;
  return static_cast<int32_t>(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX));
}

bool translate_motion(ToolkitWindow* window, ToolkitEvent& event, PwLParam lparam, PwPoint screen) {
  event.kind = EVENT_MOTION;
  event.x = pw_signed_low(static_cast<uintptr_t>(lparam));
  event.y = pw_signed_high(static_cast<uintptr_t>(lparam));
  event.screen_x = screen.x;
  event.screen_y = screen.y;
  fill_keyboard(window, event);
  fill_snapshot(window, event);
  if (window->warp_pending) {
    window->warp_pending = false;
    return false;
  }
  if (event.x == window->pointer_x && event.y == window->pointer_y) return false;
  event.dx = event.x - window->pointer_x;
  event.dy = event.y - window->pointer_y;
  if (window->pointer_grabbed) {
    // Held at the centre: the deltas add up to an unbounded virtual position.
    window->pointer_x = static_cast<int32_t>(static_cast<uint32_t>(window->width) / 2);
    window->pointer_y = static_cast<int32_t>(static_cast<uint32_t>(window->height) / 2);
    window->virtual_x = saturated_sum(window->virtual_x, event.dx);
    window->virtual_y = saturated_sum(window->virtual_y, event.dy);
    event.x = window->virtual_x;
    event.y = window->virtual_y;
    window->warp_pending = true;
    warp_pointer(window, window->pointer_x, window->pointer_y);
  } else {
    window->pointer_x = window->virtual_x = event.x;
    window->pointer_y = window->virtual_y = event.y;
  }
  return true;
}

// System commands snapshot the window before they change it.
bool translate_command(ToolkitWindow* window, ToolkitEvent& event, PwWParam wparam,
                       PwPoint screen) {
  if (wparam == PW_SC_MINIMIZE) {
    if (!window->visible) return false;
    event.kind = EVENT_HIDE;
    fill_common(window, event, screen);
    window->visible = false;
    return true;
  }
  if (wparam == PW_SC_MAXIMIZE || wparam == PW_SC_RESTORE) {
    if (window->visible) return false;
    event.kind = EVENT_SHOW;
    fill_common(window, event, screen);
    window->visible = true;
    return true;
  }
  if (wparam == PW_SC_CLOSE) {
    event.kind = EVENT_CLOSE;
    event.close = 1;
    fill_common(window, event, screen);
    return true;
  }
  return false;
}

bool translate_paint(ToolkitWindow* window, ToolkitEvent& event) {
  PwRect rect{};
  if (!platform().get_update_rect(window->hwnd, &rect, 0) || rect.left >= rect.right ||
      rect.top >= rect.bottom)
    return false;
  PwPaintStruct paint{};
  platform().begin_paint(window->hwnd, &paint);
  platform().end_paint(window->hwnd, &paint);
  event.kind = EVENT_PAINT;
  event.rect_left = rect.left;
  event.rect_top = rect.top;
  event.rect_right = rect.right;
  event.rect_bottom = rect.bottom;
  return true;
}

// Messages handled by the common path: the window fields change first, then the event takes
// the cursor, keyboard and window snapshot.
bool translate_state(ToolkitWindow* window, ToolkitEvent& event, uint32_t message, PwWParam wparam,
                     PwLParam lparam) {
  switch (message) {
    case PW_WM_MOVE: {
      black_fill(window);
      int32_t x = pw_signed_low(static_cast<uintptr_t>(lparam));
      int32_t y = pw_signed_high(static_cast<uintptr_t>(lparam));
      window->x = x == kMinimizedPosition ? 0 : x;
      window->y = y == kMinimizedPosition ? 0 : y;
      event.kind = EVENT_MOVE;
      return true;
    }
    case PW_WM_SIZE:
      black_fill(window);
      window->width = static_cast<int32_t>(pw_low_word(static_cast<uintptr_t>(lparam)));
      window->height = static_cast<int32_t>(pw_high_word(static_cast<uintptr_t>(lparam)));
      event.kind = EVENT_RESIZE;
      return true;
    case PW_WM_SETFOCUS:
      window->focused = true;
      event.kind = EVENT_FOCUS_IN;
      return true;
    case PW_WM_KILLFOCUS:
      window->focused = false;
      event.kind = EVENT_FOCUS_OUT;
      return true;
    case PW_WM_PAINT:
      return translate_paint(window, event);
    case PW_WM_SHOWWINDOW:
      window->visible = wparam != 0;
      event.kind = wparam != 0 ? EVENT_SHOW : EVENT_HIDE;
      return true;
    case PW_WM_LBUTTONDOWN:
    case PW_WM_LBUTTONUP:
      translate_button(window, event, 0, message == PW_WM_LBUTTONDOWN);
      return true;
    case PW_WM_MBUTTONDOWN:
    case PW_WM_MBUTTONUP:
      translate_button(window, event, 1, message == PW_WM_MBUTTONDOWN);
      return true;
    case PW_WM_RBUTTONDOWN:
    case PW_WM_RBUTTONUP:
      translate_button(window, event, 2, message == PW_WM_RBUTTONDOWN);
      return true;
    case PW_WM_MOUSEWHEEL:
      return translate_wheel(window, event, wparam);
    default:
      return false;
  }
}

}  // namespace

void event_from_message(ToolkitWindow* window, uint32_t message, PwWParam wparam, PwLParam lparam,
                        uint32_t time_ms, const PwPoint* cursor) {
  ToolkitEvent event{};
  event.time = stamp(window, time_ms);
  PwPoint screen{};
  if (cursor != nullptr) {
    screen = *cursor;
  } else {
    platform().get_cursor_pos(&screen);
  }

  bool made;
  switch (message) {
    case PW_WM_KEYDOWN:
    case PW_WM_SYSKEYDOWN:
    case PW_WM_KEYUP:
    case PW_WM_SYSKEYUP:
      // The keyboard snapshot comes first: character conversion reads it.
      fill_common(window, event, screen);
      made = translate_key(window, event, wparam, lparam,
                           message == PW_WM_KEYDOWN || message == PW_WM_SYSKEYDOWN);
      break;
    case PW_WM_SYSCOMMAND:
      made = translate_command(window, event, wparam, screen);
      break;
    case PW_WM_MOUSEMOVE:
      made = translate_motion(window, event, lparam, screen);
      break;
    default:
      made = translate_state(window, event, message, wparam, lparam);
      if (made) fill_common(window, event, screen);
      break;
  }
  if (!made) return;
  if (event.kind != EVENT_MOTION) {
    event.dx = 0;
    event.dy = 0;
    if (window->pointer_grabbed) {
      event.x = window->virtual_x;
      event.y = window->virtual_y;
    }
  }
  push_event(window, &event);
}
