#include "win32_platform.h"

// <windows.h> first, with our settings, before <GL/gl.h> pulls it in.
#include "win32_include.h"

#include <GL/gl.h>

#include <algorithm>

#include "gl_passthrough.h"
#include "window_proc_trampoline.h"

// Thin pass-through: each operation converts our records and handles to the system's and back,
// and otherwise leaves arguments, results and failures exactly as Win32 gives them.

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 code units on Windows");
static_assert(sizeof(PwPixelFormatDescriptor) == sizeof(PIXELFORMATDESCRIPTOR));

namespace {

HWND hwnd(PwWindow window) {
  return reinterpret_cast<HWND>(window);
}
PwWindow pw(HWND window) {
  return reinterpret_cast<PwWindow>(window);
}
HDC hdc(PwDc dc) {
  return reinterpret_cast<HDC>(dc);
}
PwDc pw(HDC dc) {
  return reinterpret_cast<PwDc>(dc);
}
HGLRC hglrc(PwGlContext context) {
  return reinterpret_cast<HGLRC>(context);
}
HINSTANCE hinstance(PwInstance instance) {
  return reinterpret_cast<HINSTANCE>(instance);
}

MSG to_msg(const PwMsg& msg) {
  MSG out{};
  out.hwnd = hwnd(msg.window);
  out.message = msg.message;
  out.wParam = msg.wparam;
  out.lParam = msg.lparam;
  out.time = msg.time;
  out.pt = {msg.pt.x, msg.pt.y};
  return out;
}

PIXELFORMATDESCRIPTOR to_native(const PwPixelFormatDescriptor& in) {
  PIXELFORMATDESCRIPTOR out{};
  out.nSize = in.size;
  out.nVersion = in.version;
  out.dwFlags = in.flags;
  out.iPixelType = in.pixel_type;
  out.cColorBits = in.color_bits;
  out.cRedBits = in.red_bits;
  out.cRedShift = in.red_shift;
  out.cGreenBits = in.green_bits;
  out.cGreenShift = in.green_shift;
  out.cBlueBits = in.blue_bits;
  out.cBlueShift = in.blue_shift;
  out.cAlphaBits = in.alpha_bits;
  out.cAlphaShift = in.alpha_shift;
  out.cAccumBits = in.accum_bits;
  out.cAccumRedBits = in.accum_red_bits;
  out.cAccumGreenBits = in.accum_green_bits;
  out.cAccumBlueBits = in.accum_blue_bits;
  out.cAccumAlphaBits = in.accum_alpha_bits;
  out.cDepthBits = in.depth_bits;
  out.cStencilBits = in.stencil_bits;
  out.cAuxBuffers = in.aux_buffers;
  out.iLayerType = in.layer_type;
  out.bReserved = in.reserved;
  out.dwLayerMask = in.layer_mask;
  out.dwVisibleMask = in.visible_mask;
  out.dwDamageMask = in.damage_mask;
  return out;
}

PwPixelFormatDescriptor from_native(const PIXELFORMATDESCRIPTOR& in) {
  PwPixelFormatDescriptor out{};
  out.size = in.nSize;
  out.version = in.nVersion;
  out.flags = in.dwFlags;
  out.pixel_type = in.iPixelType;
  out.color_bits = in.cColorBits;
  out.red_bits = in.cRedBits;
  out.red_shift = in.cRedShift;
  out.green_bits = in.cGreenBits;
  out.green_shift = in.cGreenShift;
  out.blue_bits = in.cBlueBits;
  out.blue_shift = in.cBlueShift;
  out.alpha_bits = in.cAlphaBits;
  out.alpha_shift = in.cAlphaShift;
  out.accum_bits = in.cAccumBits;
  out.accum_red_bits = in.cAccumRedBits;
  out.accum_green_bits = in.cAccumGreenBits;
  out.accum_blue_bits = in.cAccumBlueBits;
  out.accum_alpha_bits = in.cAccumAlphaBits;
  out.depth_bits = in.cDepthBits;
  out.stencil_bits = in.cStencilBits;
  out.aux_buffers = in.cAuxBuffers;
  out.layer_type = in.iLayerType;
  out.reserved = in.bReserved;
  out.layer_mask = in.dwLayerMask;
  out.visible_mask = in.dwVisibleMask;
  out.damage_mask = in.dwDamageMask;
  return out;
}

// Windows.

uint16_t register_class(const PwWndClass* window_class) {
  WNDCLASSA native{};
  native.style = window_class->style;
  native.lpfnWndProc = window_proc_trampoline;
  native.cbClsExtra = window_class->class_extra;
  native.cbWndExtra = window_class->window_extra;
  native.hInstance = hinstance(window_class->instance);
  if (window_class->icon_id != 0) {
    native.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(window_class->icon_id));
  }
  if (window_class->cursor_id != 0) {
    native.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(window_class->cursor_id));
  }
  // Stock object 0 is the white brush, but 0 means no background here.
  if (window_class->background_stock != 0) {
    native.hbrBackground =
        static_cast<HBRUSH>(GetStockObject(static_cast<int>(window_class->background_stock)));
  }
  native.lpszMenuName = window_class->menu_name;
  native.lpszClassName = window_class->class_name;
  const ATOM atom = RegisterClassA(&native);
  if (atom == 0) return 0;
  if (!remember_class_proc(atom, window_class->window_proc)) {
    // A class whose messages could not reach its procedure is no use to anyone.
    UnregisterClassA(MAKEINTATOM(atom), native.hInstance);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  return atom;
}

