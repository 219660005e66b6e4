#pragma once

#include <cstdint>
#include <vector>

#include "geomkit.h"
#include "network.h"

// Fibers binned by midpoint into cubic cells no smaller than the largest reach of the midpoint
// rejection, so every partner of a fiber lies in its own cell or one of the 26 around it. The
// prepared segments are stored as columns in cell order (by cell, then by index), so that a
// cell's fibers are contiguous for the candidate filter and the exact test alike.
inline constexpr int kColumnPadding = 8;

struct ContactGrid {
  double lo[3];
  double cell;
  double reach;  // no pair farther apart than this can pass the midpoint rejection
  int n[3];

  std::vector<int32_t> cell_start;               // cells + 1 offsets into the columns
  std::vector<float> x, y, z, half, dx, dy, dz;  // with kColumnPadding entries after the last
  std::vector<double> exact_half;
  std::vector<int32_t> index;  // padded like the columns

  int cells() const { return n[0] * n[1] * n[2]; }
  int coord(double v, int k) const;
  int id(int cx, int cy, int cz) const { return (cz * n[1] + cy) * n[0] + cx; }
  // Squared distance from v to the slab of cells with coordinate c along axis k.
  double gap2(double v, int c, int k) const;
  // The segment the exact test sees for entry e, bit for bit.
  PreparedSegment segment(int32_t e) const {
    return {{x[e], y[e], z[e]}, {dx[e], dy[e], dz[e]}, exact_half[e]};
  }
};

// Builds the grid over fibers[0 .. count - 1] with up to `threads` workers. Throws std::bad_alloc
// when its memory cannot be had.
void build_contact_grid(ContactGrid& g, const Fiber* fibers, int32_t count, int threads);
