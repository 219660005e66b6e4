#pragma once

// The scripted backend's state, shared by its operation files and its control calls.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "handles.h"
#include "scripted_platform.h"
#include "update_region.h"
#include "window_props.h"

namespace scripted::detail {

struct Window {
  std::string class_name;
  PwWndProc proc = nullptr;
  std::string title;
  uint32_t style = 0;
  int32_t x = 0, y = 0, width = 0, height = 0;  // outer rectangle
  bool visible = false;
  bool minimized = false;
  bool topmost = false;
  emulation::PropList props;
  PwRect update{};  // empty when left >= right or top >= bottom
};

struct WindowClass {
  PwWndClass record{};
  std::string name;
};

struct State {
  uint32_t tick = 1000;
  std::set<std::string> failing;
  std::vector<CallRecord> log;
  std::deque<PwMsg> queue;
  std::function<void()> wait_handler;

  std::map<std::string, WindowClass> classes;
  std::map<uintptr_t, Window> windows;
  uintptr_t next_window = 0x10010;
  uintptr_t focus = 0, active = 0, capture = 0;
  PwRect frame{};

  int cursor_count = 0;
  PwPoint cursor{};
  uint8_t keys[256] = {};
  std::map<uint32_t, std::pair<uint8_t, char16_t>> characters;

  PwDevMode desktop{};   // the mode in force
  PwDevMode registry{};  // the mode a restore returns to
  std::vector<PwDevMode> modes;
  bool refuse_switch = false;

  std::vector<PwPixelFormatDescriptor> formats;
  int chosen_format = 1;
  std::map<uintptr_t, int> dc_format;

  std::map<uint32_t, std::optional<std::string>> gl_strings;
  std::map<std::string, PwProc> procs;
  PwProc default_proc = nullptr;
  std::set<uintptr_t> contexts;
  uintptr_t next_context = 0x20000;
  uintptr_t current_context = 0;

  const PlatformOps* previous = nullptr;
  bool installed = false;
};

State& state();
void log(const char* name, std::string detail = {});
bool failing(const char* name);
std::string message_name(uint32_t message);

using emulation::dc_id;
using emulation::handle;
using emulation::id_of;
using emulation::kScreenDc;
using emulation::rect_empty;
using emulation::window_dc;

Window* find(uintptr_t id);
Window* find(PwWindow window);
PwPoint client_origin(const Window& window);
PwRect client_size(const Window& window);  // left/top 0

// Calls the window procedure at once, as SendMessage does.
PwResult send(uintptr_t id, uint32_t message, PwWParam wparam, PwLParam lparam);
void move_focus(uintptr_t id);  // WM_KILLFOCUS to the old owner, WM_SETFOCUS to the new
void invalidate_all(uintptr_t id);
void apply_input_state(const PwMsg& msg);  // keyboard/button state on removal from the queue
int char_of(uint32_t virtual_key, const uint8_t state[256], char16_t* unit, uint8_t* ansi);

// The operations of the backend's table, one per PlatformOps entry (platform.h), in its order;
// the table itself is filled in one place, scripted_control.cpp.
uint16_t register_class(const PwWndClass* window_class);
int32_t unregister_class(const char* class_name, PwInstance);
PwWindow create_window_ex(uint32_t, const char* class_name, const char* title, uint32_t style,
                          int32_t x, int32_t y, int32_t width, int32_t height, PwWindow, void*,
                          PwInstance, void*);
int32_t destroy_window(PwWindow window);
int32_t show_window(PwWindow window, int32_t command);
int32_t update_window(PwWindow window);
int32_t set_window_pos(PwWindow window, intptr_t insert_after, int32_t x, int32_t y, int32_t width,
                       int32_t height, uint32_t flags);
int32_t get_client_rect(PwWindow window, PwRect* rect);
int32_t set_window_text(PwWindow window, const char* text);
int32_t set_prop(PwWindow window, const char* name, void* data);
void* get_prop(PwWindow window, const char* name);
void* remove_prop(PwWindow window, const char* name);
int32_t peek_message(PwMsg* msg, PwWindow filter, uint32_t first, uint32_t last, uint32_t remove);
int32_t translate_message(const PwMsg* msg);
PwResult dispatch_message(const PwMsg* msg);
int32_t wait_message();
PwResult def_window_proc(PwWindow window, uint32_t message, PwWParam wparam, PwLParam lparam);
int32_t get_keyboard_state(uint8_t keys[256]);
int32_t to_ascii(uint32_t vk, uint32_t, const uint8_t keys[256], uint16_t* chars, uint32_t);
int32_t to_unicode(uint32_t vk, uint32_t, const uint8_t keys[256], char16_t* buffer,
                   int32_t buffer_len, uint32_t);
int32_t wide_char_to_multi_byte(uint32_t code_page, uint32_t, const char16_t* wide,
                                int32_t wide_len, char* out, int32_t out_len,
                                const char* default_char, int32_t* used_default);
int32_t get_cursor_pos(PwPoint* point);
int32_t screen_to_client(PwWindow window, PwPoint* point);
int32_t client_to_screen(PwWindow window, PwPoint* point);
int32_t set_cursor_pos(int32_t x, int32_t y);
PwWindow set_capture(PwWindow window);
int32_t release_capture();
int32_t show_cursor(int32_t show);
PwWindow set_focus(PwWindow window);
PwWindow set_active_window(PwWindow window);
int32_t get_system_metrics(int32_t index);
int32_t enum_display_settings(const char* device, uint32_t mode_num, PwDevMode* mode);
int32_t change_display_settings(const PwDevMode* mode, uint32_t flags);
int32_t get_device_caps(PwDc dc, int32_t index);
int32_t get_update_rect(PwWindow window, PwRect* rect, int32_t);
PwDc begin_paint(PwWindow window, PwPaintStruct* paint);
int32_t end_paint(PwWindow window, const PwPaintStruct*);
int32_t pat_blt(PwDc, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t rop);
PwDc get_dc(PwWindow window);
int32_t release_dc(PwWindow, PwDc dc);
int32_t choose_pixel_format(PwDc dc, const PwPixelFormatDescriptor* pfd);
int32_t describe_pixel_format(PwDc dc, int32_t format, uint32_t size, PwPixelFormatDescriptor* pfd);
int32_t set_pixel_format(PwDc dc, int32_t format, const PwPixelFormatDescriptor*);
int32_t swap_buffers(PwDc dc);
PwGlContext wgl_create_context(PwDc dc);
int32_t wgl_make_current(PwDc dc, PwGlContext context);
int32_t wgl_delete_context(PwGlContext context);
PwProc wgl_get_proc_address(const char* name);
const unsigned char* gl_get_string(uint32_t name);
void gl_viewport(int32_t x, int32_t y, int32_t width, int32_t height);
void gl_matrix_mode(uint32_t mode);
void gl_load_identity();
void gl_ortho(double left, double right, double bottom, double top, double z_near, double z_far);
uint32_t get_tick_count();
void sleep(uint32_t milliseconds);
uint32_t get_current_process_id();
PwInstance get_module_handle(const char* module_name);

}  // namespace scripted::detail
