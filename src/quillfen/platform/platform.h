#pragma once

// The one door from the toolkit to the window system: a table of operations with Win32 names,
// arguments and results (user32, gdi32, opengl32/WGL, kernel32). The build's native backend is
// in force by default; tests install the `scripted` backend. Every record and handle here is
// our own, so this header never needs <windows.h>.

#include <cstddef>
#include <cstdint>

#include "platform_defs.h"

// Opaque handles. Backends cast their own handles to and from these.
using PwWindow = struct PwWindowTag*;        // HWND
using PwDc = struct PwDcTag*;                // HDC
using PwGlContext = struct PwGlContextTag*;  // HGLRC
using PwInstance = struct PwInstanceTag*;    // HINSTANCE

using PwWParam = uintptr_t;  // WPARAM
using PwLParam = intptr_t;   // LPARAM
using PwResult = intptr_t;   // LRESULT

// The window procedure the toolkit registers; the win32 backend wraps it in a real WNDPROC.
using PwWndProc = PwResult (*)(PwWindow window, uint32_t message, PwWParam wparam, PwLParam lparam);

// An address returned by wglGetProcAddress.
using PwProc = void (*)();

struct PwPoint {
  int32_t x;
  int32_t y;
};

struct PwRect {
  int32_t left;
  int32_t top;
  int32_t right;   // exclusive
  int32_t bottom;  // exclusive
};

// One message of the thread queue (MSG).
struct PwMsg {
  PwWindow window;
  uint32_t message;
  PwWParam wparam;
  PwLParam lparam;
  uint32_t time;  // tick count when posted
  PwPoint pt;     // cursor position in screen coordinates when posted
};

// WNDCLASSA. Icon, cursor and background name system resources (PW_IDI_*, PW_IDC_*, the stock
// object PW_*_BRUSH); the backend loads them. 0 means none.
struct PwWndClass {
  uint32_t style;
  PwWndProc window_proc;
  int32_t class_extra;
  int32_t window_extra;
  PwInstance instance;
  uint32_t icon_id;
  uint32_t cursor_id;
  uint32_t background_stock;
  const char* menu_name;
  const char* class_name;
};

// The display-settings fields of DEVMODEA that the toolkit reads and writes. `size` is set by the
// caller to sizeof(PwDevMode); backends translate to their own record.
struct PwDevMode {
  uint32_t size;
  uint32_t fields;  // PW_DM_* bits
  uint32_t bits_per_pel;
  uint32_t pels_width;
  uint32_t pels_height;
  uint32_t display_frequency;
};

// PIXELFORMATDESCRIPTOR, field for field (40 bytes).
struct PwPixelFormatDescriptor {
  uint16_t size;
  uint16_t version;
  uint32_t flags;  // PW_PFD_* bits
  uint8_t pixel_type;
  uint8_t color_bits;
  uint8_t red_bits;
  uint8_t red_shift;
  uint8_t green_bits;
  uint8_t green_shift;
  uint8_t blue_bits;
  uint8_t blue_shift;
  uint8_t alpha_bits;
  uint8_t alpha_shift;
  uint8_t accum_bits;
  uint8_t accum_red_bits;
  uint8_t accum_green_bits;
  uint8_t accum_blue_bits;
  uint8_t accum_alpha_bits;
  uint8_t depth_bits;
  uint8_t stencil_bits;
  uint8_t aux_buffers;
  uint8_t layer_type;
  uint8_t reserved;
  uint32_t layer_mask;
  uint32_t visible_mask;
  uint32_t damage_mask;
};
static_assert(sizeof(PwPixelFormatDescriptor) == 40, "matches PIXELFORMATDESCRIPTOR");

// PAINTSTRUCT, the fields the toolkit uses plus room for the backend's own state.
struct PwPaintStruct {
  PwDc dc;
  int32_t erase;
  PwRect paint;
  uintptr_t backend_state;
};

// The operations, one per Win32 call, with the same arguments and results (BOOL as int32_t:
// non-zero on success). Window-state messages that Win32 sends synchronously reach the registered
// window procedure before the causing call returns, on every backend.
struct PlatformOps {
  const char* name;

