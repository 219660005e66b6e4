#pragma once

#include <optional>
#include <string>
#include <vector>

#include "network.h"

// Fibers of the user's own, e.g. measured by tomography, as read from a CSV table.
struct FibersTable {
  std::vector<Fiber> fibers;
  // The `diameter` column's widest value, when the table has the column and at least one row.
  std::optional<float> diameter;
  // The column per row, when its values differ; empty when they are all `diameter`.
  std::vector<float> diameters;
};

// Reads the table at `path` line by line: a header naming the columns, in any order, x1,y1,z1,
// x2,y2,z2 (required: a fiber from (x1,y1,z1) to (x2,y2,z2)) and diameter (optional, above 0);
// other columns are ignored. Values are read to float32 as strtof reads them, so
// that the numbers mikado writes read back bit for bit. LF and CRLF line ends are taken, with or
// without one after the last line; a header alone is a table of no fibers.
//
// Returns "" with the table in `out`, or the reason the file is refused, naming the line (the
// header is line 1) and the column where one applies; `out` is then unspecified. Prints nothing.
std::string read_fibers_csv(const std::string& path, FibersTable& out);
