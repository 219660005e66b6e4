#pragma once

#include <span>

#include "network.h"

class OutputFile;

// One row per fiber in index order: id,x1,y1,z1,x2,y2,z2.
void write_fibers_csv(OutputFile& out, std::span<const Fiber> fibers);

// One row per stored contact in order: i,j,distance,x,y,z.
void write_contacts_csv(OutputFile& out, std::span<const Contact> contacts);
