#pragma once

// Fiber volume over box volume; overlaps and protrusions are not subtracted.
double volume_fraction();

// Writes the one-line run summary to standard output.
void print_summary();
