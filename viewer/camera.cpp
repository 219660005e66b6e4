// Projection and camera transform of the viewer.

#include "gl11.h"
#include "view_state.h"

void apply_projection(const ViewState& view) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // A square of +-1 at the near plane whatever the window's shape.
  glFrustum(-1.0, 1.0, -1.0, 1.0, view.near_plane, view.far_plane);
  glMatrixMode(GL_MODELVIEW);
}

void apply_camera(const ViewState& view) {
  // 2/sqrt(3) as a float32 constant; the scale itself is formed in double.
  constexpr float kScale = 1.1547005f;
  // A scene vertex passes through these from the last to the first.
  glRotatef(view.roll, 0.0f, 0.0f, 1.0f);
  glTranslatef(0.0f, 0.0f, -view.eye_distance);
  const double k = static_cast<double>(kScale) * view.zoom;
  glScaled(k, k, k);
  glTranslatef(view.pan_x, view.pan_y, 0.0f);
  glRotatef(view.yaw, 0.0f, 1.0f, 0.0f);
  glRotatef(view.pitch, 1.0f, 0.0f, 0.0f);
  glRotatef(view.spin, 0.0f, 0.0f, 1.0f);
}
