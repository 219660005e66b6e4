#include <algorithm>
#include <cstdio>

#include "contacts.h"
#include "geomkit.h"
#include "network.h"

std::FILE* contact_overflow_stream = stdout;

void report_contact_overflow() {
  std::fputs("Too many contacts!\n", contact_overflow_stream);
}

bool append_contact(int32_t first, int32_t second, float distance, const Vec3& point) {
  // The capacity test comes only once a further contact is found.
  if (network.num_contacts >= contact_limit()) {
    report_contact_overflow();
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

void detect_contacts_all_pairs() {
  network.num_contacts = 0;
  for (int32_t i = 0; i + 1 < num_fibers; ++i) {
    const Fiber& a = network.fibers[i];
    for (int32_t j = i + 1; j < num_fibers; ++j) {
      const Fiber& b = network.fibers[j];
      float distance;
      Vec3 point;
      if (!segment_contact(a.start, a.end, b.start, b.end, &distance, point)) continue;
      if (distance > network_pair_diameter(i, j)) continue;
      if (!append_contact(i, j, distance, point)) return;
    }
  }
}
