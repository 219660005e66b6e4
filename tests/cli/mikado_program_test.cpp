// The two programs as a user runs them: bad command lines, a run that writes every file, a disk
// that fills up during the writing, the lifted capacities, and the sweep's repeats and shards.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "temp_dir.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
  int status;
  std::string out, err;
};

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream s(text);
  for (std::string line; std::getline(s, line);) out.push_back(line);
  return out;
}

std::vector<std::string> cells(const std::string& row) {
  std::vector<std::string> out;
  std::stringstream s(row);
  for (std::string cell; std::getline(s, cell, ',');) out.push_back(cell);
  return out;
}

class MikadoProgram : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir_ / "files"); }

  // Runs mikado with `args` (already quoted for the shell) after `prefix` shell commands.
  Outcome run(const std::string& args, const std::string& prefix = "") const {
    return run_program(MIKADO_PROGRAM, args, prefix);
  }
  Outcome run_program(const std::string& program, const std::string& args,
                      const std::string& prefix = "") const {
    const std::string command = prefix + "exec env -u DISPLAY '" + program + "' " + args + " >'" +
                                (dir_ / "out").string() + "' 2>'" + (dir_ / "err").string() + "'";
    const int raw = std::system(("sh -c \"" + command + "\"").c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir_ / "out"), slurp(dir_ / "err")};
  }
  std::string file(const char* name) const { return (dir_ / "files" / name).string(); }
  // Every output file, but for the options already in `args`: a repeated option is refused.
  std::string all_outputs(const std::string& args = "") const {
    std::string out;
    for (const auto& [option, name] : {std::pair{"--fibers-out", "f.csv"},
                                       {"--contacts-out", "c.csv"},
                                       {"--vtk", "n.vtk"},
                                       {"--json", "r.json"}}) {
      if (args.find(option) == std::string::npos)
        out += std::string(" ") + option + " '" + file(name) + "'";
    }
    return out;
  }
  bool no_files() const { return fs::is_empty(dir_ / "files"); }

  TempDir temp_{"program"};
  const fs::path& dir_ = temp_.path();
};

TEST_F(MikadoProgram, BadInputPrintsOneLineWritesNothingAndExits2) {
  const std::string bad[] = {
      "-n abc",
      "-n -1",
      "-n 2147483648",
      "-l 0",
      "-d -2e-9",
      "--box nan",
      "-l inf",
      "-s 2147483648",
      "--threads 0",
      "--bogus",
      "--no-view -n",
      "-d 1e-50",
      "--vtk /no/such/folder/n.vtk",
      "--json /proc/r.json",
      "--periodic --box 4e-7",
      "--resistivity 1e-8",
      "--electrodes y",
      "--conductance --junction-resistance 0",
      "--conductance --junction-resistance inf",
      "--conductance --resistivity -1e-9",
      "--conductance --electrodes w",
      "--conductance --electrodes xy",
  };
  for (const std::string& args : bad) {
    const Outcome r = run(args + all_outputs(args));
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(r.out, "") << args;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
    EXPECT_EQ(r.err.rfind("mikado: ", 0), 0u) << r.err;
    EXPECT_TRUE(no_files()) << args;
  }
}

TEST_F(MikadoProgram, RunWithOptionsPrintsOnlyTheSummaryAndWritesEveryFile) {
  const Outcome r =
      run("--no-view -n 1500 -l 1e-7 -d 4e-9 --box 1e-6 -s 9 --threads 3" + all_outputs());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out.find("num_fibers 1500;length 1e-07;diameter 4e-09;vf "), 0u) << r.out;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;

  const auto doc = nlohmann::json::parse(slurp(file("r.json")));
  EXPECT_EQ(doc["settings"]["fibers"], 1500);
  EXPECT_EQ(doc["settings"]["box"], 1e-6);
  EXPECT_EQ(doc["settings"]["seed"], 9);
  EXPECT_EQ(doc["settings"]["threads"], 3);
  const int contacts = doc["results"]["contacts"];
  EXPECT_NE(r.out.find("number of contacts " + std::to_string(contacts) + "\n"), std::string::npos);
  EXPECT_GT(contacts, 0);
  EXPECT_FALSE(doc["results"]["capacity_reached"]);
  EXPECT_FALSE(doc["settings"].contains("fibers_in"));

  const std::string fibers = slurp(file("f.csv")), contact_rows = slurp(file("c.csv"));
  EXPECT_EQ(std::count(fibers.begin(), fibers.end(), '\n'), 1 + 1500);
  EXPECT_EQ(std::count(contact_rows.begin(), contact_rows.end(), '\n'), 1 + contacts);
  // Centres lie in the smaller box: no end point is farther out than half a box and half a fiber.
  std::stringstream rows(fibers);
  std::string line;
  std::getline(rows, line);
  while (std::getline(rows, line)) {
    std::stringstream cells(line);
    std::string cell;
    std::getline(cells, cell, ',');
    for (int k = 0; k < 6 && std::getline(cells, cell, ','); ++k)
      ASSERT_LE(std::abs(std::stod(cell)), 0.5e-6 + 0.5e-7) << line;
  }
}

// With options the storage follows the run: more fibers than the compiled-in 100000, and more
// contacts than the compiled-in 1000000 unless a cap is asked for.
TEST_F(MikadoProgram, OptionsLiftTheCapacitiesUnlessACapIsGiven) {
  const Outcome free = run("--no-view -n 100001 -d 4e-8 --json '" + file("r.json") + "'");
  ASSERT_EQ(free.status, 0) << free.err;
  EXPECT_EQ(free.out.find("Too many contacts!"), std::string::npos);
  const auto doc = nlohmann::json::parse(slurp(file("r.json")));
  EXPECT_GT(doc["results"]["contacts"].get<int>(), 1000000);
  EXPECT_FALSE(doc["results"]["capacity_reached"]);
  EXPECT_TRUE(doc["settings"]["max_contacts"].is_null());

  const Outcome capped = run("--no-view -n 100001 -d 4e-8 --max-contacts 1000 --stats --json '" +
                             file("r.json") + "'");
  ASSERT_EQ(capped.status, 0) << capped.err;
  EXPECT_EQ(capped.out.rfind("Too many contacts!\nnum_fibers 100001;", 0), 0u) << capped.out;
  EXPECT_NE(capped.out.find(";number of contacts 1000\nclusters "), std::string::npos)
      << capped.out;
  EXPECT_NE(capped.err.find("stored contacts only"), std::string::npos) << capped.err;
  const auto capped_doc = nlohmann::json::parse(slurp(file("r.json")));
  EXPECT_TRUE(capped_doc["results"]["capacity_reached"]);
  EXPECT_EQ(capped_doc["settings"]["max_contacts"], 1000);

  // A cap of 0 is a cap: nothing stored.
  const Outcome none = run("--no-view --max-contacts 0 --json '" + file("r.json") + "'");
  ASSERT_EQ(none.status, 0) << none.err;
  EXPECT_EQ(none.out.rfind("Too many contacts!\n", 0), 0u) << none.out;
  const auto none_doc = nlohmann::json::parse(slurp(file("r.json")));
  EXPECT_EQ(none_doc["results"]["contacts"], 0);
  EXPECT_EQ(none_doc["settings"]["max_contacts"], 0);
}

