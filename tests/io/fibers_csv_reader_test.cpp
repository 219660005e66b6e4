#include "fibers_csv_reader.h"

#include <gtest/gtest.h>

#include <fstream>

#include "temp_dir.h"

namespace {

class FibersCsvReader : public ::testing::Test {
 protected:
  // Reads `text` written byte for byte to a file.
  std::string read(const std::string& text, FibersTable& table) const {
    const std::string path = temp_.file("fibers.csv");
    std::ofstream(path, std::ios::binary) << text;
    return read_fibers_csv(path, table);
  }

  TempDir temp_{"fibers-in"};
};

TEST_F(FibersCsvReader, ColumnsAreFoundByNameAndOthersIgnored) {
  FibersTable t;
  // Shuffled columns, extra ones, blanks around names and values, CRLF, no last line end.
  const std::string why = read(
      "z2,note, x1 ,y2,id,y1,x2,z1\r\n"
      "6,a,1,5,0,2,4,3\r\n"
      "-6e-7,b,+0.1,1e-50, 1 ,-2.5e-7,1e-7,3.4e38",
      t);
  ASSERT_EQ(why, "");
  ASSERT_EQ(t.fibers.size(), 2u);
  EXPECT_EQ(t.fibers[0].start, (Vec3{1, 2, 3}));
  EXPECT_EQ(t.fibers[0].end, (Vec3{4, 5, 6}));
  // Read to float32 as strtof reads: 0.1f, not the double 0.1 rounded; an underflow is 0.
  EXPECT_EQ(t.fibers[1].start, (Vec3{0.1f, -2.5e-7f, 3.4e38f}));
  EXPECT_EQ(t.fibers[1].end, (Vec3{1e-7f, 0, -6e-7f}));
  EXPECT_FALSE(t.diameter);
}

TEST_F(FibersCsvReader, AHeaderAloneIsANetworkOfNoFibers) {
  for (const char* text :
       {"x1,y1,z1,x2,y2,z2", "x1,y1,z1,x2,y2,z2\n", "x1,y1,z1,x2,y2,z2,diameter\r\n"}) {
    FibersTable t;
    t.fibers.resize(3);
    EXPECT_EQ(read(text, t), "") << text;
    EXPECT_TRUE(t.fibers.empty()) << text;
    EXPECT_FALSE(t.diameter) << text;
  }
}

TEST_F(FibersCsvReader, OneDiameterForAllOrEachFibersOwn) {
  FibersTable t;
  ASSERT_EQ(read("diameter,x1,y1,z1,x2,y2,z2\n3e-9,0,0,0,1,0,0\n3.0e-9,0,0,0,0,1,0\n", t), "");
  ASSERT_TRUE(t.diameter);
  EXPECT_EQ(*t.diameter, 3e-9f);
  EXPECT_TRUE(t.diameters.empty());
  EXPECT_EQ(t.fibers.size(), 2u);

  // Unequal: each row's own, in row order, and the widest as the table's.
  ASSERT_EQ(
      read("x1,y1,z1,x2,y2,z2,diameter\n0,0,0,1,0,0,3e-9\n0,0,0,1,1,0,5e-9\n0,0,0,0,1,0,4e-9\n", t),
      "");
  EXPECT_EQ(*t.diameter, 5e-9f);
  EXPECT_EQ(t.diameters, (std::vector<float>{3e-9f, 5e-9f, 4e-9f}));
}

// Each kind of bad table names the line (the header is line 1) and the column where one applies.
TEST_F(FibersCsvReader, BadTablesNameLineAndColumn) {
  const std::string header = "id,x1,y1,z1,x2,y2,z2,diameter\n";
  const std::string good = "0,0,0,0,1,1,1,2e-9\n";
  const struct {
    std::string text, start;
  } cases[] = {
      {"", "the file is empty"},
      {"x1,y1,z1,x2,y2\n0,0,0,1,1\n", "line 1: the header has no column 'z2'"},
      {"x1,y1,z1,x2,y2,z2,y1\n", "line 1, column 'y1': named twice"},
      {header + good + "1,0,0,0,1,x,1,2e-9\n", "line 3, column 'y2': 'x' is not a number"},
      {header + "1,0,0,0,1,,1,2e-9\n", "line 2, column 'y2': '' is not a number"},
      {header + good + good + "3,0,0,inf,1,1,1,2e-9\r\n",
       "line 4, column 'z1': 'inf' is not a finite"},
      {header + "1,0,0,0,1e39,1,1,2e-9\n", "line 2, column 'x2': '1e39' is not a finite"},
      {header + "1,0,0,0,1,1,1,0\n", "line 2, column 'diameter': '0' is not greater than 0"},
      {header + good + "1,0.5,-1,2,0.5,-1,2,2e-9\n", "line 3: the fiber has length 0"},
      {header + good + "1,0,0,0,1,1,1\n", "line 3: 7 fields where the header has 8"},
      {header + good + "1,0,0,0,1,1,1,2e-9,5", "line 3: 9 fields where the header has 8"},
      {header + good + "\n" + good, "line 3: 1 field where the header has 8"},
  };
  for (const auto& c : cases) {
    FibersTable t;
    const std::string why = read(c.text, t);
    EXPECT_EQ(why.substr(0, c.start.size()), c.start) << c.text << " gives " << why;
  }
  FibersTable t;
  EXPECT_EQ(read_fibers_csv(temp_.file("none.csv"), t).rfind("cannot be opened: ", 0), 0u);
  EXPECT_EQ(read_fibers_csv(temp_.path().string(), t).rfind("cannot be ", 0), 0u);
}

}  // namespace
