#include "sweep.h"

#include <cstdio>
#include <string>

#include "analysis/clusters.h"
#include "analysis/theory.h"
#include "assert_stop.h"
#include "contacts.h"
#include "contacts_periodic.h"
#include "decimal_text.h"
#include "network.h"
#include "placement.h"
#include "progress.h"
#include "summary.h"

namespace {

constexpr int kFirstLength = 6;
constexpr int kDiameters = 6;

void set_box(float box) {
  for (int k = 0; k < 3; ++k) {
    box_min[k] = -box * 0.5f;
    box_max[k] = box * 0.5f;
  }
}

// Places and detects one run of the current settings; false after a message when the memory
// cannot be had.
bool run_once(const SweepPlan& plan) {
  place_fibers();
  const int threads = plan.threads;
  const bool ok = plan.periodic
                      ? (threads > 0 ? detect_contacts_periodic_threaded(plan.box, threads)
                                     : detect_contacts_periodic(plan.box))
                      : (threads > 0 ? detect_contacts_threaded(threads) : detect_contacts());
  if (!ok) std::fprintf(stderr, "mikado-longrun: not enough memory for %d fibers\n", num_fibers);
  return ok;
}

// Every run of the plan in table order: `header` after each count and length is set, `result`
// after each run. False when a run could not be made.
template <typename Header, typename Result>
bool each_run(const SweepPlan& plan, Header header, Result result) {
  set_box(plan.box);
  Progress progress("sweep", static_cast<int64_t>(plan.counts.size() * plan.lengths.size() *
                                                  plan.diameters.size()));
  for (const int32_t count : plan.counts) {
    num_fibers = count;
    ALWAYS_ASSERT(num_fibers <= MAXFIB);
    for (const float length : plan.lengths) {
      fiber_len = length;
      header();
      for (const float diameter : plan.diameters) {
        fiber_diameter = diameter;
        if (!run_once(plan)) return false;
        result();
        progress.add(1);
      }
    }
  }
  return true;
}

}  // namespace

SweepPlan default_sweep_plan() {
  SweepPlan plan;
  plan.counts.assign(std::begin(sweep_counts), std::end(sweep_counts));
  plan.lengths.assign(sweep_sizes + kFirstLength, sweep_sizes + kFirstLength + 3);
  plan.diameters.assign(sweep_sizes, sweep_sizes + kDiameters);
  return plan;
}

void format_sweep_line(char* out, size_t size, int count, float length, float diameter, double vf,
                       int contacts) {
  std::snprintf(out, size, "%i;%g;%g;%g;%i", count, static_cast<double>(length),
                static_cast<double>(diameter), vf, contacts);
  for (char* c = out; *c; ++c) {
    if (*c == '.') *c = ',';
  }
}

bool longrun(const SweepPlan& plan) {
  std::printf("Starting longrun: %zu total iterations\n",
              plan.counts.size() * plan.lengths.size() * plan.diameters.size());
  return each_run(
      plan, [] { std::puts("num_fibers;fiber_len;fiber_diameter;fiber_vrate;num_contacts"); },
      [] {
        char line[256];
        format_sweep_line(line, sizeof line, num_fibers, fiber_len, fiber_diameter,
                          volume_fraction(), network.num_contacts);
        std::puts(line);
        std::fflush(stdout);
      });
}

void longrun(int threads) {
  SweepPlan plan = default_sweep_plan();
  plan.threads = threads;
  longrun(plan);
}

void print_sweep_csv_header() {
  std::puts(
      "count,length,diameter,box,periodic,seed,repeat,volume_fraction,contacts,contacts_per_fiber,"
      "theory_contacts,clusters,largest_cluster,spanning_x,spanning_y,spanning_z");
}

bool sweep_csv_rows(const SweepPlan& plan, int32_t seed, int32_t repeat) {
  const double volume = static_cast<double>(plan.box) * plan.box * plan.box;
  return each_run(
      plan, [] {},
      [&] {
        const ClusterResult c =
            find_clusters(network.fibers.data(), num_fibers, network.contacts.data(),
                          network.num_contacts, plan.box, plan.periodic);
        std::printf("%i,%s,%s,%s,%i,%i,%i,%s,%i,%s,%s,%i,%i,%i,%i,%i\n", num_fibers,
                    shortest_decimal(fiber_len).c_str(), shortest_decimal(fiber_diameter).c_str(),
                    shortest_decimal(plan.box).c_str(), plan.periodic ? 1 : 0, seed, repeat,
                    shortest_decimal(volume_fraction()).c_str(), network.num_contacts,
                    shortest_decimal(c.contacts_per_fiber).c_str(),
                    shortest_decimal(theory_contacts(num_fibers, fiber_len, fiber_diameter, volume))
                        .c_str(),
                    c.num_clusters, c.largest, c.spanning[0] ? 1 : 0, c.spanning[1] ? 1 : 0,
                    c.spanning[2] ? 1 : 0);
        std::fflush(stdout);
      });
}
