#pragma once

#include <cstdint>

#include "vec3.h"

// Finds every touching pair of the placed fibers, ordered by first then second index, keeping
// at most MAXCONTACTS; on overflow prints "Too many contacts!" and stops early. Uses a uniform
// grid over fiber midpoints and gives exactly the all-pairs result.
void detect_contacts();

// The same with an explicit number of worker threads (clamped to what is worth it); the result
// does not depend on it.
void detect_contacts_threaded(int threads);

// The plain loop over all n(n - 1)/2 pairs: the reference the grid must match.
void detect_contacts_all_pairs();

// Appends a contact, or prints the overflow message and returns false when the array is full.
bool record_contact(int32_t first, int32_t second, float distance, const Vec3& point);
