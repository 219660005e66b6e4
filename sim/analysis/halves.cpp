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
  posted_.fetch_add(1, std::memory_order_release);
  posted_.notify_one();
  helper_.join();
}

void Halves::serve() {
  uint64_t seen = 0;
  for (;;) {
    for (int spin = 0; posted_.load(std::memory_order_acquire) == seen; ++spin) {
      if (spin >= kSpins) posted_.wait(seen, std::memory_order_acquire);
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
