// Keys: the Win32 virtual key of an X keycode (from its keysym, so letters, digits and
// punctuation follow the active layout; keypad keys by the Num Lock state as Windows does), the
// PC set-1 scan code and extended flag (from the keycode: evdev keycodes are Linux input codes
// plus 8), and the keyboard state as of the last message removed from the queue.

#include <X11/XKBlib.h>
#include <X11/keysym.h>

#include "key_state.h"
#include "x11_state.h"

namespace x11 {
namespace {

struct SymKey {
  KeySym sym;
  uint32_t vk;
};

constexpr SymKey kSymKeys[] = {
    {XK_BackSpace, PW_VK_BACK},
    {XK_Tab, PW_VK_TAB},
    {XK_ISO_Left_Tab, PW_VK_TAB},
    {XK_Clear, PW_VK_CLEAR},
    {XK_Return, PW_VK_RETURN},
    {XK_Pause, PW_VK_PAUSE},
    {XK_Scroll_Lock, PW_VK_SCROLL},
    {XK_Sys_Req, PW_VK_SNAPSHOT},
    {XK_Print, PW_VK_SNAPSHOT},
    {XK_Escape, PW_VK_ESCAPE},
    {XK_Delete, PW_VK_DELETE},
    {XK_Home, PW_VK_HOME},
    {XK_Left, PW_VK_LEFT},
    {XK_Up, PW_VK_UP},
    {XK_Right, PW_VK_RIGHT},
    {XK_Down, PW_VK_DOWN},
    {XK_Prior, PW_VK_PRIOR},
    {XK_Next, PW_VK_NEXT},
    {XK_End, PW_VK_END},
    {XK_Insert, PW_VK_INSERT},
    {XK_Menu, PW_VK_APPS},
    {XK_Num_Lock, PW_VK_NUMLOCK},
    {XK_Caps_Lock, PW_VK_CAPITAL},
    {XK_Shift_L, PW_VK_SHIFT},
    {XK_Shift_R, PW_VK_SHIFT},
    {XK_Control_L, PW_VK_CONTROL},
    {XK_Control_R, PW_VK_CONTROL},
    {XK_Alt_L, PW_VK_MENU},
    {XK_Alt_R, PW_VK_MENU},
    {XK_Meta_L, PW_VK_MENU},
    {XK_Meta_R, PW_VK_MENU},
    {XK_ISO_Level3_Shift, PW_VK_MENU},
    {XK_Super_L, PW_VK_LWIN},
    {XK_Super_R, PW_VK_RWIN},
    {XK_space, PW_VK_SPACE},
    {XK_KP_Enter, PW_VK_RETURN},
    {XK_KP_Home, PW_VK_HOME},
    {XK_KP_Left, PW_VK_LEFT},
    {XK_KP_Up, PW_VK_UP},
    {XK_KP_Right, PW_VK_RIGHT},
    {XK_KP_Down, PW_VK_DOWN},
    {XK_KP_Prior, PW_VK_PRIOR},
    {XK_KP_Next, PW_VK_NEXT},
    {XK_KP_End, PW_VK_END},
    {XK_KP_Begin, PW_VK_CLEAR},
    {XK_KP_Insert, PW_VK_INSERT},
    {XK_KP_Delete, PW_VK_DELETE},
    {XK_KP_Multiply, PW_VK_MULTIPLY},
    {XK_KP_Add, PW_VK_ADD},
    {XK_KP_Separator, PW_VK_SEPARATOR},
    {XK_KP_Subtract, PW_VK_SUBTRACT},
    {XK_KP_Decimal, PW_VK_DECIMAL},
    {XK_KP_Divide, PW_VK_DIVIDE},
    {XK_semicolon, PW_VK_OEM_1},
    {XK_equal, PW_VK_OEM_PLUS},
    {XK_plus, PW_VK_OEM_PLUS},
    {XK_comma, PW_VK_OEM_COMMA},
    {XK_minus, PW_VK_OEM_MINUS},
    {XK_period, PW_VK_OEM_PERIOD},
    {XK_slash, PW_VK_OEM_2},
    {XK_grave, PW_VK_OEM_3},
    {XK_bracketleft, PW_VK_OEM_4},
    {XK_backslash, PW_VK_OEM_5},
    {XK_bracketright, PW_VK_OEM_6},
    {XK_apostrophe, PW_VK_OEM_7},
    {XK_less, PW_VK_OEM_102},
};

}  // namespace

// The US layout's virtual keys by scan code: the fallback for keys whose keysym has no virtual
// key of its own (letters of non-Latin layouts, shifted digits of AZERTY and the like).
uint32_t us_virtual_key(uint32_t scan) {
  static constexpr char kRow1[] = "1234567890";  // 0x02..0x0B
  static constexpr char kRow2[] = "QWERTYUIOP";  // 0x10..0x19
  static constexpr char kRow3[] = "ASDFGHJKL";   // 0x1E..0x26
  static constexpr char kRow4[] = "ZXCVBNM";     // 0x2C..0x32
  if (scan >= 0x02 && scan <= 0x0B) return static_cast<uint32_t>(kRow1[scan - 0x02]);
  if (scan >= 0x10 && scan <= 0x19) return static_cast<uint32_t>(kRow2[scan - 0x10]);
  if (scan >= 0x1E && scan <= 0x26) return static_cast<uint32_t>(kRow3[scan - 0x1E]);
  if (scan >= 0x2C && scan <= 0x32) return static_cast<uint32_t>(kRow4[scan - 0x2C]);
  switch (scan) {
    case 0x0C:
      return PW_VK_OEM_MINUS;
    case 0x0D:
      return PW_VK_OEM_PLUS;
    case 0x1A:
      return PW_VK_OEM_4;
    case 0x1B:
      return PW_VK_OEM_6;
    case 0x27:
      return PW_VK_OEM_1;
    case 0x28:
      return PW_VK_OEM_7;
    case 0x29:
      return PW_VK_OEM_3;
    case 0x2B:
      return PW_VK_OEM_5;
    case 0x33:
      return PW_VK_OEM_COMMA;
    case 0x34:
      return PW_VK_OEM_PERIOD;
    case 0x35:
      return PW_VK_OEM_2;
    case 0x56:
      return PW_VK_OEM_102;
    default:
      return 0;
  }
}

uint32_t vk_of_keysym(KeySym sym) {
  if (sym >= XK_a && sym <= XK_z) return PW_VK_A + static_cast<uint32_t>(sym - XK_a);
  if (sym >= XK_A && sym <= XK_Z) return PW_VK_A + static_cast<uint32_t>(sym - XK_A);
  if (sym >= XK_0 && sym <= XK_9) return PW_VK_0 + static_cast<uint32_t>(sym - XK_0);
  if (sym >= XK_KP_0 && sym <= XK_KP_9) return PW_VK_NUMPAD0 + static_cast<uint32_t>(sym - XK_KP_0);
  if (sym >= XK_F1 && sym <= XK_F24) return PW_VK_F1 + static_cast<uint32_t>(sym - XK_F1);
  for (const SymKey& entry : kSymKeys)
    if (entry.sym == sym) return entry.vk;
  return 0;
}

namespace {

bool keypad_number(KeySym sym) {
  return (sym >= XK_KP_0 && sym <= XK_KP_9) || sym == XK_KP_Decimal || sym == XK_KP_Separator;
}

bool down(const uint8_t keys[256], uint32_t vk) {
  return (keys[vk & 0xFF] & PW_KEY_STATE_DOWN) != 0;
}

void set_toggled(uint32_t vk, bool on) {
  uint8_t& entry = state().keys[vk];
  entry =
      static_cast<uint8_t>(on ? (entry | PW_KEY_STATE_TOGGLED) : (entry & ~PW_KEY_STATE_TOGGLED));
}

}  // namespace

uint32_t virtual_key(unsigned int keycode, bool numlock) {
  Display* d = state().display;
  if (d == nullptr || keycode < 8 || keycode > 255) return 0;
  KeyCode code = static_cast<KeyCode>(keycode);
  KeySym sym = XkbKeycodeToKeysym(d, code, 0, 0);
  if (numlock && IsKeypadKey(sym)) {
    KeySym number = XkbKeycodeToKeysym(d, code, 0, 1);
    if (keypad_number(number)) sym = number;
  }
  uint32_t vk = vk_of_keysym(sym);
  if (vk != 0) return vk;
  bool extended = false;
  uint32_t scan = scan_code(keycode, &extended);
  return extended ? 0 : us_virtual_key(scan);
}

uint32_t scan_code(unsigned int keycode, bool* extended) {
  *extended = false;
  if (keycode < 9) return 0;
  unsigned int code = keycode - 8;  // Linux input code
  if (code == 69) {                 // Num Lock: the E0 flag is what Windows reports for it
    *extended = true;
    return 0x45;
  }
  if (code <= 88) return code;
  struct Extended {
    unsigned int code;
    uint32_t scan;
  };
  static constexpr Extended kExtended[] = {
      {96, 0x1C},  {97, 0x1D},  {98, 0x35},  {99, 0x37},  {100, 0x38}, {102, 0x47},
      {103, 0x48}, {104, 0x49}, {105, 0x4B}, {106, 0x4D}, {107, 0x4F}, {108, 0x50},
      {109, 0x51}, {110, 0x52}, {111, 0x53}, {125, 0x5B}, {126, 0x5C}, {127, 0x5D},
  };
  for (const Extended& entry : kExtended) {
    if (entry.code == code) {
      *extended = true;
      return entry.scan;
    }
  }
  if (code == 119) return 0x45;  // Pause
  return 0;
}

void apply_input_state(const Queued& queued) {
  emulation::apply_key_message(state().keys, queued.msg);
  // The lock toggles follow the server, which also knows of lock changes made elsewhere.
  if (queued.has_locks) {
    set_toggled(PW_VK_CAPITAL, queued.locks & 1);
    set_toggled(PW_VK_NUMLOCK, queued.locks & 2);
    set_toggled(PW_VK_SCROLL, queued.locks & 4);
  }
}

unsigned int keycode_for(uint32_t vk, uint32_t scan, const uint8_t keys[256]) {
  bool numlock = (keys[PW_VK_NUMLOCK] & PW_KEY_STATE_TOGGLED) != 0;
  unsigned int by_vk = 0;
  for (unsigned int keycode = 8; keycode < 256; ++keycode) {
    if (virtual_key(keycode, numlock) != vk) continue;
    bool extended = false;
    if (scan_code(keycode, &extended) == scan) return keycode;
    if (by_vk == 0) by_vk = keycode;
  }
  return by_vk;
}

unsigned int modifier_state(const uint8_t keys[256]) {
  unsigned int mods = 0;
  if (down(keys, PW_VK_SHIFT) || down(keys, PW_VK_LSHIFT) || down(keys, PW_VK_RSHIFT))
    mods |= ShiftMask;
  if (down(keys, PW_VK_CONTROL) || down(keys, PW_VK_LCONTROL) || down(keys, PW_VK_RCONTROL))
    mods |= ControlMask;
  if (down(keys, PW_VK_MENU) || down(keys, PW_VK_LMENU) || down(keys, PW_VK_RMENU))
    mods |= Mod1Mask;
  if (keys[PW_VK_CAPITAL] & PW_KEY_STATE_TOGGLED) mods |= LockMask;
  if (keys[PW_VK_NUMLOCK] & PW_KEY_STATE_TOGGLED) mods |= state().numlock_mask;
  return mods;
}

int32_t get_keyboard_state(uint8_t keys[256]) {
  if (keys == nullptr) return 0;
  for (int i = 0; i < 256; ++i) keys[i] = state().keys[i];
  return 1;
}

}  // namespace x11
