#include <cstdio>

#include "contacts.h"
#include "network.h"
#include "placement.h"
#include "summary.h"
#include "viewer.h"

int main() {
  random_seed(network.stream, -1);
  place_fibers();
  detect_contacts();
  print_summary();
  // Out before the window takes over, also when standard output is a pipe or a file.
  std::fflush(stdout);
  // The viewer's result is the exit status: 0 after the user quits, -1 without a window.
  return run_viewer();
}
