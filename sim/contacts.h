#pragma once

// Finds every touching pair of the placed fibers, ordered by first then second index, keeping
// at most MAXCONTACTS; on overflow prints "Too many contacts!" and stops early. Uses a uniform
// grid over fiber midpoints and gives exactly the all-pairs result.
void detect_contacts();

// The same with an explicit number of worker threads (clamped to what is worth it); the result
// does not depend on it.
void detect_contacts_threaded(int threads);

// The plain loop over all n(n - 1)/2 pairs: the reference the grid must match.
void detect_contacts_all_pairs();
