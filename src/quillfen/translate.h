#pragma once

// Translation of window messages into toolkit events, and the toolkit's window procedure.

#include "quillfen_records.h"

// Turns one message for `window` into at most one queued event and keeps the window's input
// state current. time_ms 0 = now; cursor null = the cursor position now.
void event_from_message(ToolkitWindow* window, uint32_t message, PwWParam wparam, PwLParam lparam,
                        uint32_t time_ms, const PwPoint* cursor);

// The window procedure registered with the toolkit's window class.
PwResult window_proc(PwWindow hwnd, uint32_t message, PwWParam wparam, PwLParam lparam);
