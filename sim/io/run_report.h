#pragma once

#include <cstdint>
#include <string>

class OutputFile;

// The settings, results and timings of one run, as the JSON file records them.
struct RunReport {
  int32_t fibers;
  float length, diameter, box;
  bool periodic;
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
  // With --conductance only.
  bool has_conductance = false;
  double conductance = 0, conductivity = 0;
};

std::string run_report_json(const RunReport& report);
void write_run_json(OutputFile& out, const RunReport& report);
