// Display modes, device contexts, pixel formats, GL contexts and kernel services of the scripted
// backend.

#include <cstdio>
#include <string>

#include "scripted_state.h"
#include "system_messages.h"

namespace scripted::detail {
namespace {

std::string describe_mode(const PwDevMode& mode) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%ux%u %u bpp %u Hz", mode.pels_width, mode.pels_height,
                mode.bits_per_pel, mode.display_frequency);
  return buffer;
}

bool known_dc(PwDc dc) {
  uintptr_t id = dc_id(dc);
  if (id == kScreenDc) return true;
  return (id & 0x8) && find(id & ~uintptr_t{0xF}) != nullptr;
}

void fill_mode(PwDevMode* out, const PwDevMode& mode) {
  out->fields = PW_DM_BITSPERPEL | PW_DM_PELSWIDTH | PW_DM_PELSHEIGHT | PW_DM_DISPLAYFREQUENCY;
  out->bits_per_pel = mode.bits_per_pel;
  out->pels_width = mode.pels_width;
  out->pels_height = mode.pels_height;
  out->display_frequency = mode.display_frequency;
}

void switch_to(const PwDevMode& mode) {
  State& s = state();
  s.desktop = mode;
  std::vector<uintptr_t> ids;
  for (auto& [id, w] : s.windows) ids.push_back(id);
  emulation::announce_display_change(ids, mode, send);
}

}  // namespace

int32_t get_system_metrics(int32_t index) {
  log("GetSystemMetrics", std::to_string(index));
  if (index == PW_SM_CXSCREEN) return static_cast<int32_t>(state().desktop.pels_width);
  if (index == PW_SM_CYSCREEN) return static_cast<int32_t>(state().desktop.pels_height);
  return 0;
}

int32_t enum_display_settings(const char* device, uint32_t mode_num, PwDevMode* mode) {
  log("EnumDisplaySettingsA", std::to_string(mode_num));
  State& s = state();
  if (device != nullptr || mode == nullptr || failing("EnumDisplaySettingsA")) return 0;
  if (mode_num == PW_ENUM_CURRENT_SETTINGS) {
    fill_mode(mode, s.desktop);
  } else if (mode_num == PW_ENUM_REGISTRY_SETTINGS) {
    fill_mode(mode, s.registry);
  } else if (mode_num < s.modes.size()) {
    fill_mode(mode, s.modes[mode_num]);
  } else {
    return 0;
  }
  return 1;
}

int32_t change_display_settings(const PwDevMode* mode, uint32_t flags) {
  log("ChangeDisplaySettingsA", mode ? describe_mode(*mode) : "restore");
  State& s = state();
  if (failing("ChangeDisplaySettingsA") || s.refuse_switch) return PW_DISP_CHANGE_FAILED;
  if (mode == nullptr) {
    if (s.desktop.pels_width != s.registry.pels_width ||
        s.desktop.pels_height != s.registry.pels_height ||
        s.desktop.bits_per_pel != s.registry.bits_per_pel ||
        s.desktop.display_frequency != s.registry.display_frequency)
      switch_to(s.registry);
    return PW_DISP_CHANGE_SUCCESSFUL;
  }
  if (flags & PW_CDS_TEST) return PW_DISP_CHANGE_SUCCESSFUL;
  PwDevMode next = s.desktop;
  if (mode->fields & PW_DM_PELSWIDTH) next.pels_width = mode->pels_width;
  if (mode->fields & PW_DM_PELSHEIGHT) next.pels_height = mode->pels_height;
  if (mode->fields & PW_DM_BITSPERPEL) next.bits_per_pel = mode->bits_per_pel;
  if (mode->fields & PW_DM_DISPLAYFREQUENCY) next.display_frequency = mode->display_frequency;
  switch_to(next);
  if (flags & PW_CDS_UPDATEREGISTRY) s.registry = next;
  return PW_DISP_CHANGE_SUCCESSFUL;
}

int32_t get_device_caps(PwDc dc, int32_t index) {
  log("GetDeviceCaps", std::to_string(index));
  const PwDevMode& mode = state().desktop;
  if (!known_dc(dc)) return 0;
  switch (index) {
    case PW_BITSPIXEL:
      return static_cast<int32_t>(mode.bits_per_pel);
    case PW_VREFRESH:
      return static_cast<int32_t>(mode.display_frequency);
    case PW_HORZRES:
      return static_cast<int32_t>(mode.pels_width);
    case PW_VERTRES:
      return static_cast<int32_t>(mode.pels_height);
    case PW_PLANES:
      return 1;
    default:
      return 0;
  }
}

PwDc get_dc(PwWindow window) {
  log("GetDC");
  if (failing("GetDC")) return nullptr;
  if (window == nullptr) return reinterpret_cast<PwDc>(kScreenDc);
  return find(window) ? window_dc(id_of(window)) : nullptr;
}

int32_t release_dc(PwWindow, PwDc dc) {
  log("ReleaseDC");
  return known_dc(dc) ? 1 : 0;
}

