// The mikado program as a user runs it: bad command lines, a run that writes every file, and a
// disk that fills up during the writing.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

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

class MikadoProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("mikado-program-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "files");
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs mikado with `args` (already quoted for the shell) after `prefix` shell commands.
  Outcome run(const std::string& args, const std::string& prefix = "") const {
    const std::string command = prefix + "exec env -u DISPLAY '" MIKADO_PROGRAM "' " + args +
                                " >'" + (dir_ / "out").string() + "' 2>'" +
                                (dir_ / "err").string() + "'";
    const int raw = std::system(("sh -c \"" + command + "\"").c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir_ / "out"), slurp(dir_ / "err")};
  }
  std::string file(const char* name) const { return (dir_ / "files" / name).string(); }
  std::string all_outputs() const {
    return " --fibers-out '" + file("f.csv") + "' --contacts-out '" + file("c.csv") + "' --vtk '" +
           file("n.vtk") + "' --json '" + file("r.json") + "'";
  }
  bool no_files() const { return fs::is_empty(dir_ / "files"); }

  fs::path dir_;
};

TEST_F(MikadoProgram, BadInputPrintsOneLineWritesNothingAndExits2) {
  const std::string bad[] = {
      "-n abc",
      "-n -1",
      "-n 100001",
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
  };
  for (const std::string& args : bad) {
    const Outcome r = run(args + all_outputs());
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
    while (std::getline(cells, cell, ','))
      ASSERT_LE(std::abs(std::stod(cell)), 0.5e-6 + 0.5e-7) << line;
  }
}

TEST_F(MikadoProgram, AFullDiskFailsTheRunWithStatus1AndLeavesNoPartialFile) {
  // The shell's file size limit stands in for a full disk; the limit's signal is ignored so that
  // the write fails with an error instead.
  const Outcome r =
      run("--no-view -n 20000 --vtk '" + file("n.vtk") + "'", "ulimit -f 64; trap '' XFSZ; ");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("n.vtk"), std::string::npos) << r.err;
  EXPECT_TRUE(no_files());
}

}  // namespace
