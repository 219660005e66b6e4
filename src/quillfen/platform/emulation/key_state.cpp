#include "key_state.h"

namespace emulation {
namespace {

bool is_down(const uint8_t keys[256], uint32_t vk) {
  return (keys[vk & 0xFF] & PW_KEY_STATE_DOWN) != 0;
}

// Shift, Ctrl and Alt have a generic entry and one per side; the side follows the scan code or
// the extended flag, as on a PC keyboard.
void set_key(uint8_t keys[256], uint32_t vk, bool down, PwLParam lparam) {
  uint32_t left = 0, right = 0;
  bool right_side = false;
  if (vk == PW_VK_SHIFT) {
    left = PW_VK_LSHIFT;
    right = PW_VK_RSHIFT;
    right_side = pw_key_scan_code(lparam) == 0x36;
  } else if (vk == PW_VK_CONTROL) {
    left = PW_VK_LCONTROL;
    right = PW_VK_RCONTROL;
    right_side = pw_key_extended(lparam);
  } else if (vk == PW_VK_MENU) {
    left = PW_VK_LMENU;
    right = PW_VK_RMENU;
    right_side = pw_key_extended(lparam);
  }
  if (left == 0) {
    set_key_entry(keys, vk, down);
    return;
  }
  set_key_entry(keys, right_side ? right : left, down);
  bool any = is_down(keys, left) || is_down(keys, right);
  if (any != is_down(keys, vk) || down) set_key_entry(keys, vk, any);
}

}  // namespace

void set_key_entry(uint8_t keys[256], uint32_t vk, bool down) {
  uint8_t& entry = keys[vk & 0xFF];
  if (down) {
    if (!(entry & PW_KEY_STATE_DOWN)) entry ^= PW_KEY_STATE_TOGGLED;
    entry |= PW_KEY_STATE_DOWN;
  } else {
    entry &= static_cast<uint8_t>(~PW_KEY_STATE_DOWN);
  }
}

void apply_key_message(uint8_t keys[256], const PwMsg& msg) {
  uint32_t vk = static_cast<uint32_t>(msg.wparam);
  switch (msg.message) {
    case PW_WM_KEYDOWN:
    case PW_WM_SYSKEYDOWN:
      set_key(keys, vk, true, msg.lparam);
      break;
    case PW_WM_KEYUP:
    case PW_WM_SYSKEYUP:
      set_key(keys, vk, false, msg.lparam);
      break;
    case PW_WM_LBUTTONDOWN:
    case PW_WM_LBUTTONUP:
      set_key_entry(keys, PW_VK_LBUTTON, msg.message == PW_WM_LBUTTONDOWN);
      break;
    case PW_WM_MBUTTONDOWN:
    case PW_WM_MBUTTONUP:
      set_key_entry(keys, PW_VK_MBUTTON, msg.message == PW_WM_MBUTTONDOWN);
      break;
    case PW_WM_RBUTTONDOWN:
    case PW_WM_RBUTTONUP:
      set_key_entry(keys, PW_VK_RBUTTON, msg.message == PW_WM_RBUTTONDOWN);
      break;
    default:
      break;
  }
}

}  // namespace emulation
