#include "display_mode.h"

#include <cstdio>

#include "pointer.h"

namespace {

constexpr uint32_t kHiResRefreshHz = 75;

struct DesktopSettings {
  uint32_t width;
  uint32_t height;
  uint32_t bits_per_pixel;
  uint32_t refresh_hz;
};

DesktopSettings read_desktop() {
  const PlatformOps& p = platform();
  DesktopSettings desktop{};
  PwDc screen = p.get_dc(nullptr);
  desktop.bits_per_pixel = static_cast<uint32_t>(p.get_device_caps(screen, PW_BITSPIXEL));
  desktop.refresh_hz = static_cast<uint32_t>(p.get_device_caps(screen, PW_VREFRESH));
  if (screen != nullptr) p.release_dc(nullptr, screen);
  desktop.width = static_cast<uint32_t>(p.get_system_metrics(PW_SM_CXSCREEN));
  desktop.height = static_cast<uint32_t>(p.get_system_metrics(PW_SM_CYSCREEN));
  return desktop;
}

uint32_t or_desktop(uint32_t value, uint32_t desktop_value, const char* message) {
  if (value != 0) return value;
  std::puts(message);
  return desktop_value;
}

// A held button owns the capture (it ends with that button's release). The switch may move or
// resize the window under the pointer, so the capture is let go around it and taken back after;
// the motion that the change causes is not the user's.
bool let_go_of_button_capture(ToolkitWindow* window) {
  return window->capture_button_up != 0 && capture_drop(window);
}

void take_back_button_capture(ToolkitWindow* window, bool dropped) {
  if (window->capture_button_up == 0) return;
  // Only a reference actually given back is taken again, so the count stays balanced.
  if (dropped) capture_take(window);
  window->warp_pending = true;
}

}  // namespace

bool apply_display_mode(const DisplayMode* mode) {
  const PlatformOps& p = platform();
  if (mode == nullptr) {
    if (p.change_display_settings(nullptr, 0) == PW_DISP_CHANGE_SUCCESSFUL) return true;
    std::puts("ChangeDisplaySettings() failed.");
    return false;
  }

  const DesktopSettings desktop = read_desktop();
  PwDevMode request{};
  request.size = sizeof request;
  request.fields = PW_DM_BITSPERPEL | PW_DM_PELSWIDTH | PW_DM_PELSHEIGHT | PW_DM_DISPLAYFREQUENCY;
  request.pels_width = or_desktop(mode->width, desktop.width, "Using current desktop width.");
  request.pels_height = or_desktop(mode->height, desktop.height, "Using current desktop height.");
  request.bits_per_pel = or_desktop(mode->bits_per_pixel, desktop.bits_per_pixel,
                                    "Using current desktop display depth.");
  if (mode->refresh_hz != 0) {
    request.display_frequency = mode->refresh_hz;
  } else if (request.pels_width > desktop.width || request.pels_height > desktop.height) {
    // The desktop's rate may be out of reach for a larger mode; 75 Hz is widely supported.
    std::puts("No refresh rate for hi-res mode; using 75 Hz.");
    request.display_frequency = kHiResRefreshHz;
  } else {
    std::puts("Using current refresh rate.");
    request.display_frequency = desktop.refresh_hz;
  }

  if (mode->width == desktop.width && mode->height == desktop.height &&
      mode->bits_per_pixel == desktop.bits_per_pixel && mode->refresh_hz == desktop.refresh_hz)
    return true;

  std::puts("Calling CDS()...");
  if (p.change_display_settings(&request, 0) == PW_DISP_CHANGE_SUCCESSFUL) {
    std::puts("... Ok!");
    return true;
  }
  std::puts("ChangeDisplaySettings() failed.");
  return false;
}

void set_video_mode(ToolkitWindow* window, int32_t index) {
  const PlatformOps& p = platform();
  if (!window->visible) {
    std::puts("Vidmode change with invisible window.");
    return;
  }
  if (!window->focused) {
    std::puts("Vidmode change with non-focused window.");
    p.set_focus(window->hwnd);
    p.set_active_window(window->hwnd);
  }

  if (index != -1) {
    const DisplayMode& mode = window->modes[index];
    const bool dropped = let_go_of_button_capture(window);
    if (apply_display_mode(&mode)) {
      window->video_mode = index;
      p.set_window_pos(window->hwnd, PW_HWND_TOP, 0, 0, 0, 0, PW_SWP_NOMOVE | PW_SWP_NOSIZE);
      window->screen_width = static_cast<int32_t>(mode.width);
      window->screen_height = static_cast<int32_t>(mode.height);
    }
    take_back_button_capture(window, dropped);
    return;
  }

  if (window->video_mode == -1) return;
  const bool dropped = let_go_of_button_capture(window);
  apply_display_mode(nullptr);
  take_back_button_capture(window, dropped);
  p.set_window_pos(window->hwnd, PW_HWND_NOTOPMOST, 0, 0, 0, 0, PW_SWP_NOMOVE | PW_SWP_NOSIZE);
  window->video_mode = -1;
  window->screen_width = p.get_system_metrics(PW_SM_CXSCREEN);
  window->screen_height = p.get_system_metrics(PW_SM_CYSCREEN);
}
