#include "contacts_periodic.h"

#include <cstdio>

#include "geomkit.h"
#include "network.h"
#include "periodic_image.h"

namespace {

// Appends a contact, or prints the overflow message and returns false when the array is full.
bool record_contact(int32_t first, int32_t second, float distance, const Vec3& point) {
  if (network.num_contacts >= MAXCONTACTS) {
    std::puts("Too many contacts!");
    return false;
  }
  network.contacts[network.num_contacts++] = {first, second, distance, point};
  return true;
}

}  // namespace

void detect_contacts_all_pairs_periodic(double box) {
  network.num_contacts = 0;
  for (int32_t i = 0; i + 1 < num_fibers; ++i) {
    const Fiber& a = network.fibers[i];
    const Vec3 anchor = fiber_midpoint(a);
    for (int32_t j = i + 1; j < num_fibers; ++j) {
      const Fiber& fj = network.fibers[j];
      const Fiber b = nearest_image(fj, fiber_midpoint(fj), anchor, box);
      float distance;
      Vec3 point;
      if (!segment_contact(a.start, a.end, b.start, b.end, &distance, point)) continue;
      if (distance > fiber_diameter) continue;
      for (float& c : point) c = wrap_coordinate(c, box);
      if (!record_contact(i, j, distance, point)) return;
    }
  }
}
