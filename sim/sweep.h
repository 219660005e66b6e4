#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "fiber_population.h"
#include "network.h"
#include "random_stream.h"

// A sweep: for every count, every length and every diameter of its tables, one placement and
// contact count, continuing the random stream.
struct SweepPlan {
  std::vector<int32_t> counts;
  std::vector<float> lengths, diameters;
  // The box around the origin: its sides along x, y, z, and the axes along which it is periodic.
  std::array<float, 3> box{2e-6f, 2e-6f, 2e-6f};
  std::array<bool, 3> periodic{};
  bool box_columns = false;  // the CSV rows end in box_x,box_y,box_z,periodic_axes
  // With `conductance` the CSV rows end in conductance,conductivity.
  bool conductance = false;
  double junction_resistance = 1, resistivity = 0;
  int electrode_axis = 0;
  int threads = 0;                     // 0: one per core. The results do not depend on it.
  int64_t max_contacts = MAXCONTACTS;  // per run, or UNCAPPED
  // A length or diameter distribution's numbers are multiples of each run's table length or
  // diameter (scaled_population).
  FiberPopulation population;
  bool population_columns = false;  // the CSV rows end in orientation, axis and length_dist
  bool diameter_column = false;     // and then in diameter_dist
};

// The compiled-in tables: 9 counts, 3 lengths, 6 diameters.
SweepPlan default_sweep_plan();

// One repeat of a sweep: the whole plan on a stream of its own, from the state `stream`.
struct SweepRepeat {
  RandomStream stream;
  int32_t seed;    // as the CSV names it
  int32_t number;  // r, as the CSV names it
};

enum class SweepFormat {
  lines,  // the start line, a header per count and length, "%i;%g;%g;%g;%i" with decimal commas
  csv,    // one row per run; see print_sweep_csv_header
};

// Runs `repeats` repeats, repeat(k) being the k-th, and prints what running them one after
// another prints, byte for byte, whatever the thread count: repeats run side by side on the plan's
// threads, each run's detection on the threads left to it. "Too many contacts!" keeps its place
// among the lines, on standard output for `lines` and on standard error for `csv`. Returns the
// exit status: 0, or after a message on standard error 1 when the memory for a run cannot be had
// and 2 when a drawn fiber is too long for the periodic box; what the repeats before it printed
// stays printed.
int run_sweep(const SweepPlan& plan, size_t repeats,
              const std::function<SweepRepeat(size_t)>& repeat, SweepFormat format);

// The compiled-in sweep on the process-wide stream, which it continues; afterwards the settings
// hold the last run's count, length and diameter.
void longrun(int threads = 0);

// The CSV's header line; with `population_columns` it ends in orientation, axis and length_dist,
// with `diameter_column` then in diameter_dist.
void print_sweep_csv_header(bool population_columns = false, bool diameter_column = false,
                            bool box_columns = false, bool conductance_columns = false);

// Formats one result line ("%i;%g;%g;%g;%i" with every '.' replaced by ','), without a newline.
void format_sweep_line(char* out, size_t size, int count, float length, float diameter, double vf,
                       int contacts);
