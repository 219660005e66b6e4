#pragma once

#include <cstdint>

#include "contacts_grid.h"

// Conservative tests ahead of the exact one: each rejects a pair only when the exact test
// certainly fails on it.

// A run of grid entries [begin, end) in increasing x; from the first entry with x above `stop`
// on, none can be in reach.
struct EntryRange {
  int32_t begin, end;
  float stop;
};

// Writes to `near` the entries of the ranges with an index above `after` that may touch `a`
// within `limit` (midpoints in reach, axes close enough), in range order, and returns their
// count. `near` needs room for every entry of the ranges and 8 more.
int scan_cells(const ContactGrid& g, const PreparedSegment& a, float limit, int32_t after,
               const EntryRange* ranges, int count, int32_t* near);

// Keeps, in order, the entries of near[0 .. count - 1] that pass may_meet_inside against `a`,
// and returns their count. `near` needs room for 8 entries past `count`.
int keep_interior(const ContactGrid& g, const PreparedSegment& a, int32_t* near, int count);

// Whether the CPU runs the AVX2 versions of the candidate filter and the exact test, the choice
// of versions (SSE2 when false or unavailable; AVX2 by default where available), and the
// choice in use. Both keep the same pairs.
bool wide_filter_available();
void use_wide_filter(bool wide);
bool wide_filter_in_use();

// False when the closest points of the two axes certainly do not both lie inside the segments.
bool may_meet_inside(const PreparedSegment& a, const PreparedSegment& b);
