#pragma once

// Display-mode switches of a full-screen window: into one of its listed modes and back to the
// desktop's own mode.

#include "quillfen_records.h"

// Switches to modes[index], or back to the desktop mode for index -1. Refused, with a message,
// while the window is hidden; keeps a button-held capture and the z-order right around the switch.
void set_video_mode(ToolkitWindow* window, int32_t index);

// Puts the display in `mode`, filling its zero fields from the desktop; null restores the
// registry's settings. False when the platform refuses.
bool apply_display_mode(const DisplayMode* mode);
