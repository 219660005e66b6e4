// Window classes, top-level windows and their window-manager hints, properties, focus and
// painting. The X window is the client area: a window manager, if any, frames it from outside,
// so the outer size we are asked for is the client size and GetClientRect agrees with it.

#include <poll.h>
#include <unistd.h>

#include <X11/Xatom.h>

#include <cstring>

#include "x11_state.h"

namespace x11 {
namespace {

constexpr uint32_t kSizeRestored = 0;
constexpr uint32_t kSizeMinimized = 1;
constexpr long kEventMask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                            PointerMotionMask | ExposureMask | StructureNotifyMask |
                            FocusChangeMask;
constexpr int kMapWaitMs = 2000;

void send_size(Window& w, uint32_t kind) {
  send(w.id, PW_WM_SIZE, kind, pw_make_lparam(w.width, w.height));
}

void send_move(Window& w) {
  send(w.id, PW_WM_MOVE, 0, pw_make_lparam(w.x, w.y));
}

bool has_caption(uint32_t style) {
  return (style & PW_WS_CAPTION) == PW_WS_CAPTION;
}

// Decorations and fixed size for window managers: a popup without caption gets none, and only a
// sizing frame may be resized by the user.
void set_hints(Display* d, Window& w) {
  State& s = state();
  XSizeHints* size = XAllocSizeHints();
  if (size != nullptr) {
    size->flags = USPosition | USSize | PPosition | PSize;
    size->x = w.x;
    size->y = w.y;
    size->width = w.width;
    size->height = w.height;
    if (!(w.style & PW_WS_THICKFRAME)) {
      size->flags |= PMinSize | PMaxSize;
      size->min_width = size->max_width = w.width;
      size->min_height = size->max_height = w.height;
    }
    XSetWMNormalHints(d, w.xid, size);
    XFree(size);
  }
  struct {
    unsigned long flags, functions, decorations;
    long input_mode;
    unsigned long status;
  } motif{2, 0, has_caption(w.style) || (w.style & PW_WS_THICKFRAME) ? 1ul : 0ul, 0, 0};
  XChangeProperty(d, w.xid, s.motif_wm_hints, s.motif_wm_hints, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&motif), 5);
}

void set_title(Display* d, Window& w) {
  State& s = state();
  XStoreName(d, w.xid, w.title.c_str());
  XChangeProperty(d, w.xid, s.net_wm_name, s.utf8_string, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(w.title.c_str()),
                  static_cast<int>(w.title.size()));
}

}  // namespace

// Waits until the server reports the window mapped; a window manager may take a moment.
void wait_mapped(Display* d, Window& w) {
  XEvent event;
  for (int waited = 0; waited < kMapWaitMs; waited += 5) {
    if (XCheckTypedWindowEvent(d, w.xid, MapNotify, &event)) {
      w.mapped = true;
      return;
    }
    XFlush(d);
    pollfd fd{ConnectionNumber(d), POLLIN, 0};
    poll(&fd, 1, 5);
  }
}

// Keyboard focus is taken explicitly: without a window manager nobody else gives it.
void take_focus(Window& w) {
  Display* d = state().display;
  if (w.mapped) {
    XSetInputFocus(d, w.xid, RevertToParent, CurrentTime);
    sync_ok();
  }
  state().active = w.id;
  move_focus(w.id);
}

void minimize_window(Window& w) {
  if (w.minimized) return;
  uintptr_t id = w.id;
  w.minimized = true;
  if (w.mapped) XIconifyWindow(state().display, w.xid, state().screen);
  send(id, PW_WM_MOVE, 0, pw_make_lparam(-32000, -32000));
  if (find(id) == nullptr) return;
  send(id, PW_WM_SIZE, kSizeMinimized, 0);
  if (state().focus == id) move_focus(0);
}

void restore_window(Window& w) {
  uintptr_t id = w.id;
  w.minimized = false;
  if (!w.mapped) {
    XMapWindow(state().display, w.xid);
    wait_mapped(state().display, w);
  }
  send_size(w, kSizeRestored);
  if ((find(id)) == nullptr) return;
  send_move(w);
  if (find(id) == nullptr) return;
  invalidate_all(w);
  take_focus(w);
}

