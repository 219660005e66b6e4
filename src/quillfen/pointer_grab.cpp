// Pointer grab: the cursor hidden and held at the client centre, motion reported as deltas.

#include "pointer.h"

namespace {

void show_cursor_again(ToolkitWindow* window) {
  if (--window->cursor_hidden == 0) platform().show_cursor(1);
}

void grab(ToolkitWindow* window) {
  window->pointer_grabbed = true;
  window->saved_pointer_x = window->pointer_x;
  window->saved_pointer_y = window->pointer_y;
  window->virtual_x = 0;
  window->virtual_y = 0;
  window->pointer_x = static_cast<int32_t>(static_cast<uint32_t>(window->width) / 2);
  window->pointer_y = static_cast<int32_t>(static_cast<uint32_t>(window->height) / 2);
  if (window->cursor_hidden++ == 0) platform().show_cursor(0);
  if (!warp_pointer(window, window->pointer_x, window->pointer_y)) {
    window->pointer_grabbed = false;
    window->pointer_x = window->virtual_x = window->saved_pointer_x;
    window->pointer_y = window->virtual_y = window->saved_pointer_y;
    show_cursor_again(window);
    return;
  }
  // A reference still held from a release refused while hidden serves the new grab.
  if (!window->grab_capture) window->grab_capture = capture_take(window);
}

void release(ToolkitWindow* window) {
  window->pointer_grabbed = false;
  window->pointer_x = window->virtual_x = window->saved_pointer_x;
  window->pointer_y = window->virtual_y = window->saved_pointer_y;
  // Refused while hidden, the reference stays with the grab for the next release.
  if (window->grab_capture && capture_drop(window)) window->grab_capture = false;
  warp_pointer(window, window->saved_pointer_x, window->saved_pointer_y);
  show_cursor_again(window);
}

}  // namespace

void quillfen_grab_pointer(bool enable) {
  ToolkitWindow* window = current_window();
  if (window == nullptr || enable == window->pointer_grabbed) return;
  if (enable) {
    grab(window);
  } else {
    release(window);
  }
}
