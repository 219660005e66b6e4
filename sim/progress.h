#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

// A progress line on standard error for one long step ("placement", "detection", "sweep"), with
// its rate and the time left. It appears only when standard error is a terminal and the step has
// run for about a second, and is cleared when the step ends. Workers may report from any thread.
// Steps inside a step (the runs of a sweep, on several threads) stay silent: the line is the
// outermost step's.
class Progress {
 public:
  Progress(const char* step, int64_t total);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // Adds `count` finished items.
  void add(int64_t count);

  // Whether no other step was live when this one began: only such a step may show its line.
  bool outermost() const { return outermost_; }

 private:
  using Clock = std::chrono::steady_clock;
  const char* step_;
  int64_t total_;
  bool outermost_;
  bool enabled_;
  Clock::time_point start_;
  std::atomic<int64_t> done_{0};
  std::atomic<int64_t> next_report_ns_;
  std::mutex print_;
  bool shown_ = false;
};