// The cluster line follows the summary and agrees with the JSON; the periodic box finds more
// contacts than the open one, whose faces cut them.
TEST_F(MikadoProgram, StatsLineAndPeriodicBox) {
  const std::string common =
      "--no-view --stats -n 4000 -l 4e-7 -d 1e-8 -s 3 --json '" + file("r.json") + "'";
  const Outcome open = run(common);
  ASSERT_EQ(open.status, 0) << open.err;
  const auto open_doc = nlohmann::json::parse(slurp(file("r.json")));
  const Outcome periodic = run(common + " --periodic");
  ASSERT_EQ(periodic.status, 0) << periodic.err;
  const auto doc = nlohmann::json::parse(slurp(file("r.json")));
  EXPECT_TRUE(doc["settings"]["periodic"]);
  EXPECT_GE(doc["settings"]["threads"].get<int>(), 1);  // the count used, not the 0 of "per core"
  // The largest cluster holds 6 % of the fibers: it crosses faces but does not wrap around.
  EXPECT_EQ(doc["results"]["spanning"],
            nlohmann::json::parse(R"({"x":false,"y":false,"z":false})"));
  EXPECT_GT(doc["results"]["contacts"].get<int>(), open_doc["results"]["contacts"].get<int>());

  const auto& r = doc["results"];
  char line[160];
  std::snprintf(line, sizeof line,
                "clusters %d;largest %d;contacts per fiber %g;spanning x %d y %d z %d\n",
                r["clusters"].get<int>(), r["largest_cluster"].get<int>(),
                r["contacts_per_fiber"].get<double>(), r["spanning"]["x"].get<bool>() ? 1 : 0,
                r["spanning"]["y"].get<bool>() ? 1 : 0, r["spanning"]["z"].get<bool>() ? 1 : 0);
  const auto second_line = periodic.out.substr(periodic.out.find('\n') + 1);
  EXPECT_EQ(second_line, line);
  EXPECT_EQ(r["contacts_per_fiber"].get<double>(), 2.0 * r["contacts"].get<int>() / 4000);
}

// The fibers table of a run, read back as the network, gives its contacts byte for byte, in the
// open box and the periodic one.
TEST_F(MikadoProgram, FibersInGivesBackTheContactsOfTheFibersOut) {
  for (const std::string box : {"", " --periodic --box 1e-6 -d 1e-8"}) {
    const Outcome placed = run("--no-view -n 3000 -l 3e-7 -s 4" + box + " --fibers-out '" +
                               file("f.csv") + "' --contacts-out '" + file("c1.csv") + "'");
    ASSERT_EQ(placed.status, 0) << placed.err;
    const Outcome read = run("--no-view" + box + " --fibers-in '" + file("f.csv") +
                             "' --contacts-out '" + file("c2.csv") + "'");
    ASSERT_EQ(read.status, 0) << read.err;
    const std::string contacts = slurp(file("c1.csv"));
    EXPECT_GT(std::count(contacts.begin(), contacts.end(), '\n'), 20) << box;
    EXPECT_TRUE(slurp(file("c2.csv")) == contacts) << box;
    EXPECT_EQ(read.out.rfind("num_fibers 3000;", 0), 0u) << read.out;
  }
}

// The count, the longest fiber, the file's diameter over -d, and the box: --box, or the smallest
// cube on the origin holding every end.
TEST_F(MikadoProgram, FibersInTakesTheRunsSettingsFromTheFile) {
  const std::string table = (dir_ / "in.csv").string();
  std::ofstream(table) << "x1,y1,z1,x2,y2,z2,diameter\n"
                          "-1e-7,0,0,3e-7,0,0,5e-9\n"
                          "0,-2e-7,4e-9,0,1e-7,4e-9,5e-9\n";
  const std::string args = " --fibers-in '" + table + "' --json '" + file("r.json") + "'";
  const Outcome r = run("--no-view -d 1e-9 -s 7" + args);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");  // the seed is taken and not used
  EXPECT_EQ(r.out.rfind("num_fibers 2;length 4e-07;diameter 5e-09;vf ", 0), 0u) << r.out;
  EXPECT_NE(r.out.find(";number of contacts 1\n"), std::string::npos) << r.out;
  auto settings = nlohmann::json::parse(slurp(file("r.json")))["settings"];
  // The smallest box on the origin along each axis; the ends define it, so a fiber longer than a
  // side is no slip of units.
  EXPECT_EQ(settings["box"], nlohmann::json::array({6e-7, 4e-7, 8e-9}));
  EXPECT_EQ(settings["fibers_in"], table);

  const Outcome boxed = run("--no-view --box 1e-6" + args);
  ASSERT_EQ(boxed.status, 0) << boxed.err;
  settings = nlohmann::json::parse(slurp(file("r.json")))["settings"];
  EXPECT_EQ(settings["box"], 1e-6);
  // Periodic, the longest fiber sets the bound: 2 * 4e-7 + 5e-9.
  const Outcome narrow = run("--no-view --periodic --box 8e-7" + args);
  EXPECT_EQ(narrow.status, 2);
  EXPECT_NE(narrow.err.find("must exceed twice the fiber length plus the diameter, 8.05e-07"),
            std::string::npos)
      << narrow.err;
}