  // Windows.
  uint16_t (*register_class)(const PwWndClass* window_class);  // RegisterClassA: atom, 0 = failed
  int32_t (*unregister_class)(const char* class_name, PwInstance instance);
  PwWindow (*create_window_ex)(uint32_t ex_style, const char* class_name, const char* title,
                               uint32_t style, int32_t x, int32_t y, int32_t width, int32_t height,
                               PwWindow parent, void* menu, PwInstance instance, void* param);
  int32_t (*destroy_window)(PwWindow window);
  int32_t (*show_window)(PwWindow window, int32_t command);  // previous visibility
  int32_t (*update_window)(PwWindow window);
  // insert_after: a window cast to intptr_t, or PW_HWND_TOP/BOTTOM/TOPMOST/NOTOPMOST.
  int32_t (*set_window_pos)(PwWindow window, intptr_t insert_after, int32_t x, int32_t y,
                            int32_t width, int32_t height, uint32_t flags);
  int32_t (*get_client_rect)(PwWindow window, PwRect* rect);
  int32_t (*set_window_text)(PwWindow window, const char* text);

  // Window properties.
  int32_t (*set_prop)(PwWindow window, const char* name, void* data);
  void* (*get_prop)(PwWindow window, const char* name);
  void* (*remove_prop)(PwWindow window, const char* name);

  // Messages.
  int32_t (*peek_message)(PwMsg* msg, PwWindow filter, uint32_t first, uint32_t last,
                          uint32_t remove);
  int32_t (*translate_message)(const PwMsg* msg);
  PwResult (*dispatch_message)(const PwMsg* msg);
  int32_t (*wait_message)();
  PwResult (*def_window_proc)(PwWindow window, uint32_t message, PwWParam wparam, PwLParam lparam);

  // Keyboard.
  int32_t (*get_keyboard_state)(uint8_t state[256]);
  int32_t (*to_ascii)(uint32_t virtual_key, uint32_t scan_code, const uint8_t state[256],
                      uint16_t* chars, uint32_t flags);
  int32_t (*to_unicode)(uint32_t virtual_key, uint32_t scan_code, const uint8_t state[256],
                        char16_t* buffer, int32_t buffer_len, uint32_t flags);
  int32_t (*wide_char_to_multi_byte)(uint32_t code_page, uint32_t flags, const char16_t* wide,
                                     int32_t wide_len, char* out, int32_t out_len,
                                     const char* default_char, int32_t* used_default);

  // Pointer.
  int32_t (*get_cursor_pos)(PwPoint* point);
  int32_t (*screen_to_client)(PwWindow window, PwPoint* point);
  int32_t (*client_to_screen)(PwWindow window, PwPoint* point);
  int32_t (*set_cursor_pos)(int32_t x, int32_t y);
  PwWindow (*set_capture)(PwWindow window);  // previous capture owner
  int32_t (*release_capture)();
  int32_t (*show_cursor)(int32_t show);  // new display count

  // Focus.
  PwWindow (*set_focus)(PwWindow window);          // previous focus owner
  PwWindow (*set_active_window)(PwWindow window);  // previous active window

  // Display.
  int32_t (*get_system_metrics)(int32_t index);
  // device null = the current display device; mode_num counts from 0 or is PW_ENUM_*_SETTINGS.
  int32_t (*enum_display_settings)(const char* device, uint32_t mode_num, PwDevMode* mode);
  // mode null with flags 0 restores the registry settings. Returns PW_DISP_CHANGE_*.
  int32_t (*change_display_settings)(const PwDevMode* mode, uint32_t flags);
  int32_t (*get_device_caps)(PwDc dc, int32_t index);

  // Painting.
  int32_t (*get_update_rect)(PwWindow window, PwRect* rect, int32_t erase);  // non-zero if any
  PwDc (*begin_paint)(PwWindow window, PwPaintStruct* paint);
  int32_t (*end_paint)(PwWindow window, const PwPaintStruct* paint);
  int32_t (*pat_blt)(PwDc dc, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t rop);

  // Device contexts and pixel formats. get_dc(null) is the screen's device context, released with
  // release_dc(null, dc).
  PwDc (*get_dc)(PwWindow window);
  int32_t (*release_dc)(PwWindow window, PwDc dc);
  int32_t (*choose_pixel_format)(PwDc dc, const PwPixelFormatDescriptor* pfd);  // 0 = failed
  // Returns the highest format number, 0 on failure.
  int32_t (*describe_pixel_format)(PwDc dc, int32_t format, uint32_t size,
                                   PwPixelFormatDescriptor* pfd);
  int32_t (*set_pixel_format)(PwDc dc, int32_t format, const PwPixelFormatDescriptor* pfd);
  int32_t (*swap_buffers)(PwDc dc);

