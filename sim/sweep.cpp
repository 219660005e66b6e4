#include "sweep.h"

#include <cstdio>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "assert_stop.h"
#include "contacts.h"
#include "network.h"
#include "placement.h"
#include "summary.h"

namespace {

constexpr int kTotalRuns = 162;  // 9 counts x 3 lengths x 6 diameters, announced up front
constexpr int kFirstLength = 6;
constexpr int kDiameters = 6;

struct Run {
  int32_t count;
  float length;
  float diameter;
  bool header;  // the first of a group of six
};

std::vector<Run> sweep_runs() {
  std::vector<Run> runs;
  for (const int32_t count : sweep_counts) {
    for (int k = kFirstLength; k < kFirstLength + 3; ++k) {
      for (int q = 0; q < kDiameters; ++q)
        runs.push_back({count, sweep_sizes[k], sweep_sizes[q], q == 0});
    }
  }
  return runs;
}

void report() {
  char line[256];
  format_sweep_line(line, sizeof line, num_fibers, fiber_len, fiber_diameter, volume_fraction(),
                    network.num_contacts);
  std::puts(line);
  std::fflush(stdout);
}

}  // namespace

void format_sweep_line(char* out, size_t size, int count, float length, float diameter, double vf,
                       int contacts) {
  std::snprintf(out, size, "%i;%g;%g;%g;%i", count, static_cast<double>(length),
                static_cast<double>(diameter), vf, contacts);
  for (char* c = out; *c; ++c) {
    if (*c == '.') *c = ',';
  }
}

// Placement draws only from the stream and detection never reads it, so the next run's fibers
// are placed into a spare buffer while this run's contacts are found.
void longrun(int threads) {
  std::printf("Starting longrun: %i total iterations\n", kTotalRuns);
  const std::vector<Run> runs = sweep_runs();
  RecordBuffer<Fiber> spare(network.fibers.size());
  for (size_t r = 0; r < runs.size(); ++r) {
    const Run& run = runs[r];
    num_fibers = run.count;
    ALWAYS_ASSERT(num_fibers <= MAXFIB);
    fiber_len = run.length;
    fiber_diameter = run.diameter;
    if (run.header) std::puts("num_fibers;fiber_len;fiber_diameter;fiber_vrate;num_contacts");
    if (r == 0) place_fibers();

    std::thread placer;
    const auto place_next = [&] {
      const Run& next = runs[r + 1];
      place_fibers_into(spare.data(), next.count, next.length, network.stream);
    };
    if (r + 1 < runs.size()) {
      ALWAYS_ASSERT(runs[r + 1].count <= spare.size());
      try {
        placer = std::thread(place_next);
      } catch (const std::system_error&) {
        place_next();
      }
    }
    if (threads > 0) {
      detect_contacts_threaded(threads);
    } else {
      detect_contacts();
    }
    report();
    if (r + 1 == runs.size()) break;
    if (placer.joinable()) placer.join();
    std::swap(network.fibers, spare);
  }
}
