#pragma once

// A window's event queue: a ring of tracked nodes reached through its newest node.

#include "quillfen_records.h"

// Copies `event` into a new node that becomes the window's newest event.
void push_event(ToolkitWindow* window, const ToolkitEvent* event);

// Coalesces one queue (given and returning its newest node): one resize, one move and one close
// request survive, and every paint event is merged into one newest paint event.
EventNode* compact_events(EventNode* newest);

// Unlinks `node` from the window's queue and frees it.
void remove_event(ToolkitWindow* window, EventNode* node);
