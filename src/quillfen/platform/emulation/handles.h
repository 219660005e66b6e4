#pragma once

// Handles as the emulating backends hand them out: a window handle is its record's id (ids step
// by 0x10), a window's device context is that id with bit 3 set, and the screen's is bare 0x8.

#include <cstdint>

#include "platform.h"

namespace emulation {

inline constexpr uintptr_t kScreenDc = 0x8;
inline PwWindow handle(uintptr_t id) {
  return reinterpret_cast<PwWindow>(id);
}
inline uintptr_t id_of(PwWindow window) {
  return reinterpret_cast<uintptr_t>(window);
}
inline PwDc window_dc(uintptr_t id) {
  return reinterpret_cast<PwDc>(id | 0x8);
}
inline uintptr_t dc_id(PwDc dc) {
  return reinterpret_cast<uintptr_t>(dc);
}

}  // namespace emulation
