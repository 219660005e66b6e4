#pragma once

#include <cstdint>
#include <string>

class OutputFile;

// The settings, results and timings of one run, as the JSON file records them.
struct RunReport {
  int32_t fibers;
  float length, diameter, box;
  int32_t seed;
  int threads;
  double volume_fraction;
  int32_t contacts;
  bool capacity_reached;
  double placement_seconds, detection_seconds;
};

std::string run_report_json(const RunReport& report);
void write_run_json(OutputFile& out, const RunReport& report);
