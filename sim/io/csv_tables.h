#pragma once

#include <cstdint>
#include <span>

#include "network.h"

class OutputFile;

// One row per fiber in index order: id,x1,y1,z1,x2,y2,z2,cluster (`cluster` holds one id per
// fiber), then a column diameter when the fibers have diameters of their own, then
// potential,current when those are given (one value per fiber each).
void write_fibers_csv(OutputFile& out, std::span<const Fiber> fibers,
                      std::span<const int32_t> cluster, std::span<const float> diameters = {},
                      std::span<const double> potential = {}, std::span<const double> current = {});

// One row per stored contact in order: i,j,distance,x,y,z.
void write_contacts_csv(OutputFile& out, std::span<const Contact> contacts);
