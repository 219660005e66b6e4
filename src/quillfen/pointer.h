#pragma once

// Mouse capture references and cursor warps, shared by message translation, pointer grab and
// display-mode switches.

#include "quillfen_records.h"

// Takes one capture reference: the capture is set when the count leaves 0. On a window that is
// not visible it only prints a message. Returns whether a reference was taken.
bool capture_take(ToolkitWindow* window);

// Gives one reference back: the capture is released when the count returns to 0. On a window
// that is not visible it only prints a message; with no reference held it does nothing.
// Returns whether a reference was given back.
bool capture_drop(ToolkitWindow* window);

// Moves the cursor to a client point; refuses, with a message, points off the screen.
bool warp_pointer(ToolkitWindow* window, int32_t client_x, int32_t client_y);
