// Toolkit initialisation: the configured window, its display mode, a current GL context and the
// requested GL entry points.

#include <cstdio>
#include <cstring>

#include "display_mode.h"
#include "init_steps.h"
#include "pump.h"
#include "shutdown.h"
#include "tgl_loader.h"
#include "tracked_alloc.h"
#include "translate.h"

namespace {

constexpr uint32_t kNoStyle = 0;
constexpr int32_t kFullScreenDepth = 32;
constexpr int32_t kMaxPaletteDepth = 8;

bool fail(const char* message) {
  std::puts(message);
  return false;
}

uint32_t window_style(const WindowConfig& config) {
  const uint32_t clip = PW_WS_CLIPSIBLINGS | PW_WS_CLIPCHILDREN;
  if (config.resizable) return config.fullscreen ? kNoStyle : PW_WS_OVERLAPPEDWINDOW | clip;
  // A caption without system menu or sizing frame, or none at all in full screen.
  return config.fullscreen ? PW_WS_POPUP | clip : PW_WS_POPUP | PW_WS_CAPTION | clip;
}

bool register_window_class(ToolkitWindow* window) {
  const PlatformOps& p = platform();
  // Unique per process and moment, so a class left behind by an earlier window never clashes.
  std::snprintf(window->class_name, sizeof window->class_name, "Quillfen%u%u",
                p.get_current_process_id(), p.get_tick_count());
  PwWndClass& wc = window->window_class;
  wc.style = PW_CS_CLASSDC;
  wc.window_proc = window_proc;
  wc.class_extra = 0;
  wc.window_extra = 0;
  wc.instance = p.get_module_handle(nullptr);
  wc.icon_id = PW_IDI_WINLOGO;
  wc.cursor_id = PW_IDC_ARROW;
  wc.background_stock = PW_NULL_BRUSH;  // the system never erases the background
  wc.menu_name = nullptr;
  wc.class_name = window->class_name;
  if (p.register_class(&wc) == 0) return fail("RegisterClass() failed.");
  window->class_registered = true;
  return true;
}

void place_window(ToolkitWindow* window) {
  const PlatformOps& p = platform();
  std::strncpy(window->title, window_config.title, sizeof window->title - 1);
  window->title[sizeof window->title - 1] = '\0';
  window->x = window_config.x;
  window->y = window_config.y;
  window->screen_width = p.get_system_metrics(PW_SM_CXSCREEN);
  window->screen_height = p.get_system_metrics(PW_SM_CYSCREEN);
  window->width = window_config.width != 0 ? window_config.width : window->screen_width - window->x;
  window->height =
      window_config.height != 0 ? window_config.height : window->screen_height - window->y;
}

// The frame takes its part of the outer size: grow the window by what the client area lacks.
void size_client_area(ToolkitWindow* window, int32_t width, int32_t height) {
  const PlatformOps& p = platform();
  PwRect client{};
  p.get_client_rect(window->hwnd, &client);
  p.set_window_pos(window->hwnd, PW_HWND_TOP, 0, 0, 2 * width - client.right,
                   2 * height - client.bottom, PW_SWP_NOMOVE | PW_SWP_NOZORDER);
}

bool open_window(ToolkitContext* context, uint32_t style) {
  const PlatformOps& p = platform();
  auto* window = static_cast<ToolkitWindow*>(tracked_alloc(sizeof(ToolkitWindow)));
  window->video_mode = -1;
  context->window = window;

  if (!register_window_class(window)) return false;
  place_window(window);
  const int32_t width = window->width;
  const int32_t height = window->height;
  window->hwnd =
      p.create_window_ex(0, window->class_name, window->title, style, window->x, window->y, width,
                         height, nullptr, nullptr, window->window_class.instance, nullptr);
  if (window->hwnd == nullptr) return fail("CreateWindow() failed.");
  p.set_prop(window->hwnd, kWindowProperty, window);
  size_client_area(window, width, height);
  window->hdc = p.get_dc(window->hwnd);
  build_mode_list(window);

  p.show_window(window->hwnd, PW_SW_SHOW);
  p.update_window(window->hwnd);
  window->visible = true;

  int32_t depth = p.get_device_caps(window->hdc, PW_BITSPIXEL);
  if (depth <= kMaxPaletteDepth) {
    if (!window_config.fullscreen) return fail("True or high color mode required.");
    depth = kFullScreenDepth;
  }
  if (window_config.fullscreen) {
    int32_t mode = find_mode(window, static_cast<uint32_t>(depth));
    if (mode != -1) set_video_mode(window, mode);
  }
  return true;
}

// The loader looks the entry points up through the platform table in force.
PwProc platform_proc_address(const char* name) {
  return platform().wgl_get_proc_address(name);
}
const char* platform_extension_string() {
  return reinterpret_cast<const char*>(platform().gl_get_string(PW_GL_EXTENSIONS));
}
constexpr TglLookup kPlatformLookup{platform_proc_address, platform_extension_string};

bool fail_init(ToolkitContext* context) {
  release_context(context);
  return false;
}

}  // namespace

bool quillfen_init(int32_t load_version, bool depth, bool stencil, bool alpha) {
  quillfen_shutdown();
  // Without a window system the first step that needs one, registering the class, fails.
  if (!platform_available()) return fail("RegisterClass() failed.");

  auto* context = static_cast<ToolkitContext*>(tracked_alloc(sizeof(ToolkitContext)));
  const uint32_t style = window_style(window_config);
  if (style == kNoStyle) {
    std::puts("Can't create resizeable window without caption.");
    return fail_init(context);
  }
  if (!open_window(context, style)) return fail_init(context);

  ToolkitWindow* window = context->window;
  const int32_t pixel_format = set_up_pixel_format(window, depth, stencil, alpha);
  if (pixel_format == 0) return fail_init(context);
  if (!create_gl_context(context)) return fail_init(context);
  report_renderer(context, pixel_format);

  // Creation, sizing and showing left messages behind; they become the first events.
  pump_messages(window);
  set_initial_gl_state(window);

  quillfen_context = context;
  if (!tgl_load_gl(static_cast<unsigned>(load_version), kPlatformLookup)) {
    quillfen_shutdown();
    return false;
  }
  return true;
}
