#include "network.h"

#include <limits>
#include <utility>

FiberNetwork network;

bool size_network(int64_t fibers, int64_t max_contacts) {
  constexpr int64_t kLargest = std::numeric_limits<int32_t>::max();
  if (fibers < 0 || fibers > kLargest) return false;
  if (max_contacts != UNCAPPED && (max_contacts < 0 || max_contacts > kLargest)) return false;
  RecordBuffer<Fiber> new_fibers;
  if (!new_fibers.reset(fibers)) return false;
  network.fibers = std::move(new_fibers);
  // Detection sizes the contact storage for what it keeps.
  network.contacts.reset(0);
  network.num_contacts = 0;
  network.max_contacts = max_contacts;
  return true;
}

int64_t contact_limit() {
  return network.max_contacts == UNCAPPED ? std::numeric_limits<int32_t>::max()
                                          : network.max_contacts;
}

bool contact_capacity_reached() {
  return network.max_contacts != UNCAPPED && network.num_contacts == network.max_contacts;
}
