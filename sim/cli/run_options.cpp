#include "run_options.h"

#include <algorithm>
#include <filesystem>
#include <thread>

#include "arg_values.h"
#include "option_checks.h"
#include "settings.h"
#include "sweep.h"

namespace {

constexpr const char* kViewerKeys = R"(
Viewer keys (without --no-view):
  -, keypad -, wheel away / =, keypad +, wheel toward   zoom out / in
  arrows                                                move the viewpoint
  keypad 8 / 2, 6 / 4, 1 / 3, 7 / 9                     pitch, yaw, spin, roll by 3 degrees
  Space, keypad 5                                       reset angles and pan (not the zoom)
  T, I, O                                               axis cross, fine grid, coarse grid
  C                                                     largest and spanning clusters in colour
  W                                                     grab the pointer: motion turns the view
  P                                                     idle sleep of 10 ms instead of 20
  left drag / right drag                                turn / pan
  Escape, closing the window                            quit
)";

bool same_file(const std::string& a, const std::string& b) {
  const auto normal = [](const std::string& p) {
    return std::filesystem::absolute(p).lexically_normal();
  };
  return !a.empty() && !b.empty() && normal(a) == normal(b);
}

// Output paths must name files, and different ones: two outputs renamed onto one path would
// leave only the last.
void check_output_paths(ValueChecks& checks, const CLI::App& app, const RunOptions& o) {
  const auto outputs = output_options(o);
  for (size_t a = 0; a < outputs.size(); ++a) {
    const auto& [option, path] = outputs[a];
    if (app.count(option) > 0 && path.empty())
      checks.fail(std::string(option) + " '': empty file name");
    for (size_t b = 0; b < a; ++b) {
      if (same_file(path, outputs[b].path))
        checks.fail(std::string(outputs[b].option) + " and " + option + " name the same file '" +
                    path + "'");
    }
  }
}

struct CircuitText {
  std::string junction, resistivity, electrodes;
};

void add_circuit(CLI::App& app, bool& conductance, CircuitText& text, const std::string& what) {
  app.add_flag("--conductance", conductance, what);
  app.add_option("--junction-resistance", text.junction,
                 "resistance in ohms of each contact, above 0 (default 1; with --conductance)")
      ->type_name("R");
  app.add_option("--resistivity", text.resistivity,
                 "resistivity of the fibers in ohm metres, 0 for ideal wires (default 0; with "
                 "--conductance)")
      ->type_name("RHO");
  app.add_option("--electrodes", text.electrodes,
                 "x, y or z: the axis across which the electrodes (or the periodic potential "
                 "difference) lie (default x; with --conductance)")
      ->type_name("AXIS");
}

// The circuit's options; without --conductance they would do nothing, so they are refused.
void check_conductance(ValueChecks& checks, const CLI::App& app, CircuitOptions& o,
                       const CircuitText& text) {
  const std::string& junction = text.junction;
  const std::string& resistivity = text.resistivity;
  const std::string& electrodes = text.electrodes;
  for (const char* option : {"--junction-resistance", "--resistivity", "--electrodes"}) {
    if (checks.ok() && !o.conductance && app.count(option) > 0)
      checks.fail(std::string(option) + " needs --conductance");
  }
  const auto value = [&](const char* option, const std::string& text, bool zero, double& out) {
    if (!checks.ok() || app.count(option) == 0) return;
    std::string why;
    if (const auto v = parse_finite_above(text, 0, zero, why))
      out = *v;
    else
      checks.fail(std::string(option) + " '" + text + "': " + why);
  };
  value("--junction-resistance", junction, false, o.junction_resistance);
  value("--resistivity", resistivity, true, o.resistivity);
  if (checks.ok() && app.count("--electrodes") > 0) {
    const std::string axes = "xyz";
    const auto at = axes.find(electrodes);
    if (electrodes.size() != 1 || at == std::string::npos)
      checks.fail("--electrodes '" + electrodes + "': must be x, y or z");
    else
      o.electrode_axis = static_cast<int>(at);
  }
}

}  // namespace

std::array<OutputOption, 4> output_options(const RunOptions& o) {
  return {{{"--fibers-out", o.fibers_out},
           {"--contacts-out", o.contacts_out},
           {"--vtk", o.vtk_out},
           {"--json", o.json_out}}};
}

int machine_threads() {
  return std::max(1u, std::thread::hardware_concurrency());
}

