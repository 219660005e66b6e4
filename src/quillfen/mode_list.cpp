// The display-mode list of a window, read once at initialisation.

#include "init_steps.h"
#include "tracked_alloc.h"

namespace {

// Hardware default, as the system reports it; the toolkit calls it 0.
constexpr uint32_t kDefaultRefreshReported = 1;
constexpr uint32_t kMinimumBitsPerPixel = 15;

bool enum_mode(uint32_t number, PwDevMode* mode) {
  *mode = PwDevMode{};
  mode->size = sizeof *mode;
  return platform().enum_display_settings(nullptr, number, mode) != 0;
}

}  // namespace

void build_mode_list(ToolkitWindow* window) {
  PwDevMode mode{};
  int32_t count = 0;
  for (uint32_t number = 0; enum_mode(number, &mode); ++number)
    if (mode.bits_per_pel >= kMinimumBitsPerPixel) ++count;
  window->modes = nullptr;
  window->mode_count = 0;
  if (count == 0) return;

  window->modes = static_cast<DisplayMode*>(tracked_alloc(sizeof(DisplayMode) * count));
  // The list may have changed since the count: never store more than was counted.
  int32_t stored = 0;
  for (uint32_t number = 0; stored < count && enum_mode(number, &mode); ++number) {
    if (mode.bits_per_pel < kMinimumBitsPerPixel) continue;
    DisplayMode& entry = window->modes[stored++];
    entry.width = mode.pels_width;
    entry.height = mode.pels_height;
    entry.bits_per_pixel = mode.bits_per_pel;
    entry.refresh_hz =
        mode.display_frequency == kDefaultRefreshReported ? 0 : mode.display_frequency;
  }
  window->mode_count = stored;
}

int32_t find_mode(const ToolkitWindow* window, uint32_t depth) {
  const auto width = static_cast<uint32_t>(window->width);
  const auto height = static_cast<uint32_t>(window->height);
  for (int32_t i = 0; i < window->mode_count; ++i) {
    const DisplayMode& mode = window->modes[i];
    if (mode.width == width && mode.height == height && mode.bits_per_pixel == depth) return i;
  }
  return -1;
}
