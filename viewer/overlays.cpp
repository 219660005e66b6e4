// Reference overlays, drawn in view units over the network.

#include "gl11.h"
#include "scene.h"

void draw_grid(const float centre[3], float width, float height, uint32_t divisions) {
  // Origin and steps are stored as float32; each position is formed from them in double.
  const float x0 = static_cast<float>(centre[0] - 0.5 * width);
  const float y0 = static_cast<float>(centre[1] - 0.5 * height);
  const float sx = static_cast<float>(width * (1.0 / divisions));
  const float sy = static_cast<float>(height * (1.0 / divisions));
  const double z = centre[2];
  glBegin(GL_LINES);
  for (uint32_t i = 0; i <= divisions; ++i) {
    const double x = x0 + static_cast<double>(i) * sx;
    glVertex3d(x, y0, z);
    glVertex3d(x, static_cast<double>(y0) + height, z);
  }
  for (uint32_t j = 0; j <= divisions; ++j) {
    const double y = y0 + static_cast<double>(j) * sy;
    glVertex3d(x0, y, z);
    glVertex3d(static_cast<double>(x0) + width, y, z);
  }
  glEnd();
}

void draw_overlays(const ViewState& view) {
  // The network is scaled to 10 view units, so the grids cover the box's mid-plane cross-section.
  constexpr float kOrigin[3] = {0.0f, 0.0f, 0.0f};
  if (view.show_fine_grid) {
    glLineWidth(0.8f);
    glColor4f(0.0f, 0.4f, 0.0f, 0.5f);
    draw_grid(kOrigin, 10.0f, 10.0f, 100);
  }
  if (view.show_grid) {
    glLineWidth(1.7f);
    glColor4f(0.2f, 0.2f, 0.0f, 0.5f);
    draw_grid(kOrigin, 10.0f, 10.0f, 10);
  }
  if (view.show_axes) {
    glLineWidth(4.0f);
    glBegin(GL_LINES);
    glColor4f(0.9f, 0.3f, 0.3f, 0.5f);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glVertex3f(1.0f, 0.0f, 0.0f);
    glColor4f(0.3f, 0.9f, 0.3f, 0.5f);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glVertex3f(0.0f, 1.0f, 0.0f);
    glColor4f(0.3f, 0.3f, 0.9f, 0.5f);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glVertex3f(0.0f, 0.0f, 1.0f);
    glEnd();
    glPointSize(6.0f);
    glBegin(GL_POINTS);
    glColor4f(0.8f, 0.8f, 0.0f, 0.5f);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glEnd();
  }
}