// Unequal diameters: fiber 1 crosses fiber 0 at the mean of their diameters and touches; fiber 2
// crosses fiber 0 as far off, which their own mean does not reach. The files carry each fiber's
// diameter, and the fibers CSV reads back to the same contacts.
TEST_F(MikadoProgram, FibersOfTheirOwnDiametersTouchWithinTheMeanOfEachPair) {
  const std::string table = (dir_ / "own.csv").string();
  std::ofstream(table) << "x1,y1,z1,x2,y2,z2,diameter\n"
                          "-1e-7,0,0,1e-7,0,0,1e-8\n"
                          "0,-1e-7,2e-8,0,1e-7,2e-8,3e-8\n"
                          "5e-8,-1e-7,-2e-8,5e-8,1e-7,-2e-8,2e-8\n";
  const std::string outputs = " --fibers-out '" + file("f.csv") + "' --contacts-out '" +
                              file("c.csv") + "' --vtk '" + file("n.vtk") + "'";
  const Outcome r = run("--no-view --box 1e-6 --fibers-in '" + table + "'" + outputs);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("num_fibers 3;length 2e-07;diameter 3e-08;vf ", 0), 0u) << r.out;
  const std::vector<std::string> contacts = lines(slurp(file("c.csv")));
  ASSERT_EQ(contacts.size(), 2u) << slurp(file("c.csv"));
  EXPECT_EQ(contacts[1].rfind("0,1,", 0), 0u) << contacts[1];
  EXPECT_EQ(std::stof(contacts[1].substr(4)), 2e-8f) << contacts[1];
  const std::vector<std::string> fibers = lines(slurp(file("f.csv")));
  ASSERT_EQ(fibers.size(), 4u);
  EXPECT_EQ(fibers[0], "id,x1,y1,z1,x2,y2,z2,cluster,diameter");
  EXPECT_EQ(std::stof(fibers[2].substr(fibers[2].rfind(',') + 1)), 3e-8f) << fibers[2];
  EXPECT_NE(slurp(file("n.vtk")).find("FIELD cell_arrays 5\n"), std::string::npos);
  // The summed volume: pi/4 (1e-8^2 + 3e-8^2 + 2e-8^2) 2e-7 / 1e-18.
  const double fraction = std::stod(r.out.substr(r.out.find(";vf ") + 4));
  EXPECT_NEAR(fraction, 0.7853981633974483 * 14e-16 * 2e-7 / 1e-18, 1e-6);

  const std::string copy = (dir_ / "copy.csv").string();
  fs::copy_file(file("f.csv"), copy);
  const std::string before = slurp(file("c.csv"));
  const Outcome again = run("--no-view --box 1e-6 --fibers-in '" + copy + "'" + outputs);
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(slurp(file("c.csv")), before);
}

// A thin film periodic in its plane: the volume is that of its three sides, contacts cross the
// periodic faces only, and the report names the sides and the axes.
TEST_F(MikadoProgram, FilmPeriodicInItsPlane) {
  const std::string json = " --json '" + file("r.json") + "'";
  const Outcome film = run("--no-view -n 20000 --box 4e-6,4e-6,4e-7 --periodic xy" + json);
  ASSERT_EQ(film.status, 0) << film.err;
  const auto doc = nlohmann::json::parse(slurp(file("r.json")));
  EXPECT_EQ(doc["settings"]["box"], nlohmann::json::array({4e-6, 4e-6, 4e-7}));
  EXPECT_EQ(doc["settings"]["periodic_axes"], "xy");
  EXPECT_NEAR(doc["results"]["volume_fraction"].get<double>(),
              20000 * 0.7853981633974483 * 2e-9 * 2e-9 * 2e-7 / (4e-6 * 4e-6 * 4e-7), 1e-9);
  const int periodic = doc["results"]["contacts"];
  ASSERT_EQ(run("--no-view -n 20000 --box 4e-6,4e-6,4e-7" + json).status, 0);
  const int open = nlohmann::json::parse(slurp(file("r.json")))["results"]["contacts"];
  // Periodic across the film too: the thin side is below 2 L + D.
  ASSERT_EQ(run("--no-view -n 20000 --box 4e-6,4e-6,4e-7 --periodic" + json).status, 2);
  EXPECT_GT(periodic, open);

  // The sweep places and counts the same film, and names its box at the end of the row.
  const Outcome sweep = run_program(MIKADO_LONGRUN,
                                    "--csv --counts 20000 --lengths 2e-7 --diameters 2e-9 "
                                    "--box 4e-6,4e-6,4e-7 --periodic xy");
  ASSERT_EQ(sweep.status, 0) << sweep.err;
  const std::vector<std::string> rows = lines(sweep.out);
  ASSERT_EQ(rows.size(), 2u) << sweep.out;
  EXPECT_NE(rows[0].find(",capacity_reached,box_x,box_y,box_z,periodic_axes"), std::string::npos)
      << rows[0];
  const std::vector<std::string> row = cells(rows[1]);
  EXPECT_EQ(row[8], std::to_string(periodic)) << rows[1];
  EXPECT_EQ(rows[1].substr(rows[1].size() - 21), ",4e-06,4e-06,4e-07,xy") << rows[1];
}

