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
