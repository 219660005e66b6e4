#include <cstring>

#include "key_map.h"
#include "toolkit_fixture.h"

namespace {

int32_t code_of(uint32_t vk, uint32_t scan, bool extended) {
  return key_code(vk, pw_key_lparam(scan, extended, false, false));
}

TEST(KeyMap, VirtualKeysOfTheTable) {
  struct Row {
    uint32_t vk;
    int32_t plain, extended;
  };
  const Row rows[] = {
      {PW_VK_ESCAPE, 1, 1},       {PW_VK_SCROLL, 15, 15},   {PW_VK_OEM_3, 17, 17},
      {PW_VK_OEM_MINUS, 28, 28},  {PW_VK_OEM_PLUS, 29, 29}, {PW_VK_OEM_5, 30, 30},
      {PW_VK_BACK, 31, 31},       {PW_VK_TAB, 32, 32},      {PW_VK_OEM_4, 43, 43},
      {PW_VK_OEM_6, 44, 44},      {PW_VK_RETURN, 45, 102},  {PW_VK_CAPITAL, 46, 46},
      {PW_VK_OEM_1, 56, 56},      {PW_VK_OEM_7, 57, 57},    {PW_VK_OEM_COMMA, 66, 66},
      {PW_VK_OEM_PERIOD, 67, 67}, {PW_VK_OEM_2, 68, 68},    {PW_VK_CONTROL, 70, 77},
      {PW_VK_LWIN, 71, 71},       {PW_VK_MENU, 72, 74},     {PW_VK_SPACE, 73, 73},
      {PW_VK_RWIN, 75, 75},       {PW_VK_APPS, 76, 76},     {PW_VK_NUMLOCK, 88, 88},
      {PW_VK_DIVIDE, 89, 89},     {PW_VK_MULTIPLY, 90, 90}, {PW_VK_SUBTRACT, 91, 91},
      {PW_VK_ADD, 95, 95},
  };
  // Scan code 0x37 would map to 14: the virtual key must win.
  for (const Row& row : rows) {
    EXPECT_EQ(code_of(row.vk, 0x37, false), row.plain) << std::hex << row.vk;
    EXPECT_EQ(code_of(row.vk, 0x37, true), row.extended) << std::hex << row.vk;
  }
  for (uint32_t i = 0; i < 12; ++i) EXPECT_EQ(code_of(PW_VK_F1 + i, 0x3B + i, false), 2 + int(i));
  for (uint32_t digit = 1; digit <= 9; ++digit)
    EXPECT_EQ(code_of(PW_VK_0 + digit, 0x01 + digit, false), 17 + int(digit));
  EXPECT_EQ(code_of(PW_VK_0, 0x0B, false), 27);
  const char* letters = "QWERTYUIOPASDFGHJKLZXCVBNM";
  const int32_t codes[] = {33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 47, 48, 49,
                           50, 51, 52, 53, 54, 55, 59, 60, 61, 62, 63, 64, 65};
  for (int i = 0; i < 26; ++i) EXPECT_EQ(code_of(uint32_t(letters[i]), 0, false), codes[i]);
}

TEST(KeyMap, ShiftSideComesFromTheScanCode) {
  EXPECT_EQ(code_of(PW_VK_SHIFT, 0x2A, false), 58);
  EXPECT_EQ(code_of(PW_VK_SHIFT, 0x36, false), 69);
  EXPECT_EQ(code_of(PW_VK_SHIFT, 0x2A, true), 58);
}

TEST(KeyMap, OtherKeysByScanCodeAndExtendedFlag) {
  struct Row {
    uint32_t scan;
    int32_t extended, plain;
  };
  const Row rows[] = {{0x37, 14, 14}, {0x45, 16, 16},  {0x47, 79, 92},  {0x48, 84, 93},
                      {0x49, 80, 94}, {0x4B, 86, 96},  {0x4C, 97, 97},  {0x4D, 87, 98},
                      {0x4F, 82, 99}, {0x50, 85, 100}, {0x51, 83, 101}, {0x52, 78, 103},
                      {0x53, 81, 104}};
  // The virtual key does not matter for these: navigation keys and keypad keys with Num Lock
  // on or off all arrive here.
  for (const Row& row : rows) {
    EXPECT_EQ(code_of(PW_VK_UP, row.scan, true), row.extended) << std::hex << row.scan;
    EXPECT_EQ(code_of(PW_VK_NUMPAD8, row.scan, false), row.plain) << std::hex << row.scan;
  }
  EXPECT_EQ(code_of(PW_VK_PAUSE, 0x46, false), 0);
  EXPECT_EQ(code_of(0xE2, 0x56, false), 0);
}

class KeyTranslation : public ToolkitTest {};

TEST_F(KeyTranslation, LetterAAndF1) {
  open_window();
  scripted::key_down(window_->hwnd, 'A', 0x1E);
  scripted::key_down(window_->hwnd, PW_VK_F1, 0x3B);
  ASSERT_EQ(quillfen_poll(), 1);
  auto events = take_all();
  ASSERT_EQ(events.size(), 2u);
  const ToolkitEvent& a = events[0];
  EXPECT_EQ(a.kind, EVENT_KEY);
  EXPECT_EQ(a.pressed, 1);
  EXPECT_EQ(a.key, 47);
  EXPECT_EQ(a.ascii, 97);
  EXPECT_EQ(a.unicode, 97);
  EXPECT_STREQ(a.text, "a");
  EXPECT_EQ(a.text_len, 1);
  const ToolkitEvent& f1 = events[1];
  EXPECT_EQ(f1.key, 2);
  EXPECT_EQ(f1.ascii, 0);
  EXPECT_EQ(f1.unicode, 0);
  EXPECT_STREQ(f1.text, "");
  EXPECT_EQ(f1.text_len, 1);
  EXPECT_TRUE(window_->key_down[47]);
  EXPECT_TRUE(window_->key_down[2]);
}

TEST_F(KeyTranslation, ShiftSidesKeypadEnterAndArrows) {
  open_window();
  PwWindow hwnd = window_->hwnd;
  scripted::key_down(hwnd, PW_VK_SHIFT, 0x2A);
  scripted::key_down(hwnd, 'A', 0x1E);
  scripted::key_up(hwnd, 'A', 0x1E);
  scripted::key_up(hwnd, PW_VK_SHIFT, 0x2A);
  scripted::key_down(hwnd, PW_VK_SHIFT, 0x36);
  scripted::key_down(hwnd, PW_VK_RETURN, 0x1C, true);
  scripted::key_down(hwnd, PW_VK_RETURN, 0x1C);
  scripted::key_down(hwnd, PW_VK_UP, 0x48, true);
  scripted::key_down(hwnd, PW_VK_NUMPAD8, 0x48);
  quillfen_poll();
  auto events = take_all();
  ASSERT_EQ(events.size(), 9u);
  EXPECT_EQ(events[0].key, 58);
  EXPECT_EQ(events[1].key, 47);
  EXPECT_STREQ(events[1].text, "A");  // Shift held
  EXPECT_EQ(events[1].modifiers & 8, 8);
  EXPECT_EQ(events[3].key, 58);
  EXPECT_EQ(events[3].pressed, 0);
  EXPECT_EQ(events[4].key, 69);
  EXPECT_EQ(events[5].key, 102);
  EXPECT_EQ(events[6].key, 45);
  EXPECT_EQ(events[7].key, 84);
  EXPECT_EQ(events[8].key, 93);
  EXPECT_FALSE(window_->key_down[58]);
  EXPECT_TRUE(window_->key_down[69]);
}

TEST_F(KeyTranslation, CharactersAbove127ArriveAsUtf8) {
  open_window();
  scripted::map_character(PW_VK_OEM_7, 0xE9, u'\u00E9');
  scripted::map_character(PW_VK_OEM_102, 0x80, u'\u20AC');
  scripted::key_down(window_->hwnd, PW_VK_OEM_7, 0x28);
  scripted::key_down(window_->hwnd, PW_VK_OEM_102, 0x56);
  quillfen_poll();
  auto events = take_all();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].ascii, 0xE9);
  EXPECT_EQ(events[0].unicode, 0xE9);
  EXPECT_STREQ(events[0].text, "\xC3\xA9");
  EXPECT_EQ(events[0].text_len, 2);
  EXPECT_EQ(events[1].ascii, 0x80);
  EXPECT_EQ(events[1].unicode, 0x20AC);
  EXPECT_STREQ(events[1].text, "\xE2\x82\xAC");
  EXPECT_EQ(events[1].text_len, 3);
}

