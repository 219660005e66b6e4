#include "sweep.h"

#include <cstdio>

#include "assert_stop.h"
#include "contacts.h"
#include "network.h"
#include "placement.h"
#include "summary.h"

namespace {

constexpr int kTotalRuns = 162;  // 9 counts x 3 lengths x 6 diameters, announced up front
constexpr int kFirstLength = 6;
constexpr int kDiameters = 6;

void run_once(int threads) {
  place_fibers();
  if (threads > 0) detect_contacts_threaded(threads);
  else detect_contacts();
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

void longrun(int threads) {
  std::printf("Starting longrun: %i total iterations\n", kTotalRuns);
  for (const int32_t count : sweep_counts) {
    num_fibers = count;
    ALWAYS_ASSERT(num_fibers <= MAXFIB);
    for (int k = kFirstLength; k < kFirstLength + 3; ++k) {
      fiber_len = sweep_sizes[k];
      std::puts("num_fibers;fiber_len;fiber_diameter;fiber_vrate;num_contacts");
      for (int q = 0; q < kDiameters; ++q) {
        fiber_diameter = sweep_sizes[q];
        run_once(threads);
      }
    }
  }
}
