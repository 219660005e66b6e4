#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "contacts_exact.h"
#include "contacts_grid.h"
#include "network.h"

// The scan of the grid's rows for touching pairs.

// A share of the work: rows [row0, row1) of the grid, and of their fibers those with an index in
// [begin, end).
struct Chunk {
  int row0, row1;
  int32_t begin, end;
  std::vector<Contact> contacts;  // an index chunk's, in pair order
  bool done = false;
};

// What a capped pair scan may store before it gives way, shared by its workers.
struct ScanBudget {
  int64_t most;
  std::atomic<int64_t> used{0};
  std::atomic<bool> spent{false};
};

// One worker's scratch and findings.
struct Scan {
  std::vector<int32_t> near;
  std::vector<Touch> touches;
  std::vector<Contact> raw;  // an index chunk's contacts, per first index in row order
  std::vector<int32_t> per_fiber;
  std::vector<Column<Contact>> blocks;  // the pair scan's contacts by block of first index
  int64_t unreported = 0;               // contacts not yet counted against the budget
};

// Scans the chunk's fibers for pairs at most the grid's `limit` apart.
//
// The pair scan (`pairs`) pairs each fiber with the fibers after it in its own row and with those
// of the four rows around that come after its row, so that every pair is met once; it files each
// contact, smaller index first, in s.blocks[first >> block_shift]. With a budget it stops early
// once the budget is spent.
//
// Otherwise (an index chunk) it pairs each fiber of the chunk with the later fibers of all nine
// rows around and leaves the chunk's contacts in pair order in chunk.contacts.
void scan_chunk(const ContactGrid& g, Chunk& chunk, bool pairs, int block_shift, Scan& s,
                ScanBudget* budget);
