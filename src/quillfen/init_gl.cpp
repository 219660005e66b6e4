// The GL half of initialisation: pixel format, context, renderer line and initial projection.

#include <cstdio>
#include <cstring>

#include "init_steps.h"
#include "tracked_alloc.h"

namespace {

bool fail(const char* message) {
  std::puts(message);
  return false;
}

int32_t no_format(const char* message) {
  std::puts(message);
  return 0;
}

char* copy_gl_string(uint32_t name) {
  const auto* text = reinterpret_cast<const char*>(platform().gl_get_string(name));
  if (text == nullptr) return nullptr;
  size_t size = std::strlen(text) + 1;
  auto* copy = static_cast<char*>(tracked_alloc(size));
  std::memcpy(copy, text, size);
  return copy;
}

// A string the driver did not give is printed the way the C runtimes print a null %s.
const char* or_null(const char* text) {
  return text != nullptr ? text : "(null)";
}

}  // namespace

int32_t set_up_pixel_format(ToolkitWindow* window, bool depth, bool stencil, bool alpha) {
  const PlatformOps& p = platform();
  PwPixelFormatDescriptor wanted{};
  wanted.size = sizeof wanted;
  wanted.version = 1;
  wanted.flags = PW_PFD_DRAW_TO_WINDOW | PW_PFD_SUPPORT_OPENGL | PW_PFD_DOUBLEBUFFER;
  wanted.pixel_type = PW_PFD_TYPE_RGBA;
  wanted.color_bits = 16;
  wanted.depth_bits = depth ? 16 : 0;
  wanted.stencil_bits = stencil ? 1 : 0;
  wanted.alpha_bits = alpha ? 1 : 0;
  wanted.layer_type = PW_PFD_MAIN_PLANE;

  int32_t format = p.choose_pixel_format(window->hdc, &wanted);
  if (format == 0) return no_format("ChoosePixelFormat() failed.");

  PwPixelFormatDescriptor chosen{};
  if (p.describe_pixel_format(window->hdc, format, sizeof chosen, &chosen) == 0)
    return no_format("DescribePixelFormat() failed.");
  if (depth && chosen.depth_bits == 0) return no_format("Renderer doesn't support Z-buffering.");
  if (alpha && chosen.alpha_bits == 0) return no_format("Renderer doesn't support dst alpha.");
  if (stencil && chosen.stencil_bits == 0) return no_format("Renderer doesn't support stencil.");

  if (!p.set_pixel_format(window->hdc, format, &chosen))
    return no_format("SetPixelFormat() failed.");
  return format;
}

bool create_gl_context(ToolkitContext* context) {
  const PlatformOps& p = platform();
  PwDc dc = context->window->hdc;
  context->gl_context = p.wgl_create_context(dc);
  if (context->gl_context == nullptr) return fail("wglCreateContext() failed.");
  if (!p.wgl_make_current(dc, context->gl_context)) return fail("wglMakeCurrent() failed.");
  return true;
}

void report_renderer(ToolkitContext* context, int32_t pixel_format) {
  context->gl_vendor = copy_gl_string(PW_GL_VENDOR);
  context->gl_renderer = copy_gl_string(PW_GL_RENDERER);
  context->gl_version = copy_gl_string(PW_GL_VERSION);
  context->gl_extensions = copy_gl_string(PW_GL_EXTENSIONS);
  std::printf("PFD %d, %s OpenGL on %s ver. %s.\n", pixel_format, or_null(context->gl_vendor),
              or_null(context->gl_renderer), or_null(context->gl_version));
}

void set_initial_gl_state(const ToolkitWindow* window) {
  const PlatformOps& p = platform();
  const auto width = static_cast<uint32_t>(window->width);
  const auto height = static_cast<uint32_t>(window->height);
  p.gl_viewport(0, 0, window->width, window->height);
  p.gl_matrix_mode(PW_GL_PROJECTION);
  p.gl_load_identity();
  // A window without height (minimised while opening) gets a square projection instead of an
  // infinite one.
  const float aspect = height != 0 ? static_cast<float>(width) / static_cast<float>(height) : 1.0f;
  p.gl_ortho(-aspect, aspect, -1.0, 1.0, -1.0, 1.0);
  p.gl_matrix_mode(PW_GL_MODELVIEW);
  p.gl_load_identity();
}
