#include "analysis/halves.h"

#include <system_error>

namespace {

// Rounds of polling before a waiting thread sleeps: jobs follow each other within microseconds
// during a solve, far sooner than a sleeping thread wakes.
constexpr int kSpins = 20000;

}  // namespace

Halves::Halves(bool helper) {
  if (!helper || std::thread::hardware_concurrency() < 2) return;
  try {
    helper_ = std::thread([this] { serve(); });
  } catch (const std::system_error&) {
    // The caller runs both halves.
  }
}

Halves::~Halves() {
  if (!helper_.joinable()) return;
  stop_.store(true, std::memory_order_release);
  post();
  helper_.join();
}

void Halves::post() {
  posted_.fetch_add(1, std::memory_order_release);
  // Taking the lock orders this with a helper about to sleep: either it sees the new job before
  // it waits, or it is waiting and gets the notification. (Atomic wait lost wake-ups on Windows.)
  { const std::lock_guard<std::mutex> lock(sleep_); }
  wake_.notify_one();
}

void Halves::serve() {
  uint64_t seen = 0;
  for (;;) {
    const auto posted = [&] { return posted_.load(std::memory_order_acquire) != seen; };
    for (int spin = 0; spin < kSpins && !posted(); ++spin) {
    }
    if (!posted()) {
      std::unique_lock<std::mutex> lock(sleep_);
      wake_.wait(lock, posted);
    }
    ++seen;
    if (stop_.load(std::memory_order_acquire)) return;
    job_(context_, 1);
    done_.store(seen, std::memory_order_release);
  }
}

void Halves::wait_done() {
  const uint64_t posted = posted_.load(std::memory_order_relaxed);
  while (done_.load(std::memory_order_acquire) != posted) std::this_thread::yield();
}
