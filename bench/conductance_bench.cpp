// One conductance solve of a generated network at the default density, in a process of its own
// so that the peak memory is this run's. Usage:
//   conductance_bench FIBERS CONTACTS_PER_FIBER multi|fiber|direct|ichol|jacobi [RHO [periodic|open
//   [THREADS]]]
// The length gives the wanted contacts per fiber z = n (pi / 2) L^2 D at the default diameter.
// Prints one line: fibers, length, contacts, z, unknowns, detection and solve seconds,
// iterations, conductance, residual, peak MB.
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <string>

#include "engine.h"

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: %s FIBERS Z multi|fiber|direct|ichol|jacobi [RHO [periodic|open "
                 "[THREADS]]]\n",
                 argv[0]);
    return 2;
  }
  const std::string kind = argv[3];
  const ConductanceSolver solver = kind == "ichol"    ? ConductanceSolver::cg_ichol
                                   : kind == "jacobi" ? ConductanceSolver::cg_jacobi
                                   : kind == "direct" ? ConductanceSolver::direct
                                   : kind == "fiber"  ? ConductanceSolver::cg_fiber
                                                      : ConductanceSolver::multilevel;
  const double rho = argc > 4 ? std::atof(argv[4]) : 1e-8;
  mikado::Settings s;
  s.fibers = std::atoi(argv[1]);
  // The default density: 10000 fibers in a cube of side 2e-6.
  const double side = 2e-6 * std::cbrt(s.fibers / 1e4), density = 1e4 / 8e-18;
  s.box =
      mikado::Box::cube(static_cast<float>(side), argc > 5 && std::string(argv[5]) == "periodic");
  s.length = static_cast<float>(
      std::sqrt(std::atof(argv[2]) / (density * std::numbers::pi / 2 * s.diameter)));
  auto start = std::chrono::steady_clock::now();
  mikado::Network n{s};
  n.detect_contacts();
  const double detection = seconds_since(start);
  start = std::chrono::steady_clock::now();
  const ConductanceResult r = n.conductance(0, 1, rho, solver, argc > 6 ? std::atoi(argv[6]) : 0);
  const double solve = seconds_since(start);
  if (!r.ok) {
    std::fprintf(stderr, "the conductance solve failed: %s\n", r.error.c_str());
    return 1;
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%d %.3g %zu %.3f %lld %.2f %.2f %lld %.9g %.2g %.0f\n", s.fibers,
              static_cast<double>(s.length), n.contacts().size(),
              2.0 * static_cast<double>(n.contacts().size()) / s.fibers,
              static_cast<long long>(r.unknowns), detection, solve,
              static_cast<long long>(r.iterations), r.conductance, r.residual,
              static_cast<double>(usage.ru_maxrss) / 1024);
  return 0;
}
