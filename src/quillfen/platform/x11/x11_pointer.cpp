// The cursor: position, warp, capture (an X pointer grab while captured, so that motion outside
// the window still reaches it) and the show count with an invisible cursor below zero.

#include <X11/cursorfont.h>

#include "x11_state.h"

namespace x11 {
namespace {

constexpr unsigned int kGrabMask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;

Cursor blank_cursor(Display* d) {
  State& s = state();
  if (s.blank_cursor == 0) {
    static const char kBits[8] = {};
    Pixmap bitmap = XCreateBitmapFromData(d, s.root, kBits, 8, 8);
    XColor black{};
    s.blank_cursor = XCreatePixmapCursor(d, bitmap, bitmap, &black, &black, 0, 0);
    XFreePixmap(d, bitmap);
  }
  return s.blank_cursor;
}

}  // namespace

void apply_cursor(Window& window) {
  State& s = state();
  Display* d = s.display;
  if (s.cursor_count < 0) {
    XDefineCursor(d, window.xid, blank_cursor(d));
  } else if (window.cursor_id == PW_IDC_ARROW) {
    if (s.arrow_cursor == 0) s.arrow_cursor = XCreateFontCursor(d, XC_left_ptr);
    XDefineCursor(d, window.xid, s.arrow_cursor);
  } else {
    XUndefineCursor(d, window.xid);
  }
}

int32_t get_cursor_pos(PwPoint* point) {
  State& s = state();
  Display* d = display();
  if (point == nullptr || d == nullptr) return 0;
  ::Window root = 0, child = 0;
  int root_x = 0, root_y = 0, x = 0, y = 0;
  unsigned int mask = 0;
  if (!XQueryPointer(d, s.root, &root, &child, &root_x, &root_y, &x, &y, &mask)) return 0;
  *point = PwPoint{root_x, root_y};
  return 1;
}

int32_t screen_to_client(PwWindow window, PwPoint* point) {
  Window* w = find(window);
  if (w == nullptr || point == nullptr) return 0;
  point->x -= w->x;
  point->y -= w->y;
  return 1;
}

int32_t client_to_screen(PwWindow window, PwPoint* point) {
  Window* w = find(window);
  if (w == nullptr || point == nullptr) return 0;
  point->x += w->x;
  point->y += w->y;
  return 1;
}

// The move is reported later, as a motion message, as on Win32.
int32_t set_cursor_pos(int32_t x, int32_t y) {
  State& s = state();
  Display* d = display();
  if (d == nullptr) return 0;
  int32_t width = DisplayWidth(d, s.screen);
  int32_t height = DisplayHeight(d, s.screen);
  x = x < 0 ? 0 : (x >= width ? width - 1 : x);
  y = y < 0 ? 0 : (y >= height ? height - 1 : y);
  XWarpPointer(d, None, s.root, 0, 0, 0, 0, x, y);
  XFlush(d);
  return 1;
}

// Win32 capture is logical and works on hidden windows too; the grab follows it when the window
// can be grabbed.
PwWindow set_capture(PwWindow window) {
  State& s = state();
  Window* w = find(window);
  if (w == nullptr) return nullptr;
  uintptr_t previous = s.capture;
  s.capture = w->id;
  XGrabPointer(s.display, w->xid, True, kGrabMask, GrabModeAsync, GrabModeAsync, None, None,
               CurrentTime);
  XFlush(s.display);
  if (previous != 0 && previous != s.capture)
    send(previous, PW_WM_CAPTURECHANGED, 0, reinterpret_cast<PwLParam>(window));
  return handle(previous);
}

int32_t release_capture() {
  State& s = state();
  uintptr_t previous = s.capture;
  s.capture = 0;
  if (previous != 0 && s.display != nullptr) {
    XUngrabPointer(s.display, CurrentTime);
    XFlush(s.display);
    send(previous, PW_WM_CAPTURECHANGED, 0, 0);
  }
  return 1;
}

int32_t show_cursor(int32_t show) {
  State& s = state();
  bool was_hidden = s.cursor_count < 0;
  s.cursor_count += show ? 1 : -1;
  if (was_hidden != (s.cursor_count < 0) && s.display != nullptr) {
    for (auto& [id, w] : s.windows) apply_cursor(*w);
    XFlush(s.display);
  }
  return s.cursor_count;
}

}  // namespace x11
