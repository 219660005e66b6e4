#include "pointer.h"

#include <cstdio>

namespace {
constexpr const char* kInvisible = "Unable to grab mouse: window invisible.";
}

bool capture_take(ToolkitWindow* window) {
  if (!window->visible) {
    std::puts(kInvisible);
    return false;
  }
  if (++window->capture_count == 1) platform().set_capture(window->hwnd);
  return true;
}

bool capture_drop(ToolkitWindow* window) {
  if (!window->visible) {
    std::puts(kInvisible);
    return false;
  }
  // A reference never taken (say, while the window was hidden) is not given back: the count
  // must not go below zero, or the next press would never capture.
  if (window->capture_count <= 0) return false;
  if (--window->capture_count == 0) platform().release_capture();
  return true;
}

bool warp_pointer(ToolkitWindow* window, int32_t client_x, int32_t client_y) {
  PwPoint point{client_x, client_y};
  platform().client_to_screen(window->hwnd, &point);
  if (point.x < 0 || point.y < 0 || point.x >= window->screen_width ||
      point.y >= window->screen_height) {
    std::puts("Unable to warp pointer outside of root window.");
    return false;
  }
  platform().set_cursor_pos(point.x, point.y);
  return true;
}
