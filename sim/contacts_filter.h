#pragma once

#include <cstdint>

#include "contacts_grid.h"

// Conservative tests ahead of the exact one: each rejects a pair only when the exact test
// certainly fails on it.

// Appends to `near` the entries of [begin, end) that may touch `a` within `limit` (midpoints in
// reach, axes close enough), and returns the new count. `near` needs room for end - begin more
// entries.
int scan_cell(const ContactGrid& g, const PreparedSegment& a, float limit, int32_t begin,
              int32_t end, int32_t* near, int found);

// Whether the CPU runs the AVX2 version of the candidate filter, and the choice of version
// (SSE2 when false or unavailable; AVX2 by default where available). Both keep the same pairs.
bool wide_filter_available();
void use_wide_filter(bool wide);

// False when the closest points of the two axes certainly do not both lie inside the segments.
bool may_meet_inside(const PreparedSegment& a, const PreparedSegment& b);
