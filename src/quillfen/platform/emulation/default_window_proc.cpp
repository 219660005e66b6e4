#include "default_window_proc.h"

namespace emulation {

namespace {
constexpr uint32_t kVkF4 = 0x73;
// The system command's low four bits are the system's own; the command is the rest.
constexpr uint32_t kCommandMask = 0xFFF0u;
}  // namespace

PwResult default_window_proc(const DefaultActions& actions, uintptr_t id, uint32_t message,
                             PwWParam wparam, PwLParam lparam) {
  switch (message) {
    case PW_WM_NCCREATE:
    case PW_WM_ERASEBKGND:
      return 1;
    case PW_WM_PAINT:
      actions.validate(id);
      return 0;
    case PW_WM_CLOSE:
      actions.destroy(id);
      return 0;
    case PW_WM_SYSKEYDOWN:
      if (static_cast<uint32_t>(wparam) == kVkF4 &&
          (static_cast<uint32_t>(lparam) & PW_KEY_CONTEXT_BIT) != 0)
        actions.send(id, PW_WM_SYSCOMMAND, PW_SC_CLOSE, 0);
      return 0;
    case PW_WM_SYSCOMMAND:
      switch (static_cast<uint32_t>(wparam) & kCommandMask) {
        case PW_SC_MINIMIZE:
          actions.minimize(id);
          break;
        case PW_SC_MAXIMIZE:
          actions.restore(id, true);
          break;
        case PW_SC_RESTORE:
          actions.restore(id, false);
          break;
        case PW_SC_CLOSE:
          actions.send(id, PW_WM_CLOSE, 0, 0);
          break;
        default:
          break;
      }
      return 0;
    default:
      return 0;
  }
}

}  // namespace emulation
