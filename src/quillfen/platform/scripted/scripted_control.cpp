// The scripted backend's table, its reset, and the calls through which tests script and inspect it.

#include <algorithm>
#include <cstdio>

#include "scripted_state.h"

namespace scripted {
namespace detail {

State& state() {
  static State instance;
  return instance;
}

void log(const char* name, std::string detail) {
  state().log.push_back(CallRecord{name, std::move(detail)});
}

bool failing(const char* name) {
  return state().failing.count(name) != 0;
}

std::string message_name(uint32_t message) {
  struct Name {
    uint32_t id;
    const char* name;
  };
  static constexpr Name kNames[] = {
      {PW_WM_CREATE, "WM_CREATE"},
      {PW_WM_DESTROY, "WM_DESTROY"},
      {PW_WM_MOVE, "WM_MOVE"},
      {PW_WM_SIZE, "WM_SIZE"},
      {PW_WM_SETFOCUS, "WM_SETFOCUS"},
      {PW_WM_KILLFOCUS, "WM_KILLFOCUS"},
      {PW_WM_SETTEXT, "WM_SETTEXT"},
      {PW_WM_PAINT, "WM_PAINT"},
      {PW_WM_CLOSE, "WM_CLOSE"},
      {PW_WM_ERASEBKGND, "WM_ERASEBKGND"},
      {PW_WM_SHOWWINDOW, "WM_SHOWWINDOW"},
      {PW_WM_DISPLAYCHANGE, "WM_DISPLAYCHANGE"},
      {PW_WM_NCCREATE, "WM_NCCREATE"},
      {PW_WM_NCDESTROY, "WM_NCDESTROY"},
      {PW_WM_KEYDOWN, "WM_KEYDOWN"},
      {PW_WM_KEYUP, "WM_KEYUP"},
      {PW_WM_CHAR, "WM_CHAR"},
      {PW_WM_SYSKEYDOWN, "WM_SYSKEYDOWN"},
      {PW_WM_SYSKEYUP, "WM_SYSKEYUP"},
      {PW_WM_SYSCHAR, "WM_SYSCHAR"},
      {PW_WM_SYSCOMMAND, "WM_SYSCOMMAND"},
      {PW_WM_MOUSEMOVE, "WM_MOUSEMOVE"},
      {PW_WM_LBUTTONDOWN, "WM_LBUTTONDOWN"},
      {PW_WM_LBUTTONUP, "WM_LBUTTONUP"},
      {PW_WM_RBUTTONDOWN, "WM_RBUTTONDOWN"},
      {PW_WM_RBUTTONUP, "WM_RBUTTONUP"},
      {PW_WM_MBUTTONDOWN, "WM_MBUTTONDOWN"},
      {PW_WM_MBUTTONUP, "WM_MBUTTONUP"},
      {PW_WM_MOUSEWHEEL, "WM_MOUSEWHEEL"},
      {PW_WM_CAPTURECHANGED, "WM_CAPTURECHANGED"},
  };
  for (const Name& entry : kNames)
    if (entry.id == message) return entry.name;
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "WM_%#x", message);
  return buffer;
}

namespace {

// The backend's table, filled here in one place.
const PlatformOps kOps = {
    .name = "scripted",
    .register_class = scripted::detail::register_class,
    .unregister_class = scripted::detail::unregister_class,
    .create_window_ex = scripted::detail::create_window_ex,
    .destroy_window = scripted::detail::destroy_window,
    .show_window = scripted::detail::show_window,
    .update_window = scripted::detail::update_window,
    .set_window_pos = scripted::detail::set_window_pos,
    .get_client_rect = scripted::detail::get_client_rect,
    .set_window_text = scripted::detail::set_window_text,
    .set_prop = scripted::detail::set_prop,
    .get_prop = scripted::detail::get_prop,
    .remove_prop = scripted::detail::remove_prop,
    .peek_message = scripted::detail::peek_message,
    .translate_message = scripted::detail::translate_message,
    .dispatch_message = scripted::detail::dispatch_message,
    .wait_message = scripted::detail::wait_message,
    .def_window_proc = scripted::detail::def_window_proc,
    .get_keyboard_state = scripted::detail::get_keyboard_state,
    .to_ascii = scripted::detail::to_ascii,
    .to_unicode = scripted::detail::to_unicode,
    .wide_char_to_multi_byte = scripted::detail::wide_char_to_multi_byte,
    .get_cursor_pos = scripted::detail::get_cursor_pos,
    .screen_to_client = scripted::detail::screen_to_client,
    .client_to_screen = scripted::detail::client_to_screen,
    .set_cursor_pos = scripted::detail::set_cursor_pos,
    .set_capture = scripted::detail::set_capture,
    .release_capture = scripted::detail::release_capture,
    .show_cursor = scripted::detail::show_cursor,
    .set_focus = scripted::detail::set_focus,
    .set_active_window = scripted::detail::set_active_window,
    .get_system_metrics = scripted::detail::get_system_metrics,
    .enum_display_settings = scripted::detail::enum_display_settings,
    .change_display_settings = scripted::detail::change_display_settings,
    .get_device_caps = scripted::detail::get_device_caps,
    .get_update_rect = scripted::detail::get_update_rect,
    .begin_paint = scripted::detail::begin_paint,
    .end_paint = scripted::detail::end_paint,
    .pat_blt = scripted::detail::pat_blt,
    .get_dc = scripted::detail::get_dc,
    .release_dc = scripted::detail::release_dc,
    .choose_pixel_format = scripted::detail::choose_pixel_format,
    .describe_pixel_format = scripted::detail::describe_pixel_format,
    .set_pixel_format = scripted::detail::set_pixel_format,
    .swap_buffers = scripted::detail::swap_buffers,
    .wgl_create_context = scripted::detail::wgl_create_context,
    .wgl_make_current = scripted::detail::wgl_make_current,
    .wgl_delete_context = scripted::detail::wgl_delete_context,
    .wgl_get_proc_address = scripted::detail::wgl_get_proc_address,
    .gl_get_string = scripted::detail::gl_get_string,
    .gl_viewport = scripted::detail::gl_viewport,
    .gl_matrix_mode = scripted::detail::gl_matrix_mode,
    .gl_load_identity = scripted::detail::gl_load_identity,
    .gl_ortho = scripted::detail::gl_ortho,
    .get_tick_count = scripted::detail::get_tick_count,
    .sleep = scripted::detail::sleep,
    .get_current_process_id = scripted::detail::get_current_process_id,
    .get_module_handle = scripted::detail::get_module_handle,
};

uint32_t mouse_keys() {
  const uint8_t* keys = state().keys;
  uint32_t bits = 0;
  if (keys[PW_VK_LBUTTON] & PW_KEY_STATE_DOWN) bits |= PW_MK_LBUTTON;
  if (keys[PW_VK_RBUTTON] & PW_KEY_STATE_DOWN) bits |= PW_MK_RBUTTON;
  if (keys[PW_VK_SHIFT] & PW_KEY_STATE_DOWN) bits |= PW_MK_SHIFT;
  if (keys[PW_VK_CONTROL] & PW_KEY_STATE_DOWN) bits |= PW_MK_CONTROL;
  if (keys[PW_VK_MBUTTON] & PW_KEY_STATE_DOWN) bits |= PW_MK_MBUTTON;
  return bits;
}

PwLParam client_cursor(PwWindow window) {
  PwPoint point = state().cursor;
  if (Window* w = find(window)) {
    PwPoint origin = client_origin(*w);
    point.x -= origin.x;
    point.y -= origin.y;
  }
  return pw_make_lparam(point.x, point.y);
}

}  // namespace
}  // namespace detail

