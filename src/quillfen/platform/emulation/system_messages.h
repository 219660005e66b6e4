#pragma once

// Messages the system sends straight to window procedures when focus or the display changes.
// Each backend passes its own SendMessage, since window records and logging are its own.

#include <cstdint>
#include <vector>

#include "platform.h"

namespace emulation {

using SendFn = PwResult (*)(uintptr_t id, uint32_t message, PwWParam wparam, PwLParam lparam);

// Moves the keyboard focus to `id` (0 = none): WM_KILLFOCUS to the old owner, then WM_SETFOCUS
// to the new one unless a handler moved the focus elsewhere meanwhile.
void move_focus(uintptr_t& focus, uintptr_t id, SendFn send);

// WM_DISPLAYCHANGE with the new depth and size to each of `ids`.
void announce_display_change(const std::vector<uintptr_t>& ids, const PwDevMode& mode, SendFn send);

}  // namespace emulation
