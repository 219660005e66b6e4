#pragma once

#include <cstdint>

#include "random_stream.h"
#include "settings.h"
#include "vec3.h"

// One fiber: the segment along its axis.
struct Fiber {
  Vec3 start;
  Vec3 end;
};

// One touching pair, `first` < `second`.
struct Contact {
  int32_t first;
  int32_t second;
  float distance;  // axis distance as the segment test reports it
  Vec3 point;      // midway between the closest points of the two axes
};

// The process-wide network, in static storage (about 26 MB): nothing is allocated at run time.
struct FiberNetwork {
  Fiber fibers[MAXFIB];
  Contact contacts[MAXCONTACTS];
  int32_t num_contacts;
  RandomStream stream;
};

extern FiberNetwork network;
