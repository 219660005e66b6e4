#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "contacts.h"
#include "csv_tables.h"
#include "output_file.h"
#include "placement.h"
#include "run_report.h"
#include "sim_settings_guard.h"
#include "temp_dir.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::vector<std::string>> read_csv(const std::string& path, std::string& header) {
  std::ifstream in(path);
  std::getline(in, header);
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> cells;
    std::stringstream s(line);
    for (std::string cell; std::getline(s, cell, ',');) cells.push_back(cell);
    rows.push_back(cells);
  }
  return rows;
}

float cell_float(const std::string& s) {
  return std::strtof(s.c_str(), nullptr);
}

void write(const std::string& path, const std::function<void(OutputFile&)>& body) {
  std::string error;
  OutputFile f;
  ASSERT_TRUE(f.open(path, error)) << error;
  body(f);
  ASSERT_TRUE(f.commit(error)) << error;
}

// A small network with contacts, written as the two CSV tables and read back: the same fibers and
// contacts, bit for bit, in index order.
TEST(NetworkFiles, CsvTablesGiveBackTheNetworkBitForBit) {
  SimSettingsGuard guard;
  num_fibers = 3000;
  random_seed(network.stream, 11);
  place_fibers();
  detect_contacts();
  ASSERT_GT(network.num_contacts, 10);

  const TempDir temp("tables");
  const std::string fibers_path = temp.file("fibers.csv");
  const std::string contacts_path = temp.file("contacts.csv");
  std::vector<int32_t> cluster(static_cast<size_t>(num_fibers));
  for (int i = 0; i < num_fibers; ++i) cluster[i] = i / 7;
  write(fibers_path, [&cluster](OutputFile& f) {
    write_fibers_csv(f, {network.fibers.data(), static_cast<size_t>(num_fibers)}, cluster);
  });
  write(contacts_path, [](OutputFile& f) {
    write_contacts_csv(f, {network.contacts.data(), static_cast<size_t>(network.num_contacts)});
  });

  std::string header;
  const auto fibers = read_csv(fibers_path, header);
  EXPECT_EQ(header, "id,x1,y1,z1,x2,y2,z2,cluster");
  ASSERT_EQ(fibers.size(), static_cast<size_t>(num_fibers));
  for (int i = 0; i < num_fibers; ++i) {
    ASSERT_EQ(fibers[i].size(), 8u);
    ASSERT_EQ(fibers[i][0], std::to_string(i));
    ASSERT_EQ(fibers[i][7], std::to_string(i / 7));
    Fiber back;
    for (int k = 0; k < 3; ++k) {
      back.start[k] = cell_float(fibers[i][1 + k]);
      back.end[k] = cell_float(fibers[i][4 + k]);
    }
    ASSERT_EQ(std::memcmp(&back, &network.fibers[i], sizeof back), 0) << "fiber " << i;
  }

  const auto contacts = read_csv(contacts_path, header);
  EXPECT_EQ(header, "i,j,distance,x,y,z");
  ASSERT_EQ(contacts.size(), static_cast<size_t>(network.num_contacts));
  for (int c = 0; c < network.num_contacts; ++c) {
    ASSERT_EQ(contacts[c].size(), 6u);
    const Contact back{
        std::stoi(contacts[c][0]),
        std::stoi(contacts[c][1]),
        cell_float(contacts[c][2]),
        {cell_float(contacts[c][3]), cell_float(contacts[c][4]), cell_float(contacts[c][5])}};
    ASSERT_EQ(std::memcmp(&back, &network.contacts[c], sizeof back), 0) << "contact " << c;
  }
}

TEST(NetworkFiles, JsonReportParsesWithTheRunsSettingsAndResults) {
  RunReport r{123,
              1e-7f,
              3e-9f,
              {4e-6f, 4e-6f, 4e-6f},
              {true, true, true},
              -5,
              3,
              -1,
              0.25,
              77,
              true,
              40,
              60,
              1.25,
              {true, false, true},
              0.5,
              1.5};
  const auto doc = nlohmann::json::parse(run_report_json(r));
  EXPECT_EQ(doc["program"], "mikado");
  EXPECT_EQ(doc["version"], MIKADO_VERSION);
  const auto& s = doc["settings"];
  EXPECT_EQ(s["fibers"], 123);
  // Written as the shortest decimal of the float32 setting: reads back as the same float32.
  EXPECT_EQ(static_cast<float>(s["length"].get<double>()), 1e-7f);
  EXPECT_EQ(s["length"].get<double>(), 1e-7);
  EXPECT_EQ(static_cast<float>(s["diameter"].get<double>()), 3e-9f);
  EXPECT_EQ(s["diameter"].get<double>(), 3e-9);
  EXPECT_EQ(static_cast<float>(s["box"].get<double>()), 4e-6f);
  EXPECT_EQ(s["box"].get<double>(), 4e-6);
  EXPECT_EQ(s["periodic"], true);
  EXPECT_TRUE(s["max_contacts"].is_null());
  EXPECT_EQ(s["seed"], -5);
  EXPECT_EQ(s["threads"], 3);
  const auto& res = doc["results"];
  EXPECT_EQ(res["volume_fraction"], 0.25);
  EXPECT_EQ(res["contacts"], 77);
  EXPECT_EQ(res["capacity_reached"], true);
  EXPECT_EQ(res["clusters"], 40);
  EXPECT_EQ(res["largest_cluster"], 60);
  EXPECT_EQ(res["contacts_per_fiber"], 1.25);
  EXPECT_EQ(res["spanning"], nlohmann::json::parse(R"({"x": true, "y": false, "z": true})"));
  EXPECT_EQ(doc["timings"]["placement_seconds"], 0.5);
  EXPECT_EQ(doc["timings"]["detection_seconds"], 1.5);
  EXPECT_FALSE(s.contains("periodic_axes"));

  // A box of three sides, periodic along some axes: the sides in order, and the axes named.
  r.box = {4e-6f, 3e-6f, 2e-7f};
  r.periodic = {true, false, true};
  const auto film = nlohmann::json::parse(run_report_json(r))["settings"];
  EXPECT_EQ(film["box"], nlohmann::json::array({4e-6, 3e-6, 2e-7}));
  EXPECT_EQ(film["periodic"], true);
  EXPECT_EQ(film["periodic_axes"], "xz");
}

}  // namespace
