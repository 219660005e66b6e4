// The fibers, their contacts and the box outline.

#include <algorithm>
#include <cstddef>
#include <vector>

#include "gl11.h"
#include "network.h"
#include "scene.h"
#include "settings.h"
#include "viewer.h"

namespace {

// One class per fiber as last handed over; fibers past its end are plain.
std::vector<uint8_t> fiber_classes;

void plain_fiber_colour() {
  glColor4f(0.6f, 1.0f, 1.0f, 0.3f);
}

// Strong colours, apart from the contact highlight and the background.
void set_fiber_colour(int32_t fiber) {
  const uint8_t fiber_class = static_cast<std::size_t>(fiber) < fiber_classes.size()
                                  ? fiber_classes[fiber]
                                  : uint8_t{FIBER_PLAIN};
  switch (fiber_class) {
    case FIBER_LARGEST_CLUSTER:
      glColor4f(0.0f, 0.3f, 0.9f, 0.9f);
      break;
    case FIBER_SPANNING_CLUSTER:
      glColor4f(0.95f, 0.4f, 0.0f, 0.9f);
      break;
    default:
      plain_fiber_colour();
      break;
  }
}

}  // namespace

void set_fiber_classes(const uint8_t* classes, int32_t count) {
  if (classes == nullptr || count <= 0) {
    fiber_classes.clear();
    return;
  }
  fiber_classes.assign(classes, classes + count);
}

void draw_box(const float lo[3], const float hi[3]) {
  // The four (x, y) corners, in the order both loops and the z edges visit them.
  const float corners[4][2] = {{hi[0], hi[1]}, {lo[0], hi[1]}, {lo[0], lo[1]}, {hi[0], lo[1]}};
  for (float z : {lo[2], hi[2]}) {
    glBegin(GL_LINE_LOOP);
    for (const auto& c : corners) glVertex3f(c[0], c[1], z);
    glEnd();
  }
  glBegin(GL_LINES);
  for (const auto& c : corners) {
    glVertex3f(c[0], c[1], lo[2]);
    glVertex3f(c[0], c[1], hi[2]);
  }
  glEnd();
}

float network_scale(const float lo[3], const float hi[3]) {
  float side = 0.0f;
  for (int k = 0; k < 3; ++k) side = std::max(side, hi[k] - lo[k]);
  if (!(side > 0.0f)) side = 2e-6f;  // a degenerate box keeps the default scale
  // A ratio of float32 values, exactly 1 for the default box, keeps its picture to the pixel.
  return 5000000.0f * (2e-6f / side);
}

int32_t draw_network(const ViewState& view) {
  glPushMatrix();
  const float s = network_scale(box_min, box_max);
  glScalef(s, s, s);

  glColor4f(0.3f, 0.2f, 0.25f, 0.5f);
  glLineWidth(1.8f);
  draw_box(box_min, box_max);

  glLineWidth(1.2f);
  plain_fiber_colour();
  glBegin(GL_LINES);
  for (int32_t i = 0; i < num_fibers; ++i) {
    if (view.cluster_colours) set_fiber_colour(i);
    glVertex3fv(network.fibers[i].start.data());
    glVertex3fv(network.fibers[i].end.data());
  }
  glEnd();

  glPointSize(2.5f);
  glColor4f(0.0f, 0.0f, 0.0f, 0.8f);
  glBegin(GL_POINTS);
  for (int32_t k = 0; k < network.num_contacts; ++k) glVertex3fv(network.contacts[k].point.data());
  glEnd();

  // A fiber is drawn once per contact it takes part in, so its colour deepens with each.
  glLineWidth(1.4f);
  glColor4f(0.7f, 0.0f, 0.4f, 0.2f);
  glBegin(GL_LINES);
  for (int32_t k = 0; k < network.num_contacts; ++k) {
    for (int32_t index : {network.contacts[k].first, network.contacts[k].second}) {
      glVertex3fv(network.fibers[index].start.data());
      glVertex3fv(network.fibers[index].end.data());
    }
  }
  glEnd();

  glPopMatrix();
  return 1;
}
