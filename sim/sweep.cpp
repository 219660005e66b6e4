#include "sweep.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "analysis/clusters.h"
#include "analysis/conductance.h"
#include "analysis/theory.h"
#include "assert_stop.h"
#include "contacts.h"
#include "decimal_text.h"
#include "fiber_population.h"
#include "placement.h"
#include "progress.h"
#include "summary.h"
#include "worker_threads.h"

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

void set_box(const std::array<float, 3>& box) {
  for (int k = 0; k < 3; ++k) {
    box_min[k] = -box[k] * 0.5f;
    box_max[k] = box[k] * 0.5f;
  }
}

bool any_periodic(const SweepPlan& plan) {
  return plan.periodic[0] || plan.periodic[1] || plan.periodic[2];
}

// The text of the repeats in their order. A repeat's text goes out at once while every repeat
// before it has finished, and waits until then otherwise; a repeat that never finishes holds
// back those after it. Only the repeats in progress hold anything.
class InOrder {
 public:
  void write(size_t part, std::FILE* to, std::string text) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (part == head_)
      put(to, text);
    else
      waiting_[part].emplace_back(to, std::move(text));
  }

  void finish(size_t part) {
    const std::lock_guard<std::mutex> lock(mutex_);
    done_.insert(part);
    while (done_.erase(head_) > 0) {
      const auto held = waiting_.find(++head_);
      if (held == waiting_.end()) continue;
      for (const auto& [to, text] : held->second) put(to, text);
      waiting_.erase(held);
    }
  }

 private:
  // Each line is out before the next run starts, also when standard output is a pipe.
  static void put(std::FILE* to, const std::string& text) {
    std::fputs(text.c_str(), to);
    std::fflush(to);
  }

  std::mutex mutex_;
  std::map<size_t, std::vector<std::pair<std::FILE*, std::string>>> waiting_;
  std::set<size_t> done_;  // finished, past the head
  size_t head_ = 0;
};

// What one thread of the sweep keeps from repeat to repeat.
struct Lane {
  RecordBuffer<Fiber> fibers, spare;
  std::vector<float> diameters, spare_diameters;  // drawn per fiber, or empty
  RecordBuffer<Contact> contacts;
  ContactDetector detector;
};

using Emit = std::function<void(std::FILE*, std::string)>;

// Why a repeat stopped: status 1 for memory, 2 for a drawn fiber too long for the periodic box.
struct Failure {
  int status = 0;
  std::string message;
};

// A run's population, its numbers scaled to the run's table length and diameter.
FiberPopulation run_population(const SweepPlan& plan, const Run& run) {
  return scaled_population(plan.population, run.length, run.diameter);
}

// Places a run's fibers into `out` and, when they are drawn, their diameters into `diameters`
// (sized to hold them); returns the longest length drawn.
float place_run(const SweepPlan& plan, const Run& run, Fiber* out, std::vector<float>& diameters,
                RandomStream& stream) {
  if (!plan.population.plain()) {
    place_fibers_into(out, run.count, run.length, stream);
    return run.length;
  }
  return place_fibers_plain(out, run.count, run.length, run_population(plan, run), stream,
                            diameters.data());
}

// The line or row of one finished run.
std::string run_text(const SweepPlan& plan, const SweepRepeat& repeat, const Run& run,
                     const Lane& lane, int32_t contacts, SweepFormat format,
                     const ConductanceResult& circuit) {
  const float lo[3] = {-plan.box[0] * 0.5f, -plan.box[1] * 0.5f, -plan.box[2] * 0.5f};
  const float hi[3] = {plan.box[0] * 0.5f, plan.box[1] * 0.5f, plan.box[2] * 0.5f};
  const FiberPopulation population = run_population(plan, run);
  const auto mean = static_cast<float>(mean_length(population, run.length));
  const bool thick = plan.population.diameters != LengthDist::fixed;
  // Drawn diameters give the expectation N pi/4 E[D^2] E[L] / V.
  const double vf =
      thick ? expected_volume_fraction(run.count, mean_length(population, run.length),
                                       mean_square_diameter(population, run.diameter), lo, hi)
            : volume_fraction(run.count, mean, run.diameter, lo, hi);
  char line[512];
  if (format == SweepFormat::lines) {
    format_sweep_line(line, sizeof line, run.count, run.length, run.diameter, vf, contacts);
    return std::string(line) + "\n";
  }
  const ClusterResult c =
      find_clusters(lane.fibers.data(), run.count, lane.contacts.data(), contacts,
                    {plan.box[0], plan.box[1], plan.box[2]}, plan.periodic);
  const double volume =
      static_cast<double>(plan.box[0]) * plan.box[1] * static_cast<double>(plan.box[2]);
  const bool capped = plan.max_contacts != UNCAPPED && contacts == plan.max_contacts;
  // The compiled-in isotropic sticks of one length keep the theory's historical arithmetic. Two
  // independent diameters touch within their mean, whose expectation is the mean diameter.
  const double theory =
      plan.population.plain()
          ? theory_contacts(run.count, mean, mean_diameter(population, run.diameter), volume,
                            mean_abs_sine(plan.population))
          : theory_contacts(run.count, run.length, run.diameter, volume);
  std::snprintf(line, sizeof line, "%i,%s,%s,%s,%i,%i,%i,%s,%i,%s,%s,%i,%i,%i,%i,%i,%i", run.count,
                shortest_decimal(run.length).c_str(), shortest_decimal(run.diameter).c_str(),
                shortest_decimal(plan.box[0]).c_str(), any_periodic(plan) ? 1 : 0, repeat.seed,
                repeat.number, shortest_decimal(vf).c_str(), contacts,
                shortest_decimal(c.contacts_per_fiber).c_str(), shortest_decimal(theory).c_str(),
                c.num_clusters, c.largest, c.spanning[0] ? 1 : 0, c.spanning[1] ? 1 : 0,
                c.spanning[2] ? 1 : 0, capped ? 1 : 0);
  std::string row = line;
  if (plan.population_columns)
    row += "," + orientation_text(plan.population) + "," + axis_name(plan.population.axis) + "," +
           length_dist_text(plan.population);
  if (plan.diameter_column) row += "," + diameter_dist_text(plan.population);
  if (plan.box_columns) {
    std::string axes;
    for (int k = 0; k < 3; ++k) {
      row += "," + shortest_decimal(plan.box[k]);
      if (plan.periodic[k]) axes += static_cast<char>('x' + k);
    }
    row += "," + axes;
  }
  if (plan.conductance)
    row +=
        "," + shortest_decimal(circuit.conductance) + "," + shortest_decimal(circuit.conductivity);
  return row + "\n";
}

