#include "pump.h"

#include <cstdio>
#include <cstring>

#include "event_queue.h"
#include "translate.h"

void pump_messages(ToolkitWindow* window) {
  const PlatformOps& p = platform();
  PwMsg msg{};
  // The system makes a paint message only when nothing else waits, and makes it again until the
  // area is validated. A window painted twice in one pump could not be validated (GetUpdateRect
  // or BeginPaint failing): the pump stops there instead of looping, and the next pump tries again.
  PwWindow painted = nullptr;
  while (p.peek_message(&msg, nullptr, 0, 0, PW_PM_REMOVE)) {
    if (msg.message == PW_WM_PAINT) {
      if (msg.window == painted) break;
      painted = msg.window;
    }
    // Dispatch first: a repaint validated by the window procedure is then not reported twice.
    p.translate_message(&msg);
    p.dispatch_message(&msg);
    if (msg.window == window->hwnd) {
      event_from_message(window, msg.message, msg.wparam, msg.lparam, msg.time, &msg.pt);
      continue;
    }
    if (msg.window == nullptr) continue;
    auto* other = static_cast<ToolkitWindow*>(p.get_prop(msg.window, kWindowProperty));
    if (other != nullptr && other->hwnd == msg.window) {
      event_from_message(other, msg.message, msg.wparam, msg.lparam, msg.time, &msg.pt);
      other->events = compact_events(other->events);
    }
  }
  window->events = compact_events(window->events);
}

namespace {

// False, with a line on standard output, when the platform cannot wait: waiting again would only
// spin.
bool wait_for_event(ToolkitWindow* window) {
  pump_messages(window);
  while (window->events == nullptr) {
    if (!platform().wait_message()) {
      std::puts("WaitMessage() failed.");
      return false;
    }
    pump_messages(window);
  }
  return true;
}

// The index-th node counting from the oldest (along prev) or from the newest (along next).
EventNode* indexed_node(ToolkitWindow* window, int index, bool from_oldest) {
  EventNode* newest = window->events;
  if (newest == nullptr) return nullptr;
  EventNode* first = from_oldest ? newest->prev : newest;
  EventNode* node = first;
  int count = 0;
  do {
    if (count == index) return node;
    node = from_oldest ? node->prev : node->next;
    ++count;
  } while (node != first);
  return nullptr;
}

int take_indexed(int index, ToolkitEvent* out, bool from_oldest) {
  ToolkitWindow* window = current_window();
  if (window == nullptr) return 0;
  EventNode* node = indexed_node(window, index, from_oldest);
  if (node == nullptr) return 0;
  if (out != nullptr) std::memcpy(out, &node->event, sizeof *out);
  remove_event(window, node);
  return 1;
}

ToolkitEvent* peek_indexed(int index, bool from_oldest) {
  ToolkitWindow* window = current_window();
  if (window == nullptr) return nullptr;
  EventNode* node = indexed_node(window, index, from_oldest);
  return node != nullptr ? &node->event : nullptr;
}

}  // namespace

int quillfen_poll() {
  ToolkitWindow* window = current_window();
  if (window == nullptr) return 0;
  pump_messages(window);
  return window->events != nullptr ? 1 : 0;
}

int quillfen_wait() {
  ToolkitWindow* window = current_window();
  if (window == nullptr) return 0;
  return wait_for_event(window) ? 1 : 0;
}

int quillfen_next_event(ToolkitEvent* out) {
  ToolkitWindow* window = current_window();
  if (window == nullptr || !wait_for_event(window)) return 0;
  EventNode* oldest = window->events->prev;
  if (out != nullptr) std::memcpy(out, &oldest->event, sizeof *out);
  remove_event(window, oldest);
  return 1;
}

ToolkitEvent* quillfen_peek_oldest(int index) {
  return peek_indexed(index, true);
}
ToolkitEvent* quillfen_peek_newest(int index) {
  return peek_indexed(index, false);
}
int quillfen_take_oldest(int index, ToolkitEvent* out) {
  return take_indexed(index, out, true);
}
int quillfen_take_newest(int index, ToolkitEvent* out) {
  return take_indexed(index, out, false);
}
