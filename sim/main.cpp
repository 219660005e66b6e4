#include <chrono>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "contacts.h"
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
    const std::pair<const char*, std::pair<const std::string*, OutputFile*>> wanted[] = {
        {"--fibers-out", {&o.fibers_out, &fibers}},
        {"--contacts-out", {&o.contacts_out, &contacts}},
        {"--vtk", {&o.vtk_out, &vtk}},
        {"--json", {&o.json_out, &json}},
    };
    for (const auto& [option, target] : wanted) {
      const auto& [path, file] = target;
      if (path->empty()) continue;
      std::string error;
      if (!file->open(*path, error)) {
        std::fprintf(stderr, "mikado: %s '%s': %s. Run 'mikado --help' for the options.\n", option,
                     path->c_str(), error.c_str());
        return false;
      }
    }
    return true;
  }
};

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

  apply_settings(options);
  random_seed(network.stream, options.seed);
  auto start = std::chrono::steady_clock::now();
  place_fibers();
  const double placement_seconds = seconds_since(start);
  start = std::chrono::steady_clock::now();
  const int threads = options.threads > 0 ? options.threads : machine_threads();
  detect_contacts_threaded(threads);
  const double detection_seconds = seconds_since(start);
  print_summary();
  // Out before the window takes over, also when standard output is a pipe or a file.
  std::fflush(stdout);

  const std::span<const Fiber> fibers(&network.fibers[0], static_cast<size_t>(num_fibers));
  const std::span<const Contact> contacts(&network.contacts[0],
                                          static_cast<size_t>(network.num_contacts));
  int status = 0;
  const auto finish = [&status](OutputFile& file, auto write) {
    if (!file.is_open()) return;
    write(file);
    std::string error;
    if (!file.commit(error)) {
      std::fprintf(stderr, "mikado: %s\n", error.c_str());
      status = 1;
    }
  };
  finish(outputs.fibers, [&](OutputFile& f) { write_fibers_csv(f, fibers); });
  finish(outputs.contacts, [&](OutputFile& f) { write_contacts_csv(f, contacts); });
  finish(outputs.vtk, [&](OutputFile& f) { write_network_vtk(f, fibers, contacts); });
  finish(outputs.json, [&](OutputFile& f) {
    write_run_json(f, {num_fibers, fiber_len, fiber_diameter, options.box, options.seed, threads,
                       volume_fraction(), network.num_contacts, network.num_contacts == MAXCONTACTS,
                       placement_seconds, detection_seconds});
  });
  if (status != 0 || options.no_view) return status;
  // The viewer's result is the exit status: 0 after the user quits, -1 without a window.
  return run_viewer();
}
