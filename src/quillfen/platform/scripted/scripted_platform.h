#pragma once

// A scripted window system for tests. It follows Win32's split between messages sent straight to
// a window procedure (during CreateWindowEx, ShowWindow, SetWindowPos, DestroyWindow, SetFocus,
// UpdateWindow, SetCapture ...) and messages posted to the thread queue (input, WM_PAINT when the
// queue is otherwise empty, the motion a cursor warp causes), so toolkit tests mean the same on
// every backend. Never linked into programs.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform.h"

namespace scripted {

struct CallRecord {
  std::string name;    // the Win32 name of the operation, e.g. "SetCapture", or "send WM_SIZE"
  std::string detail;  // arguments worth asserting, formatted by the operation
};

// Resets the window system to its defaults and puts the scripted table in force; uninstall() puts
// the previous table back. Defaults: tick 1000, screen 1280x1024 at 32 bits and 60 Hz, no modes,
// one double-buffered RGBA format with 24 depth bits, cursor at (0, 0), no frame around clients.
void install();
void uninstall();
void reset();
const PlatformOps* ops();

// Clock.
void set_tick(uint32_t ms);
void advance(uint32_t ms);
uint32_t tick();

// Makes the named operation (its Win32 name, e.g. "SetCapture") fail on every call until cleared.
void fail(const std::string& operation, bool failing = true);

// Call log, in order.
const std::vector<CallRecord>& calls();
std::vector<std::string> call_names();
int count_calls(const std::string& name);
void clear_calls();

// Thread queue. post() stamps the current tick and cursor position.
void post(PwWindow window, uint32_t message, PwWParam wparam, PwLParam lparam);
void post_at(PwWindow window, uint32_t message, PwWParam wparam, PwLParam lparam, uint32_t time,
             PwPoint cursor);
size_t queued();
// Run when WaitMessage finds nothing to return; it should post input. Without one, or when it
// posts nothing, WaitMessage would block forever and the process stops with a message instead.
void on_wait(std::function<void()> handler);

// Input as the system posts it. Keyboard and button state change when the message is removed
// from the queue, as GetKeyboardState reports it.
void key_down(PwWindow window, uint32_t virtual_key, uint32_t scan_code, bool extended = false);
void key_up(PwWindow window, uint32_t virtual_key, uint32_t scan_code, bool extended = false);
void mouse_move(PwWindow window, int32_t client_x, int32_t client_y);  // also moves the cursor
void button_down(PwWindow window, int button);                         // 0 left, 1 middle, 2 right
void button_up(PwWindow window, int button);
void wheel(PwWindow window, int32_t delta);
// Sets a keyboard-state entry at once (PW_KEY_STATE_DOWN / PW_KEY_STATE_TOGGLED bits).
void set_key_state(uint32_t virtual_key, uint8_t bits);
// Scripts the characters of a key beyond the US layout: `ansi` for ToAscii (0 = none) and `unit`
// for ToUnicode (0 = none).
void map_character(uint32_t virtual_key, uint8_t ansi, char16_t unit);

// Windows.
bool is_window(PwWindow window);
std::string title(PwWindow window);
PwRect window_rect(PwWindow window);  // outer rectangle in screen coordinates
PwRect client_rect(PwWindow window);  // client rectangle in screen coordinates
bool visible(PwWindow window);
bool topmost(PwWindow window);
// Frame that captioned (PW_WS_CAPTION) windows put around their client area.
void set_frame(int32_t left, int32_t top, int32_t right, int32_t bottom);
void invalidate(PwWindow window, const PwRect* rect);  // null = the whole client area
PwRect update_rect(PwWindow window);
bool class_registered(const std::string& name);
size_t class_count();
size_t window_count();
PwWindow focus();
PwWindow active_window();
PwWindow capture();
int cursor_count();  // ShowCursor display count; the cursor shows while it is >= 0
PwPoint cursor();
void set_cursor(PwPoint point);  // moves the cursor without any message

// Display.
void set_screen(int32_t width, int32_t height, int32_t depth, int32_t refresh_hz);
void set_modes(const std::vector<PwDevMode>& modes);
void refuse_mode_switch(bool refuse);
PwDevMode current_mode();

// Pixel formats, numbered from 1 in list order; ChoosePixelFormat returns `chosen` (0 = fail).
void set_pixel_formats(const std::vector<PwPixelFormatDescriptor>& formats, int chosen);
int pixel_format(PwDc dc);  // the format set on dc, 0 = none

// GL.
void set_gl_string(uint32_t name, const char* value);  // null = glGetString returns null
void set_proc_address(const std::string& name, PwProc address);
void set_default_proc_address(PwProc address);  // for names not scripted; null by default
PwGlContext current_context();
int live_contexts();

}  // namespace scripted
