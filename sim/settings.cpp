#include "settings.h"

int32_t num_fibers = 10000;
float fiber_len = 2e-7f;
float fiber_diameter = 2e-9f;
float box_min[3] = {-1e-6f, -1e-6f, -1e-6f};
float box_max[3] = {1e-6f, 1e-6f, 1e-6f};

const int32_t sweep_counts[9] = {100, 500, 1000, 2000, 5000, 10000, 20000, 50000, 100000};
const float sweep_sizes[9] = {1e-9f, 2e-9f, 5e-9f, 1e-8f, 2e-8f, 4e-8f, 5e-8f, 1e-7f, 2e-7f};
