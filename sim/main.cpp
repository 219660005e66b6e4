#include <chrono>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "analysis/cluster_report.h"
#include "analysis/clusters.h"
#include "analysis/conductance.h"
#include "contacts.h"
#include "contacts_periodic.h"
#include "csv_tables.h"
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
  fiber_len = o.length;
  fiber_diameter = o.diameter;
  for (int k = 0; k < 3; ++k) {
    box_min[k] = -o.box * 0.5f;
    box_max[k] = o.box * 0.5f;
  }
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
  Outputs outputs;
  if (!outputs.open(options)) return 2;
  for (const std::string& warning : parsed.warnings) std::fputs(warning.c_str(), stderr);

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
  random_seed_distinct(network.stream, options.seed);
  auto start = std::chrono::steady_clock::now();
  place_fibers();
  const double placement_seconds = seconds_since(start);
  start = std::chrono::steady_clock::now();
  const int threads = options.threads > 0 ? options.threads : machine_threads();
  const bool detected = options.periodic ? detect_contacts_periodic_threaded(options.box, threads)
                                         : detect_contacts_threaded(threads);
  const double detection_seconds = seconds_since(start);
  // The grid is not needed again; the cluster analysis gets its memory.
  release_detection_memory();
  if (!detected) {
    std::fprintf(stderr, "mikado: not enough memory for contact detection\n");
    return 1;
  }
  print_summary();
  // Out before the analysis and the window, also when standard output is a pipe or a file.
  std::fflush(stdout);

  const std::span<const Fiber> fibers(network.fibers.data(), static_cast<size_t>(num_fibers));
  const std::span<const Contact> contacts(network.contacts.data(),
                                          static_cast<size_t>(network.num_contacts));
  const ClusterResult clusters = find_clusters(fibers.data(), num_fibers, contacts.data(),
                                               network.num_contacts, options.box, options.periodic);
  const bool capacity_reached = contact_capacity_reached();
  if (options.stats) {
    std::printf("%s\n", format_cluster_stats(clusters).c_str());
    if (capacity_reached)
      std::fputs(
          "mikado: the contact capacity was reached; the clusters are those of the stored "
          "contacts only\n",
          stderr);
  }
  std::fflush(stdout);

  ConductanceResult circuit;
  if (options.conductance) {
    ConductanceInput in;
    in.fibers = fibers;
    in.diameter = fiber_diameter;
    in.contacts = contacts;
    in.box = options.box;
    in.periodic = options.periodic;
    in.axis = options.electrode_axis;
    in.junction_resistance = options.junction_resistance;
    in.resistivity = options.resistivity;
    circuit = solve_conductance(in);
    if (!circuit.ok) {
      std::fprintf(stderr, "mikado: the conductance solve failed: %s\n", circuit.error.c_str());
      return 1;
    }
    std::printf("conductance %g S;conductivity %g S/m\n", circuit.conductance,
                circuit.conductivity);
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
    write_fibers_csv(f, fibers, cluster_of, potential, current);
  });
  written &= finish(outputs.contacts, [&](OutputFile& f) { write_contacts_csv(f, contacts); });
  written &= finish(outputs.vtk, [&](OutputFile& f) {
    write_network_vtk(f, fibers, contacts, cluster_of, potential, current);
  });
  written &= finish(outputs.json, [&](OutputFile& f) {
    RunReport report{num_fibers,
                     fiber_len,
                     fiber_diameter,
                     options.box,
                     options.periodic,
                     options.seed,
                     threads,
                     network.max_contacts,
                     volume_fraction(),
                     network.num_contacts,
                     capacity_reached,
                     clusters.num_clusters,
                     clusters.largest,
                     clusters.contacts_per_fiber,
                     {clusters.spanning[0], clusters.spanning[1], clusters.spanning[2]},
                     placement_seconds,
                     detection_seconds};
    report.has_conductance = options.conductance;
    report.conductance = circuit.conductance;
    report.conductivity = circuit.conductivity;
    write_run_json(f, report);
  });
  if (!written) return 1;
  if (options.no_view) return 0;
  const std::vector<uint8_t> classes = cluster_marks(clusters);
  set_fiber_classes(classes.data(), static_cast<int32_t>(classes.size()));
  if (options.box_given) frame_whole_network(view_state, box_min, box_max, fiber_len);
  // The viewer's result is the exit status: 0 after the user quits, -1 without a window.
  return run_viewer();
}
