#include "run_options.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "decimal_text.h"
#include "periodic_image.h"

namespace {

ParseOutcome parse(std::vector<std::string> args, RunOptions& o) {
  return parse_run_options(args, o);
}

TEST(RunOptions, NoArgumentsKeepTheCompiledInRun) {
  RunOptions o;
  ASSERT_TRUE(parse({}, o).run);
  EXPECT_EQ(o.fibers, 10000);
  EXPECT_EQ(o.length, 2e-7f);
  EXPECT_EQ(o.diameter, 2e-9f);
  EXPECT_EQ(o.box.side, (std::array<float, 3>{2e-6f, 2e-6f, 2e-6f}));
  EXPECT_EQ(o.seed, -1);
  EXPECT_EQ(o.threads, 0);
  EXPECT_FALSE(o.no_view);
  EXPECT_FALSE(o.box.any_periodic());
  EXPECT_FALSE(o.stats);
  EXPECT_FALSE(o.box_given);
  EXPECT_EQ(o.max_contacts, -1);
}

TEST(RunOptions, GoodFormsSetTheirValuesAsFloat32) {
  RunOptions o;
  const ParseOutcome r =
      parse({"-n",           "0",     "--length=1e-7",  "-d",        "3e-9",  "--box",
             "4e-6",         "-s",    "-2147483648",    "--threads", "3",     "--no-view",
             "--fibers-out", "f.csv", "--contacts-out", "c.csv",     "--vtk", "n.vtk",
             "--json",       "r.json"},
            o);
  ASSERT_TRUE(r.run) << r.text;
  EXPECT_EQ(o.fibers, 0);
  EXPECT_EQ(o.length, 1e-7f);
  EXPECT_EQ(o.diameter, 3e-9f);
  EXPECT_EQ(o.box.side, (std::array<float, 3>{4e-6f, 4e-6f, 4e-6f}));
  EXPECT_TRUE(o.box_given);
  EXPECT_EQ(o.seed, INT32_MIN);
  EXPECT_EQ(o.threads, 3);
  EXPECT_TRUE(o.no_view);
  EXPECT_EQ(o.fibers_out, "f.csv");
  EXPECT_EQ(o.contacts_out, "c.csv");
  EXPECT_EQ(o.vtk_out, "n.vtk");
  EXPECT_EQ(o.json_out, "r.json");

  RunOptions top;
  ASSERT_TRUE(parse({"--fibers", "2147483647", "--seed", "2147483647", "-l", "2e-7", "--periodic",
                     "--box", "4.03e-7", "--stats", "--max-contacts", "0"},
                    top)
                  .run);
  EXPECT_EQ(top.fibers, INT32_MAX);
  EXPECT_TRUE(top.box.all_periodic());
  EXPECT_TRUE(top.stats);
  EXPECT_EQ(top.max_contacts, 0);
  EXPECT_EQ(top.seed, INT32_MAX);
  // The decimal is rounded once, to the float32 the compiled-in setting holds.
  EXPECT_EQ(top.length, 2e-7f);
}

struct BadCase {
  std::vector<std::string> args;
  const char* names;  // what the message must quote
};

TEST(RunOptions, EachBadInputStopsWithStatus2AndOneLineNamingOptionAndValue) {
  const BadCase cases[] = {
      {{"-n", "abc"}, "--fibers 'abc'"},
      {{"-n", "1.5"}, "--fibers '1.5'"},
      {{"-n", "-1"}, "--fibers '-1'"},
      {{"-n", "2147483648"}, "--fibers '2147483648'"},
      {{"--max-contacts", "-1"}, "--max-contacts '-1'"},
      {{"--periodic", "--box", "4.01e-7"}, "--periodic"},  // not above 2 L + D = 4.02e-7
      {{"-n", "99999999999999999999"}, "--fibers '99999999999999999999'"},
      {{"-l", "0"}, "--length '0'"},
      {{"-l", "-2e-7"}, "--length '-2e-7'"},
      {{"-d", "nan"}, "--diameter 'nan'"},
      {{"--box", "inf"}, "--box 'inf'"},
      {{"-l", "1e39"}, "--length '1e39'"},    // beyond float32
      {{"-l", "1e-46"}, "--length '1e-46'"},  // rounds to 0 as float32
      {{"-d", "2e-9x"}, "--diameter '2e-9x'"},
      {{"-s", "2147483648"}, "--seed '2147483648'"},
      {{"-s", "-2147483649"}, "--seed '-2147483649'"},
      {{"--threads", "0"}, "--threads '0'"},
      {{"--bogus"}, "--bogus"},
      {{"-n"}, "--fibers"},
      {{"--vtk"}, "--vtk"},
      {{"--json", ""}, "--json ''"},
      {{"--vtk", "a.out", "--json", "./a.out"}, "--vtk and --json"},
  };
  for (const BadCase& c : cases) {
    RunOptions o;
    const ParseOutcome r = parse(c.args, o);
    EXPECT_FALSE(r.run) << c.names;
    EXPECT_EQ(r.status, 2) << c.names;
    EXPECT_NE(r.text.find(c.names), std::string::npos) << r.text;
    EXPECT_NE(r.text.find("--help"), std::string::npos) << r.text;
    ASSERT_FALSE(r.text.empty());
    EXPECT_EQ(r.text.find('\n'), r.text.size() - 1) << r.text;
  }
}

TEST(RunOptions, HelpAndVersionStopWithStatus0) {
  RunOptions o;
  const ParseOutcome help = parse({"--help"}, o);
  EXPECT_FALSE(help.run);
  EXPECT_EQ(help.status, 0);
  for (const char* s : {"--fibers", "--fibers-in", "--no-view", "--vtk", "--periodic", "--stats",
                        "--max-contacts", "keypad 8", "  C  ", "Escape"})
    EXPECT_NE(help.text.find(s), std::string::npos) << s;
  const ParseOutcome version = parse({"--version"}, o);
  EXPECT_FALSE(version.run);
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.text, "mikado " MIKADO_VERSION "\n");
}

