#pragma once

// The x11 backend's state, shared by its operation files: one display connection, our own window
// records (the X window is the client area; there is no frame of our own), the thread's message
// queue and the keyboard state as of the last message removed from it.

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "handles.h"
#include "platform.h"
#include "update_region.h"
#include "window_props.h"

namespace x11 {

struct WindowClass {
  PwWndClass record{};
  std::string name;
  uint16_t atom = 0;
};

struct Window {
  uintptr_t id = 0;
  ::Window xid = 0;
  ::Window gl_child = 0;  // the GL drawable, made with the visual of the pixel format
  Colormap gl_colormap = 0;
  std::string class_name;
  PwWndProc proc = nullptr;
  uint32_t cursor_id = 0;
  std::string title;
  uint32_t style = 0;
  int32_t x = 0, y = 0;  // client origin on the screen
  int32_t width = 0, height = 0;
  bool visible = false;     // shown as far as the window procedure knows
  bool minimized = false;   // iconic
  bool mapped = false;      // as the server last told us
  int expected_unmaps = 0;  // unmaps we asked for ourselves, not iconification
  emulation::PropList props;
  PwRect update{};  // empty when left >= right or top >= bottom
  int pixel_format = 0;
};

// A posted message, with the lock-key state that goes with it into the keyboard state.
struct Queued {
  PwMsg msg{};
  bool has_locks = false;
  uint8_t locks = 0;  // bit 0 Caps Lock, bit 1 Num Lock, bit 2 Scroll Lock
};

// A message the system sends straight to a window procedure, held until the thread next looks at
// its queue (window-manager changes reported by the server).
struct Sent {
  uintptr_t id;
  uint32_t message;
  PwWParam wparam;
  PwLParam lparam;
};

struct State {
  Display* display = nullptr;
  int screen = 0;
  ::Window root = 0;
  int randr_event_base = -1;
  unsigned int numlock_mask = 0;
  Atom wm_protocols = 0, wm_delete_window = 0, motif_wm_hints = 0, net_wm_name = 0, net_wm_pid = 0,
       utf8_string = 0;
  int last_error = 0;  // error code of the last X error, 0 when none since it was cleared

  std::map<std::string, WindowClass> classes;
  uint16_t next_atom = 0xC000;
  std::map<uintptr_t, std::unique_ptr<Window>> windows;
  std::map<::Window, uintptr_t> by_xid;
  uintptr_t next_window = 0x10010;
  uintptr_t focus = 0, active = 0, capture = 0;

  std::deque<Queued> queue;
  std::deque<Sent> sent;
  uint8_t keys[256] = {};
  bool keycode_down[256] = {};  // as the server reported them, for the repeat flag
  bool scroll_lock = false;
  PwPoint pointer{};  // last pointer position the server reported, screen coordinates

  int cursor_count = 0;
  Cursor blank_cursor = 0;
  Cursor arrow_cursor = 0;

  bool registry_saved = false;  // the mode a restore returns to has been recorded
  PwDevMode registry{};

  uintptr_t current_context = 0;
  uintptr_t current_dc = 0;
};

State& state();

// The connection, opened on first use; null when there is no X display to talk to.
Display* display();

// Runs queued X requests and reports whether any of them failed.
bool sync_ok();

using emulation::dc_id;
using emulation::handle;
using emulation::id_of;
using emulation::kScreenDc;
using emulation::rect_empty;
using emulation::window_dc;

Window* find(uintptr_t id);
Window* find(PwWindow window);
Window* find_xid(::Window xid);
Window* window_of_dc(PwDc dc);  // null for the screen's device context and unknown ones
bool known_dc(PwDc dc);
void invalidate_all(Window& window);
void add_update(Window& window, const PwRect& rect);

// Calls the window procedure at once, as SendMessage does.
PwResult send(uintptr_t id, uint32_t message, PwWParam wparam, PwLParam lparam);
void post(const Queued& queued);
void move_focus(uintptr_t id);  // WM_KILLFOCUS to the old owner, WM_SETFOCUS to the new
uint32_t tick_now();

// Reads every X event that has arrived, turning it into posted or held messages.
void drain_events();
// Delivers the messages held by drain_events to their window procedures.
void deliver_sent();
void forget_window_messages(uintptr_t id);

// Keyboard: the virtual key, scan code and extended flag of a keycode, and the keyboard-state
// update when a message leaves the queue.
uint32_t virtual_key(unsigned int keycode, bool numlock);
// The two tables behind virtual_key: the virtual key of a keysym (0 = none), and the US layout's
// virtual key of a set-1 scan code, for keysyms without one of their own (0 = none).
uint32_t vk_of_keysym(KeySym sym);
uint32_t us_virtual_key(uint32_t scan);
uint32_t scan_code(unsigned int keycode, bool* extended);
void apply_input_state(const Queued& queued);
uint8_t lock_bits(unsigned int x_state);
// The keycode of a virtual key and scan code, and the X modifiers of a keyboard-state buffer.
unsigned int keycode_for(uint32_t vk, uint32_t scan, const uint8_t keys[256]);
unsigned int modifier_state(const uint8_t keys[256]);
// The UTF-16 units a key produces with the given keyboard state; the count, 0 for none.
int key_characters(uint32_t vk, uint32_t scan, const uint8_t keys[256], char16_t* out, int out_len);

// Window state changes with the messages Win32 sends for them.
void wait_mapped(Display* d, Window& window);
void take_focus(Window& window);
void minimize_window(Window& window);
void restore_window(Window& window);

// Resizes the GL drawable with its window.
void fit_gl_child(Window& window);
void destroy_gl_child(Window& window);

// Cursor of a window for the current show count.
void apply_cursor(Window& window);

// Mode bookkeeping once the screen configuration changed.
void screen_changed(XEvent& event);

// The operations of the backend's table, one per PlatformOps entry (platform.h), in its order;
// the table itself is filled in one place, x11_connection.cpp.
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
int32_t to_ascii(uint32_t vk, uint32_t scan, const uint8_t keys[256], uint16_t* chars, uint32_t);
int32_t to_unicode(uint32_t vk, uint32_t scan, const uint8_t keys[256], char16_t* buffer,
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
int32_t pat_blt(PwDc dc, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t rop);
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
uint32_t get_tick_count();
void sleep_ms(uint32_t milliseconds);
uint32_t get_current_process_id();
PwInstance get_module_handle(const char* module_name);

}  // namespace x11
