// The toolkit built without a native backend, as on a system without a window system it knows,
// and with no table installed: init fails with its one line and holds nothing, however often it
// is tried, and the other public calls see an uninitialised toolkit.

#include <gtest/gtest.h>

#include <string>

#include "quillfen.h"
#include "quillfen_records.h"
#include "tracked_alloc.h"

namespace {

TEST(InitWithoutBackend, FailsWithItsLineAndHoldsNothing) {
  ASSERT_FALSE(platform_available());
  ASSERT_TRUE(quillfen_configure_window("TEST", 800, 800, false));
  for (int attempt = 0; attempt < 2; ++attempt) {
    testing::internal::CaptureStdout();
    EXPECT_FALSE(quillfen_init(0, false, false, false));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "RegisterClass() failed.\n");
    EXPECT_EQ(live_allocations, 0);
    EXPECT_EQ(quillfen_context, nullptr);
  }
  EXPECT_FALSE(quillfen_get_window_size(nullptr, nullptr));
  EXPECT_EQ(quillfen_poll(), 0);
  testing::internal::CaptureStdout();
  quillfen_shutdown();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

}  // namespace