using detail::state;

void reset() {
  const PlatformOps* previous = state().previous;
  bool installed = state().installed;
  state() = detail::State{};
  state().previous = previous;
  state().installed = installed;
  set_screen(1280, 1024, 32, 60);
  PwPixelFormatDescriptor pfd{};
  pfd.size = sizeof pfd;
  pfd.version = 1;
  pfd.flags = PW_PFD_DRAW_TO_WINDOW | PW_PFD_SUPPORT_OPENGL | PW_PFD_DOUBLEBUFFER;
  pfd.pixel_type = PW_PFD_TYPE_RGBA;
  pfd.color_bits = 32;
  pfd.depth_bits = 24;
  set_pixel_formats({pfd}, 1);
  set_gl_string(PW_GL_VENDOR, "Scripted Vendor");
  set_gl_string(PW_GL_RENDERER, "Scripted Renderer");
  set_gl_string(PW_GL_VERSION, "1.1.0");
  set_gl_string(PW_GL_EXTENSIONS, "GL_SCRIPTED_none");
}

void install() {
  reset();
  if (!state().installed) state().previous = install_platform(&detail::kOps);
  state().installed = true;
}

void uninstall() {
  if (state().installed) install_platform(state().previous);
  state().installed = false;
  state().previous = nullptr;
}

