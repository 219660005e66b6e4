// One run at the default density, sized for its fiber count, in a process of its own so that
// the peak memory is this run's. Usage: contacts_scaling FIBERS [THREADS]. Prints one line:
// fibers, box side, placement and detection seconds, contacts, peak bytes per fiber.
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "contacts.h"
#include "network.h"
#include "placement.h"

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FIBERS [THREADS]\n", argv[0]);
    return 2;
  }
  const long fibers = std::atol(argv[1]);
  const int threads =
      argc > 2 ? std::atoi(argv[2]) : static_cast<int>(std::thread::hardware_concurrency());
  if (fibers < 0 || fibers > 2147483647L || threads < 1 || !size_network(fibers, UNCAPPED)) {
    std::fprintf(stderr, "cannot size the network for %s fibers\n", argv[1]);
    return 1;
  }
  // The default density: 10000 fibers in a cube of side 2e-6.
  const float side = static_cast<float>(2e-6 * std::cbrt(static_cast<double>(fibers) / 10000));
  for (int k = 0; k < 3; ++k) box_min[k] = -side / 2, box_max[k] = side / 2;
  num_fibers = static_cast<int32_t>(fibers);
  random_seed(network.stream, -1);

  const auto start = std::chrono::steady_clock::now();
  place_fibers();
  const double placed = seconds_since(start);
  if (!detect_contacts_threaded(threads)) {
    std::fprintf(stderr, "out of memory in detection\n");
    return 1;
  }
  const double total = seconds_since(start);

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double peak = static_cast<double>(usage.ru_maxrss) * 1024;
  std::printf("%ld %.3g %.3f %.3f %.3f %d %.0f\n", fibers, static_cast<double>(side), placed,
              total - placed, total, network.num_contacts, fibers > 0 ? peak / fibers : 0.0);
  return 0;
}
