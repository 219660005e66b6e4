#pragma once

// Everything the user controls in the viewer, and the operations that turn it into GL matrices
// and change it in response to toolkit events.

#include <cstdint>

#include "quillfen.h"

struct ViewState {
  float yaw = 0.0f;    // degrees about Y
  float pitch = 0.0f;  // degrees about X
  float spin = 0.0f;   // degrees about the scene's own Z, innermost
  float roll = 0.0f;   // degrees of the whole picture about the viewing axis
  float pan_x = 0.0f;  // view units
  float pan_y = 0.0f;
  float zoom = 4.6f;
  float eye_distance = 66.0f;  // always the mean of the two planes
  float near_plane = 4.4f;
  float far_plane = 127.6f;
  bool show_axes = true;
  bool show_grid = true;
  bool show_fine_grid = true;
  bool sleep_full_interval = true;  // idle passes sleep redraw_interval_ms rather than 10 ms
  uint32_t redraw_interval_ms = 20;
  bool grab_requested = false;   // what was last asked of the toolkit, never read back
  bool cluster_colours = false;  // fibers of the largest and the spanning cluster stand out
};

// The viewer's one instance.
extern ViewState view_state;

enum BindingResult : int32_t {
  BINDING_NONE = 0,
  BINDING_QUIT = 1,
  BINDING_PROJECTION = 2,  // the planes changed: the caller rebuilds the projection
};

// Projection from the clipping planes; leaves the model-view matrix selected.
void apply_projection(const ViewState& view);
// Multiplies the camera transform onto the current model-view matrix.
void apply_camera(const ViewState& view);
// Sets the zoom so that, seen unturned from the view's eye over a frustum of +-1 at its near
// plane, the box from `lo` to `hi` (metres) and the fibers of `fiber_length` sticking out of it
// fill the picture bar a small margin.
void frame_whole_network(ViewState& view, const float lo[3], const float hi[3], float fiber_length);

// `key` is the toolkit code (0 to 109) of a press.
BindingResult handle_key(ViewState& view, int32_t key);
// `event` is an EVENT_MOTION record.
void handle_motion(ViewState& view, const ToolkitEvent& event);
