#pragma once

#include <cstdint>
#include <span>

#include "network.h"

class OutputFile;

// Legacy VTK (3.0, ASCII, POLYDATA): each fiber a line between its end points, each contact a
// vertex at its point. Cell arrays fiber_id, contact_count and cluster_id (one id per fiber in
// `cluster`) and, for fibers of diameters of their own, diameter describe the lines, distance the
// vertices; the cells of the other kind hold -1. Given potential and current per fiber, two more
// line arrays of those names follow (a NaN potential as -1).
void write_network_vtk(OutputFile& out, std::span<const Fiber> fibers,
                       std::span<const Contact> contacts, std::span<const int32_t> cluster,
                       std::span<const float> diameters = {},
                       std::span<const double> potential = {},
                       std::span<const double> current = {});
