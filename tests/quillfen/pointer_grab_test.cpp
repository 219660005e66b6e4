#include "toolkit_fixture.h"

#include <cstdint>

namespace {

class PointerGrab : public ToolkitTest {};

TEST_F(PointerGrab, GrabHoldsThePointerAtTheCentreAndReportsDeltas) {
  open_window(800, 800);
  scripted::mouse_move(window_->hwnd, 100, 120);
  quillfen_poll();
  take_all();

  quillfen_grab_pointer(true);
  quillfen_grab_pointer(true);
  EXPECT_TRUE(window_->pointer_grabbed);
  EXPECT_EQ(scripted::count_calls("ShowCursor"), 1);
  EXPECT_EQ(scripted::cursor_count(), -1);
  EXPECT_EQ(window_->capture_count, 1);
  EXPECT_EQ(scripted::capture(), window_->hwnd);
  EXPECT_EQ(window_->pointer_x, 400);
  EXPECT_EQ(scripted::cursor().x, 400);
  EXPECT_EQ(scripted::cursor().y, 400);
  EXPECT_EQ(quillfen_poll(), 0);  // the warp's own motion lands on the centre

  scripted::mouse_move(window_->hwnd, 405, 398);
  quillfen_poll();
  auto events = take_all();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, EVENT_MOTION);
  EXPECT_EQ(events[0].dx, 5);
  EXPECT_EQ(events[0].dy, -2);
  EXPECT_EQ(events[0].x, 5);
  EXPECT_EQ(events[0].y, -2);
  EXPECT_EQ(scripted::cursor().x, 400);  // put back
  EXPECT_FALSE(window_->warp_pending);   // the warp's motion was swallowed

  scripted::mouse_move(window_->hwnd, 410, 400);
  scripted::key_down(window_->hwnd, 'A', 0x1E);
  quillfen_poll();
  events = take_all();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].x, 15);
  EXPECT_EQ(events[0].y, -2);
  EXPECT_EQ(events[1].kind, EVENT_KEY);  // other kinds report the virtual position
  EXPECT_EQ(events[1].x, 15);
  EXPECT_EQ(events[1].dx, 0);

  quillfen_grab_pointer(false);
  EXPECT_FALSE(window_->pointer_grabbed);
  EXPECT_EQ(scripted::cursor_count(), 0);
  EXPECT_EQ(window_->capture_count, 0);
  EXPECT_EQ(scripted::capture(), nullptr);
  EXPECT_EQ(scripted::cursor().x, 100);
  EXPECT_EQ(scripted::cursor().y, 120);
  quillfen_poll();
  EXPECT_TRUE(take_all().empty());
  scripted::mouse_move(window_->hwnd, 101, 120);
  quillfen_poll();
  events = take_all();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].dx, 1);
  EXPECT_EQ(events[0].x, 101);
}

TEST_F(PointerGrab, ReleaseWhileFreeDoesNothing) {
  open_window();
  EXPECT_EQ(printed([] { quillfen_grab_pointer(false); }), "");
  EXPECT_EQ(scripted::count_calls("ShowCursor"), 0);
}

TEST_F(PointerGrab, CentreOffTheScreenRefusesTheGrab) {
  open_window(800, 800, 1000, 0);
  scripted::mouse_move(window_->hwnd, 10, 10);
  quillfen_poll();
  take_all();
  EXPECT_EQ(printed([] { quillfen_grab_pointer(true); }),
            "Unable to warp pointer outside of root window.\n");
  EXPECT_FALSE(window_->pointer_grabbed);
  EXPECT_EQ(window_->cursor_hidden, 0);
  EXPECT_EQ(scripted::cursor_count(), 0);
  EXPECT_EQ(window_->capture_count, 0);
  EXPECT_EQ(window_->pointer_x, 10);
  EXPECT_EQ(window_->virtual_x, 10);
  EXPECT_EQ(scripted::count_calls("SetCursorPos"), 0);
}

