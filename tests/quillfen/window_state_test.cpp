#include <algorithm>

#include "toolkit_fixture.h"
#include "translate.h"

namespace {

class WindowState : public ToolkitTest {};

int count_kind(const std::vector<ToolkitEvent>& events, int32_t kind) {
  return static_cast<int>(
      std::count_if(events.begin(), events.end(), [&](const auto& e) { return e.kind == kind; }));
}

TEST_F(WindowState, MinimizeSnapshotsBeforeAndStoresTheParkedPositionAsZero) {
  open_window(640, 480, 30, 40);
  scripted::post(window_->hwnd, PW_WM_SYSCOMMAND, PW_SC_MINIMIZE, 0);
  quillfen_poll();
  auto events = take_all();
  ASSERT_GE(events.size(), 1u);
  EXPECT_EQ(events[0].kind, EVENT_HIDE);
  EXPECT_EQ(events[0].visible, 1);
  EXPECT_EQ(events[0].win_x, 30);
  EXPECT_EQ(events[0].win_width, 640);
  EXPECT_EQ(count_kind(events, EVENT_HIDE), 1);
  EXPECT_FALSE(window_->visible);
  // The system parks a minimised window at (-32000, -32000).
  EXPECT_EQ(window_->x, 0);
  EXPECT_EQ(window_->y, 0);

  // Minimising again does nothing; restoring shows it with a snapshot of the hidden window.
  scripted::post(window_->hwnd, PW_WM_SYSCOMMAND, PW_SC_MINIMIZE, 0);
  quillfen_poll();
  EXPECT_EQ(count_kind(take_all(), EVENT_HIDE), 0);
  scripted::post(window_->hwnd, PW_WM_SYSCOMMAND, PW_SC_RESTORE, 0);
  quillfen_poll();
  events = take_all();
  ASSERT_GE(events.size(), 1u);
  EXPECT_EQ(events[0].kind, EVENT_SHOW);
  EXPECT_EQ(events[0].visible, 0);
  EXPECT_EQ(events[0].win_width, 0);
  EXPECT_EQ(count_kind(events, EVENT_SHOW), 1);
  EXPECT_TRUE(window_->visible);
  EXPECT_EQ(window_->x, 30);
  EXPECT_EQ(window_->width, 640);

  scripted::post(window_->hwnd, PW_WM_SYSCOMMAND, PW_SC_RESTORE, 0);
  quillfen_poll();
  EXPECT_EQ(count_kind(take_all(), EVENT_SHOW), 0);
}

TEST_F(WindowState, MoveToTheParkedPositionDirectly) {
  open_window();
  event_from_message(window_, PW_WM_MOVE, 0, pw_make_lparam(-32000, -32000), 0, nullptr);
  event_from_message(window_, PW_WM_MOVE, 0, pw_make_lparam(-5, 7), 0, nullptr);
  auto events = take_all();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].win_x, 0);
  EXPECT_EQ(events[1].win_x, -5);
  EXPECT_EQ(events[1].win_y, 7);
}

TEST_F(WindowState, CloseRequestLeavesTheWindowOpen) {
  open_window();
  scripted::post(window_->hwnd, PW_WM_SYSCOMMAND, PW_SC_CLOSE, 0);
  scripted::post(window_->hwnd, PW_WM_SYSCOMMAND, PW_SC_CLOSE, 0);
  quillfen_poll();
  auto events = take_all();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, EVENT_CLOSE);
  EXPECT_EQ(events[0].close, 1);
  EXPECT_TRUE(scripted::is_window(window_->hwnd));
}

TEST_F(WindowState, OtherSystemCommandsMakeNothing) {
  open_window();
  event_from_message(window_, PW_WM_SYSCOMMAND, PW_SC_MINIMIZE | 2, 0, 0, nullptr);
  event_from_message(window_, PW_WM_SYSCOMMAND, PW_SC_KEYMENU, 0, 0, nullptr);
  EXPECT_TRUE(take_all().empty());
  EXPECT_TRUE(window_->visible);
}

TEST_F(WindowState, PaintDuringThePumpGivesOneEvent) {
  open_window();
  PwRect rect{10, 20, 30, 40};
  scripted::invalidate(window_->hwnd, &rect);
  EXPECT_EQ(quillfen_poll(), 1);
  auto events = take_all();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, EVENT_PAINT);
  EXPECT_EQ(events[0].rect_left, 10);
  EXPECT_EQ(events[0].rect_bottom, 40);
  EXPECT_EQ(scripted::update_rect(window_->hwnd).right, 0);  // validated
  EXPECT_EQ(quillfen_poll(), 0);
}

TEST_F(WindowState, PaintWithoutUpdateAreaMakesNothing) {
  open_window();
  event_from_message(window_, PW_WM_PAINT, 0, 0, 0, nullptr);
  EXPECT_TRUE(take_all().empty());
  EXPECT_EQ(scripted::count_calls("BeginPaint"), 0);
}

TEST_F(WindowState, ResizeBlacksOutTheStaleAreaAndStoresTheSize) {
  open_window();
  PwRect rect{0, 0, 50, 60};
  scripted::invalidate(window_->hwnd, &rect);
  event_from_message(window_, PW_WM_SIZE, 0, pw_make_lparam(1000, 700), 0, nullptr);
  auto events = take_all();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, EVENT_RESIZE);
  EXPECT_EQ(events[0].win_width, 1000);
  EXPECT_EQ(window_->height, 700);
  ASSERT_EQ(scripted::count_calls("PatBlt"), 1);
  for (const auto& call : scripted::calls())
    if (call.name == "PatBlt") {
      EXPECT_EQ(call.detail, "0,0 50x60 rop=0x42");
    }
}

TEST_F(WindowState, FocusAndVisibilityFollowSentMessages) {
  open_window();
  EXPECT_TRUE(window_->focused);
  platform().set_focus(nullptr);
  EXPECT_FALSE(window_->focused);
  platform().show_window(window_->hwnd, PW_SW_HIDE);
  EXPECT_FALSE(window_->visible);
  auto events = take_all();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, EVENT_FOCUS_OUT);
  EXPECT_EQ(events[1].kind, EVENT_HIDE);
  EXPECT_EQ(events[1].win_width, 0);  // hidden: no window fields
}

TEST_F(WindowState, MessagesOfASecondToolkitWindowGoToIt) {
  open_window();
  ToolkitWindow* second = open_window(200, 100, 900, 0, false);
  scripted::key_down(second->hwnd, 'Q', 0x10);
  scripted::key_down(window_->hwnd, 'W', 0x11);
  quillfen_poll();
  auto mine = take_all();
  auto theirs = take_all(second);
  ASSERT_EQ(mine.size(), 1u);
  EXPECT_EQ(mine[0].key, 34);
  ASSERT_EQ(theirs.size(), 1u);
  EXPECT_EQ(theirs[0].key, 33);
}

TEST_F(WindowState, WindowWithoutTheRecordIsOnlyDispatched) {
  open_window();
  ToolkitWindow* stranger = open_window(200, 100, 900, 0, false);
  platform().remove_prop(stranger->hwnd, kWindowProperty);
  scripted::key_down(stranger->hwnd, 'Q', 0x10);
  quillfen_poll();
  EXPECT_TRUE(take_all().empty());
  EXPECT_TRUE(take_all(stranger).empty());
  int dispatched = 0;
  for (const auto& call : scripted::calls())
    dispatched += call.name == "DispatchMessageA" && call.detail == "WM_KEYDOWN";
  EXPECT_EQ(dispatched, 1);
}

}  // namespace
