// The thread's message queue: X events become posted messages (input, close requests, window
// manager iconify/restore) or messages held for the window procedure (geometry and focus changes
// made by someone else), and the PeekMessage/TranslateMessage/DispatchMessage/WaitMessage family
// and DefWindowProc work on them as on Win32.

#include <X11/XKBlib.h>
#include <poll.h>

#include "default_window_proc.h"
#include "x11_state.h"

namespace x11 {
namespace {

constexpr uint32_t kSizeRestored = 0;
constexpr PwWParam kMkLButton = 0x0001;
constexpr PwWParam kMkRButton = 0x0002;
constexpr PwWParam kMkShift = 0x0004;
constexpr PwWParam kMkControl = 0x0008;
constexpr PwWParam kMkMButton = 0x0010;
constexpr uint32_t kVkF10 = 0x79;

PwWParam mouse_flags(unsigned int x_state) {
  PwWParam flags = 0;
  if (x_state & Button1Mask) flags |= kMkLButton;
  if (x_state & Button2Mask) flags |= kMkMButton;
  if (x_state & Button3Mask) flags |= kMkRButton;
  if (x_state & ShiftMask) flags |= kMkShift;
  if (x_state & ControlMask) flags |= kMkControl;
  return flags;
}

unsigned int button_mask(unsigned int button) {
  switch (button) {
    case Button1:
      return Button1Mask;
    case Button2:
      return Button2Mask;
    case Button3:
      return Button3Mask;
    default:
      return 0;
  }
}

Queued make(Window& w, uint32_t message, PwWParam wparam, PwLParam lparam, PwPoint pt) {
  Queued queued;
  queued.msg = PwMsg{handle(w.id), message, wparam, lparam, tick_now(), pt};
  return queued;
}

void hold(uintptr_t id, uint32_t message, PwWParam wparam = 0, PwLParam lparam = 0) {
  state().sent.push_back(Sent{id, message, wparam, lparam});
}

// Mouse input goes to the capture owner when there is one, in its client coordinates.
Window* mouse_target(::Window event_window, int x_root, int y_root, int* x, int* y) {
  State& s = state();
  Window* w = s.capture != 0 ? find(s.capture) : find_xid(event_window);
  if (w == nullptr) return nullptr;
  *x = x_root - w->x;
  *y = y_root - w->y;
  return w;
}

void on_key(XKeyEvent& e, bool press) {
  State& s = state();
  Window* w = find_xid(e.window);
  if (w == nullptr) return;
  unsigned int keycode = e.keycode & 0xFF;
  bool numlock = (e.state & s.numlock_mask) != 0;
  uint32_t vk = virtual_key(keycode, numlock);
  bool extended = false;
  uint32_t scan = scan_code(keycode, &extended);
  if (press) {
    KeySym sym = XkbKeycodeToKeysym(s.display, static_cast<KeyCode>(keycode), 0, 0);
    if (sym == XK_Scroll_Lock) s.scroll_lock = !s.scroll_lock;
  }
  uint8_t locks = lock_bits(e.state);
  // The state field holds the modifiers from before this event; a lock key's own press flips it.
  if (press && vk == PW_VK_CAPITAL) locks ^= 1;
  if (press && vk == PW_VK_NUMLOCK) locks ^= 2;

  bool alt = (e.state & Mod1Mask) != 0 || (press && vk == PW_VK_MENU && !extended);
  bool ctrl = (e.state & ControlMask) != 0;
  bool sys = (alt && !ctrl) || vk == kVkF10;
  bool previous = press ? s.keycode_down[keycode] : true;
  s.keycode_down[keycode] = press;
  uint32_t message =
      press ? (sys ? PW_WM_SYSKEYDOWN : PW_WM_KEYDOWN) : (sys ? PW_WM_SYSKEYUP : PW_WM_KEYUP);
  PwLParam lparam = pw_key_lparam(scan, extended, previous, !press);
  if (alt && !ctrl) lparam |= static_cast<PwLParam>(PW_KEY_CONTEXT_BIT);
  Queued queued = make(*w, message, vk, lparam, PwPoint{e.x_root, e.y_root});
  // A lock key turning its lock off still reports it on at its release; its press said it all.
  queued.has_locks = press || (vk != PW_VK_CAPITAL && vk != PW_VK_NUMLOCK);
  queued.locks = locks;
  post(queued);
}

void on_button(XButtonEvent& e, bool press) {
  State& s = state();
  int x = 0, y = 0;
  Window* w = mouse_target(e.window, e.x_root, e.y_root, &x, &y);
  s.pointer = PwPoint{e.x_root, e.y_root};
  if (w == nullptr) return;
  PwPoint pt{e.x_root, e.y_root};
  unsigned int after =
      press ? (e.state | button_mask(e.button)) : (e.state & ~button_mask(e.button));
  PwWParam flags = mouse_flags(after);
  uint32_t message = 0;
  switch (e.button) {
    case Button1:
      message = press ? PW_WM_LBUTTONDOWN : PW_WM_LBUTTONUP;
      break;
    case Button2:
      message = press ? PW_WM_MBUTTONDOWN : PW_WM_MBUTTONUP;
      break;
    case Button3:
      message = press ? PW_WM_RBUTTONDOWN : PW_WM_RBUTTONUP;
      break;
    case Button4:
    case Button5: {
      // A wheel notch is a press of button 4 (away) or 5 (toward); its release means nothing.
      if (!press) return;
      int32_t delta = e.button == Button4 ? PW_WHEEL_DELTA : -PW_WHEEL_DELTA;
      Queued queued = make(*w, PW_WM_MOUSEWHEEL, pw_make_wparam(static_cast<int32_t>(flags), delta),
                           pw_make_lparam(e.x_root, e.y_root), pt);
      queued.has_locks = true;
      queued.locks = lock_bits(e.state);
      post(queued);
      return;
    }
    default:
      return;
  }
  Queued queued = make(*w, message, flags, pw_make_lparam(x, y), pt);
  queued.has_locks = true;
  queued.locks = lock_bits(e.state);
  post(queued);
}

void on_motion(XMotionEvent& e) {
  State& s = state();
  int x = 0, y = 0;
  Window* w = mouse_target(e.window, e.x_root, e.y_root, &x, &y);
  s.pointer = PwPoint{e.x_root, e.y_root};
  if (w == nullptr) return;
  Queued queued = make(*w, PW_WM_MOUSEMOVE, mouse_flags(e.state), pw_make_lparam(x, y),
                       PwPoint{e.x_root, e.y_root});
  // Like Win32, only the latest of consecutive moves waits in the queue.
  if (!s.queue.empty() && s.queue.back().msg.message == PW_WM_MOUSEMOVE &&
      s.queue.back().msg.window == queued.msg.window) {
    s.queue.back() = queued;
  } else {
    post(queued);
  }
}

// Geometry is read back from the server rather than from the event, so that a notification of
// an older request of ours never undoes a newer one.
void on_configure(Window& w) {
  Display* d = state().display;
  if (w.minimized) return;
  ::Window root_return = 0, child = 0;
  int gx = 0, gy = 0;
  unsigned int width = 0, height = 0, border = 0, depth = 0;
  if (!XGetGeometry(d, w.xid, &root_return, &gx, &gy, &width, &height, &border, &depth)) return;
  int rx = 0, ry = 0;
  if (!XTranslateCoordinates(d, w.xid, state().root, 0, 0, &rx, &ry, &child)) return;
  // A zero-sized client is kept as a 1x1 X window.
  int32_t new_width = w.width == 0 && width == 1 ? 0 : static_cast<int32_t>(width);
  int32_t new_height = w.height == 0 && height == 1 ? 0 : static_cast<int32_t>(height);
  if (new_width != w.width || new_height != w.height) {
    w.width = new_width;
    w.height = new_height;
    fit_gl_child(w);
    hold(w.id, PW_WM_SIZE, kSizeRestored, pw_make_lparam(w.width, w.height));
  }
  if (rx != w.x || ry != w.y) {
    w.x = rx;
    w.y = ry;
    hold(w.id, PW_WM_MOVE, 0, pw_make_lparam(w.x, w.y));
  }
}

void on_event(XEvent& e) {
  State& s = state();
  switch (e.type) {
    case KeyPress:
      on_key(e.xkey, true);
      return;
    case KeyRelease:
      on_key(e.xkey, false);
      return;
    case ButtonPress:
      on_button(e.xbutton, true);
      return;
    case ButtonRelease:
      on_button(e.xbutton, false);
      return;
    case MotionNotify:
      on_motion(e.xmotion);
      return;
    case Expose:
      if (Window* w = find_xid(e.xexpose.window); w && w->visible && !w->minimized)
        add_update(*w, PwRect{e.xexpose.x, e.xexpose.y, e.xexpose.x + e.xexpose.width,
                              e.xexpose.y + e.xexpose.height});
      return;
    case ConfigureNotify:
      if (Window* w = find_xid(e.xconfigure.window); w && w->xid == e.xconfigure.window)
        on_configure(*w);
      return;
    case MapNotify:
      if (Window* w = find_xid(e.xmap.window); w && w->xid == e.xmap.window) {
        w->mapped = true;
        // Mapped again by the window manager after an iconify: the restore command.
        if (w->minimized) post(make(*w, PW_WM_SYSCOMMAND, PW_SC_RESTORE, 0, s.pointer));
      }
      return;
    case UnmapNotify:
      if (Window* w = find_xid(e.xunmap.window); w && w->xid == e.xunmap.window) {
        w->mapped = false;
        if (w->expected_unmaps > 0) {
          --w->expected_unmaps;
        } else if (w->visible && !w->minimized) {
          // Unmapped by someone else: the window manager iconified it.
          post(make(*w, PW_WM_SYSCOMMAND, PW_SC_MINIMIZE, 0, s.pointer));
        }
      }
      return;
    case FocusIn:
    case FocusOut: {
      XFocusChangeEvent& f = e.xfocus;
      if (f.mode == NotifyGrab || f.mode == NotifyUngrab) return;
      if (f.detail == NotifyPointer || f.detail == NotifyInferior) return;
      Window* w = find_xid(f.window);
      if (w == nullptr || w->xid != f.window) return;
      hold(w->id, e.type == FocusIn ? PW_WM_SETFOCUS : PW_WM_KILLFOCUS);
      return;
    }
    case ClientMessage:
      if (e.xclient.message_type == s.wm_protocols && e.xclient.format == 32 &&
          static_cast<Atom>(e.xclient.data.l[0]) == s.wm_delete_window) {
        if (Window* w = find_xid(e.xclient.window))
          post(make(*w, PW_WM_SYSCOMMAND, PW_SC_CLOSE, 0, s.pointer));
      }
      return;
    case DestroyNotify:
      // Windows we destroy ourselves are forgotten before this arrives.
      if (Window* w = find_xid(e.xdestroywindow.window); w && w->xid == e.xdestroywindow.window)
        hold(w->id, PW_WM_DESTROY);
      return;
    case MappingNotify:
      XRefreshKeyboardMapping(&e.xmapping);
      return;
    default:
      if (s.randr_event_base >= 0 && e.type == s.randr_event_base) screen_changed(e);
      return;
  }
}

// A window destroyed by another client: the window procedure hears of it as Win32 would tell,
// and the record goes.
void forget_destroyed(uintptr_t id) {
  State& s = state();
  Window* w = find(id);
  if (w == nullptr) return;
  w->visible = false;
  if (s.capture == id) s.capture = 0;
  if (s.focus == id) move_focus(0);
  if (s.active == id) s.active = 0;
  send(id, PW_WM_DESTROY, 0, 0);
  send(id, PW_WM_NCDESTROY, 0, 0);
  if ((w = find(id)) == nullptr) return;
  s.by_xid.erase(w->xid);
  if (w->gl_child != 0) s.by_xid.erase(w->gl_child);
  s.windows.erase(id);
  forget_window_messages(id);
}

bool matches(const PwMsg& msg, PwWindow filter, uint32_t first, uint32_t last) {
  if (filter != nullptr && msg.window != filter) return false;
  if (first == 0 && last == 0) return true;
  return msg.message >= first && msg.message <= last;
}

bool paint_waiting() {
  for (auto& [id, w] : state().windows)
    if (w->visible && !w->minimized && !rect_empty(w->update)) return true;
  return false;
}

void validate(uintptr_t id) {
  find(id)->update = PwRect{};
}
void destroy(uintptr_t id) {
  platform().destroy_window(handle(id));
}
void minimize(uintptr_t id) {
  minimize_window(*find(id));
}
// A maximize is a restore here: the window keeps its size.
void restore(uintptr_t id, bool) {
  Window* w = find(id);
  if (w->minimized) restore_window(*w);
}

}  // namespace

void drain_events() {
  Display* d = state().display;
  if (d == nullptr) return;
  while (XPending(d) > 0) {
    XEvent event;
    XNextEvent(d, &event);
    on_event(event);
  }
}

void deliver_sent() {
  State& s = state();
  while (!s.sent.empty()) {
    Sent item = s.sent.front();
    s.sent.pop_front();
    if (find(item.id) == nullptr) continue;
    switch (item.message) {
      case PW_WM_SETFOCUS:
        s.active = item.id;
        move_focus(item.id);
        break;
      case PW_WM_KILLFOCUS:
        if (s.focus == item.id) move_focus(0);
        break;
      case PW_WM_DESTROY:
        forget_destroyed(item.id);
        break;
      default:
        send(item.id, item.message, item.wparam, item.lparam);
    }
  }
}

void forget_window_messages(uintptr_t id) {
  State& s = state();
  for (auto it = s.queue.begin(); it != s.queue.end();)
    it = id_of(it->msg.window) == id ? s.queue.erase(it) : it + 1;
  for (auto it = s.sent.begin(); it != s.sent.end();) it = it->id == id ? s.sent.erase(it) : it + 1;
}

int32_t peek_message(PwMsg* msg, PwWindow filter, uint32_t first, uint32_t last, uint32_t remove) {
  State& s = state();
  if (msg == nullptr) return 0;
  if (s.display != nullptr) {
    drain_events();
    deliver_sent();
  }
  for (auto it = s.queue.begin(); it != s.queue.end(); ++it) {
    if (!matches(it->msg, filter, first, last)) continue;
    *msg = it->msg;
    if (remove & PW_PM_REMOVE) {
      Queued queued = *it;
      s.queue.erase(it);
      apply_input_state(queued);
    }
    return 1;
  }
  // Like Win32, WM_PAINT is made when nothing else waits and stays until the area is validated.
  for (auto& [id, w] : s.windows) {
    if (!w->visible || w->minimized || rect_empty(w->update)) continue;
    PwMsg paint{handle(id), PW_WM_PAINT, 0, 0, tick_now(), s.pointer};
    if (!matches(paint, filter, first, last)) continue;
    *msg = paint;
    return 1;
  }
  return 0;
}

int32_t translate_message(const PwMsg* msg) {
  if (msg == nullptr) return 0;
  bool sys = msg->message == PW_WM_SYSKEYDOWN;
  if (msg->message != PW_WM_KEYDOWN && !sys) return 0;
  char16_t units[4] = {};
  int count = key_characters(static_cast<uint32_t>(msg->wparam), pw_key_scan_code(msg->lparam),
                             state().keys, units, 4);
  // The characters come next, ahead of anything already waiting.
  for (int i = count - 1; i >= 0; --i) {
    Queued character;
    character.msg = *msg;
    character.msg.message = sys ? PW_WM_SYSCHAR : PW_WM_CHAR;
    character.msg.wparam = units[i];
    state().queue.push_front(character);
  }
  return 1;
}

PwResult dispatch_message(const PwMsg* msg) {
  if (msg == nullptr || find(msg->window) == nullptr) return 0;
  return send(id_of(msg->window), msg->message, msg->wparam, msg->lparam);
}

int32_t wait_message() {
  State& s = state();
  Display* d = s.display;
  if (d == nullptr) return 0;
  if (!s.queue.empty() || !s.sent.empty() || paint_waiting()) return 1;
  if (XPending(d) > 0) return 1;
  pollfd fd{ConnectionNumber(d), POLLIN, 0};
  while (poll(&fd, 1, -1) < 0) {
  }
  return 1;
}

PwResult def_window_proc(PwWindow window, uint32_t message, PwWParam wparam, PwLParam lparam) {
  static constexpr emulation::DefaultActions kActions{validate, destroy, minimize, restore, send};
  Window* w = find(window);
  if (w == nullptr) return 0;
  return emulation::default_window_proc(kActions, w->id, message, wparam, lparam);
}

}  // namespace x11
