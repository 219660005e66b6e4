#include "lifecycle_fixture.h"
#include "pointer.h"
#include "tracked_alloc.h"

namespace {

class Shutdown : public LifecycleTest {
 protected:
  ToolkitWindow* open() {
    bool ok = false;
    init(0, false, false, false, &ok);
    EXPECT_TRUE(ok);
    return current_window();
  }
};

TEST_F(Shutdown, BeforeInitAndTwiceInARowDoNothing) {
  EXPECT_EQ(output_of([] { quillfen_shutdown(); }), "");
  EXPECT_TRUE(scripted::calls().empty());

  open();
  EXPECT_EQ(output_of([] { quillfen_shutdown(); }), "");
  expect_nothing_left();
  scripted::clear_calls();
  EXPECT_EQ(output_of([] { quillfen_shutdown(); }), "");
  EXPECT_TRUE(scripted::calls().empty());
  EXPECT_TRUE(quillfen_configure_window("again", 640, 480, false));
}

TEST_F(Shutdown, ReleasesInOrderWithThePropertyGoneBeforeTheWindow) {
  ToolkitWindow* window = open();
  std::string class_name = window->class_name;
  scripted::clear_calls();
  quillfen_shutdown();
  const std::vector<std::string> order = {"wglMakeCurrent", "wglDeleteContext", "ReleaseDC",
                                          "RemovePropA",    "DestroyWindow",    "UnregisterClassA"};
  int at = 0;
  for (const std::string& name : order) {
    int next = call_index(name, at);
    EXPECT_GE(next, at) << name;
    at = next < 0 ? at : next;
  }
  EXPECT_EQ(scripted::calls()[0].detail, "none");
  EXPECT_FALSE(scripted::class_registered(class_name));
  // Messages sent during destruction found no record to translate into.
  EXPECT_EQ(scripted::count_calls("GetKeyboardState"), 0);
  expect_nothing_left();
}

TEST_F(Shutdown, FreesEventsStillQueued) {
  ToolkitWindow* window = open();
  for (int i = 0; i < 5; ++i) {
    scripted::key_down(window->hwnd, 'A', 0x1E);
    scripted::key_up(window->hwnd, 'A', 0x1E);
  }
  quillfen_poll();
  ASSERT_NE(quillfen_peek_oldest(9), nullptr);
  quillfen_shutdown();
  expect_nothing_left();
  EXPECT_EQ(quillfen_peek_oldest(0), nullptr);
  EXPECT_EQ(quillfen_poll(), 0);
}

TEST_F(Shutdown, ShowsACursorHiddenTwiceOnce) {
  ToolkitWindow* window = open();
  platform().show_cursor(0);  // the toolkit hides once, when its count leaves 0
  window->cursor_hidden = 2;
  scripted::clear_calls();
  quillfen_shutdown();
  EXPECT_EQ(scripted::count_calls("ShowCursor"), 1);
  EXPECT_EQ(scripted::cursor_count(), 0);
}

TEST_F(Shutdown, ReleasesACaptureOfDepthThree) {
  ToolkitWindow* window = open();
  for (int i = 0; i < 3; ++i) capture_take(window);
  ASSERT_EQ(scripted::capture(), window->hwnd);
  scripted::clear_calls();
  EXPECT_EQ(output_of([] { quillfen_shutdown(); }), "");
  EXPECT_EQ(scripted::count_calls("ReleaseCapture"), 1);
  EXPECT_EQ(scripted::capture(), nullptr);
}

TEST_F(Shutdown, InvisibleWindowKeepsItsCaptureWithAMessage) {
  ToolkitWindow* window = open();
  capture_take(window);
  window->visible = false;
  scripted::clear_calls();
  EXPECT_EQ(output_of([] { quillfen_shutdown(); }), "Unable to grab mouse: window invisible.\n");
  EXPECT_EQ(scripted::count_calls("ReleaseCapture"), 0);
  expect_nothing_left();
}

class FullScreenShutdown : public Shutdown {
 protected:
  void SetUp() override {
    Shutdown::SetUp();
    quillfen_configure_window("T", 800, 600, true);
    scripted::set_modes({dev_mode(800, 600, 32, 60)});
    window_ = open();
    ASSERT_EQ(window_->video_mode, 0);
    ASSERT_EQ(scripted::current_mode().pels_width, 800u);
  }
  ToolkitWindow* window_ = nullptr;
};

TEST_F(FullScreenShutdown, VisibleWindowGetsTheDesktopModeBack) {
  EXPECT_EQ(output_of([] { quillfen_shutdown(); }), "");
  expect_nothing_left();
}

TEST_F(FullScreenShutdown, MinimisedWindowPrintsItsMessageYetGetsTheDesktopBack) {
  scripted::post(window_->hwnd, PW_WM_SYSCOMMAND, PW_SC_MINIMIZE, 0);
  drain();
  ASSERT_FALSE(window_->visible);
  EXPECT_EQ(output_of([] { quillfen_shutdown(); }), "Vidmode change with invisible window.\n");
  expect_nothing_left();
}

// The display mode is restored even when the window cannot be destroyed, and a refused restore
// is reported while everything else still goes.
TEST_F(FullScreenShutdown, FailedRestoreIsReportedAndTheWindowStillGoes) {
  scripted::fail("ChangeDisplaySettingsA");
  EXPECT_EQ(output_of([] { quillfen_shutdown(); }), "ChangeDisplaySettings() failed.\n");
  EXPECT_EQ(live_allocations, baseline_allocations_);
  EXPECT_EQ(scripted::window_count(), 0u);
  EXPECT_EQ(scripted::class_count(), 0u);
  EXPECT_EQ(scripted::live_contexts(), 0);
  scripted::fail("ChangeDisplaySettingsA", false);
  platform().change_display_settings(nullptr, 0);
}
// A teardown call that fails is reported, and every step after it still runs: the window, the
// class, the context and the display mode that can go do go, and no toolkit block is left.
TEST_F(Shutdown, FailedDestroyWindowIsReportedAndTheRestStillRuns) {
  ToolkitWindow* window = open();
  const PwWindow hwnd = window->hwnd;
  scripted::fail("DestroyWindow");
  scripted::clear_calls();
  // The class is still in use by the window that stayed, so its unregistration fails as well.
  EXPECT_EQ(output_of([] { quillfen_shutdown(); }),
            "DestroyWindow() failed.\nUnregisterClass() failed.\n");
  EXPECT_EQ(quillfen_context, nullptr);
  EXPECT_EQ(live_allocations, baseline_allocations_);
  EXPECT_EQ(scripted::live_contexts(), 0);
  EXPECT_EQ(scripted::count_calls("UnregisterClassA"), 1);
  // The window that stayed has no record behind it any more.
  EXPECT_EQ(platform().get_prop(hwnd, kWindowProperty), nullptr);
  scripted::fail("DestroyWindow", false);
  platform().destroy_window(hwnd);
}

TEST_F(Shutdown, FailedUnregisterClassIsReported) {
  ToolkitWindow* window = open();
  const std::string class_name = window->class_name;
  scripted::fail("UnregisterClassA");
  EXPECT_EQ(output_of([] { quillfen_shutdown(); }), "UnregisterClass() failed.\n");
  EXPECT_EQ(live_allocations, baseline_allocations_);
  EXPECT_EQ(scripted::window_count(), 0u);
  scripted::fail("UnregisterClassA", false);
  EXPECT_EQ(platform().unregister_class(class_name.c_str(), nullptr), 1);
}

TEST_F(Shutdown, FailedContextDeletionIsReportedAndTheWindowStillGoes) {
  open();
  scripted::fail("wglDeleteContext");
  EXPECT_EQ(output_of([] { quillfen_shutdown(); }), "wglDeleteContext() failed.\n");
  EXPECT_EQ(live_allocations, baseline_allocations_);
  EXPECT_EQ(scripted::window_count(), 0u);
  EXPECT_EQ(scripted::class_count(), 0u);
  EXPECT_EQ(scripted::current_context(), nullptr);
}

// A failed init unregisters a class it never registered: that refusal is no failure.
TEST_F(Shutdown, ClassNeverRegisteredIsNoFailure) {
  scripted::fail("RegisterClassA");
  EXPECT_EQ(init(), "RegisterClass() failed.\n");
  EXPECT_EQ(live_allocations, baseline_allocations_);
}

}  // namespace