TEST(SweepOptions, TablesRepeatsShardsAndTheirBadForms) {
  SweepOptions o;
  const ParseOutcome good = parse_sweep_options(
      {"--seed",         "7",         "--threads",   "1",         "--counts", "100,0,100000",
       "--lengths",      "1e-7",      "--diameters", "1e-9,2e-9", "--box",    "1e-6",
       "--periodic",     "--repeats", "8",           "--shard",   "3/4",      "--csv",
       "--max-contacts", "5"},
      o);
  ASSERT_TRUE(good.run) << good.text;
  EXPECT_EQ(o.seed, 7);
  EXPECT_EQ(o.threads, 1);
  EXPECT_EQ(o.counts, (std::vector<int32_t>{100, 0, 100000}));
  EXPECT_EQ(o.max_contacts, 5);
  EXPECT_EQ(o.lengths, std::vector<float>{1e-7f});
  EXPECT_EQ(o.diameters, (std::vector<float>{1e-9f, 2e-9f}));
  EXPECT_EQ(o.box.side, (std::array<float, 3>{1e-6f, 1e-6f, 1e-6f}));
  EXPECT_TRUE(o.box.all_periodic());
  EXPECT_EQ(o.repeats, 8);
  EXPECT_EQ(o.shard, 3);
  EXPECT_EQ(o.shards, 4);
  EXPECT_TRUE(o.csv);
  SweepOptions last;
  EXPECT_TRUE(parse_sweep_options({"--seed", "-2147483647", "--repeats", "2"}, last).run);
  EXPECT_EQ(last.max_contacts, -1);
  // Counts past the compiled-in storage: the sweep sizes its storage for them.
  SweepOptions large;
  ASSERT_TRUE(parse_sweep_options({"--counts", "100001,2147483647"}, large).run);
  EXPECT_EQ(large.counts, (std::vector<int32_t>{100001, INT32_MAX}));

  const BadCase bad[] = {
      {{"-n", "5"}, "-n"},
      {{"--seed", "x"}, "--seed 'x'"},
      {{"--threads", "-2"}, "--threads '-2'"},
      {{"--counts", "100,abc"}, "--counts '100,abc': 'abc'"},
      {{"--counts", "100,"}, "--counts '100,'"},
      {{"--counts", "2147483648"}, "--counts '2147483648'"},
      {{"--max-contacts", "x"}, "--max-contacts 'x'"},
      {{"--lengths", "1e-7,0"}, "--lengths '1e-7,0': '0'"},
      {{"--diameters", ""}, "--diameters ''"},
      {{"--repeats", "0"}, "--repeats '0'"},
      {{"--seed", "-2147483647", "--repeats", "3"}, "--repeats '3'"},
      {{"--shard", "2/2"}, "--shard '2/2'"},
      {{"--shard", "1"}, "--shard '1'"},
      {{"--shard", "-1/2"}, "--shard '-1/2'"},
      {{"--periodic", "--box", "4e-7"}, "--periodic"},  // the longest length is 2e-7
      {{"--periodic", "--lengths", "1e-6"}, "--periodic"},
      // 2 L + D of the widest diameter is 6.2e-7.
      {{"--periodic", "--box", "6.1e-7", "--lengths", "3e-7", "--diameters", "1e-9,2e-8"},
       "--periodic"},
  };
  for (const BadCase& c : bad) {
    SweepOptions s;
    const ParseOutcome r = parse_sweep_options(c.args, s);
    EXPECT_EQ(r.status, 2) << c.names;
    EXPECT_EQ(r.text.rfind("mikado-longrun: ", 0), 0u) << r.text;
    EXPECT_NE(r.text.find(c.names), std::string::npos) << r.text;
  }
}

