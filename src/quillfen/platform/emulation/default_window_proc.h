#pragma once

// Win32's default window procedure (DefWindowProcA) for the backends that emulate it. What the
// defaults do to a window is the backend's own; the choice of what to do for which message is
// made here once.

#include <cstdint>

#include "platform.h"

namespace emulation {

// A backend's window operations that the defaults carry out, each on a window known to exist.
struct DefaultActions {
  void (*validate)(uintptr_t id);                // WM_PAINT: the update area counts as painted
  void (*destroy)(uintptr_t id);                 // WM_CLOSE: DestroyWindow
  void (*minimize)(uintptr_t id);                // SC_MINIMIZE
  void (*restore)(uintptr_t id, bool maximize);  // SC_MAXIMIZE (true) and SC_RESTORE (false)
  PwResult (*send)(uintptr_t id, uint32_t message, PwWParam wparam, PwLParam lparam);
};

// The default handling of `message` for window `id`: 1 for WM_NCCREATE and WM_ERASEBKGND, 0 for
// every other message. Alt+F4 becomes the close command and the close command WM_CLOSE.
PwResult default_window_proc(const DefaultActions& actions, uintptr_t id, uint32_t message,
                             PwWParam wparam, PwLParam lparam);

}  // namespace emulation
