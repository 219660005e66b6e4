#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "geomkit.h"
#include "network.h"
#include "periodic_image.h"
#include "record_buffer.h"

// Fibers binned by midpoint into rows: square columns across y and z, at least `reach` wide, that
// run the length of the network along x, each sorted by x. A partner of a fiber lies within
// `reach` of its midpoint, so in its own row or one of the 8 around it, and in a run of x that
// two cursors per row follow as the fibers of a row are taken in x order. The prepared segments are
// stored as columns in that order (by row, then by x, then by index), so that the candidate filter
// and the exact test read them contiguously.
inline constexpr int kColumnPadding = 8;

// The grid's large arrays: mapped in large pages, entries left for the build to write.
template <typename T>
using Column = std::vector<T, BigAllocator<T>>;

// The build's working memory, kept for the next build.
struct GridScratch {
  Column<Fiber> images;      // of the periodic box, after the fibers
  Column<int32_t> image_of;  // the fiber of each image
  Column<int32_t> place;     // per share of the entries and row: where its next one goes
};

struct ContactGrid {
  float limit = 0;  // the contact distance: the fibers' diameter, or the widest of them
  const float* diameters = nullptr;  // per fiber, when they differ
  Periods period{};                  // of the periodic box along each axis, 0 along an open one
  double lo[3];                      // of the midpoints
  double width;                      // of a row, along y and z
  double per_width;  // 1 / width: a multiplication finds the row, monotonic as a division would
  double reach;      // no pair farther apart than this can pass the midpoint rejection
  double slack;      // more than the rounding of any distance taken from the row arithmetic
  int n[2];          // rows along y and z

  Column<int32_t> row_start;                // rows + 1 offsets into the columns
  Column<float> x, y, z, half, dx, dy, dz;  // with kColumnPadding entries after the last
  Column<double> exact_half;
  Column<int32_t> index;  // padded like the columns
  // In the periodic box, 1 for the entries that are images of a fiber moved by whole box sides;
  // empty in the open box.
  Column<uint8_t> image;

  GridScratch scratch;

  int rows() const { return n[0] * n[1]; }
  int32_t entries() const { return row_start.back(); }
  bool from_image(int32_t e) const { return !image.empty() && image[e] != 0; }
  int row(int cy, int cz) const { return cz * n[0] + cy; }
  // The row coordinate of v along axis k (1 for y, 2 for z).
  int coord(double v, int k) const {
    const double c = std::min((v - lo[k]) * per_width, n[k - 1] - 1.0);
    return c > 0 ? static_cast<int>(c) : 0;
  }
  // The segment the exact test sees for entry e, bit for bit.
  PreparedSegment segment(int32_t e) const {
    return {{x[e], y[e], z[e]}, {dx[e], dy[e], dz[e]}, exact_half[e]};
  }
};

// Builds the grid over fibers[0 .. count - 1] with up to `threads` workers. Throws std::bad_alloc
// when its memory cannot be had.
//
// With a box periodic along the axes of non-zero `period` (centred on the origin) it also bins,
// under the index of their fiber, the images of the fibers moved by whole sides along any axes
// whose midpoints come within reach of the fibers' own: each image's ends are those nearest_image
// gives. A pair of a fiber and another's image can then be scanned as in the open box. In a valid
// box at most one image of a fiber is within reach of another fiber, and that is the nearest image,
// so the pairs that pass the midpoint rejection with the fiber of lower index unmoved are exactly
// those of the minimum-image rule.
void build_contact_grid(ContactGrid& g, const Fiber* fibers, int32_t count, int threads,
                        const Periods& period = {});
