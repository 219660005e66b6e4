// The scripted window system itself: other toolkit tests lean on its sent/posted split.

#include <gtest/gtest.h>

#include <vector>

#include "scripted_platform.h"

namespace {

std::vector<uint32_t> g_received;

PwResult recording_proc(PwWindow window, uint32_t message, PwWParam wparam, PwLParam lparam) {
  g_received.push_back(message);
  return platform().def_window_proc(window, message, wparam, lparam);
}

class ScriptedPlatform : public ::testing::Test {
 protected:
  void SetUp() override {
    scripted::install();
    g_received.clear();
    PwWndClass window_class{};
    window_class.window_proc = recording_proc;
    window_class.class_name = "ScriptedTest";
    ASSERT_NE(platform().register_class(&window_class), 0);
  }
  void TearDown() override { scripted::uninstall(); }

  PwWindow create(uint32_t style = PW_WS_POPUP) {
    return platform().create_window_ex(0, "ScriptedTest", "t", style, 10, 20, 300, 200, nullptr,
                                       nullptr, nullptr, nullptr);
  }
};

TEST_F(ScriptedPlatform, StateChangesAreSentAndInputIsPosted) {
  const PlatformOps& p = platform();
  PwWindow window = create();
  EXPECT_EQ(g_received,
            (std::vector<uint32_t>{PW_WM_NCCREATE, PW_WM_CREATE, PW_WM_SIZE, PW_WM_MOVE}));
  g_received.clear();
  p.show_window(window, PW_SW_SHOW);
  EXPECT_EQ(g_received, (std::vector<uint32_t>{PW_WM_SHOWWINDOW, PW_WM_SETFOCUS}));
  g_received.clear();
  p.update_window(window);  // the whole client area was invalidated by showing it
  EXPECT_EQ(g_received, (std::vector<uint32_t>{PW_WM_PAINT}));
  EXPECT_EQ(scripted::update_rect(window).right, 0);

  scripted::key_down(window, 'A', 0x1E);
  EXPECT_TRUE(g_received.size() == 1u);
  PwMsg msg{};
  ASSERT_EQ(p.peek_message(&msg, nullptr, 0, 0, PW_PM_REMOVE), 1);
  EXPECT_EQ(msg.message, PW_WM_KEYDOWN);
  uint8_t keys[256];
  p.get_keyboard_state(keys);
  EXPECT_EQ(keys['A'] & PW_KEY_STATE_DOWN, PW_KEY_STATE_DOWN);  // on removal, as Win32 does
  p.translate_message(&msg);
  ASSERT_EQ(p.peek_message(&msg, nullptr, 0, 0, PW_PM_REMOVE), 1);
  EXPECT_EQ(msg.message, PW_WM_CHAR);
  EXPECT_EQ(msg.wparam, PwWParam{'a'});
  EXPECT_EQ(p.peek_message(&msg, nullptr, 0, 0, PW_PM_REMOVE), 0);
}

TEST_F(ScriptedPlatform, PaintIsPostedOnlyWhenTheQueueIsEmptyAndUntilValidated) {
  const PlatformOps& p = platform();
  PwWindow window = create(PW_WS_POPUP | PW_WS_VISIBLE);
  scripted::post(window, PW_WM_KEYDOWN, 'B', pw_key_lparam(0x30, false, false, false));
  PwMsg msg{};
  p.peek_message(&msg, nullptr, 0, 0, PW_PM_REMOVE);
  EXPECT_EQ(msg.message, PW_WM_KEYDOWN);
  p.peek_message(&msg, nullptr, 0, 0, PW_PM_REMOVE);
  EXPECT_EQ(msg.message, PW_WM_PAINT);
  p.peek_message(&msg, nullptr, 0, 0, PW_PM_REMOVE);
  EXPECT_EQ(msg.message, PW_WM_PAINT);  // still invalid
  PwPaintStruct paint{};
  p.begin_paint(window, &paint);
  EXPECT_EQ(paint.paint.right, 300);
  EXPECT_EQ(p.peek_message(&msg, nullptr, 0, 0, PW_PM_REMOVE), 0);
}

TEST_F(ScriptedPlatform, CursorWarpPostsMotionToTheWindowUnderIt) {
  const PlatformOps& p = platform();
  PwWindow window = create(PW_WS_POPUP | PW_WS_VISIBLE);
  p.set_cursor_pos(110, 70);
  PwMsg msg{};
  ASSERT_EQ(p.peek_message(&msg, nullptr, PW_WM_MOUSEMOVE, PW_WM_MOUSEMOVE, PW_PM_REMOVE), 1);
  EXPECT_EQ(msg.window, window);
  EXPECT_EQ(pw_signed_low(static_cast<uintptr_t>(msg.lparam)), 100);
  EXPECT_EQ(pw_signed_high(static_cast<uintptr_t>(msg.lparam)), 50);
  p.set_cursor_pos(110, 70);  // no move, no message
  EXPECT_EQ(p.peek_message(&msg, nullptr, PW_WM_MOUSEMOVE, PW_WM_MOUSEMOVE, PW_PM_REMOVE), 0);
}

TEST_F(ScriptedPlatform, FramedWindowsHaveSmallerClients) {
  scripted::set_frame(4, 30, 4, 4);
  PwWindow window = create(PW_WS_POPUP | PW_WS_CAPTION);
  PwRect client{};
  platform().get_client_rect(window, &client);
  EXPECT_EQ(client.right, 292);
  EXPECT_EQ(client.bottom, 166);
  PwPoint point{0, 0};
  platform().client_to_screen(window, &point);
  EXPECT_EQ(point.x, 14);
  EXPECT_EQ(point.y, 50);
}

TEST_F(ScriptedPlatform, DisplayModesSwitchRefuseAndRestore) {
  const PlatformOps& p = platform();
  scripted::set_modes(
      {{0, PW_DM_PELSWIDTH, 8, 640, 480, 60}, {0, PW_DM_PELSWIDTH, 32, 800, 600, 75}});
  PwDevMode mode{};
  ASSERT_EQ(p.enum_display_settings(nullptr, 1, &mode), 1);
  EXPECT_EQ(mode.pels_width, 800u);
  EXPECT_EQ(p.enum_display_settings(nullptr, 2, &mode), 0);
  EXPECT_EQ(p.change_display_settings(&mode, 0), PW_DISP_CHANGE_SUCCESSFUL);
  EXPECT_EQ(p.get_system_metrics(PW_SM_CXSCREEN), 800);
  EXPECT_EQ(p.get_device_caps(p.get_dc(nullptr), PW_VREFRESH), 75);
  scripted::refuse_mode_switch(true);
  EXPECT_EQ(p.change_display_settings(nullptr, 0), PW_DISP_CHANGE_FAILED);
  scripted::refuse_mode_switch(false);
  EXPECT_EQ(p.change_display_settings(nullptr, 0), PW_DISP_CHANGE_SUCCESSFUL);
  EXPECT_EQ(scripted::current_mode().pels_width, 1280u);
}

TEST_F(ScriptedPlatform, GlNeedsACurrentContext) {
  const PlatformOps& p = platform();
  PwWindow window = create();
  PwDc dc = p.get_dc(window);
  EXPECT_EQ(p.wgl_create_context(dc), nullptr);  // no pixel format yet
  int format = p.choose_pixel_format(dc, nullptr);
  EXPECT_EQ(format, 0);
  PwPixelFormatDescriptor pfd{};
  format = p.choose_pixel_format(dc, &pfd);
  ASSERT_EQ(format, 1);
  EXPECT_EQ(p.describe_pixel_format(dc, format, sizeof pfd, &pfd), 1);
  EXPECT_EQ(pfd.depth_bits, 24);
  ASSERT_EQ(p.set_pixel_format(dc, format, &pfd), 1);
  PwGlContext context = p.wgl_create_context(dc);
  ASSERT_NE(context, nullptr);
  scripted::set_default_proc_address(reinterpret_cast<PwProc>(&recording_proc));
  EXPECT_EQ(p.gl_get_string(PW_GL_VENDOR), nullptr);
  EXPECT_EQ(p.wgl_get_proc_address("glFoo"), nullptr);
  p.wgl_make_current(dc, context);
  EXPECT_STREQ(reinterpret_cast<const char*>(p.gl_get_string(PW_GL_VENDOR)), "Scripted Vendor");
  EXPECT_NE(p.wgl_get_proc_address("glFoo"), nullptr);
  scripted::set_proc_address("glBar", nullptr);
  EXPECT_EQ(p.wgl_get_proc_address("glBar"), nullptr);
  p.wgl_delete_context(context);
  EXPECT_EQ(scripted::current_context(), nullptr);
  EXPECT_EQ(scripted::live_contexts(), 0);
}

TEST_F(ScriptedPlatform, FailingOperationAndCallLog) {
  scripted::fail("CreateWindowExA");
  EXPECT_EQ(create(), nullptr);
  scripted::fail("CreateWindowExA", false);
  EXPECT_NE(create(), nullptr);
  EXPECT_EQ(scripted::count_calls("CreateWindowExA"), 2);
}

}  // namespace