// The refusal names the number it compares with: a box equal to it is refused, the next float32
// above it is accepted and exceeds 2 L + D exactly, as the periodic detectors require.
TEST(RunOptions, PeriodicRefusalNamesTheBoundItCompares) {
  RunOptions o;
  const ParseOutcome refused = parse({"--periodic", "--box", "4.02e-7"}, o);
  ASSERT_FALSE(refused.run);
  const std::string marker = "plus the diameter, ";
  const auto at = refused.text.find(marker);
  ASSERT_NE(at, std::string::npos) << refused.text;
  const float bound = std::strtof(refused.text.c_str() + at + marker.size(), nullptr);
  EXPECT_EQ(bound, 4.02e-7f) << refused.text;
  const float above = std::nextafter(bound, 1.0f);
  ASSERT_TRUE(parse({"--periodic", "--box", shortest_decimal(above)}, o).run);
  EXPECT_EQ(o.box.side[2], above);
  EXPECT_TRUE(periodic_box_valid(o.box.side[2], 2e-7f, 2e-9f));
}

// A box of three sides, periodic along the axes named: each periodic side is bound, the open ones
// not; both programs solve the circuit in it.
TEST(RunOptions, BoxOfThreeSidesPeriodicAlongTheAxesNamed) {
  RunOptions o;
  const ParseOutcome film = parse({"--box", "2e-5,1e-5,1e-7", "--periodic", "xy", "-n", "5",
                                   "--conductance", "--electrodes", "y"},
                                  o);
  ASSERT_TRUE(film.run) << film.text;
  EXPECT_TRUE(o.circuit.conductance);
  EXPECT_EQ(o.circuit.electrode_axis, 1);
  EXPECT_EQ(o.box.side, (std::array<float, 3>{2e-5f, 1e-5f, 1e-7f}));
  EXPECT_EQ(o.box.periodic, (std::array<bool, 3>{true, true, false}));
  EXPECT_EQ(o.box.periodic_axes(), "xy");
  // A film thinner than its fibers are long is no slip of units; longer than its width would be.
  EXPECT_TRUE(film.warnings.empty());
  RunOptions wide;
  const ParseOutcome longer = parse({"--box", "2e-5,1e-5,1e-7", "-l", "3e-5", "-n", "5"}, wide);
  ASSERT_EQ(longer.warnings.size(), 1u);
  EXPECT_NE(longer.warnings[0].find("exceeds the box side 2e-05"), std::string::npos);
  RunOptions z;
  const ParseOutcome across = parse({"--box", "2e-5,1e-5,1e-7", "--periodic", "yz"}, z);
  ASSERT_FALSE(across.run);
  EXPECT_NE(across.text.find("the box side along z, 1e-07, must exceed"), std::string::npos)
      << across.text;
  for (const char* bad : {"1e-6,2e-6", "1e-6,2e-6,3e-6,4e-6", "1e-6,,1e-6"}) {
    RunOptions b;
    EXPECT_EQ(parse({"--box", bad}, b).status, 2) << bad;
  }
  for (const char* bad : {"xw", "xx", "xyzx"}) {
    RunOptions b;
    const ParseOutcome r = parse({"--periodic=" + std::string(bad)}, b);
    EXPECT_EQ(r.status, 2) << bad;
  }
  // The sweep takes the same box, and holds each of its lengths to the periodic sides.
  SweepOptions s;
  ASSERT_TRUE(parse_sweep_options({"--box", "1e-6,1e-6,2e-6", "--periodic", "zyx"}, s).run);
  EXPECT_EQ(s.box.side, (std::array<float, 3>{1e-6f, 1e-6f, 2e-6f}));
  EXPECT_TRUE(s.box.all_periodic());
  SweepOptions circuit;
  const ParseOutcome sheet = parse_sweep_options(
      {"--box", "2e-6,1e-6,3e-7", "--periodic", "y", "--csv", "--conductance"}, circuit);
  ASSERT_TRUE(sheet.run) << sheet.text;
  EXPECT_TRUE(circuit.circuit.conductance);
  SweepOptions thin;
  EXPECT_EQ(parse_sweep_options(
                {"--box", "1e-6,1e-6,3e-7", "--periodic", "xz", "--lengths", "1e-7,2e-7"}, thin)
                .status,
            2);
}

