// Kernel services: a wrapping millisecond tick count, sleep, process id and module handle.

#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "x11_state.h"

namespace x11 {

uint32_t tick_now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t ms =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);  // wraps every 49.7 days, as GetTickCount does
}

uint32_t get_tick_count() {
  return tick_now();
}

void sleep_ms(uint32_t milliseconds) {
  timespec rest{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
  }
}

uint32_t get_current_process_id() {
  return static_cast<uint32_t>(getpid());
}

// The running program is the only module there is.
PwInstance get_module_handle(const char* module_name) {
  static char module_tag;
  if (module_name != nullptr) return nullptr;
  return reinterpret_cast<PwInstance>(&module_tag);
}

}  // namespace x11
