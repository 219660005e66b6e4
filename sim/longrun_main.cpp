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
  random_seed(network.stream, options.seed);
  longrun(options.threads > 0 ? options.threads : machine_threads());
  return 0;
}
