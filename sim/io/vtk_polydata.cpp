#include "vtk_polydata.h"

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "output_file.h"

namespace {

void put_point(OutputFile& out, const Vec3& p) {
  out.number(p[0]).text(" ").number(p[1]).text(" ").number(p[2]).text("\n");
}

}  // namespace

void write_network_vtk(OutputFile& out, std::span<const Fiber> fibers,
                       std::span<const Contact> contacts, std::span<const int32_t> cluster,
                       std::span<const float> diameters, std::span<const double> potential,
                       std::span<const double> current) {
  const bool circuit = !potential.empty();
  const auto n = static_cast<int64_t>(fibers.size());
  const auto c = static_cast<int64_t>(contacts.size());
  out.text("# vtk DataFile Version 3.0\nmikado fiber network: ")
      .integer(n)
      .text(" fibers, ")
      .integer(c)
      .text(" contacts\nASCII\nDATASET POLYDATA\nPOINTS ")
      .integer(2 * n + c)
      .text(" float\n");
  for (const Fiber& f : fibers) {
    put_point(out, f.start);
    put_point(out, f.end);
  }
  for (const Contact& k : contacts) put_point(out, k.point);

  // A reader numbers the cells vertices first, then lines; the cell data follow that order.
  out.text("VERTICES ").integer(c).text(" ").integer(2 * c).text("\n");
  for (int64_t k = 0; k < c; ++k) out.text("1 ").integer(2 * n + k).text("\n");
  out.text("LINES ").integer(n).text(" ").integer(3 * n).text("\n");
  for (int64_t i = 0; i < n; ++i)
    out.text("2 ").integer(2 * i).text(" ").integer(2 * i + 1).text("\n");

  std::vector<int32_t> per_fiber(static_cast<size_t>(n), 0);
  for (const Contact& k : contacts) {
    ++per_fiber[static_cast<size_t>(k.first)];
    ++per_fiber[static_cast<size_t>(k.second)];
  }
  // One field of four arrays: a reader takes every field array, but only the first SCALARS
  // block unless told otherwise.
  out.text("CELL_DATA ")
      .integer(n + c)
      .text("\nFIELD cell_arrays ")
      .integer(4 + (diameters.empty() ? 0 : 1) + (circuit ? 2 : 0))
      .text("\n");
  out.text("fiber_id 1 ").integer(n + c).text(" int\n");
  for (int64_t k = 0; k < c; ++k) out.text("-1\n");
  for (int64_t i = 0; i < n; ++i) out.integer(i).text("\n");
  out.text("contact_count 1 ").integer(n + c).text(" int\n");
  for (int64_t k = 0; k < c; ++k) out.text("-1\n");
  for (int32_t count : per_fiber) out.integer(count).text("\n");
  out.text("cluster_id 1 ").integer(n + c).text(" int\n");
  for (int64_t k = 0; k < c; ++k) out.text("-1\n");
  for (int32_t id : cluster) out.integer(id).text("\n");
  out.text("distance 1 ").integer(n + c).text(" float\n");
  for (const Contact& k : contacts) out.number(k.distance).text("\n");
  for (int64_t i = 0; i < n; ++i) out.text("-1\n");
  if (!diameters.empty()) {
    out.text("diameter 1 ").integer(n + c).text(" float\n");
    for (int64_t k = 0; k < c; ++k) out.text("-1\n");
    for (const float d : diameters) out.number(d).text("\n");
  }
  if (!circuit) return;
  for (const auto& [name, values] : {std::pair{"potential", potential}, {"current", current}}) {
    out.text(name).text(" 1 ").integer(n + c).text(" double\n");
    for (int64_t k = 0; k < c; ++k) out.text("-1\n");
    // VTK's ASCII reader takes no NaN: a fiber without a potential holds -1, as other cells do.
    for (const double v : values) out.real(std::isnan(v) ? -1.0 : v).text("\n");
  }
}
