#include "run_options.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

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
  EXPECT_EQ(o.box, 2e-6f);
  EXPECT_EQ(o.seed, -1);
  EXPECT_EQ(o.threads, 0);
  EXPECT_FALSE(o.no_view);
  EXPECT_FALSE(o.periodic);
  EXPECT_FALSE(o.stats);
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
  EXPECT_EQ(o.box, 4e-6f);
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
  EXPECT_TRUE(top.periodic);
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
  for (const char* s : {"--fibers", "--no-view", "--vtk", "--periodic", "--stats", "--max-contacts",
                        "keypad 8", "  C  ", "Escape"})
    EXPECT_NE(help.text.find(s), std::string::npos) << s;
  const ParseOutcome version = parse({"--version"}, o);
  EXPECT_FALSE(version.run);
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.text, "mikado " MIKADO_VERSION "\n");
}

TEST(SweepOptions, TablesRepeatsShardsAndTheirBadForms) {
  SweepOptions o;
  const ParseOutcome good =
      parse_sweep_options({"--seed", "7", "--threads", "1", "--counts", "100,0,100000", "--lengths",
                           "1e-7", "--diameters", "1e-9,2e-9", "--box", "1e-6", "--periodic",
                           "--repeats", "8", "--shard", "3/4", "--csv"},
                          o);
  ASSERT_TRUE(good.run) << good.text;
  EXPECT_EQ(o.seed, 7);
  EXPECT_EQ(o.threads, 1);
  EXPECT_EQ(o.counts, (std::vector<int32_t>{100, 0, 100000}));
  EXPECT_EQ(o.lengths, std::vector<float>{1e-7f});
  EXPECT_EQ(o.diameters, (std::vector<float>{1e-9f, 2e-9f}));
  EXPECT_EQ(o.box, 1e-6f);
  EXPECT_TRUE(o.periodic);
  EXPECT_EQ(o.repeats, 8);
  EXPECT_EQ(o.shard, 3);
  EXPECT_EQ(o.shards, 4);
  EXPECT_TRUE(o.csv);
  SweepOptions last;
  EXPECT_TRUE(parse_sweep_options({"--seed", "-2147483647", "--repeats", "2"}, last).run);

  const BadCase bad[] = {
      {{"-n", "5"}, "-n"},
      {{"--seed", "x"}, "--seed 'x'"},
      {{"--threads", "-2"}, "--threads '-2'"},
      {{"--counts", "100,abc"}, "--counts '100,abc': 'abc'"},
      {{"--counts", "100,"}, "--counts '100,'"},
      {{"--counts", "100001"}, "--counts '100001'"},
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

}  // namespace
