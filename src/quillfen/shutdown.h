#pragma once

// Teardown of the toolkit's records, shared by shutdown and initialisation's failure path.

#include "quillfen_records.h"

// Tears down `window` and everything that hangs on it, then frees the record. Works on a
// partly built record: every missing piece is skipped. A step the platform refuses is reported
// ("DestroyWindow() failed." and the like) and the later steps still run.
void destroy_window(ToolkitWindow* window);

// Releases the GL context, the GL string copies, the window and the context record itself.
// The global context pointer must no longer point at `context`.
void release_context(ToolkitContext* context);
