#pragma once

#include <cstdint>

// Expected number of contacts of `count` isotropic sticks of the given length and diameter
// placed uniformly in `volume`: N(N - 1)/2 pairs, each touching with the excluded-volume chance
// πDL²/(2V). Exact for the periodic box up to terms of order D/L; an upper estimate for the open
// one, whose faces cut contacts.
double theory_contacts(int64_t count, double length, double diameter, double volume);

// The same for sticks of independent lengths with mean `mean_length` and independent directions
// whose angle γ between two has <|sin γ|> = `mean_abs_sine`: each pair touches with the chance
// 2 D <L>² <|sin γ|> / V, the excluded volume 2 D L1 L2 |sin γ| averaged. Of independent
// diameters, a pair touches within their mean, so D is the mean diameter <D>.
double theory_contacts(int64_t count, double mean_length, double diameter, double volume,
                       double mean_abs_sine);
