#pragma once

#include <cstdint>
#include <string>

// Fiber volume over box volume; overlaps and protrusions are not subtracted. Of the settings, or
// of `count` fibers in the box from `lo` to `hi`.
double volume_fraction();
double volume_fraction(int32_t count, float length, float diameter, const float lo[3],
                       const float hi[3]);

// The one-line run summary, without its line break.
std::string format_summary(int32_t count, float length, float diameter, double fraction,
                           int32_t contacts);

// Writes the one-line run summary of the settings and the network to standard output.
void print_summary();
