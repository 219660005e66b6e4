#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "network.h"

// The connected components of the contact graph.
struct ClusterResult {
  std::vector<int32_t> cluster_of;  // per fiber: its cluster's id, the smallest fiber id in it
  std::vector<uint8_t> spans;     // per cluster id: bit a set when it spans axis a (x 0, y 1, z 2)
  int32_t num_clusters = 0;       // a fiber without contacts is a cluster of its own
  int32_t largest = 0;            // size of the largest cluster
  int32_t largest_id = -1;        // its id; the smallest id among equally large ones
  double contacts_per_fiber = 0;  // z = 2C/N, 0 without fibers
  bool spanning[3] = {};          // some cluster spans x, y, z
};

// Clusters of `num_fibers` fibers joined by `num_contacts` contacts (pairs of valid indices), in a
// cube of side `box` centred on the origin. Open box: a cluster spans an axis when its fibers' end
// points reach both faces (coordinate <= -box/2 and >= box/2). Periodic box: when it wraps around
// that axis, i.e. a cycle of contacts, each taking its second fiber at the image nearest its first
// (periodic_image.h), adds up to a non-zero number of box sides along it.
ClusterResult find_clusters(const Fiber* fibers, int32_t num_fibers, const Contact* contacts,
                            int32_t num_contacts, double box, bool periodic);

// The same in a box of the given sides, centred on the origin, periodic along the axes marked so:
// a cluster spans a periodic axis when it wraps around it, an open one when it reaches both faces.
ClusterResult find_clusters(const Fiber* fibers, int32_t num_fibers, const Contact* contacts,
                            int32_t num_contacts, const std::array<double, 3>& side,
                            const std::array<bool, 3>& periodic);
