// The toolkit through its public calls on the x11 backend and a real X server (Xvfb): start-up
// lines, window geometry, shutdown, key codes and pointer events from input injected by xdotool,
// close requests from x11_sendclose, and the full-screen mode switch.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

#include "platform.h"
#include "quillfen.h"
#include "shell.h"
#include "tracked_alloc.h"

namespace {

constexpr int32_t kSize = 800;
constexpr uint32_t kWaitMs = 5000;  // a generous limit, not a timing requirement

std::string window_id() {
  return run("timeout 10 xdotool search --sync --name '^TEST$' | head -n 1");
}

// A one-digit number would be taken for a digit's keysym; Escape is the only such keycode here.
std::string keycode_arg(int keycode) {
  return keycode == 9 ? std::string("Escape") : std::to_string(keycode);
}

// Pumps until an event satisfies `done`; other events are dropped.
std::optional<ToolkitEvent> wait_event(const std::function<bool(const ToolkitEvent&)>& done) {
  const uint32_t start = quillfen_time_ms();
  ToolkitEvent event{};
  while (quillfen_time_ms() - start < kWaitMs) {
    if (!quillfen_poll()) {
      quillfen_sleep_ms(5);
      continue;
    }
    quillfen_next_event(&event);
    if (done(event)) return event;
  }
  return std::nullopt;
}

// Drops whatever is queued, after a short pause for events still on their way.
void drain() {
  quillfen_sleep_ms(50);
  while (quillfen_poll()) quillfen_next_event(nullptr);
}

bool num_lock_on() {
  return run("xset q | grep -o 'Num Lock: *[a-z]*'").ends_with("on");
}

// Runs the test named by `filter` again in a fresh process, for what this process can no longer
// show (it is connected already, and the loader's slots are process-wide). In this process it
// waits for the child, expects it to exit 0 and returns true; in the child, where `marker` is set
// and `prepare` has changed the environment, it returns false and the test goes on.
bool ran_in_fresh_process(const char* marker, const char* filter,
                          const std::function<void()>& prepare) {
  if (std::getenv(marker) != nullptr) return false;
  const pid_t child = fork();
  EXPECT_GE(child, 0);
  if (child == 0) {
    prepare();
    setenv(marker, "1", 1);
    execl("/proc/self/exe", "x11_toolkit_child", (std::string("--gtest_filter=") + filter).c_str(),
          nullptr);
    _exit(127);
  }
  int status = 0;
  EXPECT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status)) << "the child crashed";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  return true;
}

// "PFD <format>, <vendor> OpenGL on <renderer> ver. <version>."
bool is_renderer_line(const std::string& line) {
  int format = 0;
  const size_t on = line.find(" OpenGL on ");
  const size_t version = line.find(" ver. ");
  return std::sscanf(line.c_str(), "PFD %d, ", &format) == 1 && format > 0 &&
         on != std::string::npos && version != std::string::npos && on < version &&
         line.ends_with(".");
}

TEST(X11ToolkitInit, OpensTheWindowPrintsTheStartLinesAndShutsDownCleanly) {
  ASSERT_TRUE(quillfen_configure_window("TEST", kSize, kSize, false));
  testing::internal::CaptureStdout();
  const bool opened = quillfen_init(200, false, false, false);
  const std::string output = testing::internal::GetCapturedStdout();
  ASSERT_TRUE(opened) << output;
  EXPECT_TRUE(is_renderer_line(output.substr(0, output.find('\n')))) << output;
  size_t at = 0;
  for (const char* version : {"1.2", "1.3", "1.4", "1.5", "2.0"}) {
    const size_t found = output.find(std::string("OpenGL ") + version + " initialized.\n", at);
    EXPECT_NE(found, std::string::npos) << version << " in order\n" << output;
    if (found != std::string::npos) at = found;
  }

  int32_t width = 0, height = 0;
  ASSERT_TRUE(quillfen_get_window_size(&width, &height));
  EXPECT_EQ(width, kSize);
  EXPECT_EQ(height, kSize);
  const std::string id = window_id();
  ASSERT_FALSE(id.empty());
  EXPECT_EQ(run("xdotool getwindowgeometry --shell " + id + " | grep -E '^(WIDTH|HEIGHT)='"),
            "WIDTH=800\nHEIGHT=800");

  quillfen_shutdown();
  EXPECT_EQ(live_allocations, 0);
  EXPECT_FALSE(quillfen_get_window_size(&width, &height));
  EXPECT_EQ(run("xdotool search --name '^TEST$'"), "") << "the window is gone";

  // A second start works as the first.
  testing::internal::CaptureStdout();
  EXPECT_TRUE(quillfen_init(0, false, false, false));
  testing::internal::GetCapturedStdout();
  EXPECT_FALSE(window_id().empty());
  EXPECT_TRUE(quillfen_get_window_size(&width, &height));
  quillfen_shutdown();
  EXPECT_EQ(live_allocations, 0);
}