TEST_F(PointerGrab, InvisibleWindowGrabsWithoutCapture) {
  open_window();
  window_->visible = false;
  EXPECT_EQ(printed([] { quillfen_grab_pointer(true); }),
            "Unable to grab mouse: window invisible.\n");
  EXPECT_TRUE(window_->pointer_grabbed);
  EXPECT_EQ(window_->capture_count, 0);
  // Shown again before the release: no reference was taken, so none is given back.
  window_->visible = true;
  quillfen_grab_pointer(false);
  EXPECT_EQ(window_->capture_count, 0);
  EXPECT_EQ(scripted::cursor_count(), 0);
}

// The grab's reference, refused back while hidden, is the one the next release gives back; the
// next grab takes none of its own.
TEST_F(PointerGrab, ReleaseWhileHiddenKeepsTheReferenceForTheNextRelease) {
  open_window();
  quillfen_grab_pointer(true);
  ASSERT_EQ(window_->capture_count, 1);
  platform().show_window(window_->hwnd, PW_SW_HIDE);
  EXPECT_EQ(printed([] { quillfen_grab_pointer(false); }),
            "Unable to grab mouse: window invisible.\n");
  EXPECT_EQ(window_->capture_count, 1);
  platform().show_window(window_->hwnd, PW_SW_SHOW);
  quillfen_grab_pointer(true);
  EXPECT_EQ(window_->capture_count, 1);
  quillfen_grab_pointer(false);
  EXPECT_EQ(window_->capture_count, 0);
  EXPECT_EQ(scripted::capture(), nullptr);
}

// One-way motion piles up in the virtual position; at the end of int32's range it stays there
// while the deltas are still reported as they are. Plain addition would overflow (undefined).
TEST_F(PointerGrab, VirtualPositionSaturatesAndDeltasStayExact) {
  open_window(800, 600);
  quillfen_grab_pointer(true);
  quillfen_poll();
  take_all();
  window_->virtual_x = INT32_MAX - 3;
  window_->virtual_y = INT32_MIN + 2;
  scripted::mouse_move(window_->hwnd, 410, 290);
  quillfen_poll();
  auto events = take_all();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].dx, 10);
  EXPECT_EQ(events[0].dy, -10);
  EXPECT_EQ(events[0].x, INT32_MAX);
  EXPECT_EQ(events[0].y, INT32_MIN);
  EXPECT_EQ(window_->virtual_x, INT32_MAX);
  EXPECT_EQ(window_->virtual_y, INT32_MIN);
  // Back the other way it moves off the end at once.
  scripted::mouse_move(window_->hwnd, 395, 305);
  quillfen_poll();
  events = take_all();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].x, INT32_MAX - 5);
  EXPECT_EQ(events[0].y, INT32_MIN + 5);
  quillfen_grab_pointer(false);
}

// The centre of a window wider than high, away from the screen's corner: width and height each
// halve their own side, and the warp goes to the centre's screen position.
TEST_F(PointerGrab, CentreOfANonSquareWindow) {
  open_window(640, 480, 100, 50);
  quillfen_grab_pointer(true);
  EXPECT_EQ(window_->pointer_x, 320);
  EXPECT_EQ(window_->pointer_y, 240);
  EXPECT_EQ(scripted::cursor().x, 420);
  EXPECT_EQ(scripted::cursor().y, 290);
  quillfen_poll();
  take_all();
  // A motion is measured from that centre, and the pointer is put back there.
  scripted::mouse_move(window_->hwnd, 330, 236);
  quillfen_poll();
  const auto events = take_all();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].dx, 10);
  EXPECT_EQ(events[0].dy, -4);
  EXPECT_EQ(scripted::cursor().x, 420);
  EXPECT_EQ(scripted::cursor().y, 290);
  quillfen_grab_pointer(false);
}

}  // namespace
