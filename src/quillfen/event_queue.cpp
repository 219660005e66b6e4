#include "event_queue.h"

#include <cstring>

#include "tracked_alloc.h"

namespace {

void link_newest(EventNode*& newest, EventNode* node) {
  if (newest == nullptr) {
    node->next = node;
    node->prev = node;
  } else {
    EventNode* oldest = newest->prev;
    node->next = newest;
    node->prev = oldest;
    newest->prev = node;
    oldest->next = node;
  }
  newest = node;
}

EventNode* new_node(const ToolkitEvent& event) {
  auto* node = static_cast<EventNode*>(tracked_alloc(sizeof(EventNode)));
  std::memcpy(&node->event, &event, sizeof event);
  return node;
}

void unlink_and_free(EventNode*& newest, EventNode* node) {
  if (node->next == node) {
    newest = nullptr;
  } else {
    node->prev->next = node->next;
    node->next->prev = node->prev;
    if (newest == node) newest = node->next;
  }
  tracked_free(node);
}

int count_nodes(EventNode* newest) {
  if (newest == nullptr) return 0;
  int count = 0;
  EventNode* node = newest;
  do {
    ++count;
    node = node->next;
  } while (node != newest);
  return count;
}

// Keeps the newest resize and the newest move, freeing older ones of each kind.
void keep_newest_only(EventNode*& newest) {
  bool seen_resize = false, seen_move = false;
  int count = count_nodes(newest);
  EventNode* node = newest;
  for (int i = 0; i < count; ++i) {
    EventNode* older = node->next;
    int32_t kind = node->event.kind;
    if (kind == EVENT_RESIZE) {
      if (seen_resize) unlink_and_free(newest, node);
      seen_resize = true;
    } else if (kind == EVENT_MOVE) {
      if (seen_move) unlink_and_free(newest, node);
      seen_move = true;
    }
    node = older;
  }
}

void keep_newest_close(EventNode*& newest) {
  bool seen = false;
  int count = count_nodes(newest);
  EventNode* node = newest;
  for (int i = 0; i < count; ++i) {
    EventNode* older = node->next;
    if (node->event.kind == EVENT_CLOSE && node->event.close == 1) {
      if (seen) unlink_and_free(newest, node);
      seen = true;
    }
    node = older;
  }
}

uint32_t as_unsigned(int32_t value) {
  return static_cast<uint32_t>(value);
}

}  // namespace

void push_event(ToolkitWindow* window, const ToolkitEvent* event) {
  link_newest(window->events, new_node(*event));
}

EventNode* compact_events(EventNode* newest) {
  keep_newest_only(newest);
  keep_newest_close(newest);

  // Paint events leave the queue oldest first; the newest one's fields survive with the
  // bounding box of all their rectangles.
  ToolkitEvent scratch{};
  bool painted = false;
  uint32_t left = 0x7FFFFFFF, top = 0x7FFFFFFF, right = 0, bottom = 0;
  int count = count_nodes(newest);
  EventNode* node = newest != nullptr ? newest->prev : nullptr;
  for (int i = 0; i < count; ++i) {
    EventNode* newer = node->prev;
    if (node->event.kind == EVENT_PAINT) {
      const ToolkitEvent& paint = node->event;
      std::memcpy(&scratch, &paint, sizeof scratch);
      if (as_unsigned(paint.rect_left) < left) left = as_unsigned(paint.rect_left);
      if (as_unsigned(paint.rect_top) < top) top = as_unsigned(paint.rect_top);
      if (as_unsigned(paint.rect_right) > right) right = as_unsigned(paint.rect_right);
      if (as_unsigned(paint.rect_bottom) > bottom) bottom = as_unsigned(paint.rect_bottom);
      painted = true;
      unlink_and_free(newest, node);
    }
    node = newer;
  }
  if (painted) {
    scratch.rect_left = static_cast<int32_t>(left);
    scratch.rect_top = static_cast<int32_t>(top);
    scratch.rect_right = static_cast<int32_t>(right);
    scratch.rect_bottom = static_cast<int32_t>(bottom);
    link_newest(newest, new_node(scratch));
  }
  return newest;
}

void remove_event(ToolkitWindow* window, EventNode* node) {
  unlink_and_free(window->events, node);
}