TEST(X11ToolkitInit, FullScreenSwitchesToAListedModeAndShutdownRestoresIt) {
  const std::string desktop = run("xdotool getdisplaygeometry");
  ASSERT_FALSE(desktop.empty());
  // Xvfb lists only its own size; the extra modes must fit inside it.
  shell(
      "xrandr --newmode e2e1024x768 63.5 1024 1072 1176 1328 768 771 775 798 -hsync +vsync "
      "2>/dev/null; xrandr --addmode screen e2e1024x768 2>/dev/null; "
      "xrandr --newmode e2e800x600 38.25 800 832 912 1024 600 603 607 624 -hsync +vsync "
      "2>/dev/null; xrandr --addmode screen e2e800x600 2>/dev/null");

  ASSERT_TRUE(quillfen_configure_window("TEST", 1024, 768, true));
  testing::internal::CaptureStdout();
  const bool opened = quillfen_init(0, false, false, false);
  const std::string output = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(opened) << output;
  EXPECT_EQ(run("xdotool getdisplaygeometry"), "1024 768") << output;
  int32_t width = 0, height = 0;
  EXPECT_TRUE(quillfen_get_window_size(&width, &height));
  EXPECT_EQ(width, 1024);
  EXPECT_EQ(height, 768);
  quillfen_shutdown();
  EXPECT_EQ(run("xdotool getdisplaygeometry"), desktop);
  EXPECT_EQ(live_allocations, 0);

  shell(
      "xrandr --delmode screen e2e1024x768 2>/dev/null; xrandr --rmmode e2e1024x768 2>/dev/null; "
      "xrandr --delmode screen e2e800x600 2>/dev/null; xrandr --rmmode e2e800x600 2>/dev/null");
}

// Without an X display init fails with its one line and holds nothing. Checked in a fresh
// process, since this one is connected already.
TEST(X11ToolkitInit, WithoutADisplayInitFailsWithOneLine) {
  if (ran_in_fresh_process("MIKADO_TOOLKIT_NO_DISPLAY_CHILD", "X11ToolkitInit.WithoutADisplay*",
                           [] { unsetenv("DISPLAY"); }))
    return;
  ASSERT_TRUE(quillfen_configure_window("TEST", kSize, kSize, false));
  for (int attempt = 0; attempt < 2; ++attempt) {
    testing::internal::CaptureStdout();
    EXPECT_FALSE(quillfen_init(0, false, false, false));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "CreateWindow() failed.\n");
    EXPECT_EQ(live_allocations, 0);
    EXPECT_FALSE(quillfen_get_window_size(nullptr, nullptr));
  }
}

