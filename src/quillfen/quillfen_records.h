#pragma once

// The toolkit's internal records and the one global context pointer through which every public
// call finds its state.

#include <cstdint>

#include "platform.h"
#include "quillfen.h"

struct WindowConfig {
  char title[512];
  int32_t width;   // 0 = up to the right edge of the screen
  int32_t height;  // 0 = up to the bottom edge of the screen
  int32_t x;
  int32_t y;
  bool resizable;
  bool fullscreen;
};

extern WindowConfig window_config;

// The window property under which a window's ToolkitWindow is kept.
inline constexpr const char* kWindowProperty = "TARN_HANDLE";

struct DisplayMode {
  uint32_t width;
  uint32_t height;
  uint32_t bits_per_pixel;
  uint32_t refresh_hz;  // 0 = the driver's default
};

struct EventNode {
  ToolkitEvent event;  // first, so a node pointer is also an event pointer
  EventNode* next;     // toward older events; the oldest's next is the newest
  EventNode* prev;     // toward newer events; the newest's prev is the oldest
};

// Mouse buttons in ToolkitWindow::capture_buttons.
inline constexpr uint32_t kCaptureLeft = 1u << 0;
inline constexpr uint32_t kCaptureMiddle = 1u << 1;
inline constexpr uint32_t kCaptureRight = 1u << 2;

struct ToolkitWindow {
  char title[128];
  int32_t x, y;
  int32_t width, height;  // client size, used as unsigned
  int32_t screen_width, screen_height;
  uint32_t time_base;  // 0 = not yet set
  bool focused;
  bool visible;
  int32_t cursor_hidden;
  int32_t capture_count;
  int32_t video_mode;  // index into modes, -1 = the desktop's own mode
  int32_t pointer_x, pointer_y;
  int32_t virtual_x, virtual_y;
  bool no_key_repeat;
  bool pointer_grabbed;
  int32_t saved_pointer_x, saved_pointer_y;
  bool warp_pending;
  bool key_down[QUILLFEN_KEY_MAX + 1];
  EventNode* events;  // newest node, null when empty
  int32_t mode_count;
  DisplayMode* modes;
  char class_name[32];
  bool class_registered;  // the class is registered under class_name
  PwWndClass window_class;
  PwWindow hwnd;
  PwDc hdc;
  int32_t wheel_accum;
  uint8_t key_state[256];
  uint32_t capture_button_up;  // release message ending the first button's capture, 0 = none
  uint32_t capture_buttons;    // kCapture* bits of the buttons holding a capture reference
  bool grab_capture;           // the pointer grab holds a capture reference
};

struct ToolkitContext {
  ToolkitWindow* window;
  char* gl_vendor;
  char* gl_renderer;
  char* gl_version;
  char* gl_extensions;
  PwGlContext gl_context;
};

// Null while the toolkit is uninitialised.
extern ToolkitContext* quillfen_context;

// The window of the initialised toolkit, or null.
inline ToolkitWindow* current_window() {
  return quillfen_context != nullptr ? quillfen_context->window : nullptr;
}