TEST_F(MikadoProgram, BadFibersInPrintsOneLineWritesNothingAndExits2) {
  const std::string bad = (dir_ / "bad.csv").string(), good = (dir_ / "good.csv").string();
  std::ofstream(bad) << "x1,y1,z1,x2,y2,z2\n0,0,0,1e-7,0,0\n0,1e-7?,0,0,0,0\n";
  std::ofstream(good) << "x1,y1,z1,x2,y2,z2\n0,0,0,1e-7,0,0\n";
  const std::pair<std::string, std::string> cases[] = {
      {"--fibers-in '" + bad + "'", bad + "': line 3, column 'y1': '1e-7?' is not a number"},
      {"--fibers-in '" + (dir_ / "none.csv").string() + "'", "cannot be opened"},
      {"-n 5 --fibers-in '" + good + "'", "--fibers and --fibers-in"},
      {"--periodic --fibers-in '" + good + "'", "needs --box"},
  };
  for (const auto& [args, message] : cases) {
    const Outcome r = run("--no-view " + args + all_outputs());
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(r.out, "") << args;
    EXPECT_EQ(lines(r.err).size(), 1u) << args << ": " << r.err;
    EXPECT_EQ(r.err.rfind("mikado: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_TRUE(no_files()) << args;
  }
}

#ifndef __SANITIZE_ADDRESS__
// The sanitizer reserves more address space than the limit allows: checked in plain builds only.
TEST_F(MikadoProgram, StorageThatCannotBeHadFailsWithStatus1) {
  const Outcome r = run("--no-view -n 400000000 --box 2e-5", "ulimit -v 2000000; ");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "mikado: not enough memory for 400000000 fibers\n");

  // A cap bounds the detection's memory too: a dense network's pairs past it are not kept.
  const Outcome capped = run("--no-view -n 200000 -l 2e-7 -d 1e-7 --threads 1 --max-contacts 10",
                             "ulimit -v 200000; ");
  EXPECT_EQ(capped.status, 0) << capped.err;
  EXPECT_NE(capped.out.find("number of contacts 10\n"), std::string::npos) << capped.out;

  // The sweep's compiled-in storage fits the limit; the detection on 100000 fibers does not.
  const Outcome sweep =
      run_program(MIKADO_LONGRUN, "--counts 100000 --lengths 2e-7 --diameters 2e-8 --threads 1",
                  "ulimit -v 30000; ");
  EXPECT_EQ(sweep.status, 1);
  EXPECT_EQ(sweep.err, "mikado-longrun: not enough memory for 100000 fibers\n");

  // Side by side, the first repeat that fails stops the sweep: what the repeats before it printed
  // stays, nothing of those after it is printed.
  const Outcome repeats = run_program(
      MIKADO_LONGRUN,
      "--csv --counts 100,100000 --lengths 2e-7 --diameters 2e-8 --repeats 3 --threads 3",
      "ulimit -v 60000; ");
  EXPECT_EQ(repeats.status, 1);
  EXPECT_EQ(repeats.err, "mikado-longrun: not enough memory for 100000 fibers\n");
  const std::vector<std::string> rows = lines(repeats.out);
  ASSERT_EQ(rows.size(), 2u) << repeats.out;
  EXPECT_EQ(rows[1].rfind("100,2e-07,2e-08,2e-06,0,-1,0,", 0), 0u) << rows[1];
}
#endif

TEST_F(MikadoProgram, AFullDiskFailsTheRunWithStatus1AndLeavesNoPartialFile) {
  // The shell's file size limit stands in for a full disk; the limit's signal is ignored so that
  // the write fails with an error instead.
  const Outcome r =
      run("--no-view -n 20000 --vtk '" + file("n.vtk") + "'", "ulimit -f 64; trap '' XFSZ; ");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("n.vtk"), std::string::npos) << r.err;
  EXPECT_TRUE(no_files());
}

// Shards of a job array: each runs its own repeats, seeded seed - r, and together they give the
// rows of the whole sweep. The first run is the network mikado builds from the same seed, and its
// row says what mikado says of it.
TEST_F(MikadoProgram, SweepShardsTogetherGiveTheWholeSweep) {
  const std::string sweep =
      "--csv --periodic --counts 900,300 --lengths 3e-7 --diameters 1e-8,2e-8 --box 1e-6 "
      "--repeats 5 -s -10";
  const Outcome whole = run_program(MIKADO_LONGRUN, sweep);
  ASSERT_EQ(whole.status, 0) << whole.err;
  std::vector<std::string> rows = lines(whole.out);
  ASSERT_EQ(rows.size(), 1u + 5 * 4);
  const std::string header = rows[0];
  EXPECT_EQ(header,
            "count,length,diameter,box,periodic,seed,repeat,volume_fraction,contacts,"
            "contacts_per_fiber,theory_contacts,clusters,largest_cluster,spanning_x,spanning_y,"
            "spanning_z,capacity_reached");
  EXPECT_EQ(rows[1].rfind("900,3e-07,1e-08,1e-06,1,-10,0,", 0), 0u) << rows[1];
  EXPECT_EQ(rows.back().rfind("300,3e-07,2e-08,1e-06,1,-14,4,", 0), 0u) << rows.back();
  for (const std::string& row : rows) ASSERT_EQ(cells(row).size(), 17u) << row;

  const Outcome first =
      run("--no-view --periodic -n 900 -l 3e-7 -d 1e-8 --box 1e-6 -s -10 --json '" +
          file("r.json") + "'");
  ASSERT_EQ(first.status, 0) << first.err;
  const auto res = nlohmann::json::parse(slurp(file("r.json")))["results"];
  const std::vector<std::string> row = cells(rows[1]);
  EXPECT_EQ(std::stod(row[7]), res["volume_fraction"].get<double>());
  EXPECT_EQ(std::stoi(row[8]), res["contacts"].get<int>());
  EXPECT_EQ(std::stod(row[9]), res["contacts_per_fiber"].get<double>());
  EXPECT_EQ(std::stoi(row[11]), res["clusters"].get<int>());
  EXPECT_EQ(std::stoi(row[12]), res["largest_cluster"].get<int>());
  // Near the threshold: the largest cluster wraps around the box along some axes only.
  const auto& spans = res["spanning"];
  EXPECT_EQ(row[13] + row[14] + row[15], std::string(spans["x"] ? "1" : "0") +
                                             (spans["y"] ? "1" : "0") + (spans["z"] ? "1" : "0"));
  EXPECT_NE(spans["x"], spans["y"]);
  // N(N-1)/2 pi D L^2 / (2V)
  const double length = 3e-7f, diameter = 1e-8f, side = 1e-6f;
  EXPECT_NEAR(std::stod(row[10]),
              900.0 * 899 / 2 * M_PI * diameter * length * length / (2 * side * side * side), 1e-6);

  std::vector<std::string> joined;
  for (int k = 0; k < 2; ++k) {
    const Outcome shard =
        run_program(MIKADO_LONGRUN, sweep + " --shard " + std::to_string(k) + "/2");
    ASSERT_EQ(shard.status, 0) << shard.err;
    const std::vector<std::string> part = lines(shard.out);
    ASSERT_FALSE(part.empty());
    EXPECT_EQ(part[0], header);
    for (size_t i = 1; i < part.size(); ++i) {
      std::stringstream cells(part[i]);
      std::string repeat;
      for (int c = 0; c < 7; ++c) std::getline(cells, repeat, ',');
      EXPECT_EQ(std::stoi(repeat) % 2, k) << part[i];
      joined.push_back(part[i]);
    }
  }
  rows.erase(rows.begin());
  std::sort(rows.begin(), rows.end());
  std::sort(joined.begin(), joined.end());
  EXPECT_EQ(joined, rows);
}

