#pragma once

#include <cstdint>

// Expected number of contacts of `count` isotropic sticks of the given length and diameter
// placed uniformly in `volume`: N(N - 1)/2 pairs, each touching with the excluded-volume chance
// πDL²/(2V). Exact for the periodic box up to terms of order D/L; an upper estimate for the open
// one, whose faces cut contacts.
double theory_contacts(int64_t count, double length, double diameter, double volume);
