// The window procedure of the toolkit's class and the key-repeat switch.

#include "translate.h"

namespace {

ToolkitWindow* window_of(PwWindow hwnd) {
  auto* window = static_cast<ToolkitWindow*>(platform().get_prop(hwnd, kWindowProperty));
  return window != nullptr && window->hwnd == hwnd ? window : nullptr;
}

}  // namespace

PwResult window_proc(PwWindow hwnd, uint32_t message, PwWParam wparam, PwLParam lparam) {
  switch (message) {
    case PW_WM_MOVE:
    case PW_WM_SIZE:
    case PW_WM_SETFOCUS:
    case PW_WM_KILLFOCUS:
    case PW_WM_PAINT:
    case PW_WM_SHOWWINDOW:
      if (ToolkitWindow* window = window_of(hwnd))
        event_from_message(window, message, wparam, lparam, 0, nullptr);
      return 0;
    case PW_WM_SYSCOMMAND:
      if (ToolkitWindow* window = window_of(hwnd))
        event_from_message(window, message, wparam, lparam, 0, nullptr);
      return platform().def_window_proc(hwnd, message, wparam, lparam);
    case PW_WM_CREATE:
    case PW_WM_DESTROY:
    case PW_WM_CLOSE:
      return 0;  // a close request reaches the application as EVENT_CLOSE only
    case PW_WM_ERASEBKGND:
      return 1;
    default:
      return platform().def_window_proc(hwnd, message, wparam, lparam);
  }
}

void quillfen_set_key_repeat(bool enable) {
  ToolkitWindow* window = current_window();
  if (window == nullptr) return;
  window->no_key_repeat = !enable;
}