uint16_t register_class(const PwWndClass* window_class) {
  if (window_class == nullptr || window_class->class_name == nullptr) return 0;
  State& s = state();
  if (s.classes.count(window_class->class_name)) return 0;
  WindowClass& entry = s.classes[window_class->class_name];
  entry.record = *window_class;
  entry.name = window_class->class_name;
  entry.record.class_name = entry.name.c_str();
  entry.record.menu_name = nullptr;
  entry.atom = s.next_atom++;
  return entry.atom;
}

int32_t unregister_class(const char* class_name, PwInstance) {
  State& s = state();
  if (class_name == nullptr) return 0;
  for (auto& [id, w] : s.windows)
    if (w->class_name == class_name) return 0;  // still in use
  return s.classes.erase(class_name) ? 1 : 0;
}

PwWindow create_window_ex(uint32_t, const char* class_name, const char* title, uint32_t style,
                          int32_t x, int32_t y, int32_t width, int32_t height, PwWindow, void*,
                          PwInstance, void*) {
  State& s = state();
  Display* d = display();
  if (d == nullptr || class_name == nullptr) return nullptr;
  auto cls = s.classes.find(class_name);
  if (cls == s.classes.end()) return nullptr;

  auto record = std::make_unique<Window>();
  Window& w = *record;
  w.id = s.next_window;
  w.class_name = class_name;
  w.proc = cls->second.record.window_proc;
  w.cursor_id = cls->second.record.cursor_id;
  w.title = title ? title : "";
  w.style = style & ~PW_WS_VISIBLE;
  w.x = x;
  w.y = y;
  w.width = width > 0 ? width : 0;
  w.height = height > 0 ? height : 0;

  XSetWindowAttributes attributes{};
  attributes.event_mask = kEventMask;
  attributes.background_pixmap = None;  // no background: the system never erases
  attributes.bit_gravity = NorthWestGravity;
  w.xid = XCreateWindow(d, s.root, x, y, static_cast<unsigned>(w.width > 0 ? w.width : 1),
                        static_cast<unsigned>(w.height > 0 ? w.height : 1), 0, CopyFromParent,
                        InputOutput, CopyFromParent, CWEventMask | CWBackPixmap | CWBitGravity,
                        &attributes);
  if (!sync_ok() || w.xid == 0) return nullptr;

  XSetWMProtocols(d, w.xid, &s.wm_delete_window, 1);
  XWMHints* hints = XAllocWMHints();
  if (hints != nullptr) {
    hints->flags = InputHint | StateHint;
    hints->input = True;
    hints->initial_state = NormalState;
    XSetWMHints(d, w.xid, hints);
    XFree(hints);
  }
  XClassHint class_hint{const_cast<char*>("mikado"), const_cast<char*>(w.class_name.c_str())};
  XSetClassHint(d, w.xid, &class_hint);
  long pid = static_cast<long>(getpid());
  XChangeProperty(d, w.xid, s.net_wm_pid, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&pid), 1);
  set_title(d, w);
  set_hints(d, w);
  apply_cursor(w);

  uintptr_t id = w.id;
  s.next_window += 0x10;
  s.by_xid[w.xid] = id;
  s.windows[id] = std::move(record);

  if (send(id, PW_WM_NCCREATE, 0, 0) == 0 || send(id, PW_WM_CREATE, 0, 0) == -1) {
    if (find(id) != nullptr) platform().destroy_window(handle(id));
    return nullptr;
  }
  if (Window* created = find(id)) send_size(*created, kSizeRestored);
  if (Window* created = find(id)) send_move(*created);
  if ((style & PW_WS_VISIBLE) && find(id)) show_window(handle(id), PW_SW_SHOW);
  return find(id) ? handle(id) : nullptr;
}

