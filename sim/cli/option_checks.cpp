#include "option_checks.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <sstream>
#include <system_error>

#include "arg_values.h"
#include "decimal_text.h"

void ValueChecks::whole(const std::string& option, const std::string& text, int64_t lo, int64_t hi,
                        int64_t& out) {
  if (!wanted(option)) return;
  std::string why;
  if (const auto v = parse_whole(text, lo, hi, why))
    out = *v;
  else
    fail(option, text, why);
}

void ValueChecks::positive(const std::string& option, const std::string& text, float& out) {
  if (!wanted(option)) return;
  std::string why;
  if (const auto v = parse_positive_float(text, why))
    out = *v;
  else
    fail(option, text, why);
}

namespace {

// Splits "a,b,c"; an empty list or an empty item is refused by the item's conversion.
std::vector<std::string> items(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream s(text);
  for (std::string item; std::getline(s, item, ',');) out.push_back(item);
  if (out.empty() || text.back() == ',') out.emplace_back();
  return out;
}

}  // namespace

void ValueChecks::whole_list(const std::string& option, const std::string& text, int64_t lo,
                             int64_t hi, std::vector<int32_t>& out) {
  if (!wanted(option)) return;
  std::vector<int32_t> values;
  for (const std::string& item : items(text)) {
    std::string why;
    const auto v = parse_whole(item, lo, hi, why);
    if (!v) return fail(option, text, "'" + item + "' " + why);
    values.push_back(static_cast<int32_t>(*v));
  }
  out = values;
}

void ValueChecks::positive_list(const std::string& option, const std::string& text,
                                std::vector<float>& out) {
  if (!wanted(option)) return;
  std::vector<float> values;
  for (const std::string& item : items(text)) {
    std::string why;
    const auto v = parse_positive_float(item, why);
    if (!v) return fail(option, text, "'" + item + "' " + why);
    values.push_back(*v);
  }
  out = values;
}

ParseOutcome ValueChecks::usage_error(const std::string& program, const std::string& message) {
  return {
      false, 2, program + ": " + message + ". Run '" + program + " --help' for the options.\n", {}};
}

std::optional<ParseOutcome> parse_line(CLI::App& app, const std::vector<std::string>& args) {
  std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes them backwards
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    return ParseOutcome{false, 0, app.help(), {}};
  } catch (const CLI::CallForVersion& e) {
    return ParseOutcome{false, 0, std::string(e.what()) + "\n", {}};
  } catch (const CLI::ParseError& e) {
    return ValueChecks::usage_error(app.get_name(), e.what());
  }
  return std::nullopt;
}

void add_common(CLI::App& app, CommonText& text) {
  app.set_version_flag("--version", app.get_name() + " " MIKADO_VERSION);
  app.add_option("-s,--seed", text.seed,
                 "seed of the random stream, a 32-bit signed integer (default -1)")
      ->type_name("S");
  app.add_option("--threads", text.threads,
                 "threads for contact detection, 1 to " + std::to_string(kMaxThreads) +
                     " (default: one per core); the results do not depend on it")
      ->type_name("T");
  app.add_option("--box", text.box,
                 "side in metres of the cube, centred on the origin, that holds the fiber centres "
                 "(default 2e-06); AX,AY,AZ for a box of three sides")
      ->type_name("A");
  app.add_option("--periodic", text.periodic,
                 "periodic box: pairs meet at their nearest images, no fiber loses contacts at a "
                 "face (needs A > 2 L + D); with axes, e.g. xy, periodic along those only")
      ->expected(0, 1)
      ->type_name("[AXES]");
  app.add_option("--max-contacts", text.max_contacts,
                 "store at most K contacts, then report \"Too many contacts!\" (default: no cap "
                 "with options, 1000000 without)")
      ->type_name("K");
}

void check_common(ValueChecks& checks, const CLI::App& app, const CommonText& text, int32_t& seed,
                  int& threads, BoxShape& box, int64_t& max_contacts) {
  int64_t s = seed, t = threads;
  checks.whole("--seed", text.seed, INT32_MIN, INT32_MAX, s);
  checks.whole("--threads", text.threads, 1, kMaxThreads, t);
  std::vector<float> sides;
  checks.positive_list("--box", text.box, sides);
  if (sides.size() == 1) box.side = {sides[0], sides[0], sides[0]};
  if (sides.size() == 3) box.side = {sides[0], sides[1], sides[2]};
  if (sides.size() == 2 || sides.size() > 3)
    checks.fail("--box '" + text.box + "': one side, or three as AX,AY,AZ");
  if (checks.ok() && app.count("--periodic") > 0) {
    const std::string axes = text.periodic.empty() ? "xyz" : text.periodic;
    box.periodic = {};
    for (const char c : axes) {
      const int a = c - 'x';
      if (a < 0 || a > 2 || box.periodic[a]) {
        checks.fail("--periodic '" + text.periodic + "': axes among x, y and z, each once");
        break;
      }
      box.periodic[a] = true;
    }
  }
  checks.whole("--max-contacts", text.max_contacts, 0, INT32_MAX, max_contacts);
  seed = static_cast<int32_t>(s);
  threads = static_cast<int>(t);
}