int count_lines(const std::vector<std::string>& lines, const char* part) {
  int n = 0;
  for (const std::string& l : lines) n += l.find(part) != std::string::npos;
  return n;
}

// Settings in the wrong unit still run, with one line per slip and nothing for sound settings.
TEST(RunOptions, UnitSlipsWarnOneLineEach) {
  struct Case {
    std::vector<std::string> args;
    int fraction, longer, wider;
  };
  const Case cases[] = {
      {{}, 0, 0, 0},
      {{"-l", "200"}, 1, 1, 0},
      {{"-n", "1", "-l", "1e-6", "-d", "1.1e-6"}, 0, 0, 1},
      // The fraction N pi/4 D^2 L / A^3 just above 1, then just below it.
      {{"-n", "4", "-l", "1", "-d", "1", "--box", "1.4645919"}, 1, 0, 0},
      {{"-n", "4", "-l", "1", "-d", "1", "--box", "1.464592"}, 0, 0, 0},
      {{"-n", "1", "-l", "2e-6", "-d", "1e-9", "--box", "2e-6"}, 0, 0, 0},
      {{"-n", "1", "-l", "2.0000002e-6", "-d", "1e-9", "--box", "2e-6"}, 0, 1, 0},
  };
  for (const Case& c : cases) {
    RunOptions o;
    const ParseOutcome r = parse(c.args, o);
    ASSERT_TRUE(r.run) << r.text;
    EXPECT_EQ(r.warnings.size(), static_cast<size_t>(c.fraction + c.longer + c.wider))
        << (c.args.empty() ? "" : c.args[1]);
    EXPECT_EQ(count_lines(r.warnings, "volume fraction"), c.fraction);
    EXPECT_EQ(count_lines(r.warnings, "exceeds the box side"), c.longer);
    EXPECT_EQ(count_lines(r.warnings, "exceeds the fiber length"), c.wider);
    for (const std::string& line : r.warnings) {
      EXPECT_EQ(line.rfind("mikado: warning: ", 0), 0u) << line;
      EXPECT_NE(line.find("lengths are in metres\n"), std::string::npos) << line;
      EXPECT_EQ(line.find('\n'), line.size() - 1) << line;
    }
  }
  // A sweep warns over all its runs: the densest combines the largest count, length and diameter.
  SweepOptions s;
  const ParseOutcome sweep = parse_sweep_options(
      {"--counts", "10,2000", "--lengths", "1e-7,1e-6", "--diameters", "1e-9,1e-7"}, s);
  ASSERT_TRUE(sweep.run);
  ASSERT_EQ(sweep.warnings.size(), 1u);
  EXPECT_NE(sweep.warnings[0].find("2000 fibers, length 1e-06, diameter 1e-07"), std::string::npos)
      << sweep.warnings[0];
  // The compiled-in tables reach a fraction of 3.14 in their densest run.
  SweepOptions compiled_in;
  const ParseOutcome tables = parse_sweep_options({"--csv"}, compiled_in);
  ASSERT_EQ(tables.warnings.size(), 1u);
  EXPECT_NE(tables.warnings[0].find("3.14159"), std::string::npos) << tables.warnings[0];
  EXPECT_TRUE(parse_sweep_options({}, compiled_in).warnings.empty());
  // The widest diameter against the shortest length, not the longest.
  SweepOptions mixed;
  const ParseOutcome widest = parse_sweep_options(
      {"--counts", "1", "--lengths", "1e-7,1e-6", "--diameters", "2e-7"}, mixed);
  ASSERT_EQ(widest.warnings.size(), 1u);
  EXPECT_NE(widest.warnings[0].find("the diameter 2e-07 exceeds the fiber length 1e-07"),
            std::string::npos)
      << widest.warnings[0];
  SweepOptions sound;
  EXPECT_EQ(parse_sweep_options({"--counts", "10", "--lengths", "2e-7"}, sound).warnings.size(),
            0u);
}

}  // namespace