int32_t destroy_window(PwWindow window) {
  State& s = state();
  Window* w = find(window);
  if (w == nullptr) return 0;
  uintptr_t id = w->id;
  Display* d = s.display;
  if (s.capture == id) {
    s.capture = 0;
    XUngrabPointer(d, CurrentTime);
    send(id, PW_WM_CAPTURECHANGED, 0, 0);
  }
  if ((w = find(id)) == nullptr) return 1;
  w->visible = false;  // hidden without WM_SHOWWINDOW, as Win32 does it
  if (s.focus == id) move_focus(0);
  if (s.active == id) s.active = 0;
  send(id, PW_WM_DESTROY, 0, 0);
  send(id, PW_WM_NCDESTROY, 0, 0);
  if ((w = find(id)) == nullptr) return 1;
  destroy_gl_child(*w);
  XDestroyWindow(d, w->xid);
  XFlush(d);
  s.by_xid.erase(w->xid);
  s.windows.erase(id);
  forget_window_messages(id);
  return 1;
}

int32_t show_window(PwWindow window, int32_t command) {
  Window* w = find(window);
  if (w == nullptr) return 0;
  uintptr_t id = w->id;
  Display* d = state().display;
  int32_t was_visible = w->visible ? 1 : 0;
  auto show = [&]() -> bool {
    if (w->visible) return true;
    send(id, PW_WM_SHOWWINDOW, 1, 0);
    if ((w = find(id)) == nullptr) return false;
    w->visible = true;
    if (!w->minimized) {
      XMapWindow(d, w->xid);
      wait_mapped(d, *w);
      // Exposures and placement of the fresh mapping join the state before anyone paints.
      drain_events();
      if ((w = find(id)) == nullptr) return false;
    }
    invalidate_all(*w);
    return true;
  };
  switch (command) {
    case PW_SW_HIDE:
      if (w->visible) {
        send(id, PW_WM_SHOWWINDOW, 0, 0);
        if ((w = find(id)) == nullptr) return was_visible;
        w->visible = false;
        if (w->mapped) {
          ++w->expected_unmaps;
          XUnmapWindow(d, w->xid);
          XFlush(d);
        }
        if (state().focus == id) move_focus(0);
        if (state().active == id) state().active = 0;
      }
      break;
    case PW_SW_MINIMIZE:
    case PW_SW_SHOWMINIMIZED:
    case PW_SW_SHOWMINNOACTIVE:
      if (show()) minimize_window(*w);
      break;
    default: {
      bool activate = command != PW_SW_SHOWNA && command != PW_SW_SHOWNOACTIVATE;
      if (!show()) break;
      if (w->minimized) {
        restore_window(*w);
      } else if (activate) {
        take_focus(*w);
      }
    }
  }
  return was_visible;
}

int32_t update_window(PwWindow window) {
  Window* w = find(window);
  if (w == nullptr) return 0;
  if (w->visible && !rect_empty(w->update)) send(w->id, PW_WM_PAINT, 0, 0);
  return 1;
}

int32_t set_window_pos(PwWindow window, intptr_t insert_after, int32_t x, int32_t y, int32_t width,
                       int32_t height, uint32_t flags) {
  Window* w = find(window);
  if (w == nullptr) return 0;
  uintptr_t id = w->id;
  Display* d = state().display;
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  bool moved = !(flags & PW_SWP_NOMOVE) && (x != w->x || y != w->y);
  bool resized = !(flags & PW_SWP_NOSIZE) && (width != w->width || height != w->height);
  bool grew = resized && (width > w->width || height > w->height);
  if (moved) {
    w->x = x;
    w->y = y;
  }
  if (resized) {
    w->width = width;
    w->height = height;
  }
  if (moved || resized) {
    set_hints(d, *w);
    XMoveResizeWindow(d, w->xid, w->x, w->y, static_cast<unsigned>(w->width > 0 ? w->width : 1),
                      static_cast<unsigned>(w->height > 0 ? w->height : 1));
    fit_gl_child(*w);
  }
  if (!(flags & PW_SWP_NOZORDER)) {
    if (insert_after == PW_HWND_BOTTOM)
      XLowerWindow(d, w->xid);
    else if (insert_after != PW_HWND_NOTOPMOST)
      XRaiseWindow(d, w->xid);
  }
  XFlush(d);
  if (resized) send_size(*w, kSizeRestored);
  if (moved && (w = find(id)) != nullptr) send_move(*w);
  if ((w = find(id)) == nullptr) return 1;
  if (grew && w->visible) invalidate_all(*w);
  if (flags & PW_SWP_SHOWWINDOW) show_window(handle(id), PW_SW_SHOWNA);
  if (flags & PW_SWP_HIDEWINDOW) show_window(handle(id), PW_SW_HIDE);
  if ((w = find(id)) != nullptr && !(flags & PW_SWP_NOACTIVATE) && w->visible) take_focus(*w);
  return 1;
}

