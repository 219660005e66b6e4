#pragma once

#include "periodic_image.h"

// The all-pairs loop in the periodic box of side `box` (centred on the origin): for each pair
// i < j, fiber j is taken at its image nearest fiber i (periodic_image.h), the contact test and
// the diameter rejection are those of the open box, and the contact point is wrapped into the
// box. Contacts come in pair order with the open box's capacity rule and overflow message. The
// reference for every periodic detector; the side must pass periodic_box_valid.
void detect_contacts_all_pairs_periodic(double box);
// The same in a box periodic along the axes of non-zero period only.
void detect_contacts_all_pairs_periodic(const Periods& periods);

// The same contacts, bit for bit and in the same order, found by the open box's grid with the
// images of the fibers near the faces binned beside them (contacts_grid.h), on `threads` workers
// (at least one); the result does not depend on their number. The side must pass
// periodic_box_valid. Returns false, with no contacts, when its working memory cannot be had.
bool detect_contacts_periodic_threaded(double box, int threads);
bool detect_contacts_periodic_threaded(const Periods& periods, int threads);

// The same on as many workers as the machine has cores.
bool detect_contacts_periodic(double box);
