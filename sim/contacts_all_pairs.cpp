#include <cstdio>

#include "contacts.h"
#include "geomkit.h"
#include "network.h"

void detect_contacts_all_pairs() {
  network.num_contacts = 0;
  for (int32_t i = 0; i + 1 < num_fibers; ++i) {
    const Fiber& a = network.fibers[i];
    for (int32_t j = i + 1; j < num_fibers; ++j) {
      const Fiber& b = network.fibers[j];
      float distance;
      Vec3 point;
      if (!segment_contact(a.start, a.end, b.start, b.end, &distance, point)) continue;
      if (distance > fiber_diameter) continue;
      if (!record_contact(i, j, distance, point)) return;
    }
  }
}

bool record_contact(int32_t first, int32_t second, float distance, const Vec3& point) {
  // The capacity test comes only once a further contact is found.
  if (network.num_contacts >= MAXCONTACTS) {
    std::puts("Too many contacts!");
    return false;
  }
  network.contacts[network.num_contacts++] = {first, second, distance, point};
  return true;
}
