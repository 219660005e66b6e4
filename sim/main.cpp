#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "analysis/cluster_report.h"
#include "analysis/clusters.h"
#include "analysis/conductance.h"
#include "analysis/theory.h"
#include "contacts.h"
#include "contacts_periodic.h"
#include "csv_tables.h"
#include "decimal_text.h"
#include "fiber_population.h"
#include "fibers_csv_reader.h"
#include "network.h"
#include "output_file.h"
#include "placement.h"
#include "run_options.h"
#include "run_report.h"
#include "summary.h"
#include "viewer.h"
#include "vtk_polydata.h"

namespace {

// Applies the run's settings to the simulation's globals; the defaults are the compiled-in ones.
void apply_settings(const RunOptions& o) {
  num_fibers = o.fibers;
  // A length or diameter distribution's run is summarised by its mean.
  fiber_len = static_cast<float>(mean_length(o.population, o.length));
  fiber_diameter = static_cast<float>(mean_diameter(o.population, o.diameter));
  for (int k = 0; k < 3; ++k) {
    box_min[k] = -o.box.side[k] * 0.5f;
    box_max[k] = o.box.side[k] * 0.5f;
  }
}

// The box's period along each axis, 0 along an open one.
Periods periods_of(const BoxShape& box) {
  Periods p{};
  for (int k = 0; k < 3; ++k) p[k] = box.periodic[k] ? box.side[k] : 0.0;
  return p;
}

// The settings a network read from a file implies: its count, its longest fiber as the length,
// the file's diameter if it has one, and without --box the smallest box on the origin holding
// every end. False after printing the reason when the file has too many fibers or ends too far
// out for a float32 box.
bool take_file_settings(RunOptions& o, const FibersTable& table) {
  const auto fail = [&o](const std::string& why) {
    std::fprintf(stderr, "mikado: --fibers-in '%s': %s\n", o.fibers_in.c_str(), why.c_str());
    return false;
  };
  if (table.fibers.size() > static_cast<size_t>(kMaxFibers))
    return fail("more than " + std::to_string(kMaxFibers) + " fibers");
  o.fibers = static_cast<int32_t>(table.fibers.size());
  if (table.diameter) o.diameter = *table.diameter;
  if (table.fibers.empty()) return true;  // -l and --box as given, or their defaults
  double longest = 0;
  float farthest[3] = {};
  for (const Fiber& f : table.fibers) {
    for (int k = 0; k < 3; ++k)
      farthest[k] = std::max({farthest[k], std::fabs(f.start[k]), std::fabs(f.end[k])});
    longest = std::max(longest, squared_length(f));
  }
  o.length = static_cast<float>(std::sqrt(longest));
  if (o.box_given) return true;
  for (int k = 0; k < 3; ++k) {
    // Doubling is exact in float32, so the half side is the farthest coordinate itself. A flat
    // network, all in one plane, is given the longest fiber across it.
    o.box.side[k] = farthest[k] > 0 ? 2 * farthest[k] : o.length;
    if (!std::isfinite(o.box.side[k]))
      return fail("the ends lie too far out for a float32 box; give --box");
  }
  return true;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The output files of the run, opened before it starts so that a bad path costs nothing.
struct Outputs {
  OutputFile fibers, contacts, vtk, json;

  // False after printing the reason when a path cannot be written.
  bool open(const RunOptions& o) {
    OutputFile* const files[] = {&fibers, &contacts, &vtk, &json};
    const auto options = output_options(o);
    for (size_t k = 0; k < options.size(); ++k) {
      const auto& [option, path] = options[k];
      if (path.empty()) continue;
      std::string error;
      if (!files[k]->open(path, error)) {
        std::fprintf(stderr, "mikado: %s '%s': %s. Run 'mikado --help' for the options.\n", option,
                     path.c_str(), error.c_str());
        return false;
      }
    }
    return true;
  }
};

// Writes and commits one file; false after printing the reason.
template <typename Write>
bool finish(OutputFile& file, Write write) {
  if (!file.is_open()) return true;
  write(file);
  std::string error;
  if (file.commit(error)) return true;
  std::fprintf(stderr, "mikado: %s\n", error.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  RunOptions options;
  const ParseOutcome parsed =
      parse_run_options(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc), options);
  if (!parsed.run) {
    std::fputs(parsed.text.c_str(), parsed.status == 0 ? stdout : stderr);
    return parsed.status;
  }
  std::vector<std::string> warnings = parsed.warnings;
  FibersTable table;
  const bool from_file = !options.fibers_in.empty();
  if (from_file) {
    const std::string why = read_fibers_csv(options.fibers_in, table);
    if (!why.empty()) {
      std::fprintf(stderr, "mikado: --fibers-in '%s': %s\n", options.fibers_in.c_str(),
                   why.c_str());
      return 2;
    }
    if (!take_file_settings(options, table)) return 2;
    const ParseOutcome checked = check_fibers_in(options);
    if (!checked.run) {
      std::fputs(checked.text.c_str(), stderr);
      return checked.status;
    }
    warnings = checked.warnings;
  }
  Outputs outputs;
  if (!outputs.open(options)) return 2;
  for (const std::string& warning : warnings) std::fputs(warning.c_str(), stderr);

  apply_settings(options);
  // With options the storage follows the run, and contacts are capped only when asked; without,
  // the compiled-in capacities hold.
  const bool sized = argc > 1
                         ? size_network(options.fibers,
                                        options.max_contacts >= 0 ? options.max_contacts : UNCAPPED)
                         : network.fibers.size() >= options.fibers;
  if (!sized) {
    std::fprintf(stderr, "mikado: not enough memory for %d fibers\n", options.fibers);
    return 1;
  }
  if (!from_file) random_seed_distinct(network.stream, options.seed);
  auto start = std::chrono::steady_clock::now();
  float longest = fiber_len;
  if (from_file) {
    std::copy(table.fibers.begin(), table.fibers.end(), network.fibers.data());
    network.diameters = std::move(table.diameters);
    table = {};
  } else if (options.population.plain()) {
    const bool thick = options.population.diameters != LengthDist::fixed;
    if (thick) network.diameters.resize(static_cast<size_t>(num_fibers));
    longest =
        place_fibers_plain(network.fibers.data(), num_fibers, options.length, options.population,
                           network.stream, thick ? network.diameters.data() : nullptr);
  } else {
    place_fibers();
  }
  const double placement_seconds = seconds_since(start);
  const bool drawn_diameters = !from_file && !network.diameters.empty();
  const float widest = drawn_diameters
                           ? *std::max_element(network.diameters.begin(), network.diameters.end())
                           : fiber_diameter;
  // Lognormal lengths and diameters have no bound that the options could be checked against.
  for (int k = 0; k < 3; ++k) {
    const float side = options.box.side[k];
    if (!options.box.periodic[k] || side > static_cast<float>(2.0 * longest + widest)) continue;
    std::fprintf(stderr,
                 "mikado: --periodic: the box side %s must exceed twice the longest fiber drawn, "
                 "%s, plus the %s, %s. Run 'mikado --help' for the options.\n",
                 shortest_decimal(side).c_str(), shortest_decimal(longest).c_str(),
                 drawn_diameters ? "widest diameter drawn" : "diameter",
                 shortest_decimal(widest).c_str());
    return 2;
  }
  start = std::chrono::steady_clock::now();
  const int threads = options.threads > 0 ? options.threads : machine_threads();
  const bool detected = detect_contacts_periodic_threaded(periods_of(options.box), threads);
  const double detection_seconds = seconds_since(start);
  // The grid is not needed again; the cluster analysis gets its memory.
  release_detection_memory();
  if (!detected) {
    std::fprintf(stderr, "mikado: not enough memory for contact detection\n");
    return 1;
  }
  const std::span<const Fiber> fibers(network.fibers.data(), static_cast<size_t>(num_fibers));
  // A network read from a file has fibers of their own lengths, and maybe diameters; drawn
  // diameters give the expectation over the population rather than the sum over the draws.
  const double fraction =
      from_file
          ? fibers_volume_fraction(fibers, network.diameters, fiber_diameter, box_min, box_max)
      : drawn_diameters
          ? expected_volume_fraction(num_fibers, mean_length(options.population, options.length),
                                     mean_square_diameter(options.population, options.diameter),
                                     box_min, box_max)
          : volume_fraction();
  std::printf("%s\n",
              format_summary(num_fibers, fiber_len, fiber_diameter, fraction, network.num_contacts)
                  .c_str());
  // Out before the analysis and the window, also when standard output is a pipe or a file.
  std::fflush(stdout);

  const std::span<const Contact> contacts(network.contacts.data(),
                                          static_cast<size_t>(network.num_contacts));
  const std::array<double, 3> sides{options.box.side[0], options.box.side[1], options.box.side[2]};
  const ClusterResult clusters = find_clusters(fibers.data(), num_fibers, contacts.data(),
                                               network.num_contacts, sides, options.box.periodic);
  const bool capacity_reached = contact_capacity_reached();
  const double order =
      options.oriented ? order_parameter(fibers.data(), num_fibers, options.population.axis) : 0;
  if (options.stats) {
    std::printf("%s\n", format_cluster_stats(clusters).c_str());
    if (options.oriented)
      std::printf("order parameter S %g about %s\n", order, axis_name(options.population.axis));
    if (capacity_reached)
      std::fputs(
          "mikado: the contact capacity was reached; the clusters are those of the stored "
          "contacts only\n",
          stderr);
  }
  std::fflush(stdout);

  ConductanceResult circuit;
  if (options.circuit.conductance) {
    ConductanceInput in;
    in.fibers = fibers;
    in.diameters = network.diameters;
    in.diameter = fiber_diameter;
    in.contacts = contacts;
    in.side = {options.box.side[0], options.box.side[1], options.box.side[2]};
    in.periodic = options.box.periodic;
    in.axis = options.circuit.electrode_axis;
    in.junction_resistance = options.circuit.junction_resistance;
    in.resistivity = options.circuit.resistivity;
    in.threads = options.threads;
    circuit = solve_conductance(in);
    if (!circuit.ok) {
      std::fprintf(stderr, "mikado: the conductance solve failed: %s\n", circuit.error.c_str());
      return 1;
    }
    std::printf("conductance %g S;conductivity %g S/m", circuit.conductance, circuit.conductivity);
    if (circuit.film) std::printf(";sheet resistance %g ohm/sq", circuit.sheet_resistance);
    std::printf("\n");
    if (capacity_reached)
      std::fputs(
          "mikado: the contact capacity was reached; the conductance is that of the stored "
          "contacts only\n",
          stderr);
    std::fflush(stdout);
  }

  const std::span<const int32_t> cluster_of(clusters.cluster_of);
  const std::span<const double> potential(circuit.potential), current(circuit.current);
  bool written = finish(outputs.fibers, [&](OutputFile& f) {
    write_fibers_csv(f, fibers, cluster_of, network.diameters, potential, current);
  });
  written &= finish(outputs.contacts, [&](OutputFile& f) { write_contacts_csv(f, contacts); });
  written &= finish(outputs.vtk, [&](OutputFile& f) {
    write_network_vtk(f, fibers, contacts, cluster_of, network.diameters, potential, current);
  });
  PopulationReport population{
      options.oriented ? orientation_text(options.population) : "",
      axis_name(options.population.axis), order,
      options.distributed ? length_dist_text(options.population) : "",
      options.diameter_distributed ? diameter_dist_text(options.population) : ""};
  if (options.oriented || options.distributed || options.diameter_distributed) {
    const FiberPopulation& p = options.population;
    const double volume = static_cast<double>(options.box.side[0]) * options.box.side[1] *
                          static_cast<double>(options.box.side[2]);
    population.theory_contacts =
        theory_contacts(num_fibers, mean_length(p, options.length),
                        mean_diameter(p, options.diameter), volume, mean_abs_sine(p));
  }
  written &= finish(outputs.json, [&](OutputFile& f) {
    RunReport report{num_fibers,
                     fiber_len,
                     fiber_diameter,
                     options.box.side,
                     options.box.periodic,
                     options.seed,
                     threads,
                     network.max_contacts,
                     fraction,
                     network.num_contacts,
                     capacity_reached,
                     clusters.num_clusters,
                     clusters.largest,
                     clusters.contacts_per_fiber,
                     {clusters.spanning[0], clusters.spanning[1], clusters.spanning[2]},
                     placement_seconds,
                     detection_seconds,
                     options.fibers_in};
    report.has_conductance = options.circuit.conductance;
    report.conductance = circuit.conductance;
    report.conductivity = circuit.conductivity;
    report.film = circuit.film;
    report.sheet_resistance = circuit.sheet_resistance;
    write_run_json(f, report, population);
  });
  if (!written) return 1;
  if (options.no_view) return 0;
  const std::vector<uint8_t> classes = cluster_marks(clusters);
  set_fiber_classes(classes.data(), static_cast<int32_t>(classes.size()));
  if (options.box_given || from_file) frame_whole_network(view_state, box_min, box_max, fiber_len);
  // The viewer's result is the exit status: 0 after the user quits, -1 without a window.
  return run_viewer();
}
