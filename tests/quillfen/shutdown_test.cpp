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

}  // namespace
