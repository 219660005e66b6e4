#include "contacts_periodic.h"

#include <algorithm>
#include <cstdio>

#include "geomkit.h"
#include "network.h"
#include "periodic_image.h"

namespace {

// Appends a contact, or prints the overflow message and returns false at the capacity (or when
// uncapped storage cannot grow); the same rule as the open box's loop.
bool record_contact(int32_t first, int32_t second, float distance, const Vec3& point) {
  if (network.num_contacts >= contact_limit()) {
    std::puts("Too many contacts!");
    return false;
  }
  if (network.num_contacts == network.contacts.size()) {
    RecordBuffer<Contact> grown;
    if (!grown.reset(std::max<int64_t>(1024, 2 * network.contacts.size()))) return false;
    std::copy(network.contacts.begin(), network.contacts.end(), grown.begin());
    network.contacts = std::move(grown);
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
