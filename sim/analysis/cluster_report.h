#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/clusters.h"

// One byte per fiber for colouring: 0 plain, 1 in the largest cluster (whether it spans or not),
// 2 in another spanning cluster.
std::vector<uint8_t> cluster_marks(const ClusterResult& clusters);

// The statistics line, without a line break:
// "clusters %i;largest %i;contacts per fiber %g;spanning x %i y %i z %i".
std::string format_cluster_stats(const ClusterResult& clusters);
