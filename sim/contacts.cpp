#include "contacts.h"

#include <cstdio>

#include "geomkit.h"
#include "network.h"

void detect_contacts() {
  network.num_contacts = 0;
  for (int32_t i = 0; i + 1 < num_fibers; ++i) {
    const Fiber& a = network.fibers[i];
    for (int32_t j = i + 1; j < num_fibers; ++j) {
      const Fiber& b = network.fibers[j];
      float distance;
      Vec3 point;
      if (!segment_contact(a.start, a.end, b.start, b.end, &distance, point)) continue;
      if (distance > fiber_diameter) continue;
      if (network.num_contacts >= MAXCONTACTS) {
        std::puts("Too many contacts!");
        return;
      }
      network.contacts[network.num_contacts++] = {i, j, distance, point};
    }
  }
}
