#pragma once

#include <span>

#include "network.h"

class OutputFile;

// Legacy VTK (3.0, ASCII, POLYDATA): each fiber a line between its end points, each contact a
// vertex at its point. Cell arrays fiber_id and contact_count describe the lines, distance the
// vertices; the cells of the other kind hold -1 in them.
void write_network_vtk(OutputFile& out, std::span<const Fiber> fibers,
                       std::span<const Contact> contacts);
