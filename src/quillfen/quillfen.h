#pragma once

// Quillfen: one window with one OpenGL context, and its events as a queue of fixed records.

#include <cstdint>

// Event kinds.
enum : int32_t {
  EVENT_NONE = 0,
  EVENT_KEY = 1,  // key, mouse button or one wheel notch
  EVENT_MOTION = 2,
  EVENT_FOCUS_IN = 3,
  EVENT_FOCUS_OUT = 4,
  EVENT_PAINT = 5,
  EVENT_SHOW = 6,
  EVENT_HIDE = 7,
  EVENT_MOVE = 8,
  EVENT_RESIZE = 9,
  EVENT_CLOSE = 10,
};

// Key codes run from 1 (Escape) to 109 along the rows of a PC keyboard, then the navigation
// block, the keypad and the mouse: 105-107 left, middle and right button, 108 wheel away from
// the user, 109 wheel toward the user.
inline constexpr int32_t QUILLFEN_KEY_MAX = 109;

struct ToolkitEvent {
  int32_t kind;
  float time;    // seconds since the window's time base
  int32_t x, y;  // client coordinates (the virtual position while the pointer is grabbed)
  int32_t screen_x, screen_y;
  int32_t dx, dy;     // EVENT_MOTION only
  int32_t buttons;    // bit 0 left, 1 middle, 2 right
  int32_t modifiers;  // bits 0-2 Num/Caps/Scroll Lock on; 3 Shift, 4 Ctrl, 5 Alt, 6 Windows key
  uint8_t pressed;
  int32_t key;
  int32_t ascii;
  int32_t unicode;
  int32_t text_len;
  char text[256];  // UTF-8, NUL-terminated
  uint8_t focused;
  uint8_t visible;
  int32_t rect_left, rect_top, rect_right, rect_bottom;  // EVENT_PAINT; right, bottom exclusive
  int32_t win_x, win_y, win_width, win_height;
  int32_t close;
};

// Configuration, read by initialisation; refused while the toolkit is initialised.
bool quillfen_configure_window(const char* title, int32_t width, int32_t height, bool fullscreen);
bool quillfen_configure_resizable_window(const char* title, int32_t width, int32_t height,
                                         int32_t x, int32_t y);

// Opens the configured window with a current GL context and loads the GL entry points of
// `load_version` (major * 100 + minor * 10, 0 for none); the pixel format must have depth,
// stencil and alpha bits where asked. An initialised toolkit is shut down first. False, with
// the toolkit uninitialised, when any step fails.
bool quillfen_init(int32_t load_version, bool depth, bool stencil, bool alpha);

// Closes the window and releases everything the toolkit holds; safe at any time.
void quillfen_shutdown();

// Frame services.
void quillfen_swap_buffers();
uint32_t quillfen_time_ms();
void quillfen_sleep_ms(int32_t ms);
void quillfen_set_title(const char* title);
bool quillfen_get_window_size(int32_t* width_out, int32_t* height_out);

// Events. The pumping calls drain the window system's messages first. The waiting calls
// (quillfen_wait, quillfen_next_event) return 0 with the line "WaitMessage() failed." when the
// window system cannot wait.
int quillfen_poll();
int quillfen_wait();
int quillfen_next_event(ToolkitEvent* out);
ToolkitEvent* quillfen_peek_oldest(int index);
ToolkitEvent* quillfen_peek_newest(int index);
int quillfen_take_oldest(int index, ToolkitEvent* out);
int quillfen_take_newest(int index, ToolkitEvent* out);

void quillfen_set_key_repeat(bool enable);
void quillfen_grab_pointer(bool enable);
