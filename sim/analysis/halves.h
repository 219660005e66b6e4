#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <type_traits>

// Runs the two halves of a job at once, the second on a helper thread kept for as long as the
// object lives, so that a job costs a wake-up rather than a thread's start. The halves are the
// same whether or not a helper runs them (one core, or a thread the system refuses: the caller
// runs both in turn), so results never depend on the machine.
class Halves {
 public:
  // `helper`: whether to start a helper at all (small jobs are not worth its spinning).
  explicit Halves(bool helper);
  ~Halves();
  Halves(const Halves&) = delete;
  Halves& operator=(const Halves&) = delete;

  // Calls body(0) and body(1), at once when a helper runs. The halves must not write what the
  // other reads, nor throw: the caller's half would leave the helper's running on.
  template <typename Body>
  void run(Body&& body) {
    if (!helper_.joinable()) {
      body(0);
      body(1);
      return;
    }
    using Callable = std::remove_reference_t<Body>;
    job_ = [](void* context, int half) { (*static_cast<Callable*>(context))(half); };
    context_ = const_cast<void*>(static_cast<const void*>(&body));
    post();
    body(0);
    wait_done();
  }

 private:
  void post();
  void serve();
  void wait_done();

  std::thread helper_;
  void (*job_)(void*, int) = nullptr;
  void* context_ = nullptr;
  std::atomic<uint64_t> posted_{0}, done_{0};
  std::atomic<bool> stop_{false};
  // The helper sleeps here after polling a while.
  std::mutex sleep_;
  std::condition_variable wake_;
};
