// Key, wheel and pointer bindings of the viewer.

#include "view_state.h"

namespace {

// Float32 fields change by float32 constants; the arithmetic in between is double.
void add(float& field, float step) {
  field = static_cast<float>(static_cast<double>(field) + step);
}
void scale(float& field, float factor) {
  field = static_cast<float>(static_cast<double>(field) * factor);
}

// Moves both planes and the scale together; the eye stays midway between the planes.
BindingResult zoom_step(ViewState& view, float plane_factor, float zoom_factor) {
  scale(view.near_plane, plane_factor);
  scale(view.far_plane, plane_factor);
  view.eye_distance = static_cast<float>((static_cast<double>(view.near_plane) + view.far_plane) *
                                         static_cast<double>(0.5f));
  scale(view.zoom, zoom_factor);
  return BINDING_PROJECTION;
}

void reset_orientation(ViewState& view) {
  view.yaw = view.pitch = view.spin = view.roll = 0.0f;
  view.pan_x = view.pan_y = 0.0f;
}

// Toolkit key codes of the bound keys.
enum : int32_t {
  KEY_ESCAPE = 1,
  KEY_MINUS = 28,
  KEY_EQUALS = 29,
  KEY_W = 34,
  KEY_T = 37,
  KEY_I = 40,
  KEY_O = 41,
  KEY_P = 42,
  KEY_C = 61,
  KEY_SPACE = 73,
  KEY_UP = 84,
  KEY_DOWN = 85,
  KEY_LEFT = 86,
  KEY_RIGHT = 87,
  KEY_PAD_MINUS = 91,
  KEY_PAD_7 = 92,
  KEY_PAD_8 = 93,
  KEY_PAD_9 = 94,
  KEY_PAD_PLUS = 95,
  KEY_PAD_4 = 96,
  KEY_PAD_5 = 97,
  KEY_PAD_6 = 98,
  KEY_PAD_1 = 99,
  KEY_PAD_2 = 100,
  KEY_PAD_3 = 101,
  KEY_WHEEL_AWAY = 108,
  KEY_WHEEL_TOWARD = 109,
};

constexpr float kPanStep = 0.1f;
constexpr float kAngleStep = 3.0f;

}  // namespace

BindingResult handle_key(ViewState& view, int32_t key) {
  switch (key) {
    case KEY_ESCAPE:
      return BINDING_QUIT;
    case KEY_MINUS:
    case KEY_PAD_MINUS:
    case KEY_WHEEL_AWAY:
      return zoom_step(view, 0.9f, 0.85f);
    case KEY_EQUALS:
    case KEY_PAD_PLUS:
    case KEY_WHEEL_TOWARD:
      return zoom_step(view, 1.1f, 1.15f);
    case KEY_W:
      view.grab_requested = !view.grab_requested;
      quillfen_grab_pointer(view.grab_requested);
      break;
    case KEY_T:
      view.show_axes = !view.show_axes;
      break;
    case KEY_I:
      view.show_fine_grid = !view.show_fine_grid;
      break;
    case KEY_O:
      view.show_grid = !view.show_grid;
      break;
    case KEY_P:
      view.sleep_full_interval = !view.sleep_full_interval;
      break;
    case KEY_C:
      view.cluster_colours = !view.cluster_colours;
      break;
    case KEY_SPACE:
    case KEY_PAD_5:
      reset_orientation(view);
      break;
    // The arrows move the viewpoint, so the picture moves the other way.
    case KEY_UP:
      add(view.pan_y, -kPanStep);
      break;
    case KEY_DOWN:
      add(view.pan_y, kPanStep);
      break;
    case KEY_LEFT:
      add(view.pan_x, kPanStep);
      break;
    case KEY_RIGHT:
      add(view.pan_x, -kPanStep);
      break;
    case KEY_PAD_7:
      add(view.roll, kAngleStep);
      break;
    case KEY_PAD_9:
      add(view.roll, -kAngleStep);
      break;
    case KEY_PAD_8:
      add(view.pitch, kAngleStep);
      break;
    case KEY_PAD_2:
      add(view.pitch, -kAngleStep);
      break;
    case KEY_PAD_6:
      add(view.yaw, kAngleStep);
      break;
    case KEY_PAD_4:
      add(view.yaw, -kAngleStep);
      break;
    case KEY_PAD_1:
      add(view.spin, kAngleStep);
      break;
    case KEY_PAD_3:
      add(view.spin, -kAngleStep);
      break;
    default:
      break;
  }
  return BINDING_NONE;
}

void handle_motion(ViewState& view, const ToolkitEvent& event) {
  constexpr int32_t kLeft = 1 << 0;
  constexpr int32_t kRight = 1 << 2;
  const bool left = (event.buttons & kLeft) != 0;
  const bool right = (event.buttons & kRight) != 0;
  const float dx = static_cast<float>(event.dx);
  const float dy = static_cast<float>(event.dy);
  // One degree per pixel; while grabbed, plain motion turns the view too.
  if (left || (view.grab_requested && !right)) {
    add(view.yaw, dx);
    add(view.pitch, dy);
  }
  // Divided by the zoom so the picture follows the pointer at the same screen speed.
  if (right) {
    constexpr float kPanPerPixel = 0.05f;
    const double per_pixel = kPanPerPixel * (1.0 / view.zoom);
    view.pan_x = static_cast<float>(view.pan_x + per_pixel * dx);
    view.pan_y = static_cast<float>(view.pan_y - per_pixel * dy);
  }
}
