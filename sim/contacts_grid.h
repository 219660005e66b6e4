#pragma once

#include <cstdint>
#include <vector>

#include "geomkit.h"
#include "network.h"

// Fibers binned by midpoint into rows: square columns across y and z, at least `reach` wide, that
// run the length of the network along x, each sorted by x. A partner of a fiber lies within
// `reach` of its midpoint, so in its own row or one of the 8 around it, and in a run of x that
// two cursors per row follow as the fibers of a row are taken in x order. The prepared segments are
// stored as columns in that order (by row, then by x, then by index), so that the candidate filter
// and the exact test read them contiguously.
inline constexpr int kColumnPadding = 8;

struct ContactGrid {
  double lo[3];  // of the midpoints
  double width;  // of a row, along y and z
  double reach;  // no pair farther apart than this can pass the midpoint rejection
  double slack;  // more than the rounding of any distance taken from the row arithmetic
  int n[2];      // rows along y and z

  std::vector<int32_t> row_start;                // rows + 1 offsets into the columns
  std::vector<float> x, y, z, half, dx, dy, dz;  // with kColumnPadding entries after the last
  std::vector<double> exact_half;
  std::vector<int32_t> index;  // padded like the columns

  int rows() const { return n[0] * n[1]; }
  int row(int cy, int cz) const { return cz * n[0] + cy; }
  // The row coordinate of v along axis k (1 for y, 2 for z).
  int coord(double v, int k) const;
  // The segment the exact test sees for entry e, bit for bit.
  PreparedSegment segment(int32_t e) const {
    return {{x[e], y[e], z[e]}, {dx[e], dy[e], dz[e]}, exact_half[e]};
  }
};

// Builds the grid over fibers[0 .. count - 1] with up to `threads` workers. Throws std::bad_alloc
// when its memory cannot be had.
void build_contact_grid(ContactGrid& g, const Fiber* fibers, int32_t count, int threads);
