#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "fiber_population.h"

// --conductance and the circuit's settings.
struct CircuitOptions {
  bool conductance = false;        // the conductance, and (mikado) potential and current per fiber
  double junction_resistance = 1;  // ohm
  double resistivity = 0;          // ohm metre; 0: ideal wires
  int electrode_axis = 0;          // 0 x, 1 y, 2 z
};

// The box of --box and --periodic, centred on the origin: its sides along x, y and z, and the
// axes along which it is periodic.
struct BoxShape {
  std::array<float, 3> side{2e-6f, 2e-6f, 2e-6f};
  std::array<bool, 3> periodic{};

  bool cube() const { return side[0] == side[1] && side[1] == side[2]; }
  bool any_periodic() const { return periodic[0] || periodic[1] || periodic[2]; }
  bool all_periodic() const { return periodic[0] && periodic[1] && periodic[2]; }
  // "xyz", "xy", ...: the periodic axes.
  std::string periodic_axes() const;
};

// What `mikado` was asked to do; the defaults are the compiled-in run.
struct RunOptions {
  int32_t fibers = 10000;
  float length = 2e-7f;
  float diameter = 2e-9f;
  BoxShape box;
  bool box_given = false;  // --box on the line: the viewer starts framed on the whole network
  int32_t seed = -1;
  int threads = 0;            // 0: one per core
  int64_t max_contacts = -1;  // -1: none given
  bool no_view = false;       // print and write, but open no window
  bool stats = false;         // the cluster line after the summary
  FiberPopulation population;
  bool oriented = false;     // --orientation or --axis given: the order parameter is reported
  bool distributed = false;  // --length-dist given
  bool diameter_distributed = false;  // --diameter-dist given
  CircuitOptions circuit;  // --conductance: its line, and potential and current per fiber
  std::string fibers_out, contacts_out, vtk_out, json_out;
  std::string fibers_in;  // read the fibers from this CSV instead of placing them
};

// The output options with their paths: fibers CSV, contacts CSV, VTK, JSON.
struct OutputOption {
  const char* option;
  const std::string& path;
};
std::array<OutputOption, 4> output_options(const RunOptions& o);

// What `mikado-longrun` was asked to do. Empty tables: the compiled-in ones.
struct SweepOptions {
  std::vector<int32_t> counts;
  std::vector<float> lengths, diameters;
  BoxShape box;
  int32_t seed = -1;
  int32_t repeats = 1;            // repeat r seeds the stream with seed - r
  int32_t shard = 0, shards = 1;  // only the repeats r with r mod shards == shard
  bool csv = false;
  int threads = 0;
  int64_t max_contacts = -1;  // -1: none given
  // A length or diameter distribution's numbers are multiples of each length or diameter.
  FiberPopulation population;
  bool oriented = false, distributed = false, diameter_distributed = false;
  CircuitOptions circuit;  // with --csv: conductance and conductivity columns
};

// The outcome of reading a command line: run, or stop at once with `status` after printing
// `text` (help and version to standard output, errors to standard error). A run prints its
// `warnings` on standard error first.
struct ParseOutcome {
  bool run = true;
  int status = 0;
  std::string text;
  std::vector<std::string> warnings;
};

inline constexpr int kMaxThreads = 1024;
// Fiber and contact indices are int32.
inline constexpr int32_t kMaxFibers = INT32_MAX;

// `args` excludes the program name.
ParseOutcome parse_run_options(const std::vector<std::string>& args, RunOptions& options);
// The checks and warnings that need the fibers of --fibers-in, once the file is read and
// `options` holds its fiber count, longest fiber, diameter and the box of the run.
ParseOutcome check_fibers_in(const RunOptions& options);
ParseOutcome parse_sweep_options(const std::vector<std::string>& args, SweepOptions& options);

// The machine's core count, at least 1.
int machine_threads();
