// The pumping calls end even when the window system misbehaves: a paint that cannot be validated
// comes back at once, and a wait that fails returns at once. The platform table is wrapped so
// that a runaway loop fails the test instead of hanging it.

#include "event_queue.h"
#include "lifecycle_fixture.h"
#include "toolkit_fixture.h"

namespace {

constexpr int kRunaway = 1000;

struct Guard {
  PlatformOps ops{};
  const PlatformOps* scripted_ops = nullptr;
  int peeks = 0;
  int waits = 0;
  bool ran_away = false;
};
Guard g_guard;

int32_t guarded_peek(PwMsg* msg, PwWindow filter, uint32_t first, uint32_t last, uint32_t remove) {
  if (++g_guard.peeks > kRunaway) {
    g_guard.ran_away = true;
    return 0;
  }
  return g_guard.scripted_ops->peek_message(msg, filter, first, last, remove);
}

// A runaway wait gets an event of its own, so the waiting call can return.
int32_t guarded_wait() {
  const int32_t result = g_guard.scripted_ops->wait_message();
  if (++g_guard.waits == kRunaway) {
    g_guard.ran_away = true;
    ToolkitEvent stop{};
    stop.kind = EVENT_CLOSE;
    push_event(current_window(), &stop);
  }
  return result;
}

// Puts the guard in front of the scripted table now in force.
void install_guard() {
  g_guard = Guard{};
  g_guard.scripted_ops = &platform();
  g_guard.ops = platform();
  g_guard.ops.peek_message = guarded_peek;
  g_guard.ops.wait_message = guarded_wait;
  install_platform(&g_guard.ops);
}

class PumpBounds : public ToolkitTest {
 protected:
  void SetUp() override {
    ToolkitTest::SetUp();
    install_guard();
  }
};

TEST_F(PumpBounds, PollEndsWhenTheUpdateAreaCannotBeRead) {
  open_window();
  scripted::fail("GetUpdateRect");
  scripted::invalidate(window_->hwnd, nullptr);
  EXPECT_EQ(quillfen_poll(), 0);
  EXPECT_FALSE(g_guard.ran_away) << g_guard.peeks << " peeks";
  // Working again, the area is painted and reported once.
  scripted::fail("GetUpdateRect", false);
  EXPECT_EQ(quillfen_poll(), 1);
  const auto events = take_all();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, EVENT_PAINT);
}

TEST_F(PumpBounds, PollEndsWhenBeginPaintFails) {
  open_window();
  scripted::fail("BeginPaint");
  scripted::invalidate(window_->hwnd, nullptr);
  quillfen_poll();
  EXPECT_FALSE(g_guard.ran_away) << g_guard.peeks << " peeks";
  EXPECT_LE(take_all().size(), 2u);
}

TEST_F(PumpBounds, FailingWaitEndsTheWaitWithItsLine) {
  open_window();
  scripted::fail("WaitMessage");
  int result = -1;
  EXPECT_EQ(printed([&] { result = quillfen_wait(); }), "WaitMessage() failed.\n");
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(g_guard.ran_away) << g_guard.waits << " waits";
  ToolkitEvent event{};
  EXPECT_EQ(printed([&] { result = quillfen_next_event(&event); }), "WaitMessage() failed.\n");
  EXPECT_EQ(result, 0);
  EXPECT_EQ(event.kind, EVENT_NONE);
  EXPECT_FALSE(g_guard.ran_away) << g_guard.waits << " waits";
  take_all();
}

class InitPumpBounds : public LifecycleTest {
 protected:
  void SetUp() override {
    LifecycleTest::SetUp();
    install_guard();
  }
};

TEST_F(InitPumpBounds, InitEndsWhenBeginPaintFails) {
  scripted::fail("BeginPaint");
  bool ok = false;
  init(0, false, false, false, &ok);
  EXPECT_TRUE(ok);
  EXPECT_FALSE(g_guard.ran_away) << g_guard.peeks << " peeks";
  scripted::fail("BeginPaint", false);
  quillfen_shutdown();
}

}  // namespace
