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
  SweepPlan plan = default_sweep_plan();
  if (!options.counts.empty()) plan.counts = options.counts;
  if (!options.lengths.empty()) plan.lengths = options.lengths;
  if (!options.diameters.empty()) plan.diameters = options.diameters;
  plan.box = options.box;
  plan.periodic = options.periodic;
  plan.threads = options.threads;

  // The sweep keeps the compiled-in storage, whose memory may have been refused at start.
  if (network.fibers.size() < MAXFIB) {
    std::fprintf(stderr, "mikado-longrun: not enough memory for %d fibers\n", MAXFIB);
    return 1;
  }
  if (options.csv) print_sweep_csv_header();
  // Repeat r runs the whole sweep on a stream seeded with seed - r; a shard runs every
  // shards-th repeat, so that shards together give the rows of the whole.
  for (int64_t r = options.shard; r < options.repeats; r += options.shards) {
    const auto seed = static_cast<int32_t>(options.seed - r);
    random_seed(network.stream, seed);
    if (!(options.csv ? sweep_csv_rows(plan, seed, static_cast<int32_t>(r)) : longrun(plan)))
      return 1;
  }
  return 0;
}