int32_t unregister_class(const char* class_name, PwInstance instance) {
  WNDCLASSEXA info{};
  info.cbSize = sizeof(info);
  // GetClassInfoExA answers with the class atom.
  const auto atom = static_cast<ATOM>(GetClassInfoExA(hinstance(instance), class_name, &info));
  const BOOL done = UnregisterClassA(class_name, hinstance(instance));
  if (done && atom != 0) forget_class_proc(atom);
  return done;
}

PwWindow create_window_ex(uint32_t ex_style, const char* class_name, const char* title,
                          uint32_t style, int32_t x, int32_t y, int32_t width, int32_t height,
                          PwWindow parent, void* menu, PwInstance instance, void* param) {
  return pw(CreateWindowExA(ex_style, class_name, title, style, x, y, width, height, hwnd(parent),
                            static_cast<HMENU>(menu), hinstance(instance), param));
}

int32_t destroy_window(PwWindow window) {
  return DestroyWindow(hwnd(window));
}
int32_t show_window(PwWindow window, int32_t command) {
  return ShowWindow(hwnd(window), command);
}
int32_t update_window(PwWindow window) {
  return UpdateWindow(hwnd(window));
}

int32_t set_window_pos(PwWindow window, intptr_t insert_after, int32_t x, int32_t y, int32_t width,
                       int32_t height, uint32_t flags) {
  return SetWindowPos(hwnd(window), reinterpret_cast<HWND>(insert_after), x, y, width, height,
                      flags);
}

int32_t get_client_rect(PwWindow window, PwRect* rect) {
  RECT native{};
  const BOOL done = GetClientRect(hwnd(window), &native);
  if (done) *rect = {native.left, native.top, native.right, native.bottom};
  return done;
}

int32_t set_window_text(PwWindow window, const char* text) {
  return SetWindowTextA(hwnd(window), text);
}

// Window properties.

int32_t set_prop(PwWindow window, const char* name, void* data) {
  return SetPropA(hwnd(window), name, data);
}
void* get_prop(PwWindow window, const char* name) {
  return GetPropA(hwnd(window), name);
}
void* remove_prop(PwWindow window, const char* name) {
  return RemovePropA(hwnd(window), name);
}

// Messages.

int32_t peek_message(PwMsg* msg, PwWindow filter, uint32_t first, uint32_t last, uint32_t remove) {
  MSG native{};
  const BOOL found = PeekMessageA(&native, hwnd(filter), first, last, remove);
  if (found) {
    *msg = {pw(native.hwnd), native.message, native.wParam,
            native.lParam,   native.time,    {native.pt.x, native.pt.y}};
  }
  return found;
}

int32_t translate_message(const PwMsg* msg) {
  const MSG native = to_msg(*msg);
  return TranslateMessage(&native);
}

PwResult dispatch_message(const PwMsg* msg) {
  const MSG native = to_msg(*msg);
  return DispatchMessageA(&native);
}

int32_t wait_message() {
  return WaitMessage();
}

PwResult def_window_proc(PwWindow window, uint32_t message, PwWParam wparam, PwLParam lparam) {
  return DefWindowProcA(hwnd(window), message, wparam, lparam);
}

// Keyboard.

int32_t get_keyboard_state(uint8_t state[256]) {
  return GetKeyboardState(state);
}

int32_t to_ascii(uint32_t virtual_key, uint32_t scan_code, const uint8_t state[256],
                 uint16_t* chars, uint32_t flags) {
  return ToAscii(virtual_key, scan_code, state, chars, flags);
}

int32_t to_unicode(uint32_t virtual_key, uint32_t scan_code, const uint8_t state[256],
                   char16_t* buffer, int32_t buffer_len, uint32_t flags) {
  return ToUnicode(virtual_key, scan_code, state, reinterpret_cast<wchar_t*>(buffer), buffer_len,
                   flags);
}