const PlatformOps* ops() {
  return &detail::kOps;
}

void set_tick(uint32_t ms) {
  state().tick = ms;
}
void advance(uint32_t ms) {
  state().tick += ms;
}
uint32_t tick() {
  return state().tick;
}

void fail(const std::string& operation, bool failing) {
  if (failing) {
    state().failing.insert(operation);
  } else {
    state().failing.erase(operation);
  }
}

const std::vector<CallRecord>& calls() {
  return state().log;
}

std::vector<std::string> call_names() {
  std::vector<std::string> names;
  for (const CallRecord& call : state().log) names.push_back(call.name);
  return names;
}

int count_calls(const std::string& name) {
  int count = 0;
  for (const CallRecord& call : state().log) count += call.name == name ? 1 : 0;
  return count;
}

void clear_calls() {
  state().log.clear();
}

void post(PwWindow window, uint32_t message, PwWParam wparam, PwLParam lparam) {
  post_at(window, message, wparam, lparam, state().tick, state().cursor);
}

void post_at(PwWindow window, uint32_t message, PwWParam wparam, PwLParam lparam, uint32_t time,
             PwPoint cursor) {
  state().queue.push_back(PwMsg{window, message, wparam, lparam, time, cursor});
}

size_t queued() {
  return state().queue.size();
}

void on_wait(std::function<void()> handler) {
  state().wait_handler = std::move(handler);
}

void key_down(PwWindow window, uint32_t virtual_key, uint32_t scan_code, bool extended) {
  // The previous-state bit says the key is already down, counting key messages still queued.
  bool held = (state().keys[virtual_key & 0xFF] & PW_KEY_STATE_DOWN) != 0;
  for (const PwMsg& msg : state().queue)
    if (msg.wparam == virtual_key && (msg.message == PW_WM_KEYDOWN || msg.message == PW_WM_KEYUP))
      held = msg.message == PW_WM_KEYDOWN;
  post(window, PW_WM_KEYDOWN, virtual_key, pw_key_lparam(scan_code, extended, held, false));
}

void key_up(PwWindow window, uint32_t virtual_key, uint32_t scan_code, bool extended) {
  post(window, PW_WM_KEYUP, virtual_key, pw_key_lparam(scan_code, extended, true, true));
}

void mouse_move(PwWindow window, int32_t client_x, int32_t client_y) {
  PwPoint point{client_x, client_y};
  if (detail::Window* w = detail::find(window)) {
    PwPoint origin = detail::client_origin(*w);
    point.x += origin.x;
    point.y += origin.y;
  }
  state().cursor = point;
  post(window, PW_WM_MOUSEMOVE, detail::mouse_keys(), pw_make_lparam(client_x, client_y));
}

void button_down(PwWindow window, int button) {
  static constexpr uint32_t kDown[] = {PW_WM_LBUTTONDOWN, PW_WM_MBUTTONDOWN, PW_WM_RBUTTONDOWN};
  post(window, kDown[button], detail::mouse_keys(), detail::client_cursor(window));
}

void button_up(PwWindow window, int button) {
  static constexpr uint32_t kUp[] = {PW_WM_LBUTTONUP, PW_WM_MBUTTONUP, PW_WM_RBUTTONUP};
  post(window, kUp[button], detail::mouse_keys(), detail::client_cursor(window));
}

void wheel(PwWindow window, int32_t delta) {
  PwPoint cursor = state().cursor;
  post(window, PW_WM_MOUSEWHEEL, pw_make_wparam(static_cast<int32_t>(detail::mouse_keys()), delta),
       pw_make_lparam(cursor.x, cursor.y));
}

