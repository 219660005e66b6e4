// The display connection, X error recording, the window registry shared by the operation files,
// and the backend's operation table.

#include <X11/XKBlib.h>
#include <X11/extensions/Xrandr.h>

#include "system_messages.h"
#include "x11_state.h"

namespace x11 {

State& state() {
  static State s;
  return s;
}

namespace {

// Xlib's default handler ends the process; a failed request must only fail its operation.
int record_error(Display*, XErrorEvent* event) {
  state().last_error = event->error_code;
  return 0;
}

unsigned int find_numlock_mask(Display* d) {
  unsigned int mask = XkbKeysymToModifiers(d, XK_Num_Lock);
  return mask != 0 ? mask : Mod2Mask;
}

bool open_display() {
  State& s = state();
  Display* d = XOpenDisplay(nullptr);
  if (d == nullptr) return false;
  // Xlib accepts a negative screen number in DISPLAY (":0.-1") and would index its screen list
  // with it: such a display has no screen to work on.
  if (DefaultScreen(d) < 0 || DefaultScreen(d) >= ScreenCount(d)) {
    XCloseDisplay(d);
    return false;
  }
  XSetErrorHandler(record_error);
  s.display = d;
  s.screen = DefaultScreen(d);
  s.root = RootWindow(d, s.screen);
  // Held keys then repeat as presses only, which is how Win32 reports them.
  Bool supported = False;
  XkbSetDetectableAutoRepeat(d, True, &supported);
  s.numlock_mask = find_numlock_mask(d);
  int error_base = 0;
  if (XRRQueryExtension(d, &s.randr_event_base, &error_base)) {
    XRRSelectInput(d, s.root, RRScreenChangeNotifyMask);
  } else {
    s.randr_event_base = -1;
  }
  s.wm_protocols = XInternAtom(d, "WM_PROTOCOLS", False);
  s.wm_delete_window = XInternAtom(d, "WM_DELETE_WINDOW", False);
  s.motif_wm_hints = XInternAtom(d, "_MOTIF_WM_HINTS", False);
  s.net_wm_name = XInternAtom(d, "_NET_WM_NAME", False);
  s.net_wm_pid = XInternAtom(d, "_NET_WM_PID", False);
  s.utf8_string = XInternAtom(d, "UTF8_STRING", False);
  // The lock keys' toggled state starts from the server's, not from zero.
  unsigned int indicators = 0;
  XkbStateRec xkb{};
  if (XkbGetState(d, XkbUseCoreKbd, &xkb) == Success) {
    uint8_t locks = lock_bits(xkb.locked_mods);
    s.keys[PW_VK_CAPITAL] = (locks & 1) ? PW_KEY_STATE_TOGGLED : 0;
    s.keys[PW_VK_NUMLOCK] = (locks & 2) ? PW_KEY_STATE_TOGGLED : 0;
  }
  Atom scroll = XInternAtom(d, "Scroll Lock", False);
  int index = 0;
  if (XkbGetIndicatorState(d, XkbUseCoreKbd, &indicators) == Success &&
      XkbGetNamedIndicator(d, scroll, &index, nullptr, nullptr, nullptr)) {
    s.scroll_lock = (indicators >> index) & 1u;
    s.keys[PW_VK_SCROLL] = s.scroll_lock ? PW_KEY_STATE_TOGGLED : 0;
  }
  return true;
}

}  // namespace

Display* display() {
  State& s = state();
  if (s.display == nullptr) open_display();
  return s.display;
}

bool sync_ok() {
  State& s = state();
  s.last_error = 0;
  XSync(s.display, False);
  return s.last_error == 0;
}

uint8_t lock_bits(unsigned int x_state) {
  uint8_t bits = 0;
  if (x_state & LockMask) bits |= 1;
  if (x_state & state().numlock_mask) bits |= 2;
  if (state().scroll_lock) bits |= 4;
  return bits;
}

Window* find(uintptr_t id) {
  auto it = state().windows.find(id);
  return it == state().windows.end() ? nullptr : it->second.get();
}

Window* find(PwWindow window) {
  return find(id_of(window));
}

Window* find_xid(::Window xid) {
  auto it = state().by_xid.find(xid);
  return it == state().by_xid.end() ? nullptr : find(it->second);
}

Window* window_of_dc(PwDc dc) {
  uintptr_t id = dc_id(dc);
  if (id == kScreenDc || !(id & 0x8)) return nullptr;
  return find(id & ~uintptr_t{0xF});
}

bool known_dc(PwDc dc) {
  return dc_id(dc) == kScreenDc || window_of_dc(dc) != nullptr;
}

void invalidate_all(Window& window) {
  window.update = PwRect{0, 0, window.width, window.height};
}

void add_update(Window& window, const PwRect& rect) {
  emulation::add_update(window.update, rect);
}

PwResult send(uintptr_t id, uint32_t message, PwWParam wparam, PwLParam lparam) {
  Window* w = find(id);
  if (w == nullptr || w->proc == nullptr) return 0;
  return w->proc(handle(id), message, wparam, lparam);
}

void post(const Queued& queued) {
  state().queue.push_back(queued);
}

void move_focus(uintptr_t id) {
  emulation::move_focus(state().focus, id, send);
}

}  // namespace x11

const PlatformOps* x11_platform() {
  static PlatformOps ops = [] {
    PlatformOps table{};
    table.name = "x11";
    x11::fill_window_ops(table);
    x11::fill_queue_ops(table);
    x11::fill_keyboard_ops(table);
    x11::fill_pointer_ops(table);
    x11::fill_mode_ops(table);
    x11::fill_glx_ops(table);
    x11::fill_kernel_ops(table);
    return table;
  }();
  return &ops;
}
