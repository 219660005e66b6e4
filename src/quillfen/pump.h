#pragma once

#include "quillfen_records.h"

// Drains every pending message of the thread: dispatches each, translates those of toolkit
// windows, and compacts `window`'s queue at the end.
void pump_messages(ToolkitWindow* window);
