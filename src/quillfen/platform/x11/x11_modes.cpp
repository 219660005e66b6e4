// Display modes through XRandR: the sizes and rates of the screen at its one depth, switching and
// restoring, the screen size from the mode in force, and the device capabilities.

#include <X11/extensions/Xrandr.h>
#include <poll.h>

#include <vector>

#include "system_messages.h"
#include "x11_state.h"

namespace x11 {
namespace {

constexpr int kChangeWaitMs = 1000;

struct Mode {
  int size_index;
  uint32_t width, height, rate;
};

// X cannot change depth; a 24-bit screen stores 32 bits a pixel, which Windows calls 32 bpp.
uint32_t bits_per_pixel(Display* d) {
  int depth = DefaultDepth(d, state().screen);
  int count = 0;
  XPixmapFormatValues* formats = XListPixmapFormats(d, &count);
  uint32_t bits = static_cast<uint32_t>(depth);
  for (int i = 0; i < count; ++i)
    if (formats[i].depth == depth) bits = static_cast<uint32_t>(formats[i].bits_per_pixel);
  if (formats != nullptr) XFree(formats);
  return bits;
}

std::vector<Mode> list_modes(Display* d, XRRScreenConfiguration* config) {
  std::vector<Mode> modes;
  int size_count = 0;
  XRRScreenSize* sizes = XRRConfigSizes(config, &size_count);
  for (int i = 0; i < size_count; ++i) {
    int rate_count = 0;
    short* rates = XRRConfigRates(config, i, &rate_count);
    auto width = static_cast<uint32_t>(sizes[i].width);
    auto height = static_cast<uint32_t>(sizes[i].height);
    if (rate_count == 0) modes.push_back(Mode{i, width, height, 0});
    for (int r = 0; r < rate_count; ++r)
      modes.push_back(Mode{i, width, height, static_cast<uint32_t>(rates[r])});
  }
  (void)d;
  return modes;
}

struct Current {
  int size_index = -1;
  Rotation rotation = RR_Rotate_0;
  PwDevMode mode{};
};

bool read_current(Display* d, XRRScreenConfiguration* config, Current* out) {
  int size_count = 0;
  XRRScreenSize* sizes = XRRConfigSizes(config, &size_count);
  SizeID index = XRRConfigCurrentConfiguration(config, &out->rotation);
  if (index >= size_count) return false;
  out->size_index = index;
  out->mode.pels_width = static_cast<uint32_t>(sizes[index].width);
  out->mode.pels_height = static_cast<uint32_t>(sizes[index].height);
  out->mode.bits_per_pel = bits_per_pixel(d);
  out->mode.display_frequency = static_cast<uint32_t>(XRRConfigCurrentRate(config));
  out->mode.fields = PW_DM_BITSPERPEL | PW_DM_PELSWIDTH | PW_DM_PELSHEIGHT | PW_DM_DISPLAYFREQUENCY;
  return true;
}

void fill(PwDevMode* out, uint32_t width, uint32_t height, uint32_t bits, uint32_t rate) {
  out->fields = PW_DM_BITSPERPEL | PW_DM_PELSWIDTH | PW_DM_PELSHEIGHT | PW_DM_DISPLAYFREQUENCY;
  out->pels_width = width;
  out->pels_height = height;
  out->bits_per_pel = bits;
  out->display_frequency = rate;
}

XRRScreenConfiguration* screen_config(Display* d) {
  if (state().randr_event_base < 0) return nullptr;
  return XRRGetScreenInfo(d, state().root);
}

void remember_registry(Display* d) {
  State& s = state();
  if (s.registry_saved) return;
  XRRScreenConfiguration* config = screen_config(d);
  if (config == nullptr) return;
  Current current;
  if (read_current(d, config, &current)) {
    s.registry = current.mode;
    s.registry_saved = true;
  }
  XRRFreeScreenConfigInfo(config);
}

// The server announces a new configuration with an event; Xlib's idea of the screen size
// (DisplayWidth and friends) only changes once that event went through XRRUpdateConfiguration.
// Older announcements (modes added by others, say) may still be waiting: each is applied in turn
// until the one of the size asked for.
void wait_for_change(Display* d, uint32_t width, uint32_t height) {
  State& s = state();
  XEvent event;
  for (int waited = 0; waited < kChangeWaitMs;) {
    if (XCheckTypedEvent(d, s.randr_event_base + RRScreenChangeNotify, &event)) {
      screen_changed(event);
      auto& change = reinterpret_cast<XRRScreenChangeNotifyEvent&>(event);
      if (static_cast<uint32_t>(change.width) == width &&
          static_cast<uint32_t>(change.height) == height)
        return;
      continue;
    }
    XFlush(d);
    pollfd fd{ConnectionNumber(d), POLLIN, 0};
    poll(&fd, 1, 5);
    waited += 5;
  }
}

void announce(const PwDevMode& mode) {
  State& s = state();
  std::vector<uintptr_t> ids;
  for (auto& [id, w] : s.windows) ids.push_back(id);
  emulation::announce_display_change(ids, mode, send);
}

// Switches to `wanted`; its zero or absent fields keep the current values, and a rate of 0 or 1
// means the mode's default.
int32_t switch_mode(Display* d, const PwDevMode& wanted, uint32_t flags) {
  XRRScreenConfiguration* config = screen_config(d);
  if (config == nullptr) return PW_DISP_CHANGE_FAILED;
  Current current;
  if (!read_current(d, config, &current)) {
    XRRFreeScreenConfigInfo(config);
    return PW_DISP_CHANGE_FAILED;
  }
  std::vector<Mode> modes = list_modes(d, config);
  const PwDevMode& now = current.mode;
  uint32_t width =
      (wanted.fields & PW_DM_PELSWIDTH) && wanted.pels_width ? wanted.pels_width : now.pels_width;
  uint32_t height = (wanted.fields & PW_DM_PELSHEIGHT) && wanted.pels_height ? wanted.pels_height
                                                                             : now.pels_height;
  uint32_t bits = (wanted.fields & PW_DM_BITSPERPEL) && wanted.bits_per_pel ? wanted.bits_per_pel
                                                                            : now.bits_per_pel;
  uint32_t rate = (wanted.fields & PW_DM_DISPLAYFREQUENCY) ? wanted.display_frequency : 0;
  bool any_rate = rate <= 1;
  const Mode* found = nullptr;
  for (const Mode& m : modes) {
    if (m.width != width || m.height != height) continue;
    if (!any_rate && m.rate != rate) continue;
    if (found == nullptr ||
        (any_rate && m.rate == now.display_frequency && m.size_index == current.size_index))
      found = &m;
  }
  if (found == nullptr || bits != now.bits_per_pel) {
    XRRFreeScreenConfigInfo(config);
    return PW_DISP_CHANGE_BADMODE;
  }
  if (flags & PW_CDS_TEST) {
    XRRFreeScreenConfigInfo(config);
    return PW_DISP_CHANGE_SUCCESSFUL;
  }
  if (found->size_index == current.size_index && found->rate == now.display_frequency) {
    XRRFreeScreenConfigInfo(config);
    return PW_DISP_CHANGE_SUCCESSFUL;
  }
  remember_registry(d);
  Status status =
      XRRSetScreenConfigAndRate(d, config, state().root, found->size_index, current.rotation,
                                static_cast<short>(found->rate), CurrentTime);
  XRRFreeScreenConfigInfo(config);
  if (status != Success) return PW_DISP_CHANGE_FAILED;
  wait_for_change(d, found->width, found->height);
  PwDevMode applied{};
  fill(&applied, found->width, found->height, bits, found->rate);
  if (flags & PW_CDS_UPDATEREGISTRY) state().registry = applied;
  announce(applied);
  return PW_DISP_CHANGE_SUCCESSFUL;
}

int32_t current_rate(Display* d) {
  XRRScreenConfiguration* config = screen_config(d);
  if (config == nullptr) return 0;
  int32_t rate = XRRConfigCurrentRate(config);
  XRRFreeScreenConfigInfo(config);
  return rate;
}

}  // namespace

void screen_changed(XEvent& event) {
  XRRUpdateConfiguration(&event);
}

int32_t get_system_metrics(int32_t index) {
  Display* d = display();
  if (d == nullptr) return 0;
  if (index == PW_SM_CXSCREEN) return DisplayWidth(d, state().screen);
  if (index == PW_SM_CYSCREEN) return DisplayHeight(d, state().screen);
  return 0;
}

int32_t enum_display_settings(const char* device, uint32_t mode_num, PwDevMode* mode) {
  Display* d = display();
  if (device != nullptr || mode == nullptr || d == nullptr) return 0;
  XRRScreenConfiguration* config = screen_config(d);
  if (config == nullptr) return 0;
  Current current;
  bool ok = read_current(d, config, &current);
  std::vector<Mode> modes = list_modes(d, config);
  XRRFreeScreenConfigInfo(config);
  if (!ok) return 0;
  uint32_t bits = current.mode.bits_per_pel;
  if (mode_num == PW_ENUM_CURRENT_SETTINGS) {
    const PwDevMode& m = current.mode;
    fill(mode, m.pels_width, m.pels_height, m.bits_per_pel, m.display_frequency);
  } else if (mode_num == PW_ENUM_REGISTRY_SETTINGS) {
    const PwDevMode& m = state().registry_saved ? state().registry : current.mode;
    fill(mode, m.pels_width, m.pels_height, m.bits_per_pel, m.display_frequency);
  } else if (mode_num < modes.size()) {
    const Mode& m = modes[mode_num];
    fill(mode, m.width, m.height, bits, m.rate);
  } else {
    return 0;
  }
  return 1;
}

int32_t change_display_settings(const PwDevMode* mode, uint32_t flags) {
  Display* d = display();
  if (d == nullptr) return PW_DISP_CHANGE_FAILED;
  if (mode != nullptr) return switch_mode(d, *mode, flags);
  // No request: back to the mode in force before our first change.
  if (!state().registry_saved) return PW_DISP_CHANGE_SUCCESSFUL;
  return switch_mode(d, state().registry, 0);
}

int32_t get_device_caps(PwDc dc, int32_t index) {
  Display* d = state().display;
  if (d == nullptr || !known_dc(dc)) return 0;
  switch (index) {
    case PW_BITSPIXEL:
      return static_cast<int32_t>(bits_per_pixel(d));
    case PW_PLANES:
      return 1;
    case PW_HORZRES:
      return DisplayWidth(d, state().screen);
    case PW_VERTRES:
      return DisplayHeight(d, state().screen);
    case PW_VREFRESH:
      return current_rate(d);
    default:
      return 0;
  }
}

}  // namespace x11