TEST_F(KeyTranslation, FailedUtf8ConversionLeavesTextEmpty) {
  open_window();
  scripted::map_character(PW_VK_OEM_7, 0xE9, u'\u00E9');
  scripted::fail("WideCharToMultiByte");
  scripted::key_down(window_->hwnd, PW_VK_OEM_7, 0x28);
  quillfen_poll();
  auto events = take_all();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_STREQ(events[0].text, "");
  EXPECT_EQ(events[0].text_len, 0);
}

TEST_F(KeyTranslation, KeyRepeatSwitch) {
  open_window();
  auto hold_a = [&] {
    for (int i = 0; i < 3; ++i) scripted::key_down(window_->hwnd, 'A', 0x1E);
    scripted::key_up(window_->hwnd, 'A', 0x1E);
    quillfen_poll();
    return take_all();
  };
  quillfen_set_key_repeat(false);
  auto events = hold_a();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].pressed, 1);
  EXPECT_EQ(events[1].pressed, 0);
  quillfen_set_key_repeat(true);
  EXPECT_EQ(hold_a().size(), 4u);
}

TEST_F(KeyTranslation, LockTogglesAndModifierBits) {
  open_window();
  scripted::set_key_state(PW_VK_NUMLOCK, PW_KEY_STATE_TOGGLED);
  scripted::set_key_state(PW_VK_SCROLL, PW_KEY_STATE_TOGGLED);
  scripted::set_key_state(PW_VK_CONTROL, PW_KEY_STATE_DOWN);
  scripted::set_key_state(PW_VK_RCONTROL, PW_KEY_STATE_DOWN);
  scripted::set_key_state(PW_VK_MENU, PW_KEY_STATE_DOWN);
  scripted::set_key_state(PW_VK_RWIN, PW_KEY_STATE_DOWN);
  scripted::key_down(window_->hwnd, PW_VK_SPACE, 0x39);
  quillfen_poll();
  auto events = take_all();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].modifiers, 1 | 4 | 16 | 32 | 64);
}

}  // namespace
