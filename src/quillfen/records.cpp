// Configuration records and the global context pointer.

#include <cstring>

#include "quillfen_records.h"

WindowConfig window_config = {"Quillfen", 0, 0, 0, 0, false, true};
ToolkitContext* quillfen_context = nullptr;

namespace {

void copy_title(const char* title) {
  if (title == nullptr) return;
  std::strncpy(window_config.title, title, sizeof window_config.title - 1);
  window_config.title[sizeof window_config.title - 1] = '\0';
}

}  // namespace

bool quillfen_configure_window(const char* title, int32_t width, int32_t height, bool fullscreen) {
  if (quillfen_context != nullptr) return false;
  copy_title(title);
  window_config.width = width;
  window_config.height = height;
  window_config.x = 0;
  window_config.y = 0;
  window_config.resizable = false;
  window_config.fullscreen = fullscreen;
  return true;
}

bool quillfen_configure_resizable_window(const char* title, int32_t width, int32_t height,
                                         int32_t x, int32_t y) {
  if (quillfen_context != nullptr) return false;
  copy_title(title);
  window_config.width = width;
  window_config.height = height;
  window_config.x = x;
  window_config.y = y;
  window_config.resizable = true;
  window_config.fullscreen = false;
  return true;
}
