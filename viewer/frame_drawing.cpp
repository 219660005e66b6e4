// The GL state the viewer keeps for its whole run, and one frame.

#include "gl11.h"
#include "scene.h"
#include "viewer.h"

void set_fixed_gl_state() {
  glClearColor(1.0f, 0.95f, 0.8f, 0.0f);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  // No depth buffer: everything drawn later lies over what was drawn before, blended by alpha.
  glEnable(GL_BLEND);
  glEnable(GL_LINE_SMOOTH);
  glEnable(GL_POINT_SMOOTH);
}

int32_t draw_frame(const ViewState& view) {
  glClear(GL_COLOR_BUFFER_BIT);
  glLoadIdentity();
  apply_camera(view);
  glPushMatrix();
  const int32_t result = draw_network(view);
  glPopMatrix();
  draw_overlays(view);
  quillfen_swap_buffers();
  return result;
}
