#pragma once

#include <cstdint>

// The network's capacities until size_network sets others, and the sweep's.
inline constexpr int MAXFIB = 100000;
inline constexpr int MAXCONTACTS = 1000000;

// Compiled-in simulation settings; the sweep overwrites the first three between its runs.
extern int32_t num_fibers;
extern float fiber_len;
extern float fiber_diameter;
extern float box_min[3];
extern float box_max[3];

// Sweep tables: counts, and sizes whose entries 0-5 are diameters and 6-8 lengths.
extern const int32_t sweep_counts[9];
extern const float sweep_sizes[9];
