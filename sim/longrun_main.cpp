#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "network.h"
#include "run_options.h"
#include "sweep.h"

int main(int argc, char** argv) {
  SweepOptions options;
  const ParseOutcome parsed = parse_sweep_options(
      std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc), options);
  if (!parsed.run) {
    std::fputs(parsed.text.c_str(), parsed.status == 0 ? stdout : stderr);
    return parsed.status;
  }
  for (const std::string& warning : parsed.warnings) std::fputs(warning.c_str(), stderr);
  SweepPlan plan = default_sweep_plan();
  if (!options.counts.empty()) plan.counts = options.counts;
  if (!options.lengths.empty()) plan.lengths = options.lengths;
  if (!options.diameters.empty()) plan.diameters = options.diameters;
  plan.box = options.box.side;
  plan.periodic = options.box.periodic;
  // A box of three sides or periodic along only some axes is named at the end of each row.
  plan.box_columns =
      !options.box.cube() || options.box.any_periodic() != options.box.all_periodic();
  plan.threads = options.threads;
  plan.conductance = options.circuit.conductance;
  plan.junction_resistance = options.circuit.junction_resistance;
  plan.resistivity = options.circuit.resistivity;
  plan.electrode_axis = options.circuit.electrode_axis;
  plan.population = options.population;
  plan.population_columns = options.oriented || options.distributed || options.diameter_distributed;
  plan.diameter_column = options.diameter_distributed;
  // With options contacts are capped only when asked; without, the compiled-in capacity holds.
  if (argc > 1) plan.max_contacts = options.max_contacts >= 0 ? options.max_contacts : UNCAPPED;

  // Repeat r runs the whole sweep on a stream seeded with seed - r; a shard runs every
  // shards-th repeat, so that shards together give the rows of the whole.
  const auto repeats = static_cast<size_t>(
      (int64_t{options.repeats} - options.shard + options.shards - 1) / options.shards);
  const auto repeat = [&options](size_t k) {
    const int64_t r = options.shard + static_cast<int64_t>(k) * options.shards;
    SweepRepeat made{{}, static_cast<int32_t>(options.seed - r), static_cast<int32_t>(r)};
    random_seed_distinct(made.stream, made.seed);
    return made;
  };
  if (options.csv)
    print_sweep_csv_header(plan.population_columns, plan.diameter_column, plan.box_columns,
                           plan.conductance);
  std::fflush(stdout);
  return run_sweep(plan, repeats, repeat, options.csv ? SweepFormat::csv : SweepFormat::lines);
}
