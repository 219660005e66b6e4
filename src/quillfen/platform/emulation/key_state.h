#pragma once

// The keyboard state as GetKeyboardState reports it: keys and mouse buttons change when their
// message is removed from the queue.

#include <cstdint>

#include "platform.h"

namespace emulation {

// Marks `vk` down or up; going down flips its toggle bit.
void set_key_entry(uint8_t keys[256], uint32_t vk, bool down);

// Applies a key or button message that has just left the queue; other messages change nothing.
void apply_key_message(uint8_t keys[256], const PwMsg& msg);

}  // namespace emulation
