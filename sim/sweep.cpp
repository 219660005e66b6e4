#include "sweep.h"

#include <cstdio>
#include <system_error>
#include <thread>
#include <utility>

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

struct Run {
  int32_t count;
  float length;
  float diameter;
  bool header;  // the first of a group of diameters
};

std::vector<Run> plan_runs(const SweepPlan& plan) {
  std::vector<Run> runs;
  for (const int32_t count : plan.counts) {
    for (const float length : plan.lengths) {
      for (size_t q = 0; q < plan.diameters.size(); ++q)
        runs.push_back({count, length, plan.diameters[q], q == 0});
    }
  }
  return runs;
}

void set_box(float box) {
  for (int k = 0; k < 3; ++k) {
    box_min[k] = -box * 0.5f;
    box_max[k] = box * 0.5f;
  }
}

bool detect(const SweepPlan& plan) {
  const int threads = plan.threads;
  if (plan.periodic)
    return threads > 0 ? detect_contacts_periodic_threaded(plan.box, threads)
                       : detect_contacts_periodic(plan.box);
  return threads > 0 ? detect_contacts_threaded(threads) : detect_contacts();
}

// Every run of the plan in table order: `header` at the start of each group of diameters,
// `result` after each run. Placement draws only from the stream and detection never reads it, so
// the next run's fibers are placed into a spare buffer while this run's contacts are found. False
// after a message when a run's memory cannot be had.
template <typename Header, typename Result>
bool each_run(const SweepPlan& plan, Header header, Result result) {
  set_box(plan.box);
  const std::vector<Run> runs = plan_runs(plan);
  Progress progress("sweep", static_cast<int64_t>(runs.size()));
  RecordBuffer<Fiber> spare(network.fibers.size());
  if (spare.size() != network.fibers.size()) {
    std::fprintf(stderr, "mikado-longrun: not enough memory for %lld fibers\n",
                 static_cast<long long>(network.fibers.size()));
    return false;
  }
  for (size_t r = 0; r < runs.size(); ++r) {
    const Run& run = runs[r];
    num_fibers = run.count;
    ALWAYS_ASSERT(num_fibers <= MAXFIB);
    fiber_len = run.length;
    fiber_diameter = run.diameter;
    if (run.header) header();
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
    const bool detected = detect(plan);
    if (placer.joinable()) placer.join();
    if (!detected) {
      std::fprintf(stderr, "mikado-longrun: not enough memory for %d fibers\n", num_fibers);
      return false;
    }
    result();
    progress.add(1);
    if (r + 1 < runs.size()) std::swap(network.fibers, spare);
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
