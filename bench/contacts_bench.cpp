// Contact detection: the all-pairs loop against the grid, on the default network and on the
// sweep's densest one, and the whole sweep. Program output goes to /dev/null while measuring.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "contacts.h"
#include "network.h"
#include "placement.h"
#include "sweep.h"

namespace {

// Sends standard output to /dev/null for its lifetime.
class Silenced {
 public:
  Silenced() : saved_(dup(STDOUT_FILENO)) {
    std::fflush(stdout);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    close(null);
  }
  ~Silenced() {
    std::fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }
  Silenced(const Silenced&) = delete;
  Silenced& operator=(const Silenced&) = delete;

 private:
  int saved_;
};

void place(int32_t count, float length, float diameter) {
  num_fibers = count;
  fiber_len = length;
  fiber_diameter = diameter;
  random_seed(network.stream, -1);
  place_fibers();
}

template <typename Result, Result (*Detect)()>
void BM_Detect(benchmark::State& state) {
  place(static_cast<int32_t>(state.range(0)), 2e-7f, state.range(1) == 0 ? 2e-9f : 4e-8f);
  Silenced quiet;
  for (auto _ : state) {
    Detect();
    benchmark::DoNotOptimize(network.num_contacts);
  }
  state.counters["contacts"] = network.num_contacts;
}

bool detect_one_thread() {
  return detect_contacts_threaded(1);
}

void BM_Sweep(benchmark::State& state) {
  Silenced quiet;
  for (auto _ : state) {
    random_seed(network.stream, -1);
    longrun();
  }
}

}  // namespace

// range(0): fibers; range(1): 0 for the default diameter 2e-9, 1 for 4e-8.
BENCHMARK(BM_Detect<void, detect_contacts_all_pairs>)
    ->Name("all_pairs")
    ->Args({10000, 0})
    ->Args({100000, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Detect<bool, detect_contacts>)
    ->Name("grid")
    ->Args({10000, 0})
    ->Args({100000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Detect<bool, detect_one_thread>)
    ->Name("grid_one_thread")
    ->Args({10000, 0})
    ->Args({100000, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sweep)->Name("sweep")->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
