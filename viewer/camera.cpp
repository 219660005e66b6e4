// Projection and camera transform of the viewer.

#include <algorithm>
#include <cmath>

#include "gl11.h"
#include "scene.h"
#include "view_state.h"

namespace {

// 2/sqrt(3) as a float32 constant; the scale itself is formed in double.
constexpr float kScale = 1.1547005f;

}  // namespace

void apply_projection(const ViewState& view) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // A square of +-1 at the near plane whatever the window's shape.
  glFrustum(-1.0, 1.0, -1.0, 1.0, view.near_plane, view.far_plane);
  glMatrixMode(GL_MODELVIEW);
}

void apply_camera(const ViewState& view) {
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

void frame_whole_network(ViewState& view, const float lo[3], const float hi[3],
                         float fiber_length) {
  // A cube about the origin holding the box and every fiber end, at most half a fiber out of it.
  double reach = 0.0;
  for (int k = 0; k < 3; ++k) {
    reach = std::max(
        {reach, std::fabs(static_cast<double>(lo[k])), std::fabs(static_cast<double>(hi[k]))});
  }
  const double half_extent = (reach + 0.5 * fiber_length) * network_scale(lo, hi);
  // Unturned, the cube's corners nearest the eye project furthest out: near * k * h / (eye - k * h)
  // is set to kFill, the margin left being 1 - kFill of the half picture.
  constexpr double kFill = 0.95;
  const double k_h = kFill * view.eye_distance / (view.near_plane + kFill);
  view.zoom = static_cast<float>(k_h / (half_extent * kScale));
}