void check_periodic_box(ValueChecks& checks, const BoxShape& box, const std::vector<float>& lengths,
                        const std::vector<float>& diameters) {
  if (!checks.ok()) return;
  const std::string why = periodic_box_refusal(box, lengths, diameters);
  if (!why.empty()) checks.fail(why);
}

std::string periodic_box_refusal(const BoxShape& box, const std::vector<float>& lengths,
                                 const std::vector<float>& diameters) {
  if (!box.any_periodic()) return "";
  const double length = *std::max_element(lengths.begin(), lengths.end());
  const double diameter = *std::max_element(diameters.begin(), diameters.end());
  // Compared as float32, as the box is stored, so that the message names the number compared. A
  // float32 above the rounded bound also exceeds 2 L + D itself, as the detectors require.
  const auto bound = static_cast<float>(2 * length + diameter);
  for (int a = 0; a < 3; ++a) {
    if (!box.periodic[a] || box.side[a] > bound) continue;
    // A cube's side is the box side, as it always was; a box of three sides names the axis.
    const std::string side = box.cube() ? "the box side " + shortest_decimal(box.side[a])
                                        : "the box side along " + std::string(1, 'x' + a) + ", " +
                                              shortest_decimal(box.side[a]) + ",";
    return "--periodic: " + side + " must exceed twice the fiber length plus the diameter, " +
           shortest_decimal(bound);
  }
  return "";
}

std::vector<std::string> unit_warnings(const std::string& program,
                                       const std::vector<int32_t>& counts,
                                       const std::vector<float>& lengths,
                                       const std::vector<float>& diameters, const BoxShape& box,
                                       bool fibers_in_box) {
  std::vector<std::string> out;
  const auto warn = [&](const std::string& what) {
    out.push_back(program + ": warning: " + what + "; lengths are in metres\n");
  };
  const int32_t count = *std::max_element(counts.begin(), counts.end());
  const float longest = *std::max_element(lengths.begin(), lengths.end());
  const float shortest = *std::min_element(lengths.begin(), lengths.end());
  const float widest = *std::max_element(diameters.begin(), diameters.end());
  // The largest fraction of the tables: the most fibers, the longest and the widest.
  const double volume =
      static_cast<double>(box.side[0]) * box.side[1] * static_cast<double>(box.side[2]);
  const double fraction = count * 0.7853981633974483 * widest * widest * longest / volume;
  // A film is thinner than its fibers are long: only a fiber longer than the largest side is a
  // slip.
  const float largest_side = std::max({box.side[0], box.side[1], box.side[2]});
  if (fraction > 1) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", fraction);
    warn(std::string("the volume fraction ") + text + " (" + std::to_string(count) +
         " fibers, length " + shortest_decimal(longest) + ", diameter " + shortest_decimal(widest) +
         ") is above 1");
  }
  if (fibers_in_box && longest > largest_side)
    warn("the fiber length " + shortest_decimal(longest) + " exceeds the box side " +
         shortest_decimal(largest_side));
  if (widest > shortest)
    warn("the diameter " + shortest_decimal(widest) + " exceeds the fiber length " +
         shortest_decimal(shortest));
  return out;
}

