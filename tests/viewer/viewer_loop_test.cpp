// run_viewer on the scripted window system. The scripted backend has no GL: the viewer's GL calls
// reach the system library without a current context, where they do nothing, and a frame shows
// as the SwapBuffers it ends with. Test hooks around Sleep, PeekMessage and SwapBuffers script
// the clock and the input while the loop runs.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "event_queue.h"
#include "quillfen_records.h"
#include "scripted_platform.h"
#include "tracked_alloc.h"
#include "viewer.h"

namespace {

struct Hooks {
  std::function<void(int sleep_number)> on_sleep;  // after the sleep, numbered from 1
  std::function<void()> on_peek;
  std::function<void()> on_swap;  // before the frame is presented
  int sleeps = 0;
  std::vector<int> frames_at_sleep;  // frames presented before each sleep
  std::vector<float> yaw_at_frame;
  std::vector<int> sleeps_at_frame;
};
Hooks hooks;
PlatformOps scripted_ops;

void scripted_sleep(uint32_t ms) {
  hooks.frames_at_sleep.push_back(scripted::count_calls("SwapBuffers"));
  scripted::ops()->sleep(ms);
  ++hooks.sleeps;
  if (hooks.on_sleep) hooks.on_sleep(hooks.sleeps);
}
int32_t scripted_peek(PwMsg* msg, PwWindow filter, uint32_t first, uint32_t last, uint32_t remove) {
  if (hooks.on_peek) hooks.on_peek();
  return scripted::ops()->peek_message(msg, filter, first, last, remove);
}
int32_t scripted_swap(PwDc dc) {
  hooks.yaw_at_frame.push_back(view_state.yaw);
  hooks.sleeps_at_frame.push_back(hooks.sleeps);
  if (hooks.on_swap) hooks.on_swap();
  return scripted::ops()->swap_buffers(dc);
}

ToolkitWindow* window() {
  return current_window();
}
// Sets the toolkit clock, which counts from the window's time base.
void set_clock(uint32_t ms) {
  scripted::set_tick(window()->time_base + ms);
}
void press_escape() {
  scripted::key_down(window()->hwnd, PW_VK_ESCAPE, 0x01);
}
ToolkitEvent record(int32_t kind) {
  ToolkitEvent event{};
  event.kind = kind;
  return event;
}

class ViewerLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    scripted::install();
    scripted_ops = *scripted::ops();
    scripted_ops.sleep = scripted_sleep;
    scripted_ops.peek_message = scripted_peek;
    scripted_ops.swap_buffers = scripted_swap;
    install_platform(&scripted_ops);
    hooks = Hooks{};
    view_state = ViewState{};
    baseline_allocations_ = live_allocations;
  }
  void TearDown() override {
    quillfen_shutdown();
    scripted::uninstall();
    hooks = Hooks{};
    view_state = ViewState{};
    EXPECT_EQ(live_allocations, baseline_allocations_);
  }

  // Runs the viewer, quitting with Escape at the given sleep unless a hook quits first.
  int32_t run(std::function<void(int)> script, int escape_at = 1000) {
    hooks.on_sleep = [script, escape_at](int n) {
      if (script) script(n);
      if (n == escape_at) press_escape();
      // A loop that never quits is a failure, not a hang.
      if (n > 2000) press_escape();
    };
    const int32_t result = run_viewer();
    EXPECT_LT(hooks.sleeps, 2000);
    return result;
  }

  int32_t baseline_allocations_ = 0;
};

TEST_F(ViewerLoop, OpensTheTestWindowAndSleepsTheFullInterval) {
  std::string title;
  PwRect client{};
  EXPECT_EQ(run(
                [&](int n) {
                  if (n != 1) return;
                  title = scripted::title(window()->hwnd);
                  client = scripted::client_rect(window()->hwnd);
                },
                3),
            0);
  EXPECT_EQ(title, "TEST");
  EXPECT_EQ(client.right - client.left, 800);
  EXPECT_EQ(client.bottom - client.top, 800);
  for (const scripted::CallRecord& call : scripted::calls()) {
    if (call.name == "Sleep") {
      EXPECT_EQ(call.detail, "20");
    }
  }
}

TEST_F(ViewerLoop, FirstFrameOnTheFirstIdlePassPast20) {
  // The scripted clock starts at 0 with init and moves only by the 20 ms sleeps.
  EXPECT_EQ(run(nullptr, 4), 0);
  ASSERT_GE(hooks.frames_at_sleep.size(), 4u);
  EXPECT_EQ(hooks.frames_at_sleep[1], 0);  // 20 ms: not yet
  EXPECT_EQ(hooks.frames_at_sleep[2], 1);  // 40 ms: the first frame
  EXPECT_EQ(hooks.frames_at_sleep[3], 1);  // 60 ms is only 20 after that frame
}

TEST_F(ViewerLoop, FrameOnlyWhenMoreThanTheIntervalHasPassed) {
  const uint32_t clock[] = {0, 21, 41, 42, 62, 63};
  EXPECT_EQ(run(
                [&](int n) {
                  if (n < 6) set_clock(clock[n]);
                },
                5),
            0);
  // Frames at 21 and 42; 41 and 62 are exactly 20 after the frame before.
  EXPECT_EQ(hooks.frames_at_sleep, (std::vector<int>{0, 1, 1, 2, 2}));
}

