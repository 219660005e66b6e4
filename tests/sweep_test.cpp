#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "network.h"
#include "progress.h"
#include "sim_settings_guard.h"
#include "sweep.h"

namespace {

std::string line(int count, float length, float diameter, double vf, int contacts) {
  char buf[256];
  format_sweep_line(buf, sizeof buf, count, length, diameter, vf, contacts);
  return buf;
}

TEST(SweepLine, UsesADecimalCommaAndKeepsExponents) {
  EXPECT_EQ(line(100, 5e-8f, 1e-9f, 4.908738521234052e-07, 3), "100;5e-08;1e-09;4,90874e-07;3");
  EXPECT_EQ(line(100, 5e-8f, 4e-8f, 0.000785398163397448, 0), "100;5e-08;4e-08;0,000785398;0");
  EXPECT_EQ(line(100000, 2e-7f, 4e-8f, 3.141592653589793, 1000000),
            "100000;2e-07;4e-08;3,14159;1000000");
  EXPECT_EQ(line(5, 1.5f, 2.25f, 0.5, 7), "5;1,5;2,25;0,5;7");
}

// The full sweep takes minutes under the sanitizers; the optimised build runs it.
#if !defined(__SANITIZE_ADDRESS__)
std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

// The runs of a sweep are steps inside the sweep's step, on several threads: only the step that
// began with none live may show a line, and a step's end must make room for the next outermost.
TEST(Progress, OnlyTheOutermostLiveStepShows) {
  {
    Progress sweep("sweep", 2);
    EXPECT_TRUE(sweep.outermost());
    {
      Progress run("detection", 1);
      EXPECT_FALSE(run.outermost());
    }
    Progress next_run("detection", 1);
    EXPECT_FALSE(next_run.outermost());
  }
  Progress after("detection", 1);
  EXPECT_TRUE(after.outermost());
}

TEST(Sweep, FullSweepPrintsTheRecordedLines) {
  SimSettingsGuard guard;
  random_seed(network.stream, -1);
  testing::internal::CaptureStdout();
  longrun();
  const std::string output = testing::internal::GetCapturedStdout();

  // The settings keep the last values used.
  EXPECT_EQ(num_fibers, 100000);
  EXPECT_EQ(fiber_len, 2e-7f);
  EXPECT_EQ(fiber_diameter, 4e-8f);

  const std::vector<std::string> got = lines_of(output);
  ASSERT_EQ(got.size(), 1u + 27 + 162 + 1);
  EXPECT_EQ(got[0], "Starting longrun: 162 total iterations");
  int headers = 0, results = 0;
  for (size_t i = 1; i < got.size(); ++i) {
    if (got[i] == "num_fibers;fiber_len;fiber_diameter;fiber_vrate;num_contacts") {
      EXPECT_EQ(results % 6, 0) << "header inside a group, line " << i;
      ++headers;
    } else if (got[i] != "Too many contacts!") {
      EXPECT_EQ(got[i].find('.'), std::string::npos) << got[i];
      ++results;
    }
  }
  EXPECT_EQ(headers, 27);
  EXPECT_EQ(results, 162);
  EXPECT_EQ(got[2].rfind("100;5e-08;1e-09;4,90874e-07;", 0), 0u) << got[2];
  EXPECT_EQ(got[3].rfind("100;5e-08;2e-09;", 0), 0u) << got[3];
  // Only the last run fills the contact array.
  EXPECT_EQ(got[got.size() - 2], "Too many contacts!");
  EXPECT_EQ(got.back(), "100000;2e-07;4e-08;3,14159;1000000");

  // Every contact count as recorded: they depend on every float32 rounding and on the stream
  // running on from run to run.
  std::ifstream recorded(MIKADO_EXPECTED_DIR "/longrun.txt", std::ios::binary);
  ASSERT_TRUE(recorded) << "missing recorded sweep output";
  std::stringstream text;
  text << recorded.rdbuf();
  EXPECT_EQ(output, text.str());
}
#endif

}  // namespace
