#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A sweep: for every count, every length and every diameter of its tables, one placement and
// contact count, continuing the random stream.
struct SweepPlan {
  std::vector<int32_t> counts;
  std::vector<float> lengths, diameters;
  float box = 2e-6f;  // side of the cube around the origin
  bool periodic = false;
  int threads = 0;  // for detection; 0: one per core. The results do not depend on it.
};

// The compiled-in tables: 9 counts, 3 lengths, 6 diameters.
SweepPlan default_sweep_plan();

// Prints the start line, a header per count and length, and one result line per run. False,
// after a message on standard error, when the memory for a run cannot be had.
bool longrun(const SweepPlan& plan);

// The compiled-in sweep.
void longrun(int threads = 0);

// Machine-readable form: the header line, then one row per run of `plan` with the seed and the
// repeat it belongs to, the cluster figures and the excluded-volume expectation.
void print_sweep_csv_header();
bool sweep_csv_rows(const SweepPlan& plan, int32_t seed, int32_t repeat);

// Formats one result line ("%i;%g;%g;%g;%i" with every '.' replaced by ','), without a newline.
void format_sweep_line(char* out, size_t size, int count, float length, float diameter, double vf,
                       int contacts);
