#include "contacts_periodic.h"

#include "contacts.h"
#include "geomkit.h"
#include "network.h"
#include "periodic_image.h"

void detect_contacts_all_pairs_periodic(double box) {
  detect_contacts_all_pairs_periodic(Periods{box, box, box});
}

void detect_contacts_all_pairs_periodic(const Periods& periods) {
  network.num_contacts = 0;
  for (int32_t i = 0; i + 1 < num_fibers; ++i) {
    const Fiber& a = network.fibers[i];
    const Vec3 anchor = fiber_midpoint(a);
    for (int32_t j = i + 1; j < num_fibers; ++j) {
      const Fiber& fj = network.fibers[j];
      const Fiber b = nearest_image(fj, fiber_midpoint(fj), anchor, periods);
      float distance;
      Vec3 point;
      if (!segment_contact(a.start, a.end, b.start, b.end, &distance, point)) continue;
      if (distance > network_pair_diameter(i, j)) continue;
      wrap_point(point, periods);
      if (!append_contact(i, j, distance, point)) return;
    }
  }
}
