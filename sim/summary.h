#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "network.h"

// Fiber volume over box volume; overlaps and protrusions are not subtracted. Of the settings, or
// of `count` fibers in the box from `lo` to `hi`.
double volume_fraction();
double volume_fraction(int32_t count, float length, float diameter, const float lo[3],
                       const float hi[3]);

// The expected fraction of `count` fibers of mean length `mean_length` and mean square diameter
// `mean_square_diameter`, drawn independently: N pi/4 E[D^2] E[L] / V.
double expected_volume_fraction(int32_t count, double mean_length, double mean_square_diameter,
                                const float lo[3], const float hi[3]);

// The same of fibers each of its own length and of `diameters` each (one `diameter` for all
// when empty): their summed volume over the box's.
double fibers_volume_fraction(std::span<const Fiber> fibers, std::span<const float> diameters,
                              float diameter, const float lo[3], const float hi[3]);

// The one-line run summary, without its line break.
std::string format_summary(int32_t count, float length, float diameter, double fraction,
                           int32_t contacts);

// Writes the one-line run summary of the settings and the network to standard output.
void print_summary();
