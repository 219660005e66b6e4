#include "progress.h"

#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#define MIKADO_ISATTY(fd) _isatty(fd)
#define MIKADO_FILENO(f) _fileno(f)
#else
#include <unistd.h>
#define MIKADO_ISATTY(fd) isatty(fd)
#define MIKADO_FILENO(f) fileno(f)
#endif

namespace {
constexpr int64_t kFirstReportNs = 1'000'000'000;  // short steps stay silent
constexpr int64_t kReportEveryNs = 250'000'000;
std::atomic<int> live_steps{0};
}  // namespace

Progress::Progress(const char* step, int64_t total)
    : step_(step),
      total_(total),
      outermost_(live_steps.fetch_add(1) == 0),
      enabled_(outermost_ && MIKADO_ISATTY(MIKADO_FILENO(stderr)) != 0),
      start_(Clock::now()),
      next_report_ns_(kFirstReportNs) {}

Progress::~Progress() {
  live_steps.fetch_sub(1);
  if (!shown_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
}

void Progress::add(int64_t count) {
  const int64_t done = done_ += count;
  if (!enabled_) return;
  const int64_t now =
      std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start_).count();
  int64_t due = next_report_ns_.load(std::memory_order_relaxed);
  if (now < due || !next_report_ns_.compare_exchange_strong(due, now + kReportEveryNs)) return;
  const std::lock_guard<std::mutex> lock(print_);
  const double seconds = static_cast<double>(now) * 1e-9;
  const double rate = static_cast<double>(done) / seconds;
  const double left = rate > 0 ? static_cast<double>(total_ - done) / rate : 0;
  std::fprintf(stderr, "\r%s: %lld of %lld (%.0f%%), %.3g per second, %.0f s left\033[K", step_,
               static_cast<long long>(done), static_cast<long long>(total_),
               total_ > 0 ? 100.0 * static_cast<double>(done) / static_cast<double>(total_) : 100.0,
               rate, left);
  std::fflush(stderr);
  shown_ = true;
}