int32_t choose_pixel_format(PwDc dc, const PwPixelFormatDescriptor* pfd) {
  log("ChoosePixelFormat");
  State& s = state();
  if (!known_dc(dc) || pfd == nullptr || failing("ChoosePixelFormat")) return 0;
  if (s.chosen_format < 1 || s.chosen_format > static_cast<int>(s.formats.size())) return 0;
  return s.chosen_format;
}

int32_t describe_pixel_format(PwDc dc, int32_t format, uint32_t size,
                              PwPixelFormatDescriptor* pfd) {
  log("DescribePixelFormat", std::to_string(format));
  State& s = state();
  int32_t count = static_cast<int32_t>(s.formats.size());
  if (!known_dc(dc) || failing("DescribePixelFormat")) return 0;
  if (pfd == nullptr) return count;
  if (format < 1 || format > count || size < sizeof(PwPixelFormatDescriptor)) return 0;
  *pfd = s.formats[static_cast<size_t>(format - 1)];
  return count;
}

int32_t set_pixel_format(PwDc dc, int32_t format, const PwPixelFormatDescriptor*) {
  log("SetPixelFormat", std::to_string(format));
  State& s = state();
  if (!known_dc(dc) || failing("SetPixelFormat")) return 0;
  if (format < 1 || format > static_cast<int32_t>(s.formats.size())) return 0;
  auto it = s.dc_format.find(dc_id(dc));
  if (it != s.dc_format.end() && it->second != format) return 0;  // set once per window
  s.dc_format[dc_id(dc)] = format;
  return 1;
}

int32_t swap_buffers(PwDc dc) {
  log("SwapBuffers");
  return known_dc(dc) && !failing("SwapBuffers") ? 1 : 0;
}

PwGlContext wgl_create_context(PwDc dc) {
  log("wglCreateContext");
  State& s = state();
  if (!known_dc(dc) || !s.dc_format.count(dc_id(dc)) || failing("wglCreateContext")) return nullptr;
  uintptr_t id = s.next_context;
  s.next_context += 0x10;
  s.contexts.insert(id);
  return reinterpret_cast<PwGlContext>(id);
}

int32_t wgl_make_current(PwDc dc, PwGlContext context) {
  log("wglMakeCurrent", context ? "context" : "none");
  State& s = state();
  if (failing("wglMakeCurrent")) return 0;
  if (context == nullptr) {
    s.current_context = 0;
    return 1;
  }
  uintptr_t id = reinterpret_cast<uintptr_t>(context);
  if (!s.contexts.count(id) || !known_dc(dc)) return 0;
  s.current_context = id;
  return 1;
}

int32_t wgl_delete_context(PwGlContext context) {
  log("wglDeleteContext");
  State& s = state();
  uintptr_t id = reinterpret_cast<uintptr_t>(context);
  if (failing("wglDeleteContext") || !s.contexts.erase(id)) return 0;
  if (s.current_context == id) s.current_context = 0;
  return 1;
}

PwProc wgl_get_proc_address(const char* name) {
  log("wglGetProcAddress", name ? name : "");
  State& s = state();
  if (name == nullptr || s.current_context == 0 || failing("wglGetProcAddress")) return nullptr;
  auto it = s.procs.find(name);
  return it != s.procs.end() ? it->second : s.default_proc;
}

const unsigned char* gl_get_string(uint32_t name) {
  log("glGetString", std::to_string(name));
  State& s = state();
  if (s.current_context == 0 || failing("glGetString")) return nullptr;
  auto it = s.gl_strings.find(name);
  if (it == s.gl_strings.end() || !it->second) return nullptr;
  return reinterpret_cast<const unsigned char*>(it->second->c_str());
}

void gl_viewport(int32_t x, int32_t y, int32_t width, int32_t height) {
  log("glViewport", std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(width) +
                        "x" + std::to_string(height));
}

void gl_matrix_mode(uint32_t mode) {
  log("glMatrixMode", std::to_string(mode));
}

void gl_load_identity() {
  log("glLoadIdentity");
}

void gl_ortho(double left, double right, double bottom, double top, double z_near, double z_far) {
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, "%g %g %g %g %g %g", left, right, bottom, top, z_near,
                z_far);
  log("glOrtho", buffer);
}

uint32_t get_tick_count() {
  log("GetTickCount");
  return state().tick;
}

// Sleeping moves the simulated clock instead of the process.
void sleep(uint32_t milliseconds) {
  log("Sleep", std::to_string(milliseconds));
  state().tick += milliseconds;
}

uint32_t get_current_process_id() {
  log("GetCurrentProcessId");
  return 4242;
}

PwInstance get_module_handle(const char* module_name) {
  log("GetModuleHandleA");
  if (module_name != nullptr || failing("GetModuleHandleA")) return nullptr;
  return reinterpret_cast<PwInstance>(uintptr_t{0x400000});
}

}  // namespace scripted::detail