ParseOutcome parse_run_options(const std::vector<std::string>& args, RunOptions& options) {
  CLI::App app(
      "Places a seeded random network of straight fibers in a cube, finds every pair of "
      "fibers in contact, prints a summary line and shows the network.",
      "mikado");
  std::string fibers, length, diameter;
  CommonText common;
  app.add_option("-n,--fibers", fibers,
                 "number of fibers, 0 to " + std::to_string(kMaxFibers) +
                     " as memory permits (default 10000)")
      ->type_name("N");
  app.add_option("-l,--length", length, "fiber length in metres (default 2e-07)")->type_name("L");
  app.add_option("-d,--diameter", diameter, "fiber diameter in metres (default 2e-09)")
      ->type_name("D");
  app.add_option("--fibers-in", options.fibers_in,
                 "fibers read from CSV (x1,y1,z1,x2,y2,z2[,diameter]) instead of placed; L is the "
                 "longest one's, A without --box the smallest cube holding them")
      ->type_name("FILE");
  PopulationText population;
  add_population(app, population, false);
  add_common(app, common);
  app.add_flag("--stats", options.stats,
               std::string("print the clusters of the contact graph after the summary line"));
  CircuitText circuit;
  add_circuit(app, options.circuit.conductance, circuit,
              "print the conductance between two electrodes after the summary line and add "
              "potential and current per fiber to the files");
  app.add_flag("--no-view", options.no_view,
               std::string("print the summary line, write the files and exit without a window"));
  app.add_option("--fibers-out", options.fibers_out,
                 "write the fibers as CSV (id,x1,y1,z1,x2,y2,z2,cluster)")
      ->type_name("FILE");
  app.add_option("--contacts-out", options.contacts_out,
                 "write the contacts as CSV (i,j,distance,x,y,z)")
      ->type_name("FILE");
  app.add_option("--vtk", options.vtk_out, "write fibers and contacts as legacy VTK for ParaView")
      ->type_name("FILE");
  app.add_option("--json", options.json_out, "write the settings, results and timings as JSON")
      ->type_name("FILE");
  app.footer(kViewerKeys);
  if (auto stop = parse_line(app, args)) return *stop;

  ValueChecks checks("mikado", app);
  int64_t count = options.fibers;
  checks.whole("--fibers", fibers, 0, kMaxFibers, count);
  options.fibers = static_cast<int32_t>(count);
  checks.positive("--length", length, options.length);
  checks.positive("--diameter", diameter, options.diameter);
  check_common(checks, app, common, options.seed, options.threads, options.box,
               options.max_contacts);
  options.box_given = app.count("--box") > 0;
  check_population(checks, app, population, false, options.population, options.oriented,
                   options.distributed, options.diameter_distributed);
  // The longest fiber and widest diameter there can be; lognormal ones have none, and the box is
  // checked against those drawn once the fibers are placed.
  const FiberPopulation& p = options.population;
  const float longest = p.lengths == LengthDist::uniform     ? static_cast<float>(p.second)
                        : p.lengths == LengthDist::lognormal ? static_cast<float>(p.first)
                                                             : options.length;
  const float widest = widest_diameter(p, options.diameter);
  const bool from_file = app.count("--fibers-in") > 0;
  if (!from_file) {
    if (p.lengths != LengthDist::lognormal && p.diameters != LengthDist::lognormal)
      check_periodic_box(checks, options.box, {longest}, {widest});
  } else if (checks.ok()) {
    if (options.fibers_in.empty())
      checks.fail("--fibers-in '': empty file name");
    else if (app.count("--fibers") > 0)
      checks.fail("--fibers and --fibers-in exclude each other: the file's rows are the fibers");
    else if (options.box.any_periodic() && !options.box_given)
      checks.fail("--periodic with --fibers-in needs --box");
    else if (app.count("--orientation") > 0 || options.distributed)
      checks.fail("--fibers-in takes the fibers as they are: no --orientation or --length-dist");
    else if (options.diameter_distributed)
      checks.fail(
          "--fibers-in takes the fibers and their diameters as they are: no "
          "--diameter-dist");
  }
  check_output_paths(checks, app, options);
  check_conductance(checks, app, options.circuit, circuit);
  ParseOutcome outcome = checks.outcome();
  // Those of a network from a file wait for its fibers (check_fibers_in).
  if (outcome.run && !from_file)
    outcome.warnings = unit_warnings("mikado", {options.fibers}, {longest}, {widest}, options.box);
  return outcome;
}

std::string BoxShape::periodic_axes() const {
  std::string axes;
  for (int a = 0; a < 3; ++a) {
    if (periodic[a]) axes += static_cast<char>('x' + a);
  }
  return axes;
}

ParseOutcome check_fibers_in(const RunOptions& o) {
  const std::string why = periodic_box_refusal(o.box, {o.length}, {o.diameter});
  if (!why.empty()) return ValueChecks::usage_error("mikado", why);
  ParseOutcome outcome;
  outcome.warnings =
      unit_warnings("mikado", {o.fibers}, {o.length}, {o.diameter}, o.box, o.box_given);
  return outcome;
}

