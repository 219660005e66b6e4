// The display connection, X error recording, the window registry shared by the operation files,
// and the backend's operation table.

#include <X11/XKBlib.h>
#include <X11/extensions/Xrandr.h>

#include "gl_passthrough.h"
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

// The backend's table, filled here in one place.
const PlatformOps* x11_platform() {
  static const PlatformOps ops = {
      .name = "x11",
      .register_class = x11::register_class,
      .unregister_class = x11::unregister_class,
      .create_window_ex = x11::create_window_ex,
      .destroy_window = x11::destroy_window,
      .show_window = x11::show_window,
      .update_window = x11::update_window,
      .set_window_pos = x11::set_window_pos,
      .get_client_rect = x11::get_client_rect,
      .set_window_text = x11::set_window_text,
      .set_prop = x11::set_prop,
      .get_prop = x11::get_prop,
      .remove_prop = x11::remove_prop,
      .peek_message = x11::peek_message,
      .translate_message = x11::translate_message,
      .dispatch_message = x11::dispatch_message,
      .wait_message = x11::wait_message,
      .def_window_proc = x11::def_window_proc,
      .get_keyboard_state = x11::get_keyboard_state,
      .to_ascii = x11::to_ascii,
      .to_unicode = x11::to_unicode,
      .wide_char_to_multi_byte = x11::wide_char_to_multi_byte,
      .get_cursor_pos = x11::get_cursor_pos,
      .screen_to_client = x11::screen_to_client,
      .client_to_screen = x11::client_to_screen,
      .set_cursor_pos = x11::set_cursor_pos,
      .set_capture = x11::set_capture,
      .release_capture = x11::release_capture,
      .show_cursor = x11::show_cursor,
      .set_focus = x11::set_focus,
      .set_active_window = x11::set_active_window,
      .get_system_metrics = x11::get_system_metrics,
      .enum_display_settings = x11::enum_display_settings,
      .change_display_settings = x11::change_display_settings,
      .get_device_caps = x11::get_device_caps,
      .get_update_rect = x11::get_update_rect,
      .begin_paint = x11::begin_paint,
      .end_paint = x11::end_paint,
      .pat_blt = x11::pat_blt,
      .get_dc = x11::get_dc,
      .release_dc = x11::release_dc,
      .choose_pixel_format = x11::choose_pixel_format,
      .describe_pixel_format = x11::describe_pixel_format,
      .set_pixel_format = x11::set_pixel_format,
      .swap_buffers = x11::swap_buffers,
      .wgl_create_context = x11::wgl_create_context,
      .wgl_make_current = x11::wgl_make_current,
      .wgl_delete_context = x11::wgl_delete_context,
      .wgl_get_proc_address = x11::wgl_get_proc_address,
      .gl_get_string = x11::gl_get_string,
      .gl_viewport = gl_passthrough::viewport,
      .gl_matrix_mode = gl_passthrough::matrix_mode,
      .gl_load_identity = gl_passthrough::load_identity,
      .gl_ortho = gl_passthrough::ortho,
      .get_tick_count = x11::get_tick_count,
      .sleep = x11::sleep_ms,
      .get_current_process_id = x11::get_current_process_id,
      .get_module_handle = x11::get_module_handle,
  };
  return &ops;
}
