#pragma once

// A window's update region, kept as one bounding rectangle as the toolkit only asks for that.

#include "platform.h"

namespace emulation {

// Empty when left >= right or top >= bottom.
bool rect_empty(const PwRect& rect);

// Grows `update` to cover `rect`; an empty `rect` adds nothing.
void add_update(PwRect& update, const PwRect& rect);

// GetUpdateRect: the region's bounds into `out` (if given), an empty rectangle when there is none;
// returns whether there is any.
bool update_bounds(const PwRect& update, PwRect* out);

}  // namespace emulation
