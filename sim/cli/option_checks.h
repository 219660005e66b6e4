#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fiber_population.h"
#include "run_options.h"

// Values are taken as text and converted here, so that every bad value gets a reason in the same
// words, with the option and the value named. Only options on the line are converted, and only
// up to the first bad one.
class ValueChecks {
 public:
  ValueChecks(std::string program, const CLI::App& app) : program_(std::move(program)), app_(app) {}

  void whole(const std::string& option, const std::string& text, int64_t lo, int64_t hi,
             int64_t& out);
  void positive(const std::string& option, const std::string& text, float& out);
  // Comma-separated lists of the same.
  void whole_list(const std::string& option, const std::string& text, int64_t lo, int64_t hi,
                  std::vector<int32_t>& out);
  void positive_list(const std::string& option, const std::string& text, std::vector<float>& out);
  // A usage error of any other kind; the first one stands.
  void fail(const std::string& message) {
    if (error_.empty()) error_ = message;
  }
  bool ok() const { return error_.empty(); }
  ParseOutcome outcome() const {
    return error_.empty() ? ParseOutcome{} : usage_error(program_, error_);
  }

  static ParseOutcome usage_error(const std::string& program, const std::string& message);

 private:
  bool wanted(const std::string& option) const { return ok() && app_.count(option) > 0; }
  void fail(const std::string& option, const std::string& text, const std::string& why) {
    fail(option + " '" + text + "': " + why);
  }

  std::string program_;
  const CLI::App& app_;
  std::string error_;
};

// Runs CLI11 over `args`; an outcome that stops the program when the line asks for help or
// version or does not parse.
std::optional<ParseOutcome> parse_line(CLI::App& app, const std::vector<std::string>& args);

// The options both programs take: --version, --seed, --threads, --box, --periodic and
// --max-contacts.
struct CommonText {
  std::string seed, threads, box, periodic, max_contacts;
};
void add_common(CLI::App& app, CommonText& text);
// --box is one side (the cube) or three, AX,AY,AZ; a bare --periodic makes every axis periodic,
// --periodic xy those named.
void check_common(ValueChecks& checks, const CLI::App& app, const CommonText& text, int32_t& seed,
                  int& threads, BoxShape& box, int64_t& max_contacts);

// --orientation, --axis, --length-dist and --diameter-dist. In a sweep (`relative`) the numbers
// of a length or diameter distribution are multiples of the table's length or diameter.
struct PopulationText {
  std::string orientation, axis, length_dist, diameter_dist;
};
void add_population(CLI::App& app, PopulationText& text, bool relative);
// Converts the population options on the line into `out`, the numbers of a length distribution
// relative to the table's length for a sweep; `oriented` tells whether --orientation or --axis
// was given, `distributed` whether --length-dist was, `diameter_distributed` whether
// --diameter-dist was.
void check_population(ValueChecks& checks, const CLI::App& app, const PopulationText& text,
                      bool relative, FiberPopulation& out, bool& oriented, bool& distributed,
                      bool& diameter_distributed);

// Along each periodic axis, the box must exceed twice the longest length plus the widest
// diameter.
void check_periodic_box(ValueChecks& checks, const BoxShape& box, const std::vector<float>& lengths,
                        const std::vector<float>& diameters);
// The same as a message, "" when the box is wide enough.
std::string periodic_box_refusal(const BoxShape& box, const std::vector<float>& lengths,
                                 const std::vector<float>& diameters);

// Settings that run but look like a slip of units, such as a length in nanometres: a volume
// fraction above 1, a fiber longer than the box's largest side (unless the fibers define the box,
// `fibers_in_box` false), a diameter above the length. One line each, over every run of the
// tables.
std::vector<std::string> unit_warnings(const std::string& program,
                                       const std::vector<int32_t>& counts,
                                       const std::vector<float>& lengths,
                                       const std::vector<float>& diameters, const BoxShape& box,
                                       bool fibers_in_box = true);
