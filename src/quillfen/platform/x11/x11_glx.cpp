// Pixel formats and GL contexts on GLX. A pixel format is a GL-capable visual of the screen,
// numbered from 1. An X window's visual is fixed when it is made, so setting a format gives the
// window a child of that visual covering its client area, and GL draws there.

#include <GL/gl.h>
#include <GL/glx.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string_view>
#include <vector>

#include "gl_passthrough.h"
#include "tgl_entry_points.h"
#include "x11_state.h"

namespace x11 {
namespace {

constexpr uint32_t kDoubleBufferDontCare = 0x40000000;
constexpr uint32_t kStereoDontCare = 0x80000000;
constexpr long kChildEventMask = ExposureMask;

struct Format {
  XVisualInfo visual{};
  PwPixelFormatDescriptor pfd{};
};

uint8_t shift_of(unsigned long mask) {
  uint8_t shift = 0;
  while (mask != 0 && !(mask & 1ul)) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

int config(Display* d, XVisualInfo* visual, int attribute) {
  int value = 0;
  return glXGetConfig(d, visual, attribute, &value) == 0 ? value : 0;
}

PwPixelFormatDescriptor describe(Display* d, XVisualInfo* v) {
  PwPixelFormatDescriptor pfd{};
  pfd.size = sizeof pfd;
  pfd.version = 1;
  pfd.flags = PW_PFD_DRAW_TO_WINDOW | PW_PFD_SUPPORT_OPENGL;
  if (config(d, v, GLX_DOUBLEBUFFER)) pfd.flags |= PW_PFD_DOUBLEBUFFER;
  if (config(d, v, GLX_STEREO)) pfd.flags |= PW_PFD_STEREO;
  pfd.pixel_type = config(d, v, GLX_RGBA) ? PW_PFD_TYPE_RGBA : PW_PFD_TYPE_COLORINDEX;
  pfd.color_bits = static_cast<uint8_t>(config(d, v, GLX_BUFFER_SIZE));
  pfd.red_bits = static_cast<uint8_t>(config(d, v, GLX_RED_SIZE));
  pfd.green_bits = static_cast<uint8_t>(config(d, v, GLX_GREEN_SIZE));
  pfd.blue_bits = static_cast<uint8_t>(config(d, v, GLX_BLUE_SIZE));
  pfd.alpha_bits = static_cast<uint8_t>(config(d, v, GLX_ALPHA_SIZE));
  pfd.red_shift = shift_of(v->red_mask);
  pfd.green_shift = shift_of(v->green_mask);
  pfd.blue_shift = shift_of(v->blue_mask);
  if (pfd.alpha_bits != 0)
    pfd.alpha_shift = static_cast<uint8_t>(pfd.red_bits + pfd.green_bits + pfd.blue_bits);
  pfd.accum_red_bits = static_cast<uint8_t>(config(d, v, GLX_ACCUM_RED_SIZE));
  pfd.accum_green_bits = static_cast<uint8_t>(config(d, v, GLX_ACCUM_GREEN_SIZE));
  pfd.accum_blue_bits = static_cast<uint8_t>(config(d, v, GLX_ACCUM_BLUE_SIZE));
  pfd.accum_alpha_bits = static_cast<uint8_t>(config(d, v, GLX_ACCUM_ALPHA_SIZE));
  pfd.accum_bits = static_cast<uint8_t>(pfd.accum_red_bits + pfd.accum_green_bits +
                                        pfd.accum_blue_bits + pfd.accum_alpha_bits);
  pfd.depth_bits = static_cast<uint8_t>(config(d, v, GLX_DEPTH_SIZE));
  pfd.stencil_bits = static_cast<uint8_t>(config(d, v, GLX_STENCIL_SIZE));
  pfd.aux_buffers = static_cast<uint8_t>(config(d, v, GLX_AUX_BUFFERS));
  pfd.layer_type = PW_PFD_MAIN_PLANE;
  return pfd;
}

// Every GL-capable true-colour visual of the screen, in the server's order; read once.
const std::vector<Format>& formats() {
  static std::vector<Format> list;
  static bool read = false;
  Display* d = display();
  if (read || d == nullptr) return list;
  read = true;
  XVisualInfo wanted{};
  wanted.screen = state().screen;
  int count = 0;
  XVisualInfo* visuals = XGetVisualInfo(d, VisualScreenMask, &wanted, &count);
  for (int i = 0; i < count; ++i) {
    XVisualInfo* v = &visuals[i];
    if (v->c_class != TrueColor && v->c_class != DirectColor) continue;
    if (!config(d, v, GLX_USE_GL) || config(d, v, GLX_LEVEL) != 0) continue;
    list.push_back(Format{*v, describe(d, v)});
  }
  if (visuals != nullptr) XFree(visuals);
  return list;
}

const Format* format_at(int number) {
  const std::vector<Format>& list = formats();
  if (number < 1 || number > static_cast<int>(list.size())) return nullptr;
  return &list[static_cast<size_t>(number - 1)];
}

// What a format misses of a request costs far more than what it has beyond it, so the closest
// format that meets every asked-for buffer wins; ties go to the lowest number.
long cost(const PwPixelFormatDescriptor& want, const Format& format) {
  const PwPixelFormatDescriptor& have = format.pfd;
  constexpr long kMissing = 1000000;
  long c = 0;
  if (want.color_bits > have.color_bits) c += kMissing / 10;
  if (want.alpha_bits > 0 && have.alpha_bits == 0) c += kMissing;
  if (want.depth_bits > 0 && have.depth_bits == 0) c += kMissing;
  if (want.stencil_bits > 0 && have.stencil_bits == 0) c += kMissing;
  if (want.accum_bits > 0 && have.accum_bits == 0) c += kMissing / 100;
  c += std::abs(static_cast<int>(have.depth_bits) - static_cast<int>(want.depth_bits)) * 10;
  c += std::abs(static_cast<int>(have.stencil_bits) - static_cast<int>(want.stencil_bits)) * 10;
  c += std::abs(static_cast<int>(have.alpha_bits) - static_cast<int>(want.alpha_bits)) * 5;
  c += have.accum_bits * 4 + have.aux_buffers * 20;
  if (format.visual.depth != DefaultDepth(state().display, state().screen)) c += 50;
  if (format.visual.c_class != TrueColor) c += 50;
  return c;
}

// What the current context must offer for a function of the loader's lists: a core version
// (major * 10 + minor) or an extension named in its extension string.
struct Need {
  int version;
  const char* extension;
};

const std::map<std::string_view, Need>& needs_by_name() {
  static const std::map<std::string_view, Need> table = [] {
    std::map<std::string_view, Need> needs;
    Need need{};
#define TGL_NEED(type, name) needs.emplace(#name, need);
    need = {12, nullptr};
    TGL_ENTRY_POINTS_1_2(TGL_NEED)
    need = {0, "GL_ARB_imaging"};
    TGL_ENTRY_POINTS_1_2_IMAGING(TGL_NEED)
    need = {13, nullptr};
    TGL_ENTRY_POINTS_1_3(TGL_NEED)
    need = {14, nullptr};
    TGL_ENTRY_POINTS_1_4(TGL_NEED)
    // The query functions without the ARB suffix are GL 1.5's own.
    need = {15, nullptr};
    TGL_ENTRY_POINTS_1_5_QUERY(TGL_NEED)
    TGL_ENTRY_POINTS_1_5(TGL_NEED)
    need = {0, "GL_EXT_geometry_shader4"};
    TGL_ENTRY_POINTS_2_0_GEOMETRY(TGL_NEED)
    need = {20, nullptr};
    TGL_ENTRY_POINTS_2_0(TGL_NEED)
#undef TGL_NEED
    // Part of the imaging subset, and core from GL 1.4 on.
    needs["glBlendColor"] = {14, "GL_ARB_imaging"};
    needs["glBlendEquation"] = {14, "GL_ARB_imaging"};
    return needs;
  }();
  return table;
}

// The current context's version as major * 10 + minor, from "major.minor[.release] [vendor]".
int context_version() {
  const auto* text = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  int major = 0, minor = 0;
  if (text == nullptr || std::sscanf(text, "%d.%d", &major, &minor) != 2) return 0;
  return major * 10 + minor;
}

// Whether the extension string names `extension` as a whole word.
bool has_extension(const char* extension) {
  const auto* text = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  if (text == nullptr) return false;
  const std::string_view all(text);
  const std::string_view wanted(extension);
  for (size_t at = all.find(wanted); at != std::string_view::npos; at = all.find(wanted, at + 1)) {
    const bool starts = at == 0 || all[at - 1] == ' ';
    const size_t end = at + wanted.size();
    if (starts && (end == all.size() || all[end] == ' ')) return true;
  }
  return false;
}

}  // namespace

void fit_gl_child(Window& window) {
  if (window.gl_child == 0) return;
  XResizeWindow(state().display, window.gl_child,
                static_cast<unsigned>(window.width > 0 ? window.width : 1),
                static_cast<unsigned>(window.height > 0 ? window.height : 1));
}

void destroy_gl_child(Window& window) {
  State& s = state();
  if (window.gl_child == 0) return;
  if (s.current_dc == (window.id | 0x8)) {
    glXMakeCurrent(s.display, None, nullptr);
    s.current_context = 0;
    s.current_dc = 0;
  }
  s.by_xid.erase(window.gl_child);
  XDestroyWindow(s.display, window.gl_child);
  XFreeColormap(s.display, window.gl_colormap);
  window.gl_child = 0;
  window.gl_colormap = 0;
}

int32_t choose_pixel_format(PwDc dc, const PwPixelFormatDescriptor* pfd) {
  if (pfd == nullptr || !known_dc(dc)) return 0;
  const std::vector<Format>& list = formats();
  int best = 0;
  long best_cost = 0;
  for (size_t i = 0; i < list.size(); ++i) {
    const PwPixelFormatDescriptor& have = list[i].pfd;
    if ((pfd->flags & PW_PFD_DRAW_TO_WINDOW) && !(have.flags & PW_PFD_DRAW_TO_WINDOW)) continue;
    if ((pfd->flags & PW_PFD_SUPPORT_OPENGL) && !(have.flags & PW_PFD_SUPPORT_OPENGL)) continue;
    if (!(pfd->flags & kDoubleBufferDontCare) &&
        ((pfd->flags & PW_PFD_DOUBLEBUFFER) != 0) != ((have.flags & PW_PFD_DOUBLEBUFFER) != 0))
      continue;
    if (!(pfd->flags & kStereoDontCare) &&
        ((pfd->flags & PW_PFD_STEREO) != 0) != ((have.flags & PW_PFD_STEREO) != 0))
      continue;
    if (pfd->pixel_type != have.pixel_type) continue;
    long c = cost(*pfd, list[i]);
    if (best == 0 || c < best_cost) {
      best = static_cast<int>(i) + 1;
      best_cost = c;
    }
  }
  return best;
}

int32_t describe_pixel_format(PwDc dc, int32_t format, uint32_t size,
                              PwPixelFormatDescriptor* pfd) {
  if (!known_dc(dc)) return 0;
  int32_t count = static_cast<int32_t>(formats().size());
  if (pfd == nullptr) return count;
  const Format* f = format_at(format);
  if (f == nullptr || size < sizeof(PwPixelFormatDescriptor)) return 0;
  *pfd = f->pfd;
  return count;
}

// A window takes one pixel format for its life, as on Win32.
int32_t set_pixel_format(PwDc dc, int32_t format, const PwPixelFormatDescriptor*) {
  State& s = state();
  Window* w = window_of_dc(dc);
  const Format* f = format_at(format);
  if (w == nullptr || f == nullptr) return 0;
  if (w->pixel_format != 0) return w->pixel_format == format ? 1 : 0;
  Display* d = s.display;
  Visual* visual = f->visual.visual;
  XSetWindowAttributes attributes{};
  attributes.colormap = XCreateColormap(d, s.root, visual, AllocNone);
  attributes.border_pixel = 0;
  attributes.background_pixmap = None;
  attributes.event_mask = kChildEventMask;
  unsigned width = static_cast<unsigned>(w->width > 0 ? w->width : 1);
  unsigned height = static_cast<unsigned>(w->height > 0 ? w->height : 1);
  ::Window child =
      XCreateWindow(d, w->xid, 0, 0, width, height, 0, f->visual.depth, InputOutput, visual,
                    CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask, &attributes);
  if (!sync_ok() || child == 0) {
    XFreeColormap(d, attributes.colormap);
    return 0;
  }
  XMapWindow(d, child);
  XFlush(d);
  w->gl_child = child;
  w->gl_colormap = attributes.colormap;
  w->pixel_format = format;
  s.by_xid[child] = w->id;
  return 1;
}

int32_t swap_buffers(PwDc dc) {
  Window* w = window_of_dc(dc);
  if (w == nullptr || w->gl_child == 0) return 0;
  glXSwapBuffers(state().display, w->gl_child);
  return 1;
}

PwGlContext wgl_create_context(PwDc dc) {
  Window* w = window_of_dc(dc);
  if (w == nullptr || w->pixel_format == 0) return nullptr;
  const Format* f = format_at(w->pixel_format);
  GLXContext context =
      glXCreateContext(state().display, const_cast<XVisualInfo*>(&f->visual), nullptr, True);
  if (!sync_ok() || context == nullptr) return nullptr;
  return reinterpret_cast<PwGlContext>(context);
}

int32_t wgl_make_current(PwDc dc, PwGlContext context) {
  State& s = state();
  Display* d = s.display;
  if (d == nullptr) return 0;
  if (context == nullptr) {
    glXMakeCurrent(d, None, nullptr);
    s.current_context = 0;
    s.current_dc = 0;
    return 1;
  }
  Window* w = window_of_dc(dc);
  if (w == nullptr || w->gl_child == 0) return 0;
  if (!glXMakeCurrent(d, w->gl_child, reinterpret_cast<GLXContext>(context))) return 0;
  s.current_context = reinterpret_cast<uintptr_t>(context);
  s.current_dc = dc_id(dc);
  return 1;
}

int32_t wgl_delete_context(PwGlContext context) {
  State& s = state();
  if (context == nullptr || s.display == nullptr) return 0;
  if (s.current_context == reinterpret_cast<uintptr_t>(context)) {
    glXMakeCurrent(s.display, None, nullptr);
    s.current_context = 0;
    s.current_dc = 0;
  }
  glXDestroyContext(s.display, reinterpret_cast<GLXContext>(context));
  return sync_ok() ? 1 : 0;
}

// GLX hands out a dispatch stub for any name, so its answer says nothing about support. Like WGL,
// the backend answers null for a function the current context does not offer: the loader's
// functions by the context's version and extension string. Nothing is looked up without a
// current context.
PwProc wgl_get_proc_address(const char* name) {
  if (name == nullptr || state().current_context == 0) return nullptr;
  const auto& needs = needs_by_name();
  if (const auto found = needs.find(name); found != needs.end()) {
    const Need& need = found->second;
    const bool offered = (need.version != 0 && context_version() >= need.version) ||
                         (need.extension != nullptr && has_extension(need.extension));
    if (!offered) return nullptr;
  }
  return glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name));
}

// Without a current context there is nothing to ask; Mesa would crash.
const unsigned char* gl_get_string(uint32_t name) {
  if (state().current_context == 0) return nullptr;
  return gl_passthrough::get_string(name);
}

}  // namespace x11
