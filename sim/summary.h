#pragma once

#include <cstdint>

// Fiber volume over box volume; overlaps and protrusions are not subtracted. Of the settings, or
// of `count` fibers in the box from `lo` to `hi`.
double volume_fraction();
double volume_fraction(int32_t count, float length, float diameter, const float lo[3],
                       const float hi[3]);

// Writes the one-line run summary to standard output.
void print_summary();
