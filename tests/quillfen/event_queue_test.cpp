#include <cstring>

#include "event_queue.h"
#include "toolkit_fixture.h"
#include "tracked_alloc.h"

namespace {

class EventQueue : public ToolkitTest {
 protected:
  void push(int32_t kind, int32_t tag = 0) {
    ToolkitEvent event{};
    event.kind = kind;
    event.key = tag;
    push_event(window_, &event);
  }
  void push_paint(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t tag) {
    ToolkitEvent event{};
    event.kind = EVENT_PAINT;
    event.rect_left = left;
    event.rect_top = top;
    event.rect_right = right;
    event.rect_bottom = bottom;
    event.key = tag;
    push_event(window_, &event);
  }
  // Kind and tag of each queued event, oldest first, read without removing anything.
  std::vector<std::pair<int32_t, int32_t>> contents() {
    std::vector<std::pair<int32_t, int32_t>> out;
    for (int i = 0; ToolkitEvent* e = quillfen_peek_oldest(i); ++i)
      out.push_back({e->kind, e->key});
    return out;
  }
  using Contents = std::vector<std::pair<int32_t, int32_t>>;
};

TEST_F(EventQueue, OneNodeRingAndItsRemoval) {
  open_window();
  push(EVENT_KEY);
  EventNode* node = window_->events;
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->next, node);
  EXPECT_EQ(node->prev, node);
  EXPECT_EQ(static_cast<void*>(node), static_cast<void*>(&node->event));
  remove_event(window_, node);
  EXPECT_EQ(window_->events, nullptr);
}

TEST_F(EventQueue, RingLinksAfterPushes) {
  open_window();
  push(EVENT_KEY, 1);
  push(EVENT_KEY, 2);
  push(EVENT_KEY, 3);
  EventNode* newest = window_->events;
  EXPECT_EQ(newest->event.key, 3);
  EXPECT_EQ(newest->next->event.key, 2);
  EXPECT_EQ(newest->prev->event.key, 1);  // the oldest, taken next
  EXPECT_EQ(newest->prev->next, newest);
  EXPECT_EQ(newest->prev->prev->event.key, 2);
}

TEST_F(EventQueue, CompactingNothingAllocatesNothing) {
  int32_t before = live_allocations;
  EXPECT_EQ(compact_events(nullptr), nullptr);
  EXPECT_EQ(live_allocations, before);
}

TEST_F(EventQueue, KeepsTheNewestResizeAndMove) {
  open_window();
  push(EVENT_RESIZE, 1);
  push(EVENT_KEY, 2);
  push(EVENT_RESIZE, 3);
  push(EVENT_MOVE, 4);
  push(EVENT_MOVE, 5);
  window_->events = compact_events(window_->events);
  EXPECT_EQ(contents(), (Contents{{EVENT_KEY, 2}, {EVENT_RESIZE, 3}, {EVENT_MOVE, 5}}));
}

TEST_F(EventQueue, KeepsTheNewestCloseRequest) {
  open_window();
  ToolkitEvent close{};
  close.kind = EVENT_CLOSE;
  close.close = 1;
  close.key = 1;
  push_event(window_, &close);
  push(EVENT_KEY, 2);
  close.key = 3;
  push_event(window_, &close);
  window_->events = compact_events(window_->events);
  EXPECT_EQ(contents(), (Contents{{EVENT_KEY, 2}, {EVENT_CLOSE, 3}}));
}

TEST_F(EventQueue, MergesPaintsIntoOneNewest) {
  open_window();
  push_paint(10, 10, 20, 20, 1);
  push_paint(5, 30, 15, 40, 2);
  push(EVENT_KEY, 3);
  window_->events = compact_events(window_->events);
  EXPECT_EQ(contents(), (Contents{{EVENT_KEY, 3}, {EVENT_PAINT, 2}}));
  ToolkitEvent* paint = quillfen_peek_newest(0);
  EXPECT_EQ(paint->rect_left, 5);
  EXPECT_EQ(paint->rect_top, 10);
  EXPECT_EQ(paint->rect_right, 20);
  EXPECT_EQ(paint->rect_bottom, 40);
}

