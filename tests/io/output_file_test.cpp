#include "output_file.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "scratch_path.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

namespace fs = std::filesystem;

namespace {

// A fresh folder per test, removed afterwards.
class OutputFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_path(std::string("mikado-out-") +
                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const char* name) const { return (dir_ / name).string(); }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir_)) out.push_back(e.path().filename().string());
    return out;
  }
  static std::string read(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  fs::path dir_;
};

TEST_F(OutputFileTest, NothingAppearsBeforeCommitAndOnlyTheTargetAfter) {
  std::string error;
  {
    OutputFile f;
    ASSERT_TRUE(f.open(path("a.csv"), error)) << error;
    f.text("x,").integer(-42).text(",").number(2e-7f).text("\n");
    EXPECT_FALSE(fs::exists(path("a.csv")));
    ASSERT_TRUE(f.commit(error)) << error;
  }
  EXPECT_EQ(read(path("a.csv")), "x,-42,2.00000002e-07\n");
  EXPECT_EQ(names(), std::vector<std::string>{"a.csv"});

  // A file never committed leaves neither itself nor its temporary behind, and the old file stays.
  {
    OutputFile f;
    ASSERT_TRUE(f.open(path("a.csv"), error));
    f.text("half");
  }
  EXPECT_EQ(read(path("a.csv")), "x,-42,2.00000002e-07\n");
  EXPECT_EQ(names(), std::vector<std::string>{"a.csv"});

  // A committed file replaces the old one.
  {
    OutputFile f;
    ASSERT_TRUE(f.open(path("a.csv"), error));
    f.text("y\n");
    ASSERT_TRUE(f.commit(error)) << error;
  }
  EXPECT_EQ(read(path("a.csv")), "y\n");
}

TEST_F(OutputFileTest, BadPathsAreRefusedAtOpen) {
  std::string error;
  OutputFile f;
  EXPECT_FALSE(f.open(path("missing/a.csv"), error));
  EXPECT_NE(error.find("no such folder"), std::string::npos) << error;
  EXPECT_FALSE(f.open(dir_.string(), error));
  EXPECT_NE(error.find("folder"), std::string::npos) << error;
  EXPECT_FALSE(f.open("", error));
#ifdef __linux__
  EXPECT_FALSE(f.open("/proc/mikado-test.csv", error));  // a folder nobody can create files in
  EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
#endif
  EXPECT_TRUE(names().empty());
}

#ifndef _WIN32
// A full disk, as the file size limit gives it: the write fails part-way, and neither the target
// nor a temporary file is left, while an older target stays as it was.
TEST_F(OutputFileTest, AWriteThatFailsPartWayLeavesNoFile) {
  { std::ofstream(path("old.vtk")) << "old\n"; }
  std::string error;
  OutputFile f, g;
  ASSERT_TRUE(f.open(path("new.vtk"), error));
  ASSERT_TRUE(g.open(path("old.vtk"), error));
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 4096;
  const auto old_handler = signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  for (int i = 0; i < 100000; ++i) {
    f.number(1.25f).text("\n");
    g.number(1.25f).text("\n");
  }
  const bool f_ok = f.commit(error);
  const std::string f_error = error;
  const bool g_ok = g.commit(error);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, old_handler);

  EXPECT_FALSE(f_ok);
  EXPECT_NE(f_error.find("new.vtk"), std::string::npos) << f_error;
  EXPECT_FALSE(g_ok);
  EXPECT_EQ(names(), std::vector<std::string>{"old.vtk"});
  EXPECT_EQ(read(path("old.vtk")), "old\n");
}
#endif

TEST(OutputFileNumbers, PrintAsPercent9gAndReadBackExactly) {
  std::mt19937 bits(12345);
  std::vector<float> values = {0.0f, -0.0f, 1e-45f, 3.4028235e38f, 2e-7f};
  while (values.size() < 20000) {
    const float v = std::bit_cast<float>(static_cast<uint32_t>(bits()));
    if (std::isfinite(v)) values.push_back(v);
  }
  const std::string p = scratch_path("mikado-numbers.txt").string();
  std::string error;
  OutputFile f;
  ASSERT_TRUE(f.open(p, error));
  for (float v : values) f.number(v).text("\n");
  ASSERT_TRUE(f.commit(error));
  std::ifstream in(p);
  std::string got;
  for (float v : values) {
    ASSERT_TRUE(std::getline(in, got));
    char expected[32];
    std::snprintf(expected, sizeof expected, "%.9g", static_cast<double>(v));
    ASSERT_EQ(got, expected);
    ASSERT_EQ(std::bit_cast<uint32_t>(std::strtof(got.c_str(), nullptr)),
              std::bit_cast<uint32_t>(v));
  }
  in.close();
  fs::remove(p);
}

}  // namespace