// A table on standard output holds the header and the rows only: the message of a capped run goes
// to standard error and its row says it was cut. Counts past the compiled-in storage run.
TEST_F(MikadoProgram, SweepCsvKeepsMessagesOutAndMarksCappedRows) {
  const Outcome r =
      run_program(MIKADO_LONGRUN,
                  "--csv --counts 2000,100001 --lengths 2e-7 --diameters 2e-9 --max-contacts 40");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "Too many contacts!\n");
  const std::vector<std::string> rows = lines(r.out);
  ASSERT_EQ(rows.size(), 3u) << r.out;
  EXPECT_EQ(cells(rows[0]).back(), "capacity_reached");
  const std::vector<std::string> small = cells(rows[1]), large = cells(rows[2]);
  ASSERT_EQ(small.size(), 17u);
  ASSERT_EQ(large.size(), 17u);
  EXPECT_EQ(small[0] + " " + small[16], "2000 0") << rows[1];
  EXPECT_LT(std::stoi(small[8]), 40) << rows[1];
  EXPECT_EQ(large[0] + " " + large[8] + " " + large[16], "100001 40 1") << rows[2];

  // Without --csv the message keeps its place among the lines, as in the compiled-in sweep.
  const Outcome plain = run_program(
      MIKADO_LONGRUN, "--counts 100001 --lengths 2e-7 --diameters 2e-9 --max-contacts 40");
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_NE(plain.out.find("fiber_vrate;num_contacts\nToo many contacts!\n100001;"),
            std::string::npos)
      << plain.out;
}

// Repeats seeded 2, 1, 0, -1, -2: five networks, none shared. Negative seeds keep their streams.
TEST_F(MikadoProgram, SweepRepeatsAcrossZeroAreDifferentNetworks) {
  const Outcome r = run_program(
      MIKADO_LONGRUN, "--csv --counts 3000 --lengths 2e-7 --diameters 5e-9 --seed 2 --repeats 5");
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> rows = lines(r.out);
  ASSERT_EQ(rows.size(), 6u);
  std::vector<std::string> figures;  // contacts, clusters and largest cluster
  for (size_t k = 1; k < rows.size(); ++k) {
    const std::vector<std::string> c = cells(rows[k]);
    figures.push_back(c[8] + " " + c[11] + " " + c[12]);
  }
  std::sort(figures.begin(), figures.end());
  EXPECT_EQ(std::adjacent_find(figures.begin(), figures.end()), figures.end()) << r.out;
  const Outcome minus_two = run("--no-view -n 3000 -l 2e-7 -d 5e-9 -s -2");
  EXPECT_NE(minus_two.out.find("number of contacts " + cells(rows[5])[8] + "\n"),
            std::string::npos);
}

// A slip of units still runs, with one warning line per slip and the usual exit status.
TEST_F(MikadoProgram, UnitSlipsWarnAndRunOn) {
  const Outcome r = run("--no-view -n 100 -l 200");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
  const std::vector<std::string> warnings = lines(r.err);
  ASSERT_EQ(warnings.size(), 2u) << r.err;
  EXPECT_NE(warnings[0].find("volume fraction 7853.98"), std::string::npos) << warnings[0];
  EXPECT_NE(warnings[1].find("fiber length 200 exceeds the box side 2e-06"), std::string::npos);
  // A bad value stays one line, with no warning before it.
  const Outcome bad = run("-l 200 --vtk /no/such/folder/n.vtk");
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(lines(bad.err).size(), 1u) << bad.err;
}

TEST_F(MikadoProgram, SweepProgressShowsOnATerminalOnlySlow) {
  // On one thread the sweep takes longer than the second after which progress appears.
  const Outcome plain = run_program(MIKADO_LONGRUN, "--threads 1");
  ASSERT_EQ(plain.status, 0);
  // Only the warning of the densest run, whose volume fraction is 3.14.
  EXPECT_EQ(plain.err.rfind("mikado-longrun: warning: the volume fraction 3.14159 ", 0), 0u);
  EXPECT_EQ(std::count(plain.err.begin(), plain.err.end(), '\n'), 1) << plain.err;
  // Under a pseudo-terminal, with standard output sent to a file: only standard error is a
  // terminal.
  const fs::path tty = dir_ / "tty", table = dir_ / "table";
  const std::string command = "script -qec \"'" MIKADO_LONGRUN "' --threads 1 >'" + table.string() +
                              "'\" /dev/null >'" + tty.string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string seen = slurp(tty);
  EXPECT_NE(seen.find("\rsweep: "), std::string::npos) << seen;
  EXPECT_NE(seen.find(" of 162 ("), std::string::npos);
  EXPECT_NE(seen.find(" per second, "), std::string::npos);
  EXPECT_NE(seen.find(" s left"), std::string::npos);
  EXPECT_NE(seen.find("\r\033[K"), std::string::npos);  // cleared once the sweep ends
  EXPECT_EQ(slurp(table), plain.out);
}

// Two repeats of the compiled-in tables side by side: the first prints the default sweep, then
// the second follows. With options the contacts are uncapped unless a cap is asked for.
TEST_F(MikadoProgram, RepeatZeroOfTheCompiledInTablesIsTheDefaultSweepSlow) {
  const Outcome r = run_program(MIKADO_LONGRUN, "--repeats 2 --threads 3 --max-contacts 1000000");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string sweep = slurp(MIKADO_EXPECTED_DIR "/longrun.txt");
  ASSERT_GT(r.out.size(), sweep.size());
  EXPECT_TRUE(r.out.compare(0, sweep.size(), sweep) == 0);
  EXPECT_EQ(r.out.find("Starting longrun", sweep.size()), sweep.size());
}

