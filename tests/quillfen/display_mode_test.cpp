#include "display_mode.h"
#include "lifecycle_fixture.h"
#include "translate.h"

namespace {

class ApplyDisplayMode : public LifecycleTest {
 protected:
  std::string apply(DisplayMode mode, bool* result = nullptr) {
    bool done = false;
    std::string out = output_of([&] { done = apply_display_mode(&mode); });
    if (result != nullptr) *result = done;
    return out;
  }
  std::string last_request() {
    std::string detail;
    for (const auto& call : scripted::calls())
      if (call.name == "ChangeDisplaySettingsA") detail = call.detail;
    return detail;
  }
};

TEST_F(ApplyDisplayMode, DesktopModeNeedsNoChange) {
  bool ok = false;
  EXPECT_EQ(apply({1280, 1024, 32, 60}, &ok), "");
  EXPECT_TRUE(ok);
  EXPECT_EQ(scripted::count_calls("ChangeDisplaySettingsA"), 0);
}

TEST_F(ApplyDisplayMode, ZeroFieldsTakeTheDesktopsValues) {
  bool ok = false;
  EXPECT_EQ(apply({0, 0, 0, 0}, &ok),
            "Using current desktop width.\nUsing current desktop height.\n"
            "Using current desktop display depth.\nUsing current refresh rate.\n"
            "Calling CDS()...\n... Ok!\n");
  EXPECT_TRUE(ok);
  EXPECT_EQ(last_request(), "1280x1024 32 bpp 60 Hz");
}

TEST_F(ApplyDisplayMode, ZeroRefreshTakesTheDesktopsRateUnlessLarger) {
  // Same size and depth as the desktop, driver-default rate: still applied.
  EXPECT_EQ(apply({1280, 1024, 32, 0}), "Using current refresh rate.\nCalling CDS()...\n... Ok!\n");
  EXPECT_EQ(last_request(), "1280x1024 32 bpp 60 Hz");

  scripted::clear_calls();
  EXPECT_EQ(apply({800, 600, 16, 0}), "Using current refresh rate.\nCalling CDS()...\n... Ok!\n");
  EXPECT_EQ(last_request(), "800x600 16 bpp 60 Hz");

  // Taller than the desktop only: 75 Hz. The desktop is 800x600 now.
  scripted::clear_calls();
  EXPECT_EQ(apply({800, 601, 16, 0}),
            "No refresh rate for hi-res mode; using 75 Hz.\nCalling CDS()...\n... Ok!\n");
  EXPECT_EQ(last_request(), "800x601 16 bpp 75 Hz");
  output_of([] { apply_display_mode(nullptr); });
}

TEST_F(ApplyDisplayMode, ZeroRefreshMatchesADesktopReportingZero) {
  scripted::set_screen(1280, 1024, 32, 0);
  bool ok = false;
  EXPECT_EQ(apply({1280, 1024, 32, 0}, &ok), "Using current refresh rate.\n");
  EXPECT_TRUE(ok);
  EXPECT_EQ(scripted::count_calls("ChangeDisplaySettingsA"), 0);
}

TEST_F(ApplyDisplayMode, RefusedChangeAndRestoreReportFailure) {
  scripted::refuse_mode_switch(true);
  bool ok = true;
  EXPECT_EQ(apply({800, 600, 32, 60}, &ok), "Calling CDS()...\nChangeDisplaySettings() failed.\n");
  EXPECT_FALSE(ok);
  ok = true;
  EXPECT_EQ(output_of([&] { ok = apply_display_mode(nullptr); }),
            "ChangeDisplaySettings() failed.\n");
  EXPECT_FALSE(ok);

  scripted::refuse_mode_switch(false);
  EXPECT_EQ(output_of([&] { ok = apply_display_mode(nullptr); }), "");
  EXPECT_TRUE(ok);
  EXPECT_EQ(last_request(), "restore");
}

// set_video_mode on a full-screen window whose size the list offers at two depths.
class SetVideoMode : public LifecycleTest {
 protected:
  void SetUp() override {
    LifecycleTest::SetUp();
    quillfen_configure_window("T", 800, 600, true);
    scripted::set_modes({dev_mode(800, 600, 32, 60), dev_mode(800, 600, 16, 60)});
    bool ok = false;
    init(0, false, false, false, &ok);
    ASSERT_TRUE(ok);
    window_ = current_window();
    ASSERT_EQ(window_->video_mode, 0);
    drain();
    scripted::clear_calls();
  }
  std::string switch_to(int32_t index) {
    return output_of([&] { set_video_mode(window_, index); });
  }
  ToolkitWindow* window_ = nullptr;
};

TEST_F(SetVideoMode, SwitchRaisesTheWindowAndTakesTheModesScreen) {
  EXPECT_EQ(switch_to(1), "Calling CDS()...\n... Ok!\n");
  EXPECT_EQ(window_->video_mode, 1);
  EXPECT_EQ(scripted::current_mode().bits_per_pel, 16u);
  EXPECT_EQ(window_->screen_width, 800);
  int raise = call_index("SetWindowPos");
  ASSERT_GE(raise, 0);
  EXPECT_EQ(scripted::calls()[static_cast<size_t>(raise)].detail, "after=0 0,0 0x0 flags=0x3");

  scripted::clear_calls();
  EXPECT_EQ(switch_to(-1), "");
  EXPECT_EQ(window_->video_mode, -1);
  EXPECT_EQ(scripted::current_mode().pels_width, 1280u);
  EXPECT_EQ(window_->screen_width, 1280);
  EXPECT_EQ(window_->screen_height, 1024);
  int lower = call_index("SetWindowPos");
  ASSERT_GE(lower, 0);
  EXPECT_EQ(scripted::calls()[static_cast<size_t>(lower)].detail, "after=-2 0,0 0x0 flags=0x3");

  // Already in the desktop mode: nothing more.
  scripted::clear_calls();
  EXPECT_EQ(switch_to(-1), "");
  EXPECT_TRUE(scripted::calls().empty());
}

TEST_F(SetVideoMode, RefusedSwitchKeepsTheRecordRefusedRestoreStillClearsIt) {
  scripted::refuse_mode_switch(true);
  EXPECT_EQ(switch_to(1), "Calling CDS()...\nChangeDisplaySettings() failed.\n");
  EXPECT_EQ(window_->video_mode, 0);
  EXPECT_EQ(window_->screen_width, 800);
  EXPECT_EQ(scripted::count_calls("SetWindowPos"), 0);

  EXPECT_EQ(switch_to(-1), "ChangeDisplaySettings() failed.\n");
  EXPECT_EQ(window_->video_mode, -1);
  EXPECT_EQ(window_->screen_width, 800);  // read anew: the display stayed 800 wide
  scripted::refuse_mode_switch(false);
  output_of([] { apply_display_mode(nullptr); });
}

TEST_F(SetVideoMode, HiddenWindowRefusesUnfocusedWindowTakesTheFocus) {
  window_->visible = false;
  EXPECT_EQ(switch_to(-1), "Vidmode change with invisible window.\n");
  EXPECT_EQ(window_->video_mode, 0);
  EXPECT_TRUE(scripted::calls().empty());
  window_->visible = true;

  scripted::ops()->set_focus(nullptr);
  ASSERT_FALSE(window_->focused);
  scripted::clear_calls();
  EXPECT_EQ(switch_to(-1), "Vidmode change with non-focused window.\n");
  EXPECT_TRUE(window_->focused);
  EXPECT_EQ(scripted::focus(), window_->hwnd);
  EXPECT_EQ(scripted::active_window(), window_->hwnd);
  EXPECT_LT(call_index("SetActiveWindow"), call_index("ChangeDisplaySettingsA"));
  EXPECT_EQ(window_->video_mode, -1);

  // With the desktop mode already in force, the focus is still taken first.
  scripted::ops()->set_focus(nullptr);
  scripted::clear_calls();
  EXPECT_EQ(switch_to(-1), "Vidmode change with non-focused window.\n");
  EXPECT_EQ(scripted::count_calls("SetFocus"), 1);
  EXPECT_EQ(scripted::count_calls("ChangeDisplaySettingsA"), 0);
}

TEST_F(SetVideoMode, HeldButtonKeepsTheCaptureAndTheNextMotionMakesNoEvent) {
  scripted::mouse_move(window_->hwnd, 100, 100);
  scripted::button_down(window_->hwnd, 0);
  drain();
  ASSERT_EQ(scripted::capture(), window_->hwnd);
  ASSERT_EQ(window_->capture_count, 1);

  int32_t x = 100;
  for (int32_t index : {1, -1}) {
    output_of([&] { set_video_mode(window_, index); });
    EXPECT_EQ(scripted::capture(), window_->hwnd);
    EXPECT_EQ(window_->capture_count, 1);
    EXPECT_TRUE(window_->warp_pending);
    scripted::mouse_move(window_->hwnd, x += 20, 100);
    for (const ToolkitEvent& e : drain()) EXPECT_NE(e.kind, EVENT_MOTION);
    scripted::mouse_move(window_->hwnd, x += 20, 100);  // the next one is the user's again
    auto events = drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, EVENT_MOTION);
  }

  // The capture still ends with the button.
  scripted::button_up(window_->hwnd, 0);
  drain();
  EXPECT_EQ(scripted::capture(), nullptr);
  EXPECT_EQ(window_->capture_count, 0);
}

}  // namespace
