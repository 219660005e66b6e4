#pragma once

#include <cstddef>

// Runs placement and detection for every count, length and diameter of the sweep tables,
// continuing the random stream, and prints one result line per run under a header. Detection
// uses `threads` threads (0: one per core); the lines do not depend on it.
void longrun(int threads = 0);

// Formats one result line ("%i;%g;%g;%g;%i" with every '.' replaced by ','), without a newline.
void format_sweep_line(char* out, size_t size, int count, float length, float diameter, double vf,
                       int contacts);