  // GL contexts.
  PwGlContext (*wgl_create_context)(PwDc dc);
  int32_t (*wgl_make_current)(PwDc dc, PwGlContext context);
  int32_t (*wgl_delete_context)(PwGlContext context);
  PwProc (*wgl_get_proc_address)(const char* name);

  // GL calls made by initialisation and the loader, on the current context.
  const unsigned char* (*gl_get_string)(uint32_t name);  // PW_GL_VENDOR ... PW_GL_EXTENSIONS
  void (*gl_viewport)(int32_t x, int32_t y, int32_t width, int32_t height);
  void (*gl_matrix_mode)(uint32_t mode);
  void (*gl_load_identity)();
  void (*gl_ortho)(double left, double right, double bottom, double top, double z_near,
                   double z_far);

  // Kernel.
  uint32_t (*get_tick_count)();
  void (*sleep)(uint32_t milliseconds);
  uint32_t (*get_current_process_id)();
  PwInstance (*get_module_handle)(const char* module_name);  // null = the running module
};

// The table in force: the installed one, else the build's native backend.
const PlatformOps& platform();

// False only in a build without a native backend while no table is installed: there is no
// window system, and platform() must not be called.
bool platform_available();

// Puts `ops` in force (null = back to the native backend); returns the table that was in force.
const PlatformOps* install_platform(const PlatformOps* ops);

// The build's native backend (win32 or x11); null when the build has none.
const PlatformOps* native_platform();

// Key-message and mouse-message parameter helpers.
constexpr PwLParam pw_key_lparam(uint32_t scan_code, bool extended, bool previous_down,
                                 bool releasing, uint32_t repeat = 1) {
  uint32_t bits =
      (repeat & PW_KEY_REPEAT_MASK) | ((scan_code & PW_KEY_SCAN_MASK) << PW_KEY_SCAN_SHIFT) |
      (extended ? PW_KEY_EXTENDED_BIT : 0u) | (previous_down ? PW_KEY_PREVIOUS_BIT : 0u) |
      (releasing ? PW_KEY_TRANSITION_BIT : 0u);
  return static_cast<PwLParam>(bits);
}
constexpr uint32_t pw_key_scan_code(PwLParam lparam) {
  return (static_cast<uint32_t>(lparam) >> PW_KEY_SCAN_SHIFT) & PW_KEY_SCAN_MASK;
}
constexpr bool pw_key_extended(PwLParam lparam) {
  return (static_cast<uint32_t>(lparam) & PW_KEY_EXTENDED_BIT) != 0;
}
constexpr bool pw_key_previous_down(PwLParam lparam) {
  return (static_cast<uint32_t>(lparam) & PW_KEY_PREVIOUS_BIT) != 0;
}
// MAKELPARAM / MAKEWPARAM of two 16-bit words.
constexpr PwLParam pw_make_lparam(int32_t low, int32_t high) {
  return static_cast<PwLParam>((static_cast<uint32_t>(low) & 0xFFFFu) |
                               ((static_cast<uint32_t>(high) & 0xFFFFu) << 16));
}
constexpr PwWParam pw_make_wparam(int32_t low, int32_t high) {
  return static_cast<PwWParam>((static_cast<uint32_t>(low) & 0xFFFFu) |
                               ((static_cast<uint32_t>(high) & 0xFFFFu) << 16));
}
// Signed and unsigned words of a parameter (GET_X_LPARAM, LOWORD and friends).
constexpr int32_t pw_signed_low(uintptr_t value) {
  return static_cast<int16_t>(static_cast<uint16_t>(value & 0xFFFFu));
}
constexpr int32_t pw_signed_high(uintptr_t value) {
  return static_cast<int16_t>(static_cast<uint16_t>((value >> 16) & 0xFFFFu));
}
constexpr uint32_t pw_low_word(uintptr_t value) {
  return static_cast<uint32_t>(value & 0xFFFFu);
}
constexpr uint32_t pw_high_word(uintptr_t value) {
  return static_cast<uint32_t>((value >> 16) & 0xFFFFu);
}
