// The x11 backend's keyboard translation where it needs no X display: the set-1 scan code and
// extended flag of each keycode, the virtual keys of keysyms and the US layout's fallback by scan
// code, the lock bits of an X state, and the X modifiers of a keyboard-state buffer. The expected
// values are the Windows set-1 codes, written out here rather than taken from the backend.

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <cstring>

#include "x11_state.h"

namespace {

struct ScanCase {
  unsigned int keycode;  // evdev: the Linux input code plus 8
  uint32_t scan;
  bool extended;
};

TEST(X11Keyboard, ScanCodesAtTheEdgesOfEachRange) {
  const ScanCase cases[] = {
      {0, 0, false},      {8, 0, false},      // below the first key
      {9, 0x01, false},                       // Escape, the first plain code
      {76, 0x44, false},                      // F10
      {77, 0x45, true},                       // Num Lock reports the E0 flag, as on Windows
      {78, 0x46, false},                      // Scroll Lock
      {96, 0x58, false},                      // F12, the last plain code
      {97, 0, false},     {103, 0, false},    // codes 89 and 95: none
      {104, 0x1C, true},                      // keypad Enter, the first extended key
      {105, 0x1D, true},  {106, 0x35, true},  // right Control, keypad divide
      {107, 0x37, true},  {108, 0x38, true},  // Print Screen, right Alt
      {109, 0, false},                        // code 101: none
      {110, 0x47, true},  {111, 0x48, true},  // Home, Up
      {112, 0x49, true},  {113, 0x4B, true},  // Page Up, Left
      {114, 0x4D, true},  {115, 0x4F, true},  // Right, End
      {116, 0x50, true},  {117, 0x51, true},  // Down, Page Down
      {118, 0x52, true},  {119, 0x53, true},  // Insert, Delete
      {120, 0, false},                        // code 112: none
      {127, 0x45, false},                     // Pause: Num Lock's code without the flag
      {132, 0, false},                        // code 124: none
      {133, 0x5B, true},  {134, 0x5C, true},  // left and right Windows keys
      {135, 0x5D, true},                      // the menu key, the last extended key
      {136, 0, false},    {255, 0, false},
  };
  for (const ScanCase& c : cases) {
    bool extended = !c.extended;
    EXPECT_EQ(x11::scan_code(c.keycode, &extended), c.scan) << "keycode " << c.keycode;
    EXPECT_EQ(extended, c.extended) << "keycode " << c.keycode;
  }
}

TEST(X11Keyboard, KeysymsAtTheEdgesOfTheirRanges) {
  struct Case {
    KeySym sym;
    uint32_t vk;
  };
  const Case cases[] = {
      {XK_a, 'A'},         {XK_z, 'Z'},
      {XK_A, 'A'},         {XK_Z, 'Z'},
      {XK_braceleft, 0},  // just past z
      {XK_0, '0'},         {XK_9, '9'},
      {XK_colon, 0},  // just past 9
      {XK_KP_0, 0x60},     {XK_KP_9, 0x69},
      {XK_F1, 0x70},       {XK_F12, 0x7B},
      {XK_F24, 0x87},      {XK_Return, 0x0D},
      {XK_KP_Enter, 0x0D}, {XK_ISO_Left_Tab, 0x09},
      {XK_Shift_R, 0x10},  {XK_Alt_R, 0x12},
      {XK_Super_R, 0x5C},  {XK_Menu, 0x5D},
      {XK_KP_Begin, 0x0C}, {XK_KP_Decimal, 0x6E},
      {XK_plus, 0xBB},     {XK_less, 0xE2},  // the last entry of the table
      {XK_Cyrillic_a, 0},  {NoSymbol, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(x11::vk_of_keysym(c.sym), c.vk) << "keysym " << c.sym;
}

TEST(X11Keyboard, UsFallbackByScanCode) {
  struct Case {
    uint32_t scan;
    uint32_t vk;
  };
  const Case cases[] = {
      {0x01, 0},    {0x02, '1'},  {0x0A, '9'},  {0x0B, '0'}, {0x0C, 0xBD}, {0x0D, 0xBB},
      {0x0E, 0},    {0x0F, 0},    {0x10, 'Q'},  {0x19, 'P'}, {0x1A, 0xDB}, {0x1B, 0xDD},
      {0x1C, 0},    {0x1D, 0},    {0x1E, 'A'},  {0x26, 'L'}, {0x27, 0xBA}, {0x28, 0xDE},
      {0x29, 0xC0}, {0x2A, 0},    {0x2B, 0xDC}, {0x2C, 'Z'}, {0x32, 'M'},  {0x33, 0xBC},
      {0x34, 0xBE}, {0x35, 0xBF}, {0x36, 0},    {0x55, 0},   {0x56, 0xE2}, {0x57, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(x11::us_virtual_key(c.scan), c.vk) << "scan " << c.scan;
}

// The backend's keyboard state is process-wide: each test leaves it as it found it.
class X11KeyState : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_numlock_mask_ = x11::state().numlock_mask;
    saved_scroll_lock_ = x11::state().scroll_lock;
    std::memcpy(saved_keys_, x11::state().keys, sizeof saved_keys_);
    x11::state().numlock_mask = Mod2Mask;
    x11::state().scroll_lock = false;
    std::memset(x11::state().keys, 0, sizeof saved_keys_);
  }
  void TearDown() override {
    x11::state().numlock_mask = saved_numlock_mask_;
    x11::state().scroll_lock = saved_scroll_lock_;
    std::memcpy(x11::state().keys, saved_keys_, sizeof saved_keys_);
  }

 private:
  unsigned int saved_numlock_mask_ = 0;
  bool saved_scroll_lock_ = false;
  uint8_t saved_keys_[256] = {};
};

TEST_F(X11KeyState, LockBitsOfAnXState) {
  EXPECT_EQ(x11::lock_bits(0), 0);
  EXPECT_EQ(x11::lock_bits(LockMask), 1);
  EXPECT_EQ(x11::lock_bits(Mod2Mask), 2);
  EXPECT_EQ(x11::lock_bits(LockMask | Mod2Mask | ShiftMask | ControlMask | Mod1Mask), 3);
  EXPECT_EQ(x11::lock_bits(Mod3Mask), 0) << "Num Lock is the server's Num Lock modifier only";
  x11::state().numlock_mask = Mod3Mask;
  EXPECT_EQ(x11::lock_bits(Mod3Mask), 2);
  EXPECT_EQ(x11::lock_bits(Mod2Mask), 0);
  // Scroll Lock is no modifier: it comes from the indicator the backend follows.
  x11::state().scroll_lock = true;
  EXPECT_EQ(x11::lock_bits(0), 4);
}

TEST_F(X11KeyState, LocksOfAMessageSetOnlyTheToggledBits) {
  x11::state().keys[PW_VK_CAPITAL] = PW_KEY_STATE_DOWN;
  x11::Queued queued;
  queued.msg.message = PW_WM_MOUSEMOVE;
  queued.has_locks = true;
  queued.locks = 1 | 4;  // Caps Lock and Scroll Lock
  x11::apply_input_state(queued);
  EXPECT_EQ(x11::state().keys[PW_VK_CAPITAL], PW_KEY_STATE_DOWN | PW_KEY_STATE_TOGGLED);
  EXPECT_EQ(x11::state().keys[PW_VK_NUMLOCK], 0);
  EXPECT_EQ(x11::state().keys[PW_VK_SCROLL], PW_KEY_STATE_TOGGLED);
  queued.locks = 2;
  x11::apply_input_state(queued);
  EXPECT_EQ(x11::state().keys[PW_VK_CAPITAL], PW_KEY_STATE_DOWN);
  EXPECT_EQ(x11::state().keys[PW_VK_NUMLOCK], PW_KEY_STATE_TOGGLED);
  EXPECT_EQ(x11::state().keys[PW_VK_SCROLL], 0);
  // A message without lock state leaves the toggles alone.
  queued.has_locks = false;
  queued.locks = 0;
  x11::apply_input_state(queued);
  EXPECT_EQ(x11::state().keys[PW_VK_NUMLOCK], PW_KEY_STATE_TOGGLED);
}

TEST_F(X11KeyState, ModifiersOfAKeyboardState) {
  uint8_t keys[256] = {};
  EXPECT_EQ(x11::modifier_state(keys), 0u);
  for (uint32_t vk : {PW_VK_SHIFT, PW_VK_LSHIFT, PW_VK_RSHIFT}) {
    std::memset(keys, 0, sizeof keys);
    keys[vk] = PW_KEY_STATE_DOWN;
    EXPECT_EQ(x11::modifier_state(keys), static_cast<unsigned>(ShiftMask)) << vk;
  }
  for (uint32_t vk : {PW_VK_CONTROL, PW_VK_LCONTROL, PW_VK_RCONTROL}) {
    std::memset(keys, 0, sizeof keys);
    keys[vk] = PW_KEY_STATE_DOWN;
    EXPECT_EQ(x11::modifier_state(keys), static_cast<unsigned>(ControlMask)) << vk;
  }
  for (uint32_t vk : {PW_VK_MENU, PW_VK_LMENU, PW_VK_RMENU}) {
    std::memset(keys, 0, sizeof keys);
    keys[vk] = PW_KEY_STATE_DOWN;
    EXPECT_EQ(x11::modifier_state(keys), static_cast<unsigned>(Mod1Mask)) << vk;
  }
  // Toggled, not held, is what counts for the locks; held, not toggled, for the others.
  std::memset(keys, 0, sizeof keys);
  keys[PW_VK_CAPITAL] = PW_KEY_STATE_TOGGLED;
  keys[PW_VK_NUMLOCK] = PW_KEY_STATE_TOGGLED;
  keys[PW_VK_SHIFT] = PW_KEY_STATE_TOGGLED;
  EXPECT_EQ(x11::modifier_state(keys), static_cast<unsigned>(LockMask | Mod2Mask));
  keys[PW_VK_CAPITAL] = PW_KEY_STATE_DOWN;
  keys[PW_VK_NUMLOCK] = PW_KEY_STATE_DOWN;
  EXPECT_EQ(x11::modifier_state(keys), 0u);
}

}  // namespace