void set_key_state(uint32_t virtual_key, uint8_t bits) {
  state().keys[virtual_key & 0xFF] = bits;
}

void map_character(uint32_t virtual_key, uint8_t ansi, char16_t unit) {
  state().characters[virtual_key] = {ansi, unit};
}

bool is_window(PwWindow window) {
  return detail::find(window) != nullptr;
}

std::string title(PwWindow window) {
  detail::Window* w = detail::find(window);
  return w ? w->title : std::string();
}

PwRect window_rect(PwWindow window) {
  detail::Window* w = detail::find(window);
  if (w == nullptr) return PwRect{};
  return PwRect{w->x, w->y, w->x + w->width, w->y + w->height};
}

PwRect client_rect(PwWindow window) {
  detail::Window* w = detail::find(window);
  if (w == nullptr) return PwRect{};
  PwPoint origin = detail::client_origin(*w);
  PwRect size = detail::client_size(*w);
  return PwRect{origin.x, origin.y, origin.x + size.right, origin.y + size.bottom};
}

bool visible(PwWindow window) {
  detail::Window* w = detail::find(window);
  return w != nullptr && w->visible;
}

bool topmost(PwWindow window) {
  detail::Window* w = detail::find(window);
  return w != nullptr && w->topmost;
}

void set_frame(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  state().frame = PwRect{left, top, right, bottom};
}

void invalidate(PwWindow window, const PwRect* rect) {
  detail::Window* w = detail::find(window);
  if (w == nullptr) return;
  emulation::add_update(w->update, rect ? *rect : detail::client_size(*w));
}

PwRect update_rect(PwWindow window) {
  detail::Window* w = detail::find(window);
  return w && !detail::rect_empty(w->update) ? w->update : PwRect{};
}

bool class_registered(const std::string& name) {
  return state().classes.count(name) != 0;
}

size_t class_count() {
  return state().classes.size();
}

size_t window_count() {
  return state().windows.size();
}

PwWindow focus() {
  return detail::handle(state().focus);
}
PwWindow active_window() {
  return detail::handle(state().active);
}
PwWindow capture() {
  return detail::handle(state().capture);
}
int cursor_count() {
  return state().cursor_count;
}
PwPoint cursor() {
  return state().cursor;
}
void set_cursor(PwPoint point) {
  state().cursor = point;
}

void set_screen(int32_t width, int32_t height, int32_t depth, int32_t refresh_hz) {
  PwDevMode mode{};
  mode.size = sizeof mode;
  mode.fields = PW_DM_BITSPERPEL | PW_DM_PELSWIDTH | PW_DM_PELSHEIGHT | PW_DM_DISPLAYFREQUENCY;
  mode.pels_width = static_cast<uint32_t>(width);
  mode.pels_height = static_cast<uint32_t>(height);
  mode.bits_per_pel = static_cast<uint32_t>(depth);
  mode.display_frequency = static_cast<uint32_t>(refresh_hz);
  state().desktop = mode;
  state().registry = mode;
}

void set_modes(const std::vector<PwDevMode>& modes) {
  state().modes = modes;
}
void refuse_mode_switch(bool refuse) {
  state().refuse_switch = refuse;
}
PwDevMode current_mode() {
  return state().desktop;
}

void set_pixel_formats(const std::vector<PwPixelFormatDescriptor>& formats, int chosen) {
  state().formats = formats;
  state().chosen_format = chosen;
}

int pixel_format(PwDc dc) {
  auto it = state().dc_format.find(detail::dc_id(dc));
  return it == state().dc_format.end() ? 0 : it->second;
}

void set_gl_string(uint32_t name, const char* value) {
  if (value) {
    state().gl_strings[name] = std::string(value);
  } else {
    state().gl_strings[name] = std::nullopt;
  }
}

void set_proc_address(const std::string& name, PwProc address) {
  state().procs[name] = address;
}
void set_default_proc_address(PwProc address) {
  state().default_proc = address;
}
PwGlContext current_context() {
  return reinterpret_cast<PwGlContext>(state().current_context);
}
int live_contexts() {
  return static_cast<int>(state().contexts.size());
}

}  // namespace scripted
