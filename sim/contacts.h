#pragma once

#include <cstdint>

#include "vec3.h"

// Finds every touching pair of the placed fibers, ordered by first then second index, keeping
// at most the network's contact capacity; when more exist prints "Too many contacts!" once. Uses
// a uniform grid over fiber midpoints and gives exactly the all-pairs result, on as many threads
// as the machine has cores. Returns false, with no contacts, when its working memory or the
// storage for the contacts it keeps cannot be had.
bool detect_contacts();

// The same with an explicit number of worker threads (at least one); the result does not depend
// on it.
bool detect_contacts_threaded(int threads);

// Appends a contact as the plain loops do: false, after printing "Too many contacts!", when a
// further contact meets the capacity; false as well when uncapped storage cannot grow.
bool append_contact(int32_t first, int32_t second, float distance, const Vec3& point);

// The plain loop over all n(n - 1)/2 pairs: the reference the grid must match.
void detect_contacts_all_pairs();
