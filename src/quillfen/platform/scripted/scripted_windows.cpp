// Window classes, windows, properties, the message queue and painting of the scripted backend.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "default_window_proc.h"
#include "scripted_state.h"
#include "system_messages.h"

namespace scripted::detail {
namespace {

constexpr uint32_t kSizeRestored = PW_SIZE_RESTORED;
constexpr uint32_t kSizeMinimized = PW_SIZE_MINIMIZED;
constexpr uint32_t kSizeMaximized = PW_SIZE_MAXIMIZED;

std::string hex(uintptr_t value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%#llx", static_cast<unsigned long long>(value));
  return buffer;
}

void send_size(uintptr_t id, uint32_t kind) {
  Window* w = find(id);
  PwRect client = client_size(*w);
  send(id, PW_WM_SIZE, kind, pw_make_lparam(client.right, client.bottom));
}

void send_move(uintptr_t id) {
  Window* w = find(id);
  PwPoint origin = client_origin(*w);
  send(id, PW_WM_MOVE, 0, pw_make_lparam(origin.x, origin.y));
}

void minimize(uintptr_t id) {
  Window* w = find(id);
  if (w->minimized) return;
  w->minimized = true;
  send(id, PW_WM_MOVE, 0, pw_make_lparam(-32000, -32000));
  send(id, PW_WM_SIZE, kSizeMinimized, 0);
  if (state().focus == id) move_focus(0);
}

void restore(uintptr_t id, bool maximize) {
  Window* w = find(id);
  w->minimized = false;
  if (maximize) {
    w->x = 0;
    w->y = 0;
    w->width = static_cast<int32_t>(state().desktop.pels_width);
    w->height = static_cast<int32_t>(state().desktop.pels_height);
  }
  send_size(id, maximize ? kSizeMaximized : kSizeRestored);
  send_move(id);
  if (find(id) == nullptr) return;
  invalidate_all(id);
  state().active = id;
  move_focus(id);
}

bool matches(const PwMsg& msg, PwWindow filter, uint32_t first, uint32_t last) {
  if (filter != nullptr && msg.window != filter) return false;
  if (first == 0 && last == 0) return true;
  return msg.message >= first && msg.message <= last;
}

bool anything_waiting() {
  State& s = state();
  if (!s.queue.empty()) return true;
  for (auto& [id, w] : s.windows)
    if (w.visible && !rect_empty(w.update)) return true;
  return false;
}

void validate(uintptr_t id) {
  if (Window* w = find(id)) w->update = PwRect{};
}

void destroy_by_id(uintptr_t id) {
  destroy_window(handle(id));
}

}  // namespace

Window* find(uintptr_t id) {
  auto it = state().windows.find(id);
  return it == state().windows.end() ? nullptr : &it->second;
}

Window* find(PwWindow window) {
  return find(id_of(window));
}

static bool framed(const Window& window) {
  return (window.style & PW_WS_CAPTION) == PW_WS_CAPTION || (window.style & PW_WS_THICKFRAME);
}

PwPoint client_origin(const Window& window) {
  if (window.minimized) return PwPoint{-32000, -32000};
  const PwRect& f = state().frame;
  return framed(window) ? PwPoint{window.x + f.left, window.y + f.top}
                        : PwPoint{window.x, window.y};
}

PwRect client_size(const Window& window) {
  if (window.minimized) return PwRect{};
  const PwRect& f = state().frame;
  int32_t width = window.width, height = window.height;
  if (framed(window)) {
    width -= f.left + f.right;
    height -= f.top + f.bottom;
  }
  return PwRect{0, 0, width > 0 ? width : 0, height > 0 ? height : 0};
}

PwResult send(uintptr_t id, uint32_t message, PwWParam wparam, PwLParam lparam) {
  Window* w = find(id);
  if (w == nullptr || w->proc == nullptr) return 0;
  log(("send " + message_name(message)).c_str());
  return w->proc(handle(id), message, wparam, lparam);
}

void move_focus(uintptr_t id) {
  emulation::move_focus(state().focus, id, send);
}

void invalidate_all(uintptr_t id) {
  if (Window* w = find(id)) w->update = client_size(*w);
}

uint16_t register_class(const PwWndClass* window_class) {
  log("RegisterClassA", window_class && window_class->class_name ? window_class->class_name : "");
  if (failing("RegisterClassA") || window_class == nullptr || window_class->class_name == nullptr)
    return 0;
  State& s = state();
  if (s.classes.count(window_class->class_name)) return 0;
  WindowClass& entry = s.classes[window_class->class_name];
  entry.record = *window_class;
  entry.name = window_class->class_name;
  entry.record.class_name = entry.name.c_str();
  entry.record.menu_name = nullptr;
  return static_cast<uint16_t>(0xC000 + s.classes.size());
}

int32_t unregister_class(const char* class_name, PwInstance) {
  log("UnregisterClassA", class_name ? class_name : "");
  if (failing("UnregisterClassA") || class_name == nullptr) return 0;
  State& s = state();
  for (auto& [id, w] : s.windows)
    if (w.class_name == class_name) return 0;  // still in use
  return s.classes.erase(class_name) ? 1 : 0;
}

PwWindow create_window_ex(uint32_t, const char* class_name, const char* title, uint32_t style,
                          int32_t x, int32_t y, int32_t width, int32_t height, PwWindow, void*,
                          PwInstance, void*) {
  log("CreateWindowExA", std::string(title ? title : "") + " style=" + hex(style) + " " +
                             std::to_string(x) + "," + std::to_string(y) + " " +
                             std::to_string(width) + "x" + std::to_string(height));
  State& s = state();
  if (failing("CreateWindowExA") || class_name == nullptr) return nullptr;
  auto cls = s.classes.find(class_name);
  if (cls == s.classes.end()) return nullptr;
  uintptr_t id = s.next_window;
  s.next_window += 0x10;
  Window& w = s.windows[id];
  w.class_name = class_name;
  w.proc = cls->second.record.window_proc;
  w.title = title ? title : "";
  w.style = style & ~PW_WS_VISIBLE;
  w.x = x;
  w.y = y;
  w.width = width;
  w.height = height;
  if (send(id, PW_WM_NCCREATE, 0, 0) == 0 || send(id, PW_WM_CREATE, 0, 0) == -1) {
    s.windows.erase(id);
    return nullptr;
  }
  send_size(id, kSizeRestored);
  send_move(id);
  if ((style & PW_WS_VISIBLE) && find(id)) show_window(handle(id), PW_SW_SHOW);
  return find(id) ? handle(id) : nullptr;
}

int32_t destroy_window(PwWindow window) {
  log("DestroyWindow");
  uintptr_t id = id_of(window);
  State& s = state();
  if (find(id) == nullptr || failing("DestroyWindow")) return 0;
  if (s.capture == id) {
    s.capture = 0;
    send(id, PW_WM_CAPTURECHANGED, 0, 0);
  }
  if (find(id) && find(id)->visible) find(id)->visible = false;  // hidden without WM_SHOWWINDOW
  if (s.focus == id) move_focus(0);
  if (s.active == id) s.active = 0;
  send(id, PW_WM_DESTROY, 0, 0);
  send(id, PW_WM_NCDESTROY, 0, 0);
  s.windows.erase(id);
  for (auto it = s.queue.begin(); it != s.queue.end();)
    it = id_of(it->window) == id ? s.queue.erase(it) : it + 1;
  return 1;
}

int32_t show_window(PwWindow window, int32_t command) {
  log("ShowWindow", std::to_string(command));
  uintptr_t id = id_of(window);
  Window* w = find(id);
  if (w == nullptr || failing("ShowWindow")) return 0;
  int32_t was_visible = w->visible ? 1 : 0;
  switch (command) {
    case PW_SW_HIDE:
      if (w->visible) {
        send(id, PW_WM_SHOWWINDOW, 0, 0);
        if ((w = find(id)) == nullptr) return was_visible;
        w->visible = false;
        if (state().focus == id) move_focus(0);
        if (state().active == id) state().active = 0;
      }
      break;
    case PW_SW_MINIMIZE:
    case PW_SW_SHOWMINIMIZED:
    case PW_SW_SHOWMINNOACTIVE:
      if (!w->visible) {
        send(id, PW_WM_SHOWWINDOW, 1, 0);
        if ((w = find(id)) == nullptr) return was_visible;
        w->visible = true;
      }
      minimize(id);
      break;
    default: {
      bool activate = command != PW_SW_SHOWNA && command != PW_SW_SHOWNOACTIVATE;
      if (!w->visible) {
        send(id, PW_WM_SHOWWINDOW, 1, 0);
        if ((w = find(id)) == nullptr) return was_visible;
        w->visible = true;
        invalidate_all(id);
      }
      if (w->minimized || command == PW_SW_SHOWMAXIMIZED) {
        restore(id, command == PW_SW_SHOWMAXIMIZED);
      } else if (activate) {
        state().active = id;
        move_focus(id);
      }
    }
  }
  return was_visible;
}

int32_t update_window(PwWindow window) {
  log("UpdateWindow");
  Window* w = find(window);
  if (w == nullptr || failing("UpdateWindow")) return 0;
  if (w->visible && !rect_empty(w->update)) send(id_of(window), PW_WM_PAINT, 0, 0);
  return 1;
}

int32_t set_window_pos(PwWindow window, intptr_t insert_after, int32_t x, int32_t y, int32_t width,
                       int32_t height, uint32_t flags) {
  log("SetWindowPos", "after=" + std::to_string(insert_after) + " " + std::to_string(x) + "," +
                          std::to_string(y) + " " + std::to_string(width) + "x" +
                          std::to_string(height) + " flags=" + hex(flags));
  uintptr_t id = id_of(window);
  Window* w = find(id);
  if (w == nullptr || failing("SetWindowPos")) return 0;
  bool moved = !(flags & PW_SWP_NOMOVE) && (x != w->x || y != w->y);
  bool resized = !(flags & PW_SWP_NOSIZE) && (width != w->width || height != w->height);
  bool grew = resized && (width > w->width || height > w->height);
  if (moved) {
    w->x = x;
    w->y = y;
  }
  if (resized) {
    w->width = width;
    w->height = height;
  }
  if (!(flags & PW_SWP_NOZORDER)) {
    if (insert_after == PW_HWND_TOPMOST) w->topmost = true;
    if (insert_after == PW_HWND_NOTOPMOST) w->topmost = false;
  }
  if (resized) send_size(id, kSizeRestored);
  if (moved && find(id)) send_move(id);
  if (grew && find(id) && find(id)->visible) invalidate_all(id);
  if (!(flags & PW_SWP_NOACTIVATE) && find(id) && find(id)->visible) {
    state().active = id;
    move_focus(id);
  }
  return 1;
}

int32_t get_client_rect(PwWindow window, PwRect* rect) {
  log("GetClientRect");
  Window* w = find(window);
  if (w == nullptr || rect == nullptr || failing("GetClientRect")) return 0;
  *rect = client_size(*w);
  return 1;
}

int32_t set_window_text(PwWindow window, const char* text) {
  log("SetWindowTextA", text ? text : "");
  Window* w = find(window);
  if (w == nullptr || failing("SetWindowTextA")) return 0;
  w->title = text ? text : "";
  send(id_of(window), PW_WM_SETTEXT, 0, 0);
  return 1;
}

int32_t set_prop(PwWindow window, const char* name, void* data) {
  log("SetPropA", name ? name : "");
  Window* w = find(window);
  if (w == nullptr || name == nullptr || failing("SetPropA")) return 0;
  return emulation::set_prop(w->props, name, data) ? 1 : 0;
}

void* get_prop(PwWindow window, const char* name) {
  log("GetPropA", name ? name : "");
  Window* w = find(window);
  if (w == nullptr || name == nullptr || failing("GetPropA")) return nullptr;
  return emulation::get_prop(w->props, name);
}

void* remove_prop(PwWindow window, const char* name) {
  log("RemovePropA", name ? name : "");
  Window* w = find(window);
  if (w == nullptr || name == nullptr || failing("RemovePropA")) return nullptr;
  return emulation::remove_prop(w->props, name);
}

int32_t peek_message(PwMsg* msg, PwWindow filter, uint32_t first, uint32_t last, uint32_t remove) {
  log("PeekMessageA");
  State& s = state();
  if (msg == nullptr || failing("PeekMessageA")) return 0;
  for (auto it = s.queue.begin(); it != s.queue.end(); ++it) {
    if (!matches(*it, filter, first, last)) continue;
    *msg = *it;
    if (remove & PW_PM_REMOVE) {
      s.queue.erase(it);
      apply_input_state(*msg);
    }
    return 1;
  }
  // Like Win32, WM_PAINT is made when nothing else waits and stays until the area is validated.
  for (auto& [id, w] : s.windows) {
    if (!w.visible || rect_empty(w.update)) continue;
    PwMsg paint{handle(id), PW_WM_PAINT, 0, 0, s.tick, s.cursor};
    if (!matches(paint, filter, first, last)) continue;
    *msg = paint;
    return 1;
  }
  return 0;
}

int32_t translate_message(const PwMsg* msg) {
  log("TranslateMessage");
  if (msg == nullptr) return 0;
  bool sys = msg->message == PW_WM_SYSKEYDOWN;
  if (msg->message != PW_WM_KEYDOWN && !sys) return 0;
  char16_t unit = 0;
  uint8_t ansi = 0;
  if (char_of(static_cast<uint32_t>(msg->wparam), state().keys, &unit, &ansi) == 1) {
    PwMsg character = *msg;
    character.message = sys ? PW_WM_SYSCHAR : PW_WM_CHAR;
    character.wparam = unit;
    state().queue.push_front(character);
  }
  return 1;
}

PwResult dispatch_message(const PwMsg* msg) {
  log("DispatchMessageA", msg ? message_name(msg->message) : "");
  if (msg == nullptr || find(msg->window) == nullptr) return 0;
  return send(id_of(msg->window), msg->message, msg->wparam, msg->lparam);
}

int32_t wait_message() {
  log("WaitMessage");
  if (failing("WaitMessage")) return 0;
  if (anything_waiting()) return 1;
  if (state().wait_handler) state().wait_handler();
  if (anything_waiting()) return 1;
  std::fprintf(stderr, "scripted: WaitMessage would block forever\n");
  std::abort();
}

PwResult def_window_proc(PwWindow window, uint32_t message, PwWParam wparam, PwLParam lparam) {
  log("DefWindowProcA", message_name(message));
  static constexpr emulation::DefaultActions kActions{validate, destroy_by_id, minimize, restore,
                                                      send};
  uintptr_t id = id_of(window);
  if (find(id) == nullptr) return 0;
  return emulation::default_window_proc(kActions, id, message, wparam, lparam);
}

int32_t get_update_rect(PwWindow window, PwRect* rect, int32_t) {
  log("GetUpdateRect");
  Window* w = find(window);
  if (w == nullptr || failing("GetUpdateRect")) return 0;
  return emulation::update_bounds(w->update, rect) ? 1 : 0;
}

PwDc begin_paint(PwWindow window, PwPaintStruct* paint) {
  log("BeginPaint");
  Window* w = find(window);
  if (w == nullptr || paint == nullptr || failing("BeginPaint")) return nullptr;
  *paint = PwPaintStruct{};
  paint->dc = window_dc(id_of(window));
  paint->paint = rect_empty(w->update) ? PwRect{} : w->update;
  validate(id_of(window));
  return paint->dc;
}

int32_t end_paint(PwWindow window, const PwPaintStruct*) {
  log("EndPaint");
  return find(window) != nullptr ? 1 : 0;
}

int32_t pat_blt(PwDc, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t rop) {
  log("PatBlt", std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(width) + "x" +
                    std::to_string(height) + " rop=" + hex(rop));
  return failing("PatBlt") ? 0 : 1;
}

PwWindow set_focus(PwWindow window) {
  log("SetFocus");
  State& s = state();
  if (failing("SetFocus") || (window != nullptr && find(window) == nullptr)) return nullptr;
  PwWindow previous = handle(s.focus);
  move_focus(id_of(window));
  return previous;
}

PwWindow set_active_window(PwWindow window) {
  log("SetActiveWindow");
  State& s = state();
  if (failing("SetActiveWindow") || (window != nullptr && find(window) == nullptr)) return nullptr;
  PwWindow previous = handle(s.active);
  s.active = id_of(window);
  return previous;
}

}  // namespace scripted::detail