int32_t get_client_rect(PwWindow window, PwRect* rect) {
  Window* w = find(window);
  if (w == nullptr || rect == nullptr) return 0;
  *rect = w->minimized ? PwRect{} : PwRect{0, 0, w->width, w->height};
  return 1;
}

int32_t set_window_text(PwWindow window, const char* text) {
  Window* w = find(window);
  if (w == nullptr) return 0;
  w->title = text ? text : "";
  set_title(state().display, *w);
  XFlush(state().display);
  send(w->id, PW_WM_SETTEXT, 0, reinterpret_cast<PwLParam>(w->title.c_str()));
  return 1;
}

int32_t set_prop(PwWindow window, const char* name, void* data) {
  Window* w = find(window);
  if (w == nullptr) return 0;
  return emulation::set_prop(w->props, name, data) ? 1 : 0;
}

void* get_prop(PwWindow window, const char* name) {
  Window* w = find(window);
  if (w == nullptr) return nullptr;
  return emulation::get_prop(w->props, name);
}

void* remove_prop(PwWindow window, const char* name) {
  Window* w = find(window);
  if (w == nullptr) return nullptr;
  return emulation::remove_prop(w->props, name);
}

PwWindow set_focus(PwWindow window) {
  State& s = state();
  if (window != nullptr && find(window) == nullptr) return nullptr;
  PwWindow previous = handle(s.focus);
  if (window == nullptr) {
    move_focus(0);
  } else {
    take_focus(*find(window));
  }
  return previous;
}

PwWindow set_active_window(PwWindow window) {
  State& s = state();
  if (window != nullptr && find(window) == nullptr) return nullptr;
  PwWindow previous = handle(s.active);
  s.active = id_of(window);
  if (Window* w = find(window); w != nullptr && w->mapped) XRaiseWindow(s.display, w->xid);
  return previous;
}

int32_t get_update_rect(PwWindow window, PwRect* rect, int32_t) {
  Window* w = find(window);
  if (w == nullptr) return 0;
  return emulation::update_bounds(w->update, rect) ? 1 : 0;
}

PwDc begin_paint(PwWindow window, PwPaintStruct* paint) {
  Window* w = find(window);
  if (w == nullptr || paint == nullptr) return nullptr;
  *paint = PwPaintStruct{};
  paint->dc = window_dc(w->id);
  paint->paint = rect_empty(w->update) ? PwRect{} : w->update;
  w->update = PwRect{};
  return paint->dc;
}

int32_t end_paint(PwWindow window, const PwPaintStruct*) {
  return find(window) != nullptr ? 1 : 0;
}

// BLACKNESS is the only raster operation the toolkit uses; it fills the drawable the user sees.
int32_t pat_blt(PwDc dc, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t rop) {
  Window* w = window_of_dc(dc);
  if (w == nullptr || rop != PW_BLACKNESS) return 0;
  if (width <= 0 || height <= 0) return 1;
  Display* d = state().display;
  ::Window drawable = w->gl_child != 0 ? w->gl_child : w->xid;
  GC gc = XCreateGC(d, drawable, 0, nullptr);
  XSetForeground(d, gc, 0);
  XFillRectangle(d, drawable, gc, x, y, static_cast<unsigned>(width),
                 static_cast<unsigned>(height));
  XFreeGC(d, gc);
  XFlush(d);
  return 1;
}

PwDc get_dc(PwWindow window) {
  if (window == nullptr) return display() != nullptr ? reinterpret_cast<PwDc>(kScreenDc) : nullptr;
  return find(window) ? window_dc(id_of(window)) : nullptr;
}

int32_t release_dc(PwWindow, PwDc dc) {
  return known_dc(dc) ? 1 : 0;
}

}  // namespace x11
