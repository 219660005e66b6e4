#include "worker_threads.h"

#include <atomic>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

bool run_workers(int threads, const std::function<void(int)>& body) {
  std::atomic<bool> out_of_memory{false};
  const auto guarded = [&](int worker) {
    try {
      body(worker);
    } catch (const std::bad_alloc&) {
      out_of_memory = true;
    }
  };
  std::vector<std::thread> started;
  try {
    started.reserve(threads > 1 ? threads - 1 : 0);
    for (int t = 1; t < threads; ++t) started.emplace_back(guarded, t);
  } catch (const std::system_error&) {
    // Fewer workers: the running ones take the whole queue.
  } catch (const std::bad_alloc&) {
  }
  guarded(0);
  for (std::thread& t : started) t.join();
  return !out_of_memory;
}
