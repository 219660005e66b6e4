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

// Operation tables of each group, filled into the one PlatformOps.
void fill_window_ops(PlatformOps& ops);
void fill_input_ops(PlatformOps& ops);
void fill_display_ops(PlatformOps& ops);

}  // namespace scripted::detail
