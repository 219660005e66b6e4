#include "toolkit_fixture.h"

namespace {

class MouseTranslation : public ToolkitTest {};

TEST_F(MouseTranslation, WheelCollectsWholeNotches) {
  open_window();
  PwWindow hwnd = window_->hwnd;
  scripted::wheel(hwnd, 60);
  EXPECT_EQ(quillfen_poll(), 0);
  EXPECT_EQ(window_->wheel_accum, 60);
  scripted::wheel(hwnd, 60);
  EXPECT_EQ(quillfen_poll(), 1);
  auto events = take_all();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].key, 108);
  EXPECT_EQ(events[0].pressed, 1);
  EXPECT_EQ(events[0].text_len, 0);

  scripted::wheel(hwnd, 240);
  quillfen_poll();
  EXPECT_EQ(take_all().size(), 1u);
  EXPECT_EQ(window_->wheel_accum, 0);

  scripted::wheel(hwnd, -120);
  quillfen_poll();
  events = take_all();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].key, 109);
  EXPECT_TRUE(window_->key_down[109]);
  EXPECT_FALSE(window_->key_down[108]);
}

TEST_F(MouseTranslation, MotionReportsChangesOnly) {
  open_window();
  scripted::mouse_move(window_->hwnd, 10, 20);
  scripted::mouse_move(window_->hwnd, 10, 20);
  scripted::mouse_move(window_->hwnd, 13, 16);
  quillfen_poll();
  auto events = take_all();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, EVENT_MOTION);
  EXPECT_EQ(events[0].x, 10);
  EXPECT_EQ(events[0].dx, 10);
  EXPECT_EQ(events[1].dx, 3);
  EXPECT_EQ(events[1].dy, -4);
  EXPECT_EQ(window_->pointer_x, 13);
  EXPECT_EQ(window_->virtual_y, 16);
}

TEST_F(MouseTranslation, ButtonCapturesUntilItsReleaseThenSwallowsOneMotion) {
  open_window();
  PwWindow hwnd = window_->hwnd;
  scripted::mouse_move(hwnd, 5, 5);
  scripted::button_down(hwnd, 0);
  quillfen_poll();
  EXPECT_EQ(window_->capture_count, 1);
  EXPECT_EQ(scripted::capture(), hwnd);
  EXPECT_EQ(window_->capture_button_up, PW_WM_LBUTTONUP);
  scripted::button_up(hwnd, 0);
  scripted::mouse_move(hwnd, 6, 6);
  scripted::mouse_move(hwnd, 7, 7);
  quillfen_poll();
  EXPECT_EQ(window_->capture_count, 0);
  EXPECT_EQ(scripted::capture(), nullptr);
  auto events = take_all();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[1].key, 105);
  EXPECT_EQ(events[1].pressed, 1);
  EXPECT_EQ(events[1].buttons, 1);
  EXPECT_EQ(events[2].pressed, 0);
  EXPECT_EQ(events[2].buttons, 0);
  EXPECT_EQ(events[3].kind, EVENT_MOTION);
  EXPECT_EQ(events[3].x, 7);
}

TEST_F(MouseTranslation, EachHeldButtonHoldsOneCaptureReference) {
  open_window();
  PwWindow hwnd = window_->hwnd;
  scripted::button_down(hwnd, 0);
  scripted::button_down(hwnd, 2);
  scripted::wheel(hwnd, 120);
  quillfen_poll();
  EXPECT_EQ(window_->capture_count, 2);
  scripted::button_up(hwnd, 0);
  quillfen_poll();
  EXPECT_EQ(window_->capture_count, 1);
  EXPECT_EQ(scripted::capture(), hwnd);
  EXPECT_EQ(window_->capture_button_up, 0u);
  scripted::button_up(hwnd, 2);
  quillfen_poll();
  EXPECT_EQ(window_->capture_count, 0);
  EXPECT_EQ(scripted::capture(), nullptr);

  // Released in the other order, the count comes back to zero as well.
  scripted::button_down(hwnd, 1);
  scripted::button_down(hwnd, 0);
  scripted::button_up(hwnd, 0);
  scripted::button_up(hwnd, 1);
  quillfen_poll();
  EXPECT_EQ(window_->capture_count, 0);
  EXPECT_EQ(scripted::capture(), nullptr);
  EXPECT_EQ(scripted::count_calls("SetCapture"), 2);
  EXPECT_EQ(scripted::count_calls("ReleaseCapture"), 2);
  EXPECT_FALSE(window_->key_down[105]);
  EXPECT_FALSE(window_->key_down[106]);
}

TEST_F(MouseTranslation, InvisibleWindowTakesNoCapture) {
  open_window();
  window_->visible = false;
  scripted::button_down(window_->hwnd, 0);
  EXPECT_EQ(printed([] { quillfen_poll(); }), "Unable to grab mouse: window invisible.\n");
  EXPECT_EQ(window_->capture_count, 0);
  EXPECT_EQ(take_all().size(), 1u);  // the event is still made

  // Shown again before the release: there is no reference to give back.
  window_->visible = true;
  scripted::button_up(window_->hwnd, 0);
  EXPECT_EQ(printed([] { quillfen_poll(); }), "");
  EXPECT_EQ(window_->capture_count, 0);
  scripted::button_down(window_->hwnd, 0);
  quillfen_poll();
  EXPECT_EQ(scripted::capture(), window_->hwnd);
}

// A release refused while hidden keeps the button's reference: once shown, the next click gives
// it back and the capture ends. Clearing the button's bit on the refused drop leaves the count
// above zero for good.
TEST_F(MouseTranslation, ReleaseWhileHiddenKeepsTheReferenceForTheNextClick) {
  open_window();
  PwWindow hwnd = window_->hwnd;
  scripted::button_down(hwnd, 0);
  quillfen_poll();
  ASSERT_EQ(window_->capture_count, 1);
  platform().show_window(hwnd, PW_SW_HIDE);
  scripted::button_up(hwnd, 0);
  EXPECT_EQ(printed([] { quillfen_poll(); }), "Unable to grab mouse: window invisible.\n");
  EXPECT_EQ(window_->capture_count, 1);
  platform().show_window(hwnd, PW_SW_SHOW);
  for (int click = 0; click < 3; ++click) {
    scripted::button_down(hwnd, 0);
    scripted::button_up(hwnd, 0);
    quillfen_poll();
    EXPECT_EQ(window_->capture_count, 0) << "click " << click;
    EXPECT_EQ(scripted::capture(), nullptr) << "click " << click;
  }
}

}  // namespace
