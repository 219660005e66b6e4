#include "csv_tables.h"

#include <cstddef>

#include "output_file.h"

namespace {

void put_point(OutputFile& out, const Vec3& p) {
  for (float v : p) out.text(",").number(v);
}

}  // namespace

void write_fibers_csv(OutputFile& out, std::span<const Fiber> fibers,
                      std::span<const int32_t> cluster, std::span<const float> diameters,
                      std::span<const double> potential, std::span<const double> current) {
  const bool own = !diameters.empty(), circuit = !potential.empty();
  out.text("id,x1,y1,z1,x2,y2,z2,cluster");
  out.text(own ? ",diameter" : "").text(circuit ? ",potential,current\n" : "\n");
  for (size_t i = 0; i < fibers.size(); ++i) {
    out.integer(static_cast<int64_t>(i));
    put_point(out, fibers[i].start);
    put_point(out, fibers[i].end);
    out.text(",").integer(cluster[i]);
    if (own) out.text(",").number(diameters[i]);
    if (circuit) out.text(",").real(potential[i]).text(",").real(current[i]);
    out.text("\n");
  }
}

void write_contacts_csv(OutputFile& out, std::span<const Contact> contacts) {
  out.text("i,j,distance,x,y,z\n");
  for (const Contact& c : contacts) {
    out.integer(c.first).text(",").integer(c.second).text(",").number(c.distance);
    put_point(out, c.point);
    out.text("\n");
  }
}
