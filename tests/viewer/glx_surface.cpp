#include "glx_surface.h"

#include <GL/glx.h>

GlxSurface::GlxSurface() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    error_ = "cannot open the X display; run under scripts/xvfb.sh's xvfb_start";
    return;
  }
  display_ = display;
  const int config_attributes[] = {GLX_DRAWABLE_TYPE,
                                   GLX_PBUFFER_BIT,
                                   GLX_RENDER_TYPE,
                                   GLX_RGBA_BIT,
                                   GLX_RED_SIZE,
                                   8,
                                   GLX_GREEN_SIZE,
                                   8,
                                   GLX_BLUE_SIZE,
                                   8,
                                   GLX_DOUBLEBUFFER,
                                   False,
                                   None};
  int count = 0;
  GLXFBConfig* configs =
      glXChooseFBConfig(display, DefaultScreen(display), config_attributes, &count);
  if (configs == nullptr || count == 0) {
    error_ = "no GLX frame-buffer configuration for a pbuffer";
    if (configs != nullptr) XFree(configs);
    return;
  }
  const GLXFBConfig config = configs[0];
  XFree(configs);
  const int pbuffer_attributes[] = {GLX_PBUFFER_WIDTH, kSize, GLX_PBUFFER_HEIGHT, kSize, None};
  pbuffer_ = glXCreatePbuffer(display, config, pbuffer_attributes);
  GLXContext context = glXCreateNewContext(display, config, GLX_RGBA_TYPE, nullptr, True);
  context_ = context;
  if (pbuffer_ == 0 || context == nullptr ||
      !glXMakeContextCurrent(display, pbuffer_, pbuffer_, context)) {
    error_ = "cannot make a GLX pbuffer context current";
    return;
  }
  glViewport(0, 0, kSize, kSize);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
}

GlxSurface::~GlxSurface() {
  auto* display = static_cast<Display*>(display_);
  if (display == nullptr) return;
  glXMakeContextCurrent(display, None, None, nullptr);
  if (context_ != nullptr) glXDestroyContext(display, static_cast<GLXContext>(context_));
  if (pbuffer_ != 0) glXDestroyPbuffer(display, pbuffer_);
  XCloseDisplay(display);
}

void GlxSurface::read_back() {
  glFinish();
  pixels_.assign(static_cast<size_t>(kSize) * kSize * 3, 0);
  glReadPixels(0, 0, kSize, kSize, GL_RGB, GL_UNSIGNED_BYTE, pixels_.data());
}

Rgb GlxSurface::at(int x, int y) const {
  if (x < 0 || y < 0 || x >= kSize || y >= kSize || pixels_.empty()) return {-1, -1, -1};
  const size_t i = (static_cast<size_t>(y) * kSize + x) * 3;
  return {pixels_[i], pixels_[i + 1], pixels_[i + 2]};
}