namespace {

std::vector<std::string> fields(const std::string& text) {
  std::vector<std::string> out;
  std::string::size_type from = 0;
  for (;;) {
    const auto colon = text.find(':', from);
    out.push_back(text.substr(from, colon - from));
    if (colon == std::string::npos) return out;
    from = colon + 1;
  }
}

// A float32 value at least 0: a standard deviation may be 0.
std::optional<float> parse_nonnegative_float(const std::string& text, std::string& why) {
  double value = -1;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (!text.empty() && ptr == end && ec == std::errc() && value == 0) return 0.0f;
  return parse_positive_float(text, why);
}

// Reads `text` into the population; an empty result on success, else the reason.
std::string read_orientation(const std::string& text, FiberPopulation& p) {
  const std::vector<std::string> f = fields(text);
  if (f.size() == 1 && f[0] == "isotropic") {
    p.orientation = Orientation::isotropic;
  } else if (f.size() == 1 && f[0] == "planar") {
    p.orientation = Orientation::planar;
  } else if (f.size() == 2 && f[0] == "aligned") {
    std::string why;
    const auto theta = parse_positive_float(f[1], why);
    if (!theta || *theta > 90) return "THETA must be in degrees, above 0 and at most 90";
    p.orientation = Orientation::aligned;
    p.cap_degrees = *theta;
  } else {
    return "must be isotropic, planar or aligned:THETA";
  }
  return {};
}

// A length or diameter distribution.
std::string read_size_dist(const std::string& text, LengthDist& dist, double& first, double& second,
                           bool relative) {
  const std::vector<std::string> f = fields(text);
  std::string why;
  if (f.size() == 1 && f[0] == "fixed") {
    dist = LengthDist::fixed;
  } else if (f.size() == 3 && f[0] == "uniform") {
    const auto lo = parse_positive_float(f[1], why);
    const auto hi = parse_positive_float(f[2], why);
    if (!lo || !hi)
      return relative ? "a and b must be numbers above 0" : "MIN and MAX must be numbers above 0";
    if (*hi < *lo) return relative ? "b must be at least a" : "MAX must be at least MIN";
    dist = LengthDist::uniform;
    first = *lo;
    second = *hi;
  } else if (f.size() == 3 && f[0] == "lognormal") {
    const auto mean = parse_positive_float(f[1], why);
    const auto sd = parse_nonnegative_float(f[2], why);
    if (!mean) return relative ? "m must be a number above 0" : "MEAN must be a number above 0";
    if (!sd) return relative ? "s must be a number, 0 or above" : "SD must be a number, 0 or above";
    dist = LengthDist::lognormal;
    first = *mean;
    second = *sd;
  } else {
    return relative ? "must be fixed, uniform:a:b or lognormal:m:s"
                    : "must be fixed, uniform:MIN:MAX or lognormal:MEAN:SD";
  }
  return {};
}

}  // namespace

void add_population(CLI::App& app, PopulationText& text, bool relative) {
  app.add_option("--orientation", text.orientation,
                 "fiber directions: isotropic (default), planar (uniform in the x-y plane) or "
                 "aligned:THETA (uniform over the cap within THETA degrees of either end of the "
                 "axis, 0 < THETA <= 90)")
      ->type_name("O");
  app.add_option("--axis", text.axis,
                 "x, y or z (default z): the axis of aligned fibers and of the order parameter S")
      ->type_name("X");
  app.add_option("--length-dist", text.length_dist,
                 relative
                     ? "fiber lengths per run of table length L: fixed (default, L), uniform:a:b "
                       "(uniform in [a L, b L]) or lognormal:m:s (mean m L, deviation s L); the "
                       "rows keep L as their length, their volume fraction and theory use the mean"
                     : "fiber lengths: fixed (default, -l), uniform:MIN:MAX or lognormal:MEAN:SD "
                       "in metres; the summary line's length is then the distribution's mean")
      ->type_name("DIST");
  app.add_option("--diameter-dist", text.diameter_dist,
                 relative
                     ? "fiber diameters per run of table diameter D: fixed (default, D), "
                       "uniform:a:b (uniform in [a D, b D]) or lognormal:m:s (mean m D, deviation "
                       "s D); the rows keep D as their diameter, their theory uses the mean and "
                       "their volume fraction the mean square"
                     : "fiber diameters: fixed (default, -d), uniform:MIN:MAX or lognormal:MEAN:SD "
                       "in metres; the summary line's diameter is then the distribution's mean, "
                       "its vf the expected N pi/4 E[D^2] E[L] / V")
      ->type_name("DIST");
}

void check_population(ValueChecks& checks, const CLI::App& app, const PopulationText& text,
                      bool relative, FiberPopulation& out, bool& oriented, bool& distributed,
                      bool& diameter_distributed) {
  oriented = app.count("--orientation") > 0 || app.count("--axis") > 0;
  distributed = app.count("--length-dist") > 0;
  diameter_distributed = app.count("--diameter-dist") > 0;
  if (!checks.ok()) return;
  if (app.count("--orientation") > 0) {
    const std::string why = read_orientation(text.orientation, out);
    if (!why.empty()) return checks.fail("--orientation '" + text.orientation + "': " + why);
  }
  if (app.count("--axis") > 0) {
    if (text.axis != "x" && text.axis != "y" && text.axis != "z")
      return checks.fail("--axis '" + text.axis + "': must be x, y or z");
    out.axis = text.axis[0] - 'x';
  }
  if (distributed) {
    const std::string why =
        read_size_dist(text.length_dist, out.lengths, out.first, out.second, relative);
    if (!why.empty()) return checks.fail("--length-dist '" + text.length_dist + "': " + why);
  }
  if (diameter_distributed) {
    const std::string why = read_size_dist(text.diameter_dist, out.diameters, out.diameter_first,
                                           out.diameter_second, relative);
    if (!why.empty()) return checks.fail("--diameter-dist '" + text.diameter_dist + "': " + why);
  }
}