// Repeats run side by side, each run's messages among its lines: the bytes of one repeat after
// another whatever the thread count, in both formats, for shards too.
TEST_F(MikadoProgram, SweepThreadCountsGiveTheSameBytes) {
  for (const std::string format : {"--csv --periodic", ""}) {
    const std::string sweep = format +
                              " --counts 1500,400,3000 --lengths 3e-7 --diameters 1e-8,4e-8 "
                              "--box 1.2e-6 --repeats 7 --max-contacts 300 -s 2";
    const Outcome one = run_program(MIKADO_LONGRUN, sweep + " --threads 1");
    ASSERT_EQ(one.status, 0) << one.err;
    const std::vector<std::string> printed = lines(one.out);
    const auto messages = std::count(printed.begin(), printed.end(), "Too many contacts!");
    EXPECT_EQ(printed.size() - messages, format.empty() ? 7u * (1 + 3 + 6) : 1u + 7 * 6);
    EXPECT_EQ(lines(one.err).size(), format.empty() ? 0u : 7u * 4) << one.err;
    EXPECT_EQ(messages, format.empty() ? 7 * 4 : 0);  // the runs of 1500 and 3000 fibers
    for (const std::string threads : {" --threads 3", " --threads 8", ""}) {
      const Outcome many = run_program(MIKADO_LONGRUN, sweep + threads);
      EXPECT_TRUE(many.out == one.out) << format << threads;
      EXPECT_EQ(many.err, one.err) << format << threads;
    }
    const Outcome shard = run_program(MIKADO_LONGRUN, sweep + " --shard 1/3 --threads 3");
    const Outcome shard_one = run_program(MIKADO_LONGRUN, sweep + " --shard 1/3 --threads 1");
    EXPECT_TRUE(shard.out == shard_one.out) << format;
  }
}

}  // namespace

namespace {

// The order parameter line follows the cluster line only when an orientation or an axis is
// asked for, and agrees with the JSON; the length distribution's mean is the summary's length.
TEST_F(MikadoProgram, OrientationAndLengthOptionsReportTheOrderParameter) {
  const std::string json = " --json '" + file("r.json") + "'";
  const Outcome planar =
      run("--no-view --stats -n 2000 --orientation planar -s 4 --length-dist "
          "uniform:1e-7:3e-7" +
          json);
  ASSERT_EQ(planar.status, 0) << planar.err;
  const std::vector<std::string> out = lines(planar.out);
  ASSERT_EQ(out.size(), 3u) << planar.out;
  EXPECT_EQ(out[0].rfind("num_fibers 2000;length 2e-07;", 0), 0u) << out[0];
  EXPECT_EQ(out[1].rfind("clusters ", 0), 0u) << out[1];
  EXPECT_EQ(out[2], "order parameter S -0.5 about z");
  const auto doc = nlohmann::json::parse(slurp(file("r.json")));
  EXPECT_EQ(doc["settings"]["orientation"], "planar");
  EXPECT_EQ(doc["settings"]["length_dist"], "uniform:1e-07:3e-07");
  EXPECT_EQ(doc["results"]["order_parameter"].get<double>(), -0.5);
  EXPECT_EQ(doc["results"]["order_axis"], "z");
  // The population's expected contacts: N(N - 1)/2 2 D <L>^2 (2/pi) / V with <L> = 2e-7.
  const double theory = 2000.0 * 1999 / 2 * 2 * 2e-9 * 4e-14 * (2 / M_PI) / 8e-18;
  EXPECT_NEAR(doc["results"]["theory_contacts"].get<double>(), theory, theory * 1e-6);

  const Outcome cap =
      run("--no-view --stats -n 2000 --orientation aligned:20 --axis x -s 4" + json);
  ASSERT_EQ(cap.status, 0) << cap.err;
  const auto res = nlohmann::json::parse(slurp(file("r.json")))["results"];
  char line[80];
  std::snprintf(line, sizeof line, "order parameter S %g about x",
                res["order_parameter"].get<double>());
  EXPECT_EQ(lines(cap.out).back(), line);
  EXPECT_GT(res["order_parameter"].get<double>(), 0.85);

  // Lengths only: no orientation was asked for, so no order parameter.
  const Outcome lengths = run("--no-view --stats -n 2000 --length-dist lognormal:2e-7:5e-8");
  ASSERT_EQ(lengths.status, 0) << lengths.err;
  EXPECT_EQ(lines(lengths.out).size(), 2u) << lengths.out;
  // Without population options the report has no theory, as before.
  ASSERT_EQ(run("--no-view -n 2000" + json).status, 0);
  EXPECT_FALSE(nlohmann::json::parse(slurp(file("r.json")))["results"].contains("theory_contacts"));
}

// Lognormal lengths have no bound: a drawn fiber too long for the periodic box stops the run
// before detection, with status 2 and one line, and writes nothing.
TEST_F(MikadoProgram, DrawnFiberTooLongForThePeriodicBoxStopsWithStatus2) {
  const Outcome r = run(
      "--no-view --periodic --box 1e-6 -n 5000 --length-dist lognormal:2e-7:1e-7" + all_outputs());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_NE(r.err.find("longest fiber drawn"), std::string::npos) << r.err;
  EXPECT_TRUE(no_files());
  const Outcome sweep = run_program(MIKADO_LONGRUN,
                                    "--csv --periodic --box 1e-6 --counts 5000 --lengths 2e-7 "
                                    "--diameters 1e-9 --length-dist lognormal:1:0.5");
  EXPECT_EQ(sweep.status, 2);
  EXPECT_NE(sweep.err.find("longest fiber drawn"), std::string::npos) << sweep.err;
}

// The sweep's rows end in the population's settings, and its theory takes the mean length and
// the orientation's <|sin gamma|>.
TEST_F(MikadoProgram, SweepCsvNamesThePopulationAndItsTheory) {
  const Outcome r = run_program(MIKADO_LONGRUN,
                                "--csv --periodic --box 1e-6 --counts 3000 --lengths 2e-7 "
                                "--diameters 1e-9 --orientation planar --length-dist "
                                "uniform:0.5:2 -s 5");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> rows = lines(r.out);
  ASSERT_EQ(rows.size(), 2u) << r.out;
  EXPECT_EQ(rows[0].substr(rows[0].rfind("capacity_reached")),
            "capacity_reached,orientation,axis,length_dist");
  const std::vector<std::string> row = cells(rows[1]);
  ASSERT_EQ(row.size(), 20u) << rows[1];
  EXPECT_EQ(row[1], "2e-07");
  EXPECT_EQ(row[17] + " " + row[18] + " " + row[19], "planar z uniform:0.5:2");
  // Mean length 1.25 L = 2.5e-7: N(N - 1)/2 2 D <L>^2 (2/pi) / V.
  const double mean = 2.5e-7, volume = 1e-18;
  // Relative 1e-6: the settings are float32 values.
  const double theory = 3000.0 * 2999 / 2 * 2 * 1e-9 * mean * mean * (2 / M_PI) / volume;
  EXPECT_NEAR(std::stod(row[10]), theory, theory * 1e-6);
  const double vf = 3000 * M_PI / 4 * 1e-18 * mean / volume;
  EXPECT_NEAR(std::stod(row[7]), vf, vf * 1e-6);
}

}  // namespace