// Every run of the plan in table order on the repeat's stream, its text through `emit`. With
// `overlap`, placement draws only from the stream and detection never reads it, so the next run's
// fibers are placed on a thread of their own while this run's contacts are found. Returns why
// the repeat stopped, if it did.
Failure run_repeat(const SweepPlan& plan, const std::vector<Run>& runs, SweepRepeat repeat,
                   Lane& lane, const std::function<int()>& threads, bool overlap,
                   SweepFormat format, const Emit& emit, Progress& progress) {
  int32_t largest = 0;
  for (const Run& run : runs) largest = std::max(largest, run.count);
  const Failure short_of{1, "not enough memory for " + std::to_string(largest) + " fibers"};
  if (lane.fibers.size() < largest && !lane.fibers.reset(largest)) return short_of;
  if (overlap && lane.spare.size() < largest && !lane.spare.reset(largest)) return short_of;
  if (plan.population.diameters != LengthDist::fixed) {
    try {
      lane.diameters.resize(static_cast<size_t>(largest));
      if (overlap) lane.spare_diameters.resize(static_cast<size_t>(largest));
    } catch (const std::bad_alloc&) {
      return short_of;
    }
  }
  RandomStream& stream = repeat.stream;
  float longest = 0;
  if (format == SweepFormat::lines)
    emit(stdout, "Starting longrun: " + std::to_string(runs.size()) + " total iterations\n");
  for (size_t r = 0; r < runs.size(); ++r) {
    const Run& run = runs[r];
    ALWAYS_ASSERT(run.count <= lane.fibers.size());
    if (run.header && format == SweepFormat::lines)
      emit(stdout, "num_fibers;fiber_len;fiber_diameter;fiber_vrate;num_contacts\n");
    if (r == 0 || !overlap)
      longest = place_run(plan, run, lane.fibers.data(), lane.diameters, stream);
    const float* diameters = lane.diameters.empty() ? nullptr : lane.diameters.data();
    const float widest = diameters != nullptr && run.count > 0
                             ? *std::max_element(diameters, diameters + run.count)
                             : run.diameter;
    // Lognormal lengths and diameters have no bound that the options could be checked against.
    // The narrowest periodic side decides.
    float side = HUGE_VALF;
    for (int k = 0; k < 3; ++k) {
      if (plan.periodic[k]) side = std::min(side, plan.box[k]);
    }
    if (!(side > static_cast<float>(2.0 * longest + widest)))
      return {2, "--periodic: the box side " + shortest_decimal(side) +
                     " must exceed twice the longest fiber drawn, " + shortest_decimal(longest) +
                     (diameters != nullptr ? ", plus the widest diameter drawn, "
                                           : ", plus the diameter, ") +
                     shortest_decimal(widest) + " (" + std::to_string(run.count) +
                     " fibers of table length " + shortest_decimal(run.length) +
                     (diameters != nullptr ? " and table diameter " + shortest_decimal(run.diameter)
                                           : std::string()) +
                     ")"};

    std::thread placer;
    float next_longest = 0;
    const auto place_next = [&] {
      next_longest = place_run(plan, runs[r + 1], lane.spare.data(), lane.spare_diameters, stream);
    };
    if (overlap && r + 1 < runs.size()) {
      try {
        placer = std::thread(place_next);
      } catch (const std::system_error&) {
        place_next();
      }
    }
    ContactFindings found;
    const bool detected = lane.detector.detect(
        {lane.fibers.data(), run.count, run.diameter, diameters,
         Periods{plan.periodic[0] ? plan.box[0] : 0.0, plan.periodic[1] ? plan.box[1] : 0.0,
                 plan.periodic[2] ? plan.box[2] : 0.0},
         plan.max_contacts, threads()},
        lane.contacts, found);
    if (placer.joinable()) placer.join();
    if (!detected) return {1, "not enough memory for " + std::to_string(run.count) + " fibers"};
    if (found.overflow)
      emit(format == SweepFormat::lines ? stdout : stderr, "Too many contacts!\n");
    ConductanceResult circuit;
    if (plan.conductance) {
      ConductanceInput in;
      in.fibers = {lane.fibers.data(), static_cast<size_t>(run.count)};
      in.diameters = lane.diameters;
      in.diameter = run.diameter;
      in.contacts = {lane.contacts.data(), static_cast<size_t>(found.count)};
      in.side = {plan.box[0], plan.box[1], plan.box[2]};
      in.periodic = plan.periodic;
      in.axis = plan.electrode_axis;
      in.junction_resistance = plan.junction_resistance;
      in.resistivity = plan.resistivity;
      in.threads = threads();
      circuit = solve_conductance(in);
      if (!circuit.ok) return {1, "the conductance solve failed: " + circuit.error};
    }
    emit(stdout, run_text(plan, repeat, run, lane, found.count, format, circuit));
    progress.add(1);
    if (overlap && r + 1 < runs.size()) {
      std::swap(lane.fibers, lane.spare);
      std::swap(lane.diameters, lane.spare_diameters);
      longest = next_longest;
    }
  }
  return {};
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

int run_sweep(const SweepPlan& plan, size_t repeats,
              const std::function<SweepRepeat(size_t)>& repeat, SweepFormat format) {
  set_box(plan.box);
  const std::vector<Run> runs = plan_runs(plan);
  const int threads = plan.threads > 0
                          ? plan.threads
                          : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  const int lanes = static_cast<int>(std::min<size_t>(threads, repeats));
  InOrder out;
  Progress progress("sweep", static_cast<int64_t>(runs.size() * repeats));
  std::atomic<size_t> next{0};
  std::atomic<int> busy{0};
  // The first repeat that failed, and why; the repeats after it stop, those before it run on, so
  // that what is printed is what one after another prints.
  std::atomic<size_t> failed{repeats};
  Failure failure_seen;
  std::mutex failure;
  const bool ok = run_workers(lanes, [&](int) {
    Lane lane;
    // Each run's detection takes the threads that the repeats running beside it leave.
    const auto share = [&] { return std::max(1, threads / std::max(1, busy.load())); };
    for (size_t k; (k = next++) < repeats && k < failed;) {
      ++busy;
      const Emit emit = [&out, k](std::FILE* to, std::string text) {
        out.write(k, to, std::move(text));
      };
      Failure why =
          run_repeat(plan, runs, repeat(k), lane, share, lanes == 1, format, emit, progress);
      --busy;
      if (why.status == 0) {
        out.finish(k);
        continue;
      }
      const std::lock_guard<std::mutex> lock(failure);
      if (k < failed) failed = k, failure_seen = std::move(why);
    }
  });
  if (ok && failed == repeats) return 0;
  if (!ok)
    failure_seen = {1,
                    "not enough memory for " +
                        std::to_string(*std::max_element(plan.counts.begin(), plan.counts.end())) +
                        " fibers"};
  std::fprintf(stderr, "mikado-longrun: %s\n", failure_seen.message.c_str());
  return failure_seen.status;
}

void longrun(int threads) {
  SweepPlan plan = default_sweep_plan();
  plan.threads = threads;
  run_sweep(
      plan, 1,
      [](size_t) {
        return SweepRepeat{network.stream, -1, 0};
      },
      SweepFormat::lines);
  num_fibers = plan.counts.back();
  fiber_len = plan.lengths.back();
  fiber_diameter = plan.diameters.back();
}

void print_sweep_csv_header(bool population_columns, bool diameter_column, bool box_columns,
                            bool conductance_columns) {
  std::fputs(
      "count,length,diameter,box,periodic,seed,repeat,volume_fraction,contacts,contacts_per_fiber,"
      "theory_contacts,clusters,largest_cluster,spanning_x,spanning_y,spanning_z,capacity_reached",
      stdout);
  std::fputs(population_columns ? ",orientation,axis,length_dist" : "", stdout);
  std::fputs(diameter_column ? ",diameter_dist" : "", stdout);
  std::fputs(box_columns ? ",box_x,box_y,box_z,periodic_axes" : "", stdout);
  std::puts(conductance_columns ? ",conductance,conductivity" : "");
}