int32_t wide_char_to_multi_byte(uint32_t code_page, uint32_t flags, const char16_t* wide,
                                int32_t wide_len, char* out, int32_t out_len,
                                const char* default_char, int32_t* used_default) {
  BOOL used = FALSE;
  const int written =
      WideCharToMultiByte(code_page, flags, reinterpret_cast<const wchar_t*>(wide), wide_len, out,
                          out_len, default_char, used_default != nullptr ? &used : nullptr);
  if (used_default != nullptr) *used_default = used;
  return written;
}

// Pointer.

int32_t get_cursor_pos(PwPoint* point) {
  POINT native{};
  const BOOL done = GetCursorPos(&native);
  if (done) *point = {native.x, native.y};
  return done;
}

int32_t screen_to_client(PwWindow window, PwPoint* point) {
  POINT native{point->x, point->y};
  const BOOL done = ScreenToClient(hwnd(window), &native);
  if (done) *point = {native.x, native.y};
  return done;
}

int32_t client_to_screen(PwWindow window, PwPoint* point) {
  POINT native{point->x, point->y};
  const BOOL done = ClientToScreen(hwnd(window), &native);
  if (done) *point = {native.x, native.y};
  return done;
}

int32_t set_cursor_pos(int32_t x, int32_t y) {
  return SetCursorPos(x, y);
}
PwWindow set_capture(PwWindow window) {
  return pw(SetCapture(hwnd(window)));
}
int32_t release_capture() {
  return ReleaseCapture();
}
int32_t show_cursor(int32_t show) {
  return ShowCursor(show);
}

// Focus.

PwWindow set_focus(PwWindow window) {
  return pw(SetFocus(hwnd(window)));
}
PwWindow set_active_window(PwWindow window) {
  return pw(SetActiveWindow(hwnd(window)));
}

// Display.

int32_t get_system_metrics(int32_t index) {
  return GetSystemMetrics(index);
}

int32_t enum_display_settings(const char* device, uint32_t mode_num, PwDevMode* mode) {
  DEVMODEA native{};
  native.dmSize = sizeof(native);
  const BOOL found = EnumDisplaySettingsA(device, mode_num, &native);
  if (found) {
    mode->fields = native.dmFields;
    mode->bits_per_pel = native.dmBitsPerPel;
    mode->pels_width = native.dmPelsWidth;
    mode->pels_height = native.dmPelsHeight;
    mode->display_frequency = native.dmDisplayFrequency;
  }
  return found;
}

int32_t change_display_settings(const PwDevMode* mode, uint32_t flags) {
  if (mode == nullptr) return ChangeDisplaySettingsA(nullptr, flags);
  DEVMODEA native{};
  native.dmSize = sizeof(native);
  native.dmFields = mode->fields;
  native.dmBitsPerPel = mode->bits_per_pel;
  native.dmPelsWidth = mode->pels_width;
  native.dmPelsHeight = mode->pels_height;
  native.dmDisplayFrequency = mode->display_frequency;
  return ChangeDisplaySettingsA(&native, flags);
}

int32_t get_device_caps(PwDc dc, int32_t index) {
  return GetDeviceCaps(hdc(dc), index);
}

// Painting.

int32_t get_update_rect(PwWindow window, PwRect* rect, int32_t erase) {
  RECT native{};
  const BOOL any = GetUpdateRect(hwnd(window), rect != nullptr ? &native : nullptr, erase);
  if (rect != nullptr) *rect = {native.left, native.top, native.right, native.bottom};
  return any;
}

PwDc begin_paint(PwWindow window, PwPaintStruct* paint) {
  PAINTSTRUCT native{};
  const HDC dc = BeginPaint(hwnd(window), &native);
  const RECT& r = native.rcPaint;
  *paint = {pw(native.hdc), native.fErase, {r.left, r.top, r.right, r.bottom}, 0};
  return pw(dc);
}

int32_t end_paint(PwWindow window, const PwPaintStruct* paint) {
  // EndPaint needs the device context back; the other fields are the system's own bookkeeping.
  PAINTSTRUCT native{};
  native.hdc = hdc(paint->dc);
  native.fErase = paint->erase;
  native.rcPaint = {paint->paint.left, paint->paint.top, paint->paint.right, paint->paint.bottom};
  return EndPaint(hwnd(window), &native);
}

int32_t pat_blt(PwDc dc, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t rop) {
  return PatBlt(hdc(dc), x, y, width, height, rop);
}

// Device contexts and pixel formats.

PwDc get_dc(PwWindow window) {
  return pw(GetDC(hwnd(window)));
}
int32_t release_dc(PwWindow window, PwDc dc) {
  return ReleaseDC(hwnd(window), hdc(dc));
}