ParseOutcome parse_sweep_options(const std::vector<std::string>& args, SweepOptions& options) {
  CLI::App app(
      "Runs the batch parameter sweep: placement and contact count over tables of fiber "
      "counts, lengths and diameters, one line per run.",
      "mikado-longrun");
  std::string counts, lengths, diameters, repeats, shard;
  CommonText common;
  app.add_option("--counts", counts,
                 "fiber counts, each 0 to " + std::to_string(kMaxFibers) + " as memory permits")
      ->type_name("N,N,...");
  app.add_option("--lengths", lengths, "fiber lengths in metres")->type_name("L,L,...");
  app.add_option("--diameters", diameters, "fiber diameters in metres")->type_name("D,D,...");
  PopulationText population;
  add_population(app, population, true);
  add_common(app, common);
  app.add_option("--repeats", repeats, "the whole sweep R times, repeat r seeded with S - r")
      ->type_name("R");
  app.add_option("--shard", shard, "only the repeats r with r mod N = K (0 <= K < N)")
      ->type_name("K/N");
  CircuitText circuit;
  add_circuit(app, options.circuit.conductance, circuit,
              "with --csv: the conductance and conductivity of every run as two last columns");
  app.add_flag("--csv", options.csv,
               std::string("machine-readable rows under one header line; messages go to "
                           "standard error"));
  if (auto stop = parse_line(app, args)) return *stop;

  ValueChecks checks("mikado-longrun", app);
  checks.whole_list("--counts", counts, 0, kMaxFibers, options.counts);
  checks.positive_list("--lengths", lengths, options.lengths);
  checks.positive_list("--diameters", diameters, options.diameters);
  BoxShape& box = options.box;
  check_common(checks, app, common, options.seed, options.threads, box, options.max_contacts);
  check_conductance(checks, app, options.circuit, circuit);
  if (checks.ok() && options.circuit.conductance && !options.csv)
    checks.fail("--conductance needs --csv: the sweep's lines have no room for it");
  check_population(checks, app, population, true, options.population, options.oriented,
                   options.distributed, options.diameter_distributed);
  // The tables the sweep will run: the user's, or the compiled-in ones.
  const SweepPlan tables = default_sweep_plan();
  const auto& counts_run = options.counts.empty() ? tables.counts : options.counts;
  std::vector<float> diameters_run =
      options.diameters.empty() ? tables.diameters : options.diameters;
  // With a length distribution, the longest fiber of each table length (uniform) or its mean
  // (lognormal, whose runs are checked against the longest drawn).
  std::vector<float> lengths_run = options.lengths.empty() ? tables.lengths : options.lengths;
  const FiberPopulation& p = options.population;
  for (float& length : lengths_run) {
    if (p.lengths == LengthDist::uniform) length = static_cast<float>(p.second * length);
    if (p.lengths == LengthDist::lognormal) length = static_cast<float>(p.first * length);
  }
  // And the widest diameter of each table diameter, alike.
  for (float& diameter : diameters_run)
    diameter = widest_diameter(scaled_population(p, 1, diameter), diameter);
  if (p.lengths != LengthDist::lognormal && p.diameters != LengthDist::lognormal)
    check_periodic_box(checks, box, lengths_run, diameters_run);
  int64_t r = options.repeats;
  checks.whole("--repeats", repeats, 1, INT32_MAX, r);
  options.repeats = static_cast<int32_t>(r);
  if (checks.ok() && static_cast<int64_t>(options.seed) - (options.repeats - 1) < INT32_MIN)
    checks.fail("--repeats '" + repeats + "': the last repeat's seed " +
                std::to_string(static_cast<int64_t>(options.seed) - (options.repeats - 1)) +
                " is below -2147483648");
  if (checks.ok() && app.count("--shard") > 0) {
    std::string why;
    const auto slash = shard.find('/');
    std::optional<int64_t> k, n;
    if (slash != std::string::npos) n = parse_whole(shard.substr(slash + 1), 1, INT32_MAX, why);
    if (n) k = parse_whole(shard.substr(0, slash), 0, *n - 1, why);
    if (k) {
      options.shard = static_cast<int32_t>(*k);
      options.shards = static_cast<int32_t>(*n);
    } else {
      checks.fail("--shard '" + shard + "': must be K/N with 0 <= K < N");
    }
  }
  ParseOutcome outcome = checks.outcome();
  // The compiled-in sweep's densest run is above 1 by design; it runs as it always has.
  if (outcome.run && !args.empty())
    outcome.warnings = unit_warnings("mikado-longrun", counts_run, lengths_run, diameters_run, box);
  return outcome;
}
