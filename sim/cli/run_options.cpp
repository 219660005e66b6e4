#include "run_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <optional>
#include <thread>

#include "arg_values.h"
#include "settings.h"

namespace {

constexpr const char* kViewerKeys = R"(
Viewer keys (without --no-view):
  -, keypad -, wheel away / =, keypad +, wheel toward   zoom out / in
  arrows                                                move the viewpoint
  keypad 8 / 2, 6 / 4, 1 / 3, 7 / 9                     pitch, yaw, spin, roll by 3 degrees
  Space, keypad 5                                       reset angles and pan (not the zoom)
  T, I, O                                               axis cross, fine grid, coarse grid
  W                                                     grab the pointer: motion turns the view
  P                                                     idle sleep of 10 ms instead of 20
  left drag / right drag                                turn / pan
  Escape, closing the window                            quit
)";

// Values are taken as text and converted here, so that every bad value gets a reason in the
// same words, with the option and the value named.
class ValueChecks {
 public:
  ValueChecks(std::string program, const CLI::App& app) : program_(std::move(program)), app_(app) {}

  void whole(const std::string& option, const std::string& text, int64_t lo, int64_t hi,
             int64_t& out) {
    if (!wanted(option)) return;
    std::string why;
    if (const auto v = parse_whole(text, lo, hi, why))
      out = *v;
    else
      fail(option, text, why);
  }
  void positive(const std::string& option, const std::string& text, float& out) {
    if (!wanted(option)) return;
    std::string why;
    if (const auto v = parse_positive_float(text, why))
      out = *v;
    else
      fail(option, text, why);
  }
  ParseOutcome outcome() const {
    if (error_.empty()) return {};
    return usage_error(program_, error_);
  }
  static ParseOutcome usage_error(const std::string& program, const std::string& message) {
    return {false, 2,
            program + ": " + message + ". Run '" + program + " --help' for the options.\n"};
  }

 private:
  // Only options on the line are converted, and only up to the first bad one.
  bool wanted(const std::string& option) const { return error_.empty() && app_.count(option) > 0; }
  void fail(const std::string& option, const std::string& text, const std::string& why) {
    error_ = option + " '" + text + "': " + why;
  }
  std::string program_;
  const CLI::App& app_;
  std::string error_;
};

// Runs CLI11 over `args`; an outcome that stops the program when the line asks for help or
// version or does not parse.
std::optional<ParseOutcome> parse_line(CLI::App& app, const std::vector<std::string>& args) {
  std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes them backwards
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    return ParseOutcome{false, 0, app.help()};
  } catch (const CLI::CallForVersion& e) {
    return ParseOutcome{false, 0, std::string(e.what()) + "\n"};
  } catch (const CLI::ParseError& e) {
    return ValueChecks::usage_error(app.get_name(), e.what());
  }
  return std::nullopt;
}

bool same_file(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  const auto normal = [](const std::string& p) {
    return std::filesystem::absolute(p).lexically_normal();
  };
  return normal(a) == normal(b);
}

void add_common(CLI::App& app, std::string& seed, std::string& threads) {
  app.set_version_flag("--version", app.get_name() + " " MIKADO_VERSION);
  app.add_option("-s,--seed", seed,
                 "seed of the random stream, a 32-bit signed integer (default -1)")
      ->type_name("S");
  app.add_option("--threads", threads,
                 "threads for contact detection, 1 to " + std::to_string(kMaxThreads) +
                     " (default: one per core); the results do not depend on it")
      ->type_name("T");
}

void check_common(ValueChecks& checks, const std::string& seed, const std::string& threads,
                  int32_t& seed_out, int& threads_out) {
  int64_t s = seed_out, t = threads_out;
  checks.whole("--seed", seed, INT32_MIN, INT32_MAX, s);
  checks.whole("--threads", threads, 1, kMaxThreads, t);
  seed_out = static_cast<int32_t>(s);
  threads_out = static_cast<int>(t);
}

// Output paths must name files, and different ones: two outputs renamed onto one path would
// leave only the last.
ParseOutcome check_output_paths(const CLI::App& app, const RunOptions& o) {
  const std::pair<const char*, const std::string*> outputs[] = {{"--fibers-out", &o.fibers_out},
                                                                {"--contacts-out", &o.contacts_out},
                                                                {"--vtk", &o.vtk_out},
                                                                {"--json", &o.json_out}};
  for (size_t a = 0; a < std::size(outputs); ++a) {
    const auto& [option, path] = outputs[a];
    if (app.count(option) > 0 && path->empty())
      return ValueChecks::usage_error("mikado", std::string(option) + " '': empty file name");
    for (size_t b = 0; b < a && !path->empty(); ++b) {
      if (same_file(*path, *outputs[b].second))
        return ValueChecks::usage_error("mikado", std::string(outputs[b].first) + " and " + option +
                                                      " name the same file '" + *path + "'");
    }
  }
  return {};
}

}  // namespace

int machine_threads() {
  return std::max(1u, std::thread::hardware_concurrency());
}

ParseOutcome parse_run_options(const std::vector<std::string>& args, RunOptions& options) {
  CLI::App app(
      "Places a seeded random network of straight fibers in a cube, finds every pair of "
      "fibers in contact, prints a summary line and shows the network.",
      "mikado");
  std::string fibers, length, diameter, box, seed, threads;
  app.add_option("-n,--fibers", fibers,
                 "number of fibers, 0 to " + std::to_string(MAXFIB) + " (default 10000)")
      ->type_name("N");
  app.add_option("-l,--length", length, "fiber length in metres (default 2e-07)")->type_name("L");
  app.add_option("-d,--diameter", diameter, "fiber diameter in metres (default 2e-09)")
      ->type_name("D");
  app.add_option("--box", box,
                 "side in metres of the cube, centred on the origin, that holds the fiber centres "
                 "(default 2e-06)")
      ->type_name("A");
  add_common(app, seed, threads);
  app.add_flag("--no-view", options.no_view,
               std::string("print the summary line, write the files and exit without a window"));
  app.add_option("--fibers-out", options.fibers_out,
                 "write the fibers as CSV (id,x1,y1,z1,x2,y2,z2)")
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
  checks.whole("--fibers", fibers, 0, MAXFIB, count);
  options.fibers = static_cast<int32_t>(count);
  checks.positive("--length", length, options.length);
  checks.positive("--diameter", diameter, options.diameter);
  checks.positive("--box", box, options.box);
  check_common(checks, seed, threads, options.seed, options.threads);
  ParseOutcome outcome = checks.outcome();
  if (outcome.run) outcome = check_output_paths(app, options);
  return outcome;
}

ParseOutcome parse_sweep_options(const std::vector<std::string>& args, SweepOptions& options) {
  CLI::App app(
      "Runs the batch parameter sweep: placement and contact count over tables of fiber "
      "counts, lengths and diameters, one line per run.",
      "mikado-longrun");
  std::string seed, threads;
  add_common(app, seed, threads);
  if (auto stop = parse_line(app, args)) return *stop;
  ValueChecks checks("mikado-longrun", app);
  check_common(checks, seed, threads, options.seed, options.threads);
  return checks.outcome();
}