namespace {

// The conductance line follows the summary and cluster lines and agrees with the JSON; the files
// gain potential and current per fiber, and without --conductance nothing of it appears.
TEST_F(MikadoProgram, ConductanceLineAndColumns) {
  const std::string common = "--no-view --stats -n 6000 -l 5e-7 -d 1e-8 -s 3";
  const Outcome r = run(common + " --conductance --resistivity 1e-9 --junction-resistance 2 " +
                        "--electrodes y" + all_outputs());
  ASSERT_EQ(r.status, 0) << r.err;
  const auto out = lines(r.out);
  ASSERT_EQ(out.size(), 3u) << r.out;
  const auto doc = nlohmann::json::parse(slurp(file("r.json")));
  const double g = doc["results"]["conductance"], sigma = doc["results"]["conductivity"];
  EXPECT_GT(g, 0);
  EXPECT_NEAR(sigma, g / 2e-6f, 1e-12 * sigma);  // over the side as stored
  char line[128];
  std::snprintf(line, sizeof line, "conductance %g S;conductivity %g S/m", g, sigma);
  EXPECT_EQ(out[2], line);
  EXPECT_FALSE(doc["results"].contains("sheet_resistance"));  // a cube is no film

  const auto rows = lines(slurp(file("f.csv")));
  EXPECT_EQ(rows[0], "id,x1,y1,z1,x2,y2,z2,cluster,potential,current");
  int carrying = 0;
  for (size_t k = 1; k < rows.size(); ++k) {
    const auto c = cells(rows[k]);
    ASSERT_EQ(c.size(), 10u) << rows[k];
    if (c[8] == "nan") continue;
    ++carrying;
    // Between the electrodes' potentials, up to the iteration's error.
    ASSERT_GE(std::stod(c[8]), -1e-6) << rows[k];
    ASSERT_LE(std::stod(c[8]), 1 + 1e-6) << rows[k];
  }
  EXPECT_GT(carrying, 1000);
  const std::string vtk = slurp(file("n.vtk"));
  EXPECT_NE(vtk.find("FIELD cell_arrays 6\n"), std::string::npos);
  EXPECT_NE(vtk.find("\npotential 1 "), std::string::npos);
  EXPECT_NE(vtk.find("\ncurrent 1 "), std::string::npos);

  const Outcome plain = run(common + all_outputs());
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(r.out.rfind(plain.out, 0), 0u);
  EXPECT_FALSE(nlohmann::json::parse(slurp(file("r.json")))["results"].contains("conductance"));
  EXPECT_EQ(lines(slurp(file("f.csv")))[0], "id,x1,y1,z1,x2,y2,z2,cluster");
  EXPECT_EQ(slurp(file("n.vtk")).find("potential"), std::string::npos);

  // A film periodic in its plane, electrodes across x: its conductivity is over the thickness
  // along z and the width along y, and its sheet resistance, in the line and the JSON, is the
  // width over G times the length along x.
  const Outcome film =
      run("--no-view -n 600 -l 5e-7 -d 4e-8 -s 7 --orientation planar --box 4e-6,3e-6,2e-7 "
          "--periodic xy --conductance --json '" +
          file("r.json") + "'");
  ASSERT_EQ(film.status, 0) << film.err;
  const auto res = nlohmann::json::parse(slurp(file("r.json")))["results"];
  const double fg = res["conductance"], fsigma = res["conductivity"],
               sheet = res["sheet_resistance"];
  EXPECT_GT(fg, 0);
  const double length = 4e-6f, width = 3e-6f, thickness = 2e-7f;
  EXPECT_NEAR(fsigma, fg * length / (width * thickness), 1e-12 * fsigma);
  EXPECT_NEAR(sheet, width / (fg * length), 1e-12 * sheet);
  std::snprintf(line, sizeof line,
                "conductance %g S;conductivity %g S/m;sheet resistance %g ohm/sq", fg, fsigma,
                sheet);
  EXPECT_EQ(lines(film.out).back(), line);
  // Without current the sheet resistance is infinite; JSON has no infinity and holds null.
  const Outcome open =
      run("--no-view -n 5 -s 7 --box 4e-6,3e-6,2e-7 --periodic xy --conductance "
          "--json '" +
          file("r.json") + "'");
  ASSERT_EQ(open.status, 0) << open.err;
  EXPECT_EQ(lines(open.out).back(),
            "conductance 0 S;conductivity 0 S/m;sheet resistance inf ohm/sq");
  EXPECT_TRUE(
      nlohmann::json::parse(slurp(file("r.json")))["results"]["sheet_resistance"].is_null());
}

// The sweep solves each run's circuit as mikado does: a one-run sweep of the same settings, in a
// film periodic in its plane, gives mikado's conductance, in two last columns; the options are
// refused without --csv.
TEST_F(MikadoProgram, SweepConductanceColumnsAreMikadosConductance) {
  const std::string circuit =
      " --box 3e-6,2.5e-6,1e-6 --periodic xy --conductance --resistivity 1e-9 "
      "--junction-resistance 2";
  const Outcome one =
      run("--no-view -n 6000 -l 5e-7 -d 1e-8 -s 3 --json '" + file("r.json") + "'" + circuit);
  ASSERT_EQ(one.status, 0) << one.err;
  const auto res = nlohmann::json::parse(slurp(file("r.json")))["results"];
  const Outcome sweep = run_program(
      MIKADO_LONGRUN, "--csv --counts 6000 --lengths 5e-7 --diameters 1e-8 -s 3" + circuit);
  ASSERT_EQ(sweep.status, 0) << sweep.err;
  const std::vector<std::string> rows = lines(sweep.out);
  ASSERT_EQ(rows.size(), 2u) << sweep.out;
  EXPECT_NE(rows[0].find(",periodic_axes,conductance,conductivity"), std::string::npos);
  const std::vector<std::string> row = cells(rows[1]);
  EXPECT_EQ(std::stod(row[row.size() - 2]), res["conductance"].get<double>()) << rows[1];
  EXPECT_EQ(std::stod(row.back()), res["conductivity"].get<double>()) << rows[1];
  EXPECT_GT(res["conductance"].get<double>(), 0);
  EXPECT_EQ(
      run_program(MIKADO_LONGRUN, "--counts 60 --lengths 5e-7 --diameters 1e-8" + circuit).status,
      2);
}

// Fibers longer than the box cross both faces; as ideal wires they short the electrodes.
TEST_F(MikadoProgram, ConductanceThatCannotBeSolvedIsAnError) {
  const Outcome r = run("--no-view -n 50 -l 3e-6 -d 1e-8 --box 1e-6 --conductance");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("\nmikado: the conductance solve failed: "), std::string::npos) << r.err;
  EXPECT_EQ(lines(r.out).size(), 1u) << r.out;
}

