#pragma once

#include <cstdint>

#include "contacts_grid.h"

// A candidate that passed the exact test: its grid entry, the axis distance and the contact point
// as prepared_contact gives them.
struct Touch {
  int32_t entry;
  float distance;
  Vec3 point;
};

// Runs prepared_contact on `a`, the fiber with index i, against each grid entry of
// near[0 .. count - 1], the pair taken in index order as the plain loop takes it, and writes to
// `out`, in order, those that touch within `limit`. Returns their count. near[count .. count + 2]
// must hold entries of the grid when count > 0; `out` needs room for `count` touches. With the
// grid's per-fiber diameters, `limit` is the widest and each pair is held to its pair_diameter.
//
// With the wide version (use_wide_filter) four pairs go through the test at once in AVX2 double
// lanes, with the same IEEE operations in the same order, so that the results are the same bit
// for bit; lanes that reach one of the test's degenerate branches are run again alone.
int exact_contacts(const ContactGrid& g, const PreparedSegment& a, int32_t i, const int32_t* near,
                   int count, float limit, Touch* out);
