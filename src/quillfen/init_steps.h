#pragma once

// The steps of initialisation, each printing its own failure message.

#include "quillfen_records.h"

// Lists the display modes of at least 15 bits per pixel, in enumeration order.
void build_mode_list(ToolkitWindow* window);

// The first listed mode of the window's size at `depth`, or -1.
int32_t find_mode(const ToolkitWindow* window, uint32_t depth);

// Chooses, checks and sets the pixel format; returns its number, 0 on failure.
int32_t set_up_pixel_format(ToolkitWindow* window, bool depth, bool stencil, bool alpha);

// Creates the GL context into the record and makes it current.
bool create_gl_context(ToolkitContext* context);

// Copies the GL strings of the current context and prints the renderer line.
void report_renderer(ToolkitContext* context, int32_t pixel_format);

// Viewport over the client area and a projection spanning -1..1 vertically.
void set_initial_gl_state(const ToolkitWindow* window);
