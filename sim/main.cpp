#include "contacts.h"
#include "network.h"
#include "placement.h"
#include "summary.h"

int main() {
  random_seed(network.stream, -1);
  place_fibers();
  detect_contacts();
  print_summary();
  return 0;
}
