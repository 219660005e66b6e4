#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <string>

class OutputFile;

// The settings, results and timings of one run, as the JSON file records them.
struct RunReport {
  int32_t fibers;
  float length, diameter;
  std::array<float, 3> box;      // sides along x, y, z: "box" is one number for a cube, else three
  std::array<bool, 3> periodic;  // "periodic" when any axis is, "periodic_axes" when only some
  int32_t seed;
  int threads;
  int64_t max_contacts;  // -1: no cap
  double volume_fraction;
  int32_t contacts;
  bool capacity_reached;  // then the cluster figures describe the stored contacts only
  int32_t clusters, largest_cluster;
  double contacts_per_fiber;
  bool spanning[3];
  double placement_seconds, detection_seconds;
  std::string fibers_in = {};  // the CSV the fibers were read from, "" when they were placed
  // With --conductance only.
  bool has_conductance = false;
  double conductance = 0, conductivity = 0;
  bool film = false;  // then the sheet resistance too
  double sheet_resistance = 0;
};

// What the population options add: settings "orientation" and "axis" with results
// "order_parameter" and "order_axis" when `orientation` is not empty, settings "length_dist" and
// "diameter_dist" when those are not empty.
struct PopulationReport {
  std::string orientation, axis;
  double order_parameter = 0;
  std::string length_dist;
  std::string diameter_dist = {};
  // The expected contacts of the population in a periodic box: "theory_contacts" in the results
  // when any population option was given (NaN: not written).
  double theory_contacts = std::numeric_limits<double>::quiet_NaN();
};

std::string run_report_json(const RunReport& report, const PopulationReport& population = {});
void write_run_json(OutputFile& out, const RunReport& report,
                    const PopulationReport& population = {});