int32_t choose_pixel_format(PwDc dc, const PwPixelFormatDescriptor* pfd) {
  const PIXELFORMATDESCRIPTOR native = to_native(*pfd);
  return ChoosePixelFormat(hdc(dc), &native);
}

int32_t describe_pixel_format(PwDc dc, int32_t format, uint32_t size,
                              PwPixelFormatDescriptor* pfd) {
  PIXELFORMATDESCRIPTOR native{};
  // The system writes `size` bytes, into our own record, never more than it holds.
  const UINT bytes = pfd != nullptr ? std::min<UINT>(size, sizeof(native)) : 0;
  const int highest =
      DescribePixelFormat(hdc(dc), format, bytes, pfd != nullptr ? &native : nullptr);
  if (highest != 0 && pfd != nullptr) *pfd = from_native(native);
  return highest;
}

int32_t set_pixel_format(PwDc dc, int32_t format, const PwPixelFormatDescriptor* pfd) {
  if (pfd == nullptr) return SetPixelFormat(hdc(dc), format, nullptr);
  const PIXELFORMATDESCRIPTOR native = to_native(*pfd);
  return SetPixelFormat(hdc(dc), format, &native);
}

int32_t swap_buffers(PwDc dc) {
  return SwapBuffers(hdc(dc));
}

// GL contexts.

PwGlContext wgl_create_context(PwDc dc) {
  return reinterpret_cast<PwGlContext>(wglCreateContext(hdc(dc)));
}
int32_t wgl_make_current(PwDc dc, PwGlContext context) {
  return wglMakeCurrent(hdc(dc), hglrc(context));
}
int32_t wgl_delete_context(PwGlContext context) {
  return wglDeleteContext(hglrc(context));
}
PwProc wgl_get_proc_address(const char* name) {
  return reinterpret_cast<PwProc>(wglGetProcAddress(name));
}

// Kernel.

uint32_t get_tick_count() {
  return GetTickCount();
}
void sleep(uint32_t milliseconds) {
  Sleep(milliseconds);
}
uint32_t get_current_process_id() {
  return GetCurrentProcessId();
}
PwInstance get_module_handle(const char* module_name) {
  return reinterpret_cast<PwInstance>(GetModuleHandleA(module_name));
}

const PlatformOps kWin32Ops = {
    .name = "win32",
    .register_class = register_class,
    .unregister_class = unregister_class,
    .create_window_ex = create_window_ex,
    .destroy_window = destroy_window,
    .show_window = show_window,
    .update_window = update_window,
    .set_window_pos = set_window_pos,
    .get_client_rect = get_client_rect,
    .set_window_text = set_window_text,
    .set_prop = set_prop,
    .get_prop = get_prop,
    .remove_prop = remove_prop,
    .peek_message = peek_message,
    .translate_message = translate_message,
    .dispatch_message = dispatch_message,
    .wait_message = wait_message,
    .def_window_proc = def_window_proc,
    .get_keyboard_state = get_keyboard_state,
    .to_ascii = to_ascii,
    .to_unicode = to_unicode,
    .wide_char_to_multi_byte = wide_char_to_multi_byte,
    .get_cursor_pos = get_cursor_pos,
    .screen_to_client = screen_to_client,
    .client_to_screen = client_to_screen,
    .set_cursor_pos = set_cursor_pos,
    .set_capture = set_capture,
    .release_capture = release_capture,
    .show_cursor = show_cursor,
    .set_focus = set_focus,
    .set_active_window = set_active_window,
    .get_system_metrics = get_system_metrics,
    .enum_display_settings = enum_display_settings,
    .change_display_settings = change_display_settings,
    .get_device_caps = get_device_caps,
    .get_update_rect = get_update_rect,
    .begin_paint = begin_paint,
    .end_paint = end_paint,
    .pat_blt = pat_blt,
    .get_dc = get_dc,
    .release_dc = release_dc,
    .choose_pixel_format = choose_pixel_format,
    .describe_pixel_format = describe_pixel_format,
    .set_pixel_format = set_pixel_format,
    .swap_buffers = swap_buffers,
    .wgl_create_context = wgl_create_context,
    .wgl_make_current = wgl_make_current,
    .wgl_delete_context = wgl_delete_context,
    .wgl_get_proc_address = wgl_get_proc_address,
    .gl_get_string = gl_passthrough::get_string,
    .gl_viewport = gl_passthrough::viewport,
    .gl_matrix_mode = gl_passthrough::matrix_mode,
    .gl_load_identity = gl_passthrough::load_identity,
    .gl_ortho = gl_passthrough::ortho,
    .get_tick_count = get_tick_count,
    .sleep = sleep,
    .get_current_process_id = get_current_process_id,
    .get_module_handle = get_module_handle,
};

}  // namespace

const PlatformOps* win32_platform() {
  return &kWin32Ops;
}
