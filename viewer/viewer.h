#pragma once

#include <cstdint>

#include "view_state.h"

// Opens the "TEST" window and runs the viewer until the user quits. Returns 0 after the toolkit
// has been shut down, -1 when the toolkit could not be initialised.
int32_t run_viewer();

// GL state set once after initialisation: clear colour, blending and smoothing.
void set_fixed_gl_state();

// One frame: clear, camera, network, overlays, swap. Returns what draw_network returned.
int32_t draw_frame(const ViewState& view);

// Fiber classes for the cluster colouring (key C): one entry per fiber.
enum FiberClass : uint8_t {
  FIBER_PLAIN = 0,
  FIBER_LARGEST_CLUSTER = 1,
  FIBER_SPANNING_CLUSTER = 2
};
// Copies the classes of `count` fibers; without a call every fiber is plain.
void set_fiber_classes(const uint8_t* classes, int32_t count);
