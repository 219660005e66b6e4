#pragma once

// Immediate-mode drawing of the network and its reference overlays. No depth test: later
// primitives are blended over earlier ones, so the order of the calls is the layering.

#include <cstdint>

#include "view_state.h"

// View units per metre for the box from `lo` to `hi`: its largest side spans 10 view units, so the
// overlays cover its cross-section (5e6 for the default box of 2e-6).
float network_scale(const float lo[3], const float hi[3]);

// The network under the uniform network_scale of the settings' box, its fibers coloured by
// cluster when the view asks for it. Always returns 1; the loop treats 0 as a request to quit.
int32_t draw_network(const ViewState& view);

// The twelve edges of the axis-aligned box from `lo` to `hi`.
void draw_box(const float lo[3], const float hi[3]);

// (divisions + 1) lines each way over a width x height rectangle in the plane z = centre[2].
void draw_grid(const float centre[3], float width, float height, uint32_t divisions);

// Fine grid, coarse grid and axis cross as the view's switches select, in view units: the grids
// span 10, the largest side of the box, and the axes 1.
void draw_overlays(const ViewState& view);