// Drawn diameters: the summary's diameter is their mean and its vf N pi/4 E[D^2] <L> / V, the
// fibers CSV carries each one, and the JSON names the distribution.
TEST_F(MikadoProgram, DiameterDistributionInTheSummaryCsvAndJson) {
  const Outcome r = run("--no-view -n 2000 -s 4 --diameter-dist uniform:1e-9:3e-9 --fibers-out '" +
                        file("f.csv") + "' --json '" + file("r.json") + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string& line = r.out;
  EXPECT_EQ(line.rfind("num_fibers 2000;length 2e-07;diameter 2e-09;vf ", 0), 0u) << line;
  const size_t vf_at = line.find(";vf ") + 4;
  // E[D^2] = (1 + 3 + 9) / 3 1e-18 in the box of 8e-18.
  const double vf = 2000 * M_PI / 4 * (13.0 / 3 * 1e-18) * 2e-7 / 8e-18;
  EXPECT_NEAR(std::stod(line.substr(vf_at)), vf, vf * 1e-5) << line;

  const std::vector<std::string> rows = lines(slurp(file("f.csv")));
  ASSERT_EQ(rows.size(), 2001u);
  const std::vector<std::string> header = cells(rows[0]);
  const size_t column = std::find(header.begin(), header.end(), "diameter") - header.begin();
  ASSERT_LT(column, header.size()) << rows[0];
  double low = 1, high = 0;
  for (size_t i = 1; i < rows.size(); ++i) {
    const double d = std::stod(cells(rows[i])[column]);
    low = std::min(low, d), high = std::max(high, d);
  }
  EXPECT_GE(low, 1e-9);
  EXPECT_LE(high, 3e-9);
  EXPECT_GT(high - low, 1.9e-9);
  const auto doc = nlohmann::json::parse(slurp(file("r.json")));
  EXPECT_EQ(doc["settings"]["diameter_dist"], "uniform:1e-09:3e-09");
  EXPECT_FALSE(doc["settings"].contains("length_dist"));
}

// Lognormal diameters have no bound: a drawn one too wide for the periodic box stops the run
// with status 2 and one line; uniform ones are checked against MAX before the run.
TEST_F(MikadoProgram, DrawnDiameterTooWideForThePeriodicBoxStopsWithStatus2) {
  const Outcome drawn =
      run("--no-view --periodic --box 4.1e-7 -n 2000 --diameter-dist lognormal:5e-9:5e-9" +
          all_outputs());
  EXPECT_EQ(drawn.status, 2);
  EXPECT_EQ(drawn.out, "");
  EXPECT_EQ(std::count(drawn.err.begin(), drawn.err.end(), '\n'), 1) << drawn.err;
  EXPECT_NE(drawn.err.find("widest diameter drawn"), std::string::npos) << drawn.err;
  EXPECT_TRUE(no_files());
  const Outcome bound = run("--no-view --periodic --box 4.1e-7 --diameter-dist uniform:1e-9:2e-8");
  EXPECT_EQ(bound.status, 2);
  EXPECT_NE(bound.err.find("plus the diameter, 4.2e-07"), std::string::npos) << bound.err;
  const Outcome sweep = run_program(MIKADO_LONGRUN,
                                    "--csv --periodic --box 4.1e-7 --counts 2000 --lengths 2e-7 "
                                    "--diameters 5e-9 --diameter-dist lognormal:1:1");
  EXPECT_EQ(sweep.status, 2);
  EXPECT_NE(sweep.err.find("widest diameter drawn"), std::string::npos) << sweep.err;
}

// The sweep's rows end in diameter_dist, after the other population columns; the theory takes
// the mean diameter, the volume fraction the mean square, and the contacts are those of mikado's
// network of the same seed, each pair held to its mean diameter.
TEST_F(MikadoProgram, SweepCsvNamesTheDiameterDistribution) {
  const std::string common = " --periodic --box 1e-6 -s 5";
  const Outcome r = run_program(MIKADO_LONGRUN,
                                "--csv --counts 3000 --lengths 2e-7 --diameters "
                                "5e-9 --diameter-dist lognormal:1:0.5" +
                                    common);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> rows = lines(r.out);
  ASSERT_EQ(rows.size(), 2u) << r.out;
  EXPECT_EQ(rows[0].substr(rows[0].rfind("capacity_reached")),
            "capacity_reached,orientation,axis,length_dist,diameter_dist");
  const std::vector<std::string> row = cells(rows[1]);
  ASSERT_EQ(row.size(), 21u) << rows[1];
  EXPECT_EQ(row[2], "5e-09");
  EXPECT_EQ(row[17] + " " + row[18] + " " + row[19] + " " + row[20],
            "isotropic z fixed lognormal:1:0.5");
  const double length = 2e-7, volume = 1e-18;
  const double theory = 3000.0 * 2999 / 2 * 2 * 5e-9 * length * length * (M_PI / 4) / volume;
  EXPECT_NEAR(std::stod(row[10]), theory, theory * 1e-6);
  // E[D^2] = (1 + 0.25) D^2.
  const double vf = 3000 * M_PI / 4 * 1.25 * 25e-18 * length / volume;
  EXPECT_NEAR(std::stod(row[7]), vf, vf * 1e-6);

  const Outcome one =
      run("--no-view -n 3000 -d 5e-9 --diameter-dist lognormal:5e-9:2.5e-9" + common);
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_NE(one.out.find(";number of contacts " + row[8] + "\n"), std::string::npos) << one.out;
}

}  // namespace