TEST_F(EventQueue, PeekAndTakeByIndexFromBothEnds) {
  open_window();
  push(EVENT_KEY, 1);
  push(EVENT_KEY, 2);
  push(EVENT_KEY, 3);
  EXPECT_EQ(quillfen_peek_oldest(0)->key, 1);
  EXPECT_EQ(quillfen_peek_oldest(2)->key, 3);
  EXPECT_EQ(quillfen_peek_oldest(3), nullptr);
  EXPECT_EQ(quillfen_peek_oldest(-1), nullptr);
  EXPECT_EQ(quillfen_peek_newest(0)->key, 3);
  EXPECT_EQ(quillfen_peek_newest(2)->key, 1);
  EXPECT_EQ(quillfen_peek_newest(3), nullptr);
  ToolkitEvent out{};
  EXPECT_EQ(quillfen_take_newest(0, &out), 1);
  EXPECT_EQ(out.key, 3);
  EXPECT_EQ(window_->events->event.key, 2);
  EXPECT_EQ(quillfen_take_oldest(1, &out), 1);
  EXPECT_EQ(out.key, 2);
  EXPECT_EQ(quillfen_take_oldest(1, &out), 0);
  EXPECT_EQ(quillfen_take_newest(0, nullptr), 1);
  EXPECT_EQ(window_->events, nullptr);
}

TEST_F(EventQueue, NextEventTakesTheOldestEvenWithoutOutput) {
  open_window();
  push(EVENT_KEY, 1);
  push(EVENT_KEY, 2);
  EXPECT_EQ(quillfen_next_event(nullptr), 1);
  ToolkitEvent out{};
  EXPECT_EQ(quillfen_next_event(&out), 1);
  EXPECT_EQ(out.key, 2);
  EXPECT_EQ(window_->events, nullptr);
}

TEST_F(EventQueue, WaitSleepsUntilInputMakesAnEvent) {
  open_window();
  int waits = 0;
  scripted::on_wait([&] {
    ++waits;
    // The first input translates to nothing and must not end the wait.
    if (waits == 1) {
      scripted::post(window_->hwnd, PW_WM_CHAR, 'x', 0);
    } else {
      scripted::key_down(window_->hwnd, 'A', 0x1E);
    }
  });
  EXPECT_EQ(quillfen_wait(), 1);
  EXPECT_EQ(waits, 2);
  EXPECT_NE(window_->events, nullptr);  // still queued
  ToolkitEvent out{};
  EXPECT_EQ(quillfen_next_event(&out), 1);
  EXPECT_EQ(out.key, 47);
}

TEST_F(EventQueue, EverythingRefusesBeforeInitialisation) {
  ToolkitEvent out{};
  out.key = 77;
  EXPECT_EQ(quillfen_poll(), 0);
  EXPECT_EQ(quillfen_wait(), 0);
  EXPECT_EQ(quillfen_next_event(&out), 0);
  EXPECT_EQ(quillfen_peek_oldest(0), nullptr);
  EXPECT_EQ(quillfen_peek_newest(0), nullptr);
  EXPECT_EQ(quillfen_take_oldest(0, &out), 0);
  EXPECT_EQ(quillfen_take_newest(0, &out), 0);
  EXPECT_EQ(out.key, 77);
  EXPECT_EQ(scripted::count_calls("PeekMessageA"), 0);
}

TEST(TrackedAlloc, CountsLiveBlocks) {
  int32_t before = live_allocations;
  auto* block = static_cast<unsigned char*>(tracked_alloc(64));
  EXPECT_EQ(live_allocations, before + 1);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(block[i], 0);
  tracked_free(block);
  EXPECT_EQ(live_allocations, before);
}

TEST(TrackedAllocDeathTest, StopsOnMisuse) {
  EXPECT_DEATH(tracked_alloc(0), "size.*line 51");
  EXPECT_DEATH(tracked_free(nullptr), "ptr.*line 71");
  EXPECT_DEATH(
      {
        void* block = tracked_alloc(8);
        live_allocations = 0;
        tracked_free(block);
      },
      "src/quillfen, line 85");
}

}  // namespace
