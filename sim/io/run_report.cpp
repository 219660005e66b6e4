#include "run_report.h"

#include <cmath>

#include <nlohmann/json.hpp>

#include "decimal_text.h"
#include "output_file.h"

namespace {

// A float32 setting as the double of its shortest decimal: JSON readers see 2e-07, not the
// float's double expansion, and still get the same float32 back.
double decimal(float v) {
  return std::stod(shortest_decimal(v));
}

}  // namespace

std::string run_report_json(const RunReport& r, const PopulationReport& population) {
  using nlohmann::ordered_json;
  ordered_json doc = {
      {"program", "mikado"},
      {"version", MIKADO_VERSION},
      {"settings",
       {{"fibers", r.fibers},
        {"length", decimal(r.length)},
        {"diameter", decimal(r.diameter)},
        {"box", r.box[0] == r.box[1] && r.box[1] == r.box[2]
                    ? ordered_json(decimal(r.box[0]))
                    : ordered_json({decimal(r.box[0]), decimal(r.box[1]), decimal(r.box[2])})},
        {"periodic", r.periodic[0] || r.periodic[1] || r.periodic[2]},
        {"seed", r.seed},
        {"threads", r.threads},
        {"max_contacts",
         r.max_contacts < 0 ? ordered_json(nullptr) : ordered_json(r.max_contacts)}}},
      {"results",
       {{"volume_fraction", r.volume_fraction},
        {"contacts", r.contacts},
        {"capacity_reached", r.capacity_reached},
        {"clusters", r.clusters},
        {"largest_cluster", r.largest_cluster},
        {"contacts_per_fiber", r.contacts_per_fiber},
        {"spanning", {{"x", r.spanning[0]}, {"y", r.spanning[1]}, {"z", r.spanning[2]}}}}},
      {"timings",
       {{"placement_seconds", r.placement_seconds}, {"detection_seconds", r.detection_seconds}}},
  };
  if (doc["settings"]["periodic"] && !(r.periodic[0] && r.periodic[1] && r.periodic[2])) {
    std::string axes;
    for (int a = 0; a < 3; ++a) {
      if (r.periodic[a]) axes += static_cast<char>('x' + a);
    }
    doc["settings"]["periodic_axes"] = axes;
  }
  if (!r.fibers_in.empty()) doc["settings"]["fibers_in"] = r.fibers_in;
  if (!population.orientation.empty()) {
    doc["settings"]["orientation"] = population.orientation;
    doc["settings"]["axis"] = population.axis;
    doc["results"]["order_parameter"] = population.order_parameter;
    doc["results"]["order_axis"] = population.axis;
  }
  if (!population.length_dist.empty()) doc["settings"]["length_dist"] = population.length_dist;
  if (!std::isnan(population.theory_contacts))
    doc["results"]["theory_contacts"] = population.theory_contacts;
  if (!population.diameter_dist.empty())
    doc["settings"]["diameter_dist"] = population.diameter_dist;
  if (r.has_conductance) {
    doc["results"]["conductance"] = r.conductance;
    doc["results"]["conductivity"] = r.conductivity;
    if (r.film) doc["results"]["sheet_resistance"] = r.sheet_resistance;
  }
  // A path need not be UTF-8: its stray bytes are replaced rather than failing the report.
  return doc.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

void write_run_json(OutputFile& out, const RunReport& report, const PopulationReport& population) {
  out.text(run_report_json(report, population));
}
