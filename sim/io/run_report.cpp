#include "run_report.h"

#include <charconv>
#include <nlohmann/json.hpp>

#include "output_file.h"

namespace {

// The shortest decimal that reads back as the same float32, so that 2e-07 stays 2e-07 rather
// than the float's full double expansion.
double decimal(float v) {
  char digits[32];
  const auto end = std::to_chars(digits, digits + sizeof digits, v).ptr;
  double d = 0;
  std::from_chars(digits, end, d);
  return d;
}

}  // namespace

std::string run_report_json(const RunReport& r) {
  const nlohmann::ordered_json doc = {
      {"program", "mikado"},
      {"version", MIKADO_VERSION},
      {"settings",
       {{"fibers", r.fibers},
        {"length", decimal(r.length)},
        {"diameter", decimal(r.diameter)},
        {"box", decimal(r.box)},
        {"seed", r.seed},
        {"threads", r.threads}}},
      {"results",
       {{"volume_fraction", r.volume_fraction},
        {"contacts", r.contacts},
        {"capacity_reached", r.capacity_reached}}},
      {"timings",
       {{"placement_seconds", r.placement_seconds}, {"detection_seconds", r.detection_seconds}}},
  };
  return doc.dump(2) + "\n";
}

void write_run_json(OutputFile& out, const RunReport& report) {
  out.text(run_report_json(report));
}
