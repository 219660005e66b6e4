#pragma once

#include <cstdint>
#include <vector>

#include "random_stream.h"
#include "record_buffer.h"
#include "settings.h"
#include "vec3.h"

// One fiber: the segment along its axis.
struct Fiber {
  Vec3 start;
  Vec3 end;
};

// A fiber's squared length, in double from its float32 ends.
inline double squared_length(const Fiber& f) {
  double squared = 0;
  for (int k = 0; k < 3; ++k) {
    const double d = static_cast<double>(f.end[k]) - f.start[k];
    squared += d * d;
  }
  return squared;
}

// One touching pair, `first` < `second`.
struct Contact {
  int32_t first;
  int32_t second;
  float distance;  // axis distance as the segment test reports it
  Vec3 point;      // midway between the closest points of the two axes
};

// The contact distance of two fibers of diameters a and b: their mean, rounded once to float32,
// so that equal diameters give that diameter exactly.
inline float pair_diameter(float a, float b) {
  return static_cast<float>((static_cast<double>(a) + b) / 2);
}

// Contact capacity for "no cap".
inline constexpr int64_t UNCAPPED = -1;

// The process-wide network. Storage is on the heap; until size_network it holds MAXFIB fibers
// and MAXCONTACTS contacts, whose untouched entries cost no memory. After size_network the fiber
// storage has the size asked for and detection sizes the contact storage for what it keeps.
struct FiberNetwork {
  RecordBuffer<Fiber> fibers{MAXFIB};  // entries 0 .. num_fibers - 1 are valid after placement
  RecordBuffer<Contact> contacts{MAXCONTACTS};  // 0 .. num_contacts - 1 valid after detection
  int32_t num_contacts = 0;
  int64_t max_contacts = MAXCONTACTS;  // or UNCAPPED
  RandomStream stream{};
  // Per fiber when the fibers' diameters differ; empty when all are fiber_diameter.
  std::vector<float> diameters;
};

extern FiberNetwork network;

// The contact distance of fibers i and j of the process-wide network.
inline float network_pair_diameter(int32_t i, int32_t j) {
  return network.diameters.empty() ? fiber_diameter
                                   : pair_diameter(network.diameters[i], network.diameters[j]);
}

// Sizes the network for `fibers` fibers and at most `max_contacts` stored contacts (UNCAPPED: no
// cap); the defaults are the compiled-in MAXFIB and MAXCONTACTS. Returns false, changing nothing,
// when the memory cannot be had.
bool size_network(int64_t fibers, int64_t max_contacts);

// The stored contacts fill a capped storage, so more may exist than were kept.
bool contact_capacity_reached();

// The most contacts detection may store: max_contacts, or the int32 range when uncapped.
int64_t contact_limit();