TEST_F(ViewerLoop, IntervalCountsFromTheEndOfTheFrame) {
  hooks.on_swap = [] {
    scripted::advance(10);
  };  // drawn from a reading of 21, the frame ends at 31
  const uint32_t clock[] = {0, 21, 51, 52};
  EXPECT_EQ(run(
                [&](int n) {
                  if (n < 4) set_clock(clock[n]);
                },
                4),
            0);
  // 51 is only 20 after the end of the first frame.
  EXPECT_EQ(hooks.frames_at_sleep, (std::vector<int>{0, 1, 1, 2}));
}

TEST_F(ViewerLoop, ClockWrapDoesNotStallDrawing) {
  EXPECT_EQ(run(
                [&](int n) {
                  if (n == 1) set_clock(0xFFFFFFF0u);
                  if (n == 2) set_clock(0xFFFFFFF0u + 21u);  // wraps to 5
                },
                3),
            0);
  EXPECT_EQ(hooks.frames_at_sleep, (std::vector<int>{0, 1, 2}));
}

TEST_F(ViewerLoop, NoFrameWhileEventsAreQueued) {
  EXPECT_EQ(run(
                [&](int n) {
                  if (n != 1) return;
                  set_clock(5);
                  ToolkitEvent turn = record(EVENT_MOTION);
                  turn.dx = 1;
                  turn.buttons = 1;
                  for (int i = 0; i < 50; ++i) push_event(window(), &turn);
                  // Handling the events takes time: the clock runs far past the interval.
                  hooks.on_peek = [] { scripted::advance(5); };
                },
                3),
            0);
  ASSERT_FALSE(hooks.yaw_at_frame.empty());
  EXPECT_EQ(hooks.yaw_at_frame[0], 50.0f);  // every event handled before the first frame
  EXPECT_EQ(hooks.sleeps_at_frame[0], 2);   // and no frame drawn in between
}

TEST_F(ViewerLoop, ReleasesAreIgnored) {
  int32_t result = run([&](int n) {
    if (n == 1) {
      ToolkitEvent release = record(EVENT_KEY);
      release.key = 1;  // Escape
      push_event(window(), &release);
    }
    if (n == 3) press_escape();
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(hooks.sleeps, 3);  // the release did not quit
}

TEST_F(ViewerLoop, KeysReachTheBindings) {
  // P halves the idle sleep; the frame rule stays at more than 20 ms.
  EXPECT_EQ(run(
                [&](int n) {
                  if (n != 1) return;
                  scripted::key_down(window()->hwnd, 'P', 0x19);
                  ToolkitEvent wheel_toward = record(EVENT_KEY);
                  wheel_toward.key = QUILLFEN_KEY_MAX;  // 109, the highest code
                  wheel_toward.pressed = 1;
                  push_event(window(), &wheel_toward);
                },
                6),
            0);
  EXPECT_FALSE(view_state.sleep_full_interval);
  EXPECT_FLOAT_EQ(view_state.zoom, 4.6f * 1.15f);
  std::vector<std::string> sleeps;
  for (const scripted::CallRecord& call : scripted::calls())
    if (call.name == "Sleep") sleeps.push_back(call.detail);
  EXPECT_EQ(sleeps, (std::vector<std::string>{"20", "10", "10", "10", "10", "10"}));
  // Clock 20, 30, 40, 50, 60: frames at 30 and at 60.
  EXPECT_EQ(hooks.frames_at_sleep, (std::vector<int>{0, 0, 1, 1, 1, 2}));
}

TEST_F(ViewerLoop, CloseRequestQuitsOnlyWithCloseSetToOne) {
  PwWindow hwnd = nullptr;
  int32_t result = run([&](int n) {
    if (n == 1) {
      hwnd = window()->hwnd;
      ToolkitEvent not_close = record(EVENT_CLOSE);
      not_close.close = 2;
      push_event(window(), &not_close);
    }
    if (n == 2) scripted::post(window()->hwnd, PW_WM_SYSCOMMAND, PW_SC_CLOSE, 0);
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(hooks.sleeps, 2);
  EXPECT_EQ(quillfen_context, nullptr);  // shut down
  EXPECT_FALSE(scripted::is_window(hwnd));
}

TEST_F(ViewerLoop, EscapeShutsDownAndReturnsZero) {
  PwWindow hwnd = nullptr;
  EXPECT_EQ(run(
                [&](int n) {
                  if (n == 1) hwnd = window()->hwnd;
                },
                1),
            0);
  EXPECT_EQ(hooks.sleeps, 1);
  EXPECT_EQ(quillfen_context, nullptr);
  EXPECT_FALSE(scripted::is_window(hwnd));
  EXPECT_EQ(scripted::live_contexts(), 0);
}

TEST_F(ViewerLoop, InitFailureReturnsMinusOneWithoutRunning) {
  scripted::fail("RegisterClassA");
  std::string out;
  ::testing::internal::CaptureStdout();
  const int32_t result = run_viewer();
  out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(result, -1);
  EXPECT_EQ(out, "RegisterClass() failed.\n");  // the toolkit's line, nothing of the viewer
  EXPECT_EQ(hooks.sleeps, 0);
  EXPECT_EQ(scripted::count_calls("PeekMessageA"), 0);
  EXPECT_EQ(scripted::count_calls("SwapBuffers"), 0);
  EXPECT_EQ(quillfen_context, nullptr);
}

}  // namespace
