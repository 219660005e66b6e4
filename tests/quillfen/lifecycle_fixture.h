#pragma once

// Initialises the real toolkit on the scripted backend; every test must leave no toolkit block,
// window, class or GL context behind, and the desktop's display mode in force.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quillfen_records.h"
#include "scripted_platform.h"

class LifecycleTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs init and returns what it printed; its result goes to `result`.
  std::string init(int32_t version = 0, bool depth = false, bool stencil = false,
                   bool alpha = false, bool* result = nullptr);

  // Pumps, then takes every queued event, oldest first.
  static std::vector<ToolkitEvent> drain();

  // Asserts the toolkit is uninitialised and holds nothing.
  void expect_nothing_left();

  // Index in the call log of the first call named `name` at or after `from`, -1 if none.
  static int call_index(const std::string& name, int from = 0);

  int32_t baseline_allocations_ = 0;
  PwDevMode desktop_{};

 private:
  WindowConfig saved_config_{};
};

// A display mode as the platform lists it.
PwDevMode dev_mode(uint32_t width, uint32_t height, uint32_t depth, uint32_t refresh_hz);

// A double-buffered RGBA format with the given depth, stencil and alpha bits.
PwPixelFormatDescriptor pixel_format_with(uint8_t depth_bits, uint8_t stencil_bits,
                                          uint8_t alpha_bits);

// Runs `body` and returns what it printed on standard output.
template <typename Body>
std::string output_of(Body body) {
  ::testing::internal::CaptureStdout();
  body();
  return ::testing::internal::GetCapturedStdout();
}
