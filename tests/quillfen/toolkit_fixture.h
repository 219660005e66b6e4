#pragma once

// Builds toolkit windows by hand on the scripted backend, the way initialisation would, so that
// translation, the queue and the pump can be tested on their own.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quillfen_records.h"
#include "scripted_platform.h"

class ToolkitTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A shown, focused toolkit window with an empty queue and no time base yet. The first one
  // becomes the current context's window unless `current` is false.
  ToolkitWindow* open_window(int32_t width = 800, int32_t height = 800, int32_t x = 0,
                             int32_t y = 0, bool current = true);
  void close_window(ToolkitWindow* window);

  // Takes every queued event of the current window, oldest first.
  std::vector<ToolkitEvent> take_all();
  static std::vector<ToolkitEvent> take_all(ToolkitWindow* window);

  ToolkitWindow* window_ = nullptr;  // the current window, once opened

 private:
  std::vector<ToolkitWindow*> windows_;
  int32_t baseline_allocations_ = 0;
  WindowConfig saved_config_{};
  int next_class_ = 0;
};

// Runs `body` and returns what it printed on standard output.
template <typename Body>
std::string printed(Body body) {
  ::testing::internal::CaptureStdout();
  body();
  return ::testing::internal::GetCapturedStdout();
}
