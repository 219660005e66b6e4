#include "system_messages.h"

#include "handles.h"

namespace emulation {

void move_focus(uintptr_t& focus, uintptr_t id, SendFn send) {
  uintptr_t previous = focus;
  if (previous == id) return;
  focus = id;
  if (previous != 0) send(previous, PW_WM_KILLFOCUS, reinterpret_cast<PwWParam>(handle(id)), 0);
  if (id != 0 && focus == id)
    send(id, PW_WM_SETFOCUS, reinterpret_cast<PwWParam>(handle(previous)), 0);
}

void announce_display_change(const std::vector<uintptr_t>& ids, const PwDevMode& mode,
                             SendFn send) {
  for (uintptr_t id : ids)
    send(id, PW_WM_DISPLAYCHANGE, mode.bits_per_pel,
         pw_make_lparam(static_cast<int32_t>(mode.pels_width),
                        static_cast<int32_t>(mode.pels_height)));
}

}  // namespace emulation
