#include <cstring>
#include <string>

#include "toolkit_fixture.h"
#include "translate.h"

namespace {

class FrameServices : public ToolkitTest {};

TEST_F(FrameServices, ConfigurationDefaultsAndTitleLimit) {
  EXPECT_STREQ(window_config.title, "Quillfen");
  EXPECT_EQ(window_config.width, 0);
  EXPECT_EQ(window_config.height, 0);
  EXPECT_FALSE(window_config.resizable);
  EXPECT_TRUE(window_config.fullscreen);

  EXPECT_TRUE(quillfen_configure_resizable_window("R", 640, 480, 10, 20));
  EXPECT_TRUE(window_config.resizable);
  EXPECT_FALSE(window_config.fullscreen);
  EXPECT_EQ(window_config.y, 20);
  EXPECT_TRUE(quillfen_configure_window(nullptr, 800, 800, false));
  EXPECT_STREQ(window_config.title, "R");  // a null title keeps the previous one
  EXPECT_EQ(window_config.x, 0);
  EXPECT_FALSE(window_config.resizable);

  std::string long_title(600, 'x');
  EXPECT_TRUE(quillfen_configure_window(long_title.c_str(), 800, 800, false));
  EXPECT_EQ(std::strlen(window_config.title), 511u);
}

TEST_F(FrameServices, ConfigurationRefusedWhileInitialised) {
  open_window();
  EXPECT_FALSE(quillfen_configure_window("TEST", 1, 2, false));
  EXPECT_FALSE(quillfen_configure_resizable_window("TEST", 1, 2, 3, 4));
  EXPECT_STREQ(window_config.title, "Quillfen");
  EXPECT_EQ(window_config.width, 0);
}

TEST_F(FrameServices, UninitialisedCallsFallBack) {
  scripted::set_tick(123456);
  EXPECT_EQ(quillfen_time_ms(), 123456u);
  quillfen_swap_buffers();
  quillfen_set_title("x");
  quillfen_grab_pointer(true);
  quillfen_set_key_repeat(false);
  int32_t width = -1, height = -1;
  EXPECT_FALSE(quillfen_get_window_size(&width, &height));
  EXPECT_EQ(width, -1);
  EXPECT_EQ(height, -1);
  EXPECT_EQ(scripted::count_calls("SwapBuffers"), 0);
  EXPECT_EQ(scripted::count_calls("SetWindowTextA"), 0);
  quillfen_sleep_ms(7);
  EXPECT_EQ(scripted::tick(), 123463u);
}

TEST_F(FrameServices, NegativeSleepDoesNotWaitForever) {
  quillfen_sleep_ms(-1);
  ASSERT_EQ(scripted::count_calls("Sleep"), 1);
  EXPECT_EQ(scripted::calls().back().detail, "0");
}

TEST_F(FrameServices, ClockCountsFromTheTimeBaseAcrossAWrap) {
  open_window();
  scripted::set_tick(5000);
  EXPECT_EQ(quillfen_time_ms(), 5000u);    // no base yet
  window_->time_base = 0xFFFFFFFFu - 295;  // 296 ms before the wrap
  scripted::set_tick(200);
  EXPECT_EQ(quillfen_time_ms(), 496u);
}

TEST_F(FrameServices, EventTimesAndTheWrapRule) {
  open_window();
  event_from_message(window_, PW_WM_SETFOCUS, 0, 0, 0xFFFFFF00u, nullptr);
  EXPECT_EQ(window_->time_base, 0xFFFFFF00u);
  event_from_message(window_, PW_WM_SETFOCUS, 0, 0, 0xFFFFFF00u + 150, nullptr);
  // The counter wrapped: the base moves to the new stamp, one millisecond short of the span.
  event_from_message(window_, PW_WM_SETFOCUS, 0, 0, 100, nullptr);
  EXPECT_EQ(window_->time_base, 100u);
  event_from_message(window_, PW_WM_SETFOCUS, 0, 0, 1600, nullptr);
  auto events = take_all();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].time, 0.0f);
  EXPECT_EQ(events[1].time, static_cast<float>(150 * double(0.001f)));
  EXPECT_EQ(events[2].time, static_cast<float>(355 * double(0.001f)));
  EXPECT_EQ(events[3].time, static_cast<float>(1500 * double(0.001f)));  // 1.5000001f
}

TEST_F(FrameServices, OlderQueuedStampBecomesTheBase) {
  open_window();
  event_from_message(window_, PW_WM_SETFOCUS, 0, 0, 40000, nullptr);
  event_from_message(window_, PW_WM_KILLFOCUS, 0, 0, 39990, nullptr);
  EXPECT_EQ(window_->time_base, 39990u);
  auto events = take_all();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].time, 0.0f);
}

TEST_F(FrameServices, MessagesWithoutEventsStillStamp) {
  open_window();
  scripted::set_tick(777);
  event_from_message(window_, PW_WM_CHAR, 'a', 0, 0, nullptr);  // 0 = read the tick count
  EXPECT_EQ(window_->time_base, 777u);
  EXPECT_TRUE(take_all().empty());
}

TEST_F(FrameServices, SwapTitleAndSize) {
  open_window(640, 480);
  quillfen_swap_buffers();
  EXPECT_EQ(scripted::count_calls("SwapBuffers"), 1);
  std::string title(300, 't');
  quillfen_set_title(title.c_str());
  EXPECT_EQ(scripted::title(window_->hwnd), title);
  EXPECT_EQ(std::strlen(window_->title), 127u);
  quillfen_set_title(nullptr);
  EXPECT_EQ(scripted::title(window_->hwnd), title);
  int32_t height = 0;
  EXPECT_TRUE(quillfen_get_window_size(nullptr, &height));
  EXPECT_EQ(height, 480);
  EXPECT_TRUE(quillfen_get_window_size(nullptr, nullptr));
}

TEST_F(FrameServices, SizeFollowsAResize) {
  open_window(640, 480);
  platform().set_window_pos(window_->hwnd, PW_HWND_TOP, 0, 0, 1024, 600,
                            PW_SWP_NOMOVE | PW_SWP_NOZORDER);
  int32_t width = 0, height = 0;
  EXPECT_TRUE(quillfen_get_window_size(&width, &height));
  EXPECT_EQ(width, 1024);
  EXPECT_EQ(height, 600);
}

}  // namespace
