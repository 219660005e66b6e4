// Frame services: buffer swap, clock, sleep, caption and client size.

#include <cstring>

#include "quillfen_records.h"

void quillfen_swap_buffers() {
  ToolkitWindow* window = current_window();
  if (window == nullptr) return;
  platform().swap_buffers(window->hdc);
}

uint32_t quillfen_time_ms() {
  uint32_t now = platform().get_tick_count();
  ToolkitWindow* window = current_window();
  // Unsigned difference, so one wrap of the counter since the base still counts right.
  return window != nullptr ? now - window->time_base : now;
}

void quillfen_sleep_ms(int32_t ms) {
  // A negative time would reach the platform as a near-infinite wait.
  platform().sleep(ms > 0 ? static_cast<uint32_t>(ms) : 0u);
}

void quillfen_set_title(const char* title) {
  ToolkitWindow* window = current_window();
  if (window == nullptr || title == nullptr) return;
  std::strncpy(window->title, title, sizeof window->title - 1);
  window->title[sizeof window->title - 1] = '\0';
  platform().set_window_text(window->hwnd, title);
}

bool quillfen_get_window_size(int32_t* width_out, int32_t* height_out) {
  ToolkitWindow* window = current_window();
  if (window == nullptr) return false;
  if (width_out != nullptr) *width_out = window->width;
  if (height_out != nullptr) *height_out = window->height;
  return true;
}