TEST(PopulationOptions, FormsAndTheirBounds) {
  RunOptions o;
  ASSERT_TRUE(
      parse({"--orientation", "aligned:90", "--axis", "y", "--length-dist", "lognormal:2e-7:0"}, o)
          .run);
  EXPECT_EQ(o.population.orientation, Orientation::aligned);
  EXPECT_EQ(o.population.cap_degrees, 90);
  EXPECT_EQ(o.population.axis, 1);
  EXPECT_EQ(o.population.lengths, LengthDist::lognormal);
  EXPECT_EQ(o.population.first, 2e-7f);
  EXPECT_TRUE(o.oriented && o.distributed);
  RunOptions axis_only;
  ASSERT_TRUE(parse({"--axis", "x", "--length-dist", "uniform:1e-7:1e-7"}, axis_only).run);
  EXPECT_TRUE(axis_only.oriented);
  EXPECT_EQ(axis_only.population.orientation, Orientation::isotropic);

  const BadCase bad[] = {
      {{"--orientation", "aligned:0"}, "--orientation 'aligned:0'"},
      {{"--orientation", "aligned:90.001"}, "--orientation 'aligned:90.001'"},
      {{"--orientation", "planar:3"}, "--orientation 'planar:3'"},
      {{"--axis", "w"}, "--axis 'w'"},
      {{"--length-dist", "uniform:2e-7:1e-7"}, "MAX must be at least MIN"},
      {{"--length-dist", "uniform:0:1e-7"}, "--length-dist 'uniform:0:1e-7'"},
      {{"--length-dist", "lognormal:2e-7:-1e-8"}, "--length-dist 'lognormal:2e-7:-1e-8'"},
      {{"--length-dist", "gamma:1:2"}, "--length-dist 'gamma:1:2'"},
      // The box is checked against the longest length there can be: 2 MAX + D = 6.02e-7.
      {{"--periodic", "--box", "6e-7", "--length-dist", "uniform:1e-7:3e-7"}, "--periodic"},
  };
  for (const BadCase& c : bad) {
    RunOptions r;
    const ParseOutcome out = parse(c.args, r);
    EXPECT_EQ(out.status, 2) << c.names;
    EXPECT_NE(out.text.find(c.names), std::string::npos) << out.text;
  }
  // In a sweep the numbers are multiples of the table length: 2 (1.5 L) + D = 6.01e-7.
  SweepOptions tight;
  EXPECT_EQ(parse_sweep_options({"--length-dist", "uniform:0.5:1.5", "--lengths", "2e-7",
                                 "--periodic", "--box", "6e-7", "--diameters", "1e-9"},
                                tight)
                .status,
            2);
}

// --diameter-dist reads as --length-dist does; a periodic box is checked against MAX, and in a
// sweep against b times the table diameter.
TEST(PopulationOptions, DiameterDistributionAndItsPeriodicBound) {
  RunOptions o;
  ASSERT_TRUE(parse({"--diameter-dist", "uniform:1e-9:3e-9"}, o).run);
  EXPECT_EQ(o.population.diameters, LengthDist::uniform);
  EXPECT_EQ(o.population.diameter_second, 3e-9f);
  EXPECT_EQ(o.population.lengths, LengthDist::fixed);
  EXPECT_TRUE(o.diameter_distributed && o.population.plain());
  EXPECT_FALSE(o.distributed || o.oriented);

  const BadCase bad[] = {
      {{"--diameter-dist", "uniform:3e-9:1e-9"}, "--diameter-dist 'uniform:3e-9:1e-9'"},
      {{"--diameter-dist", "lognormal:0:1e-9"}, "--diameter-dist 'lognormal:0:1e-9'"},
      // 2 L + MAX = 4.2e-7 with the default length 2e-7.
      {{"--periodic", "--box", "4.1e-7", "--diameter-dist", "uniform:1e-9:2e-8"}, "--periodic"},
      {{"--fibers-in", "f.csv", "--diameter-dist", "uniform:1e-9:2e-9"}, "no --diameter-dist"},
  };
  for (const BadCase& c : bad) {
    RunOptions r;
    const ParseOutcome out = parse(c.args, r);
    EXPECT_EQ(out.status, 2) << c.names;
    EXPECT_NE(out.text.find(c.names), std::string::npos) << out.text;
  }
  RunOptions fits;
  EXPECT_TRUE(
      parse({"--periodic", "--box", "4.3e-7", "--diameter-dist", "uniform:1e-9:2e-8"}, fits).run);
  // 2 L + 20 D = 4.2e-7 in a sweep of table diameter 1e-9.
  for (const auto& [box, status] : {std::pair{"4.1e-7", 2}, {"4.3e-7", 0}}) {
    SweepOptions sweep;
    EXPECT_EQ(parse_sweep_options({"--diameter-dist", "uniform:0.5:20", "--lengths", "2e-7",
                                   "--periodic", "--box", box, "--diameters", "1e-9"},
                                  sweep)
                  .status,
              status)
        << box;
  }
}