// A negative screen number in DISPLAY (":0.-1") names no screen: init fails with its one line
// instead of reading outside the display's screen list. Checked in a fresh process, since this
// one is connected already.
TEST(X11ToolkitInit, NegativeScreenNumberFailsWithOneLine) {
  const char* display = std::getenv("DISPLAY");
  ASSERT_NE(display, nullptr);
  std::string server = display;
  server = server.substr(0, server.find('.', server.find(':')));
  if (ran_in_fresh_process("MIKADO_TOOLKIT_BAD_SCREEN_CHILD", "X11ToolkitInit.NegativeScreen*",
                           [&] { setenv("DISPLAY", (server + ".-1").c_str(), 1); }))
    return;
  ASSERT_TRUE(quillfen_configure_window("TEST", kSize, kSize, false));
  testing::internal::CaptureStdout();
  EXPECT_FALSE(quillfen_init(0, false, false, false));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "CreateWindow() failed.\n");
  EXPECT_EQ(live_allocations, 0);
  // No screen, so no screen size either (not whatever lies before Xlib's screen list).
  EXPECT_EQ(platform().get_system_metrics(PW_SM_CXSCREEN), 0);
  EXPECT_EQ(platform().get_system_metrics(PW_SM_CYSCREEN), 0);
}

// GLX hands out an address for any name; the backend must answer null for what the context
// lacks. Mesa limited to GL 1.4 has no GL 1.5: loading 2.0 reports 1.2 to 1.4, then fails at 1.5
// with its failure line, and init fails. Checked in a fresh process, since the loader's slots are
// process-wide.
TEST(X11ToolkitInit, ContextBelowTheRequestedVersionFailsTheLoad) {
  if (ran_in_fresh_process("MIKADO_TOOLKIT_GL14_CHILD",
                           "X11ToolkitInit.ContextBelowTheRequestedVersion*",
                           [] { setenv("MESA_GL_VERSION_OVERRIDE", "1.4", 1); }))
    return;
  ASSERT_TRUE(quillfen_configure_window("TEST", kSize, kSize, false));
  testing::internal::CaptureStdout();
  EXPECT_FALSE(quillfen_init(200, false, false, false));
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find(" ver. 1.4"), std::string::npos) << out;
  const std::string tail =
      "OpenGL 1.4 initialized.\n"
      "tgl_load_gl_1_5(): Warning: unable to load ARB_occlusion_query.\n"
      "OpenGL 1.5 failed to initialize.\n";
  ASSERT_GE(out.size(), tail.size()) << out;
  EXPECT_EQ(out.substr(out.size() - tail.size()), tail) << out;
  EXPECT_NE(out.find("OpenGL 1.2 initialized.\n"), std::string::npos) << out;
  EXPECT_NE(out.find("OpenGL 1.3 initialized.\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("OpenGL 2.0"), std::string::npos) << out;
  EXPECT_EQ(live_allocations, 0);
  EXPECT_FALSE(quillfen_get_window_size(nullptr, nullptr));
}

// One window for the input tests; keys reach it wherever the pointer is, since the backend
// gives it the keyboard focus when it is shown.
class X11ToolkitInput : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    quillfen_configure_window("TEST", kSize, kSize, false);
    testing::internal::CaptureStdout();
    opened_ = quillfen_init(0, false, false, false);
    testing::internal::GetCapturedStdout();
    if (opened_) id_ = window_id();
    shell("xset r off");  // no repeated presses from a slow tap
  }

  static void TearDownTestSuite() {
    shell("xset r on");
    quillfen_shutdown();
  }

  void SetUp() override {
    ASSERT_TRUE(opened_);
    ASSERT_FALSE(id_.empty());
    drain();
  }

  // Taps one key by keycode; returns the press event, after its release has arrived too.
  static ToolkitEvent tap(int keycode) {
    EXPECT_TRUE(shell("xdotool key " + keycode_arg(keycode)));
    auto press = wait_event([](const ToolkitEvent& e) { return e.kind == EVENT_KEY && e.pressed; });
    EXPECT_TRUE(press.has_value()) << "no press for keycode " << keycode;
    if (!press) return ToolkitEvent{};
    const int32_t key = press->key;
    auto release = wait_event(
        [key](const ToolkitEvent& e) { return e.kind == EVENT_KEY && !e.pressed && e.key == key; });
    EXPECT_TRUE(release.has_value()) << "no release for keycode " << keycode;
    return *press;
  }

  static void pointer_to(int x, int y) {
    ASSERT_TRUE(shell("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y)));
    auto moved = wait_event(
        [=](const ToolkitEvent& e) { return e.kind == EVENT_MOTION && e.x == x && e.y == y; });
    ASSERT_TRUE(moved.has_value()) << "no motion to " << x << "," << y;
  }

  static inline bool opened_ = false;
  static inline std::string id_;
};

TEST_F(X11ToolkitInput, KeysArriveWithTheirToolkitCodes) {
  struct Case {
    int keycode;
    int32_t code;
  };
  for (const Case& c :
       {Case{9, 1}, Case{67, 2}, Case{10, 18}, Case{14, 22}, Case{18, 26}, Case{19, 27},
        Case{20, 28}, Case{21, 29}, Case{65, 73}, Case{50, 58}, Case{62, 69}, Case{36, 45},
        Case{104, 102}, Case{111, 84}, Case{116, 85}, Case{113, 86}, Case{114, 87}}) {
    EXPECT_EQ(tap(c.keycode).key, c.code) << "keycode " << c.keycode;
  }
  const ToolkitEvent escape = tap(9);
  EXPECT_EQ(escape.ascii, 0x1B);
  EXPECT_EQ(escape.text_len, 1);
  EXPECT_EQ(escape.focused, 1);
  EXPECT_EQ(escape.visible, 1);
  EXPECT_EQ(escape.win_width, kSize);
  EXPECT_EQ(escape.win_height, kSize);
  EXPECT_GE(escape.time, 0.0f);
  EXPECT_LT(escape.time, 600.0f) << "seconds since the window's time base";
}

TEST_F(X11ToolkitInput, LettersCarryTheirCharacters) {
  struct Case {
    int keycode;
    int32_t code;
    char letter;
  };
  for (const Case& c : {Case{24, 33, 'q'}, Case{25, 34, 'w'}, Case{28, 37, 't'}, Case{31, 40, 'i'},
                        Case{32, 41, 'o'}, Case{33, 42, 'p'}}) {
    const ToolkitEvent e = tap(c.keycode);
    EXPECT_EQ(e.key, c.code) << c.letter;
    EXPECT_EQ(e.ascii, c.letter);
    EXPECT_EQ(e.unicode, c.letter);
    EXPECT_EQ(e.text_len, 1);
    EXPECT_EQ(std::string(e.text), std::string(1, c.letter));
  }
  // With Shift held the character is the capital; the code stays the key's.
  ASSERT_TRUE(shell("xdotool keydown 50 key 24 keyup 50"));
  auto q = wait_event([](const ToolkitEvent& e) { return e.kind == EVENT_KEY && e.key == 33; });
  ASSERT_TRUE(q.has_value());
  EXPECT_EQ(q->ascii, 'Q');
  EXPECT_TRUE(q->modifiers & (1 << 3)) << "Shift held";
}

// The keypad keeps its codes whatever the Num Lock state; only the characters follow it.
TEST_F(X11ToolkitInput, KeypadCodesHoldWithNumLockOnAndOff) {
  const bool initially_on = num_lock_on();
  struct Case {
    int keycode;
    int32_t code;
    char digit;  // the character with Num Lock on
  };
  constexpr Case kKeypad[] = {{79, 92, '7'},  {80, 93, '8'}, {81, 94, '9'}, {83, 96, '4'},
                              {84, 97, '5'},  {85, 98, '6'}, {87, 99, '1'}, {88, 100, '2'},
                              {89, 101, '3'}, {82, 91, '-'}, {86, 95, '+'}};
  for (int round = 0; round < 2; ++round) {
    const bool on = num_lock_on();
    for (const Case& c : kKeypad) {
      const ToolkitEvent e = tap(c.keycode);
      EXPECT_EQ(e.key, c.code) << "keycode " << c.keycode << ", Num Lock " << on;
      EXPECT_EQ((e.modifiers & 1) != 0, on) << "keycode " << c.keycode;
      const bool sign = c.digit == '-' || c.digit == '+';
      EXPECT_EQ(e.ascii, on || sign ? c.digit : 0)
          << "keycode " << c.keycode << ", Num Lock " << on;
    }
    EXPECT_EQ(tap(77).key, 88);
    EXPECT_NE(num_lock_on(), on) << "keycode 77 toggles Num Lock";
  }
  EXPECT_EQ(num_lock_on(), initially_on) << "two toggles restore the state";
  if (num_lock_on() != initially_on) shell("xdotool key 77");
}

TEST_F(X11ToolkitInput, WheelNotchesAndMotionDeltas) {
  pointer_to(300, 300);
  ASSERT_TRUE(shell("xdotool click 4"));
  auto away = wait_event([](const ToolkitEvent& e) { return e.kind == EVENT_KEY; });
  ASSERT_TRUE(away.has_value());
  EXPECT_EQ(away->key, 108);
  EXPECT_EQ(away->pressed, 1);
  ASSERT_TRUE(shell("xdotool click 5"));
  auto toward = wait_event([](const ToolkitEvent& e) { return e.kind == EVENT_KEY; });
  ASSERT_TRUE(toward.has_value());
  EXPECT_EQ(toward->key, 109);

  ASSERT_TRUE(shell("xdotool mousemove 310 295"));
  auto motion = wait_event([](const ToolkitEvent& e) { return e.kind == EVENT_MOTION; });
  ASSERT_TRUE(motion.has_value());
  EXPECT_EQ(motion->x, 310);
  EXPECT_EQ(motion->y, 295);
  EXPECT_EQ(motion->screen_x, 310);  // the window sits at the origin
  EXPECT_EQ(motion->dx, 10);
  EXPECT_EQ(motion->dy, -5);
}

TEST_F(X11ToolkitInput, GrabHoldsThePointerAtTheCentreAndReportsDeltas) {
  pointer_to(200, 250);
  quillfen_grab_pointer(true);
  EXPECT_EQ(run("xdotool getmouselocation | cut -d' ' -f1-2"), "x:400 y:400");

  ASSERT_TRUE(shell("xdotool mousemove_relative -- 5 -2"));
  auto first = wait_event([](const ToolkitEvent& e) { return e.kind == EVENT_MOTION; });
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->dx, 5);
  EXPECT_EQ(first->dy, -2);
  EXPECT_EQ(first->x, 5);  // the virtual position starts at the origin
  EXPECT_EQ(first->y, -2);
  drain();  // the warp back to the centre makes no event
  EXPECT_EQ(run("xdotool getmouselocation | cut -d' ' -f1-2"), "x:400 y:400");

  ASSERT_TRUE(shell("xdotool mousemove_relative -- -3 7"));
  auto second = wait_event([](const ToolkitEvent& e) { return e.kind == EVENT_MOTION; });
  ASSERT_TRUE(second.has_value());
  EXPECT_EQ(second->dx, -3);
  EXPECT_EQ(second->dy, 7);
  EXPECT_EQ(second->x, 2);
  EXPECT_EQ(second->y, 5);
  EXPECT_FALSE(quillfen_poll()) << "the warp back makes no event";

  quillfen_grab_pointer(false);
  EXPECT_EQ(run("xdotool getmouselocation | cut -d' ' -f1-2"), "x:200 y:250");
}

TEST_F(X11ToolkitInput, CloseRequestQueuesACloseEvent) {
  ASSERT_TRUE(shell(std::string(MIKADO_SENDCLOSE) + " " + id_));
  auto close = wait_event([](const ToolkitEvent& e) { return e.kind == EVENT_CLOSE; });
  ASSERT_TRUE(close.has_value());
  EXPECT_EQ(close->close, 1);
  EXPECT_EQ(window_id(), id_) << "the window stays open";
}

}  // namespace
