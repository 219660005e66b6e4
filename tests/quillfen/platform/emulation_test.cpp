// The Win32 emulation that the scripted and x11 backends share.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "key_state.h"
#include "system_messages.h"
#include "text_conversion.h"
#include "update_region.h"

namespace {

std::string convert(uint32_t code_page, const char16_t* wide, int32_t length) {
  char out[32] = {};
  int32_t written =
      emulation::wide_to_multi_byte(code_page, wide, length, out, sizeof out, nullptr, nullptr);
  return std::string(out, static_cast<size_t>(written));
}

TEST(TextConversion, Utf8OfEachLengthAndSurrogates) {
  const char16_t text[] = {u'A', 0x00E9, 0x20AC, 0xD83D, 0xDE00, 0};
  EXPECT_EQ(convert(PW_CP_UTF8, text, 5), "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  // A lone surrogate becomes U+FFFD; a high one at the end has no partner to pair with.
  const char16_t lone[] = {0xDC00, u'x', 0xD800};
  EXPECT_EQ(convert(PW_CP_UTF8, lone, 3), "\xEF\xBF\xBDx\xEF\xBF\xBD");
}

TEST(TextConversion, LengthsAndOutputSizes) {
  const char16_t text[] = {u'a', 0x00E9, 0};
  // -1 converts the terminator too; an output length of 0 asks for the size.
  EXPECT_EQ(emulation::wide_to_multi_byte(PW_CP_UTF8, text, -1, nullptr, 0, nullptr, nullptr), 4);
  char small[3];
  EXPECT_EQ(emulation::wide_to_multi_byte(PW_CP_UTF8, text, -1, small, 3, nullptr, nullptr), 0);
  char out[8];
  EXPECT_EQ(emulation::wide_to_multi_byte(PW_CP_UTF8, text, 0, out, 8, nullptr, nullptr), 0);
  EXPECT_EQ(emulation::wide_to_multi_byte(PW_CP_UTF8, text, -2, out, 8, nullptr, nullptr), 0);
  EXPECT_EQ(emulation::wide_to_multi_byte(PW_CP_UTF8, nullptr, 1, out, 8, nullptr, nullptr), 0);
}

TEST(TextConversion, EightBitCodePageUsesTheDefaultCharacter) {
  const char16_t text[] = {u'a', 0x00E9, 0x20AC};
  char out[4] = {};
  int32_t used = -1;
  ASSERT_EQ(emulation::wide_to_multi_byte(PW_CP_ACP, text, 3, out, 4, "#", &used), 3);
  EXPECT_EQ(std::string(out, 3), "a\xE9#");
  EXPECT_EQ(used, 1);
  EXPECT_EQ(convert(PW_CP_ACP, text + 2, 1), "?");
  ASSERT_EQ(emulation::wide_to_multi_byte(PW_CP_ACP, text, 2, out, 4, "#", &used), 2);
  EXPECT_EQ(used, 0);
}

PwMsg key(uint32_t message, uint32_t vk, uint32_t scan, bool extended = false) {
  PwMsg msg{};
  msg.message = message;
  msg.wparam = vk;
  msg.lparam = pw_key_lparam(scan, extended, false, message == PW_WM_KEYUP);
  return msg;
}

bool down(const uint8_t keys[256], uint32_t vk) {
  return (keys[vk] & PW_KEY_STATE_DOWN) != 0;
}

TEST(KeyState, SidedModifiersKeepTheGenericEntryWhileEitherIsDown) {
  uint8_t keys[256] = {};
  emulation::apply_key_message(keys, key(PW_WM_KEYDOWN, PW_VK_SHIFT, 0x2A));
  emulation::apply_key_message(keys, key(PW_WM_KEYDOWN, PW_VK_SHIFT, 0x36));
  EXPECT_TRUE(down(keys, PW_VK_LSHIFT) && down(keys, PW_VK_RSHIFT) && down(keys, PW_VK_SHIFT));
  emulation::apply_key_message(keys, key(PW_WM_KEYUP, PW_VK_SHIFT, 0x2A));
  EXPECT_FALSE(down(keys, PW_VK_LSHIFT));
  EXPECT_TRUE(down(keys, PW_VK_SHIFT));
  emulation::apply_key_message(keys, key(PW_WM_KEYUP, PW_VK_SHIFT, 0x36));
  EXPECT_FALSE(down(keys, PW_VK_SHIFT));
  // Ctrl's side follows the extended flag.
  emulation::apply_key_message(keys, key(PW_WM_SYSKEYDOWN, PW_VK_CONTROL, 0x1D, true));
  EXPECT_TRUE(down(keys, PW_VK_RCONTROL) && down(keys, PW_VK_CONTROL));
  EXPECT_FALSE(down(keys, PW_VK_LCONTROL));
}

TEST(KeyState, ToggleFlipsOnPressNotOnRepeatAndButtonsFollow) {
  uint8_t keys[256] = {};
  emulation::apply_key_message(keys, key(PW_WM_KEYDOWN, PW_VK_CAPITAL, 0x3A));
  emulation::apply_key_message(keys, key(PW_WM_KEYDOWN, PW_VK_CAPITAL, 0x3A));  // repeat
  EXPECT_EQ(keys[PW_VK_CAPITAL], PW_KEY_STATE_DOWN | PW_KEY_STATE_TOGGLED);
  emulation::apply_key_message(keys, key(PW_WM_KEYUP, PW_VK_CAPITAL, 0x3A));
  EXPECT_EQ(keys[PW_VK_CAPITAL], PW_KEY_STATE_TOGGLED);
  PwMsg button{};
  button.message = PW_WM_RBUTTONDOWN;
  emulation::apply_key_message(keys, button);
  EXPECT_TRUE(down(keys, PW_VK_RBUTTON));
  button.message = PW_WM_RBUTTONUP;
  emulation::apply_key_message(keys, button);
  EXPECT_FALSE(down(keys, PW_VK_RBUTTON));
}

TEST(UpdateRegion, GrowsToTheBoundsAndIgnoresEmptyRectangles) {
  PwRect update{};
  PwRect bounds{1, 1, 1, 1};
  EXPECT_FALSE(emulation::update_bounds(update, &bounds));
  EXPECT_EQ(bounds.right, 0);
  emulation::add_update(update, PwRect{10, 20, 30, 40});
  emulation::add_update(update, PwRect{5, 5, 5, 100});  // empty: adds nothing
  emulation::add_update(update, PwRect{0, 30, 15, 50});
  ASSERT_TRUE(emulation::update_bounds(update, &bounds));
  EXPECT_EQ(bounds.left, 0);
  EXPECT_EQ(bounds.top, 20);
  EXPECT_EQ(bounds.right, 30);
  EXPECT_EQ(bounds.bottom, 50);
}

std::vector<std::pair<uintptr_t, uint32_t>> sent;
uintptr_t focus = 0;

PwResult record(uintptr_t id, uint32_t message, PwWParam, PwLParam) {
  sent.emplace_back(id, message);
  return 0;
}

// A KILLFOCUS handler that gives the focus to a third window.
PwResult steal(uintptr_t id, uint32_t message, PwWParam wparam, PwLParam lparam) {
  record(id, message, wparam, lparam);
  if (message == PW_WM_KILLFOCUS) emulation::move_focus(focus, 0x30, record);
  return 0;
}

TEST(SystemMessages, FocusMovesWithKillThenSetUnlessAHandlerMovedItOn) {
  sent.clear();
  focus = 0x10;
  emulation::move_focus(focus, 0x20, record);
  using Sent = std::vector<std::pair<uintptr_t, uint32_t>>;
  EXPECT_EQ(sent, (Sent{{0x10, PW_WM_KILLFOCUS}, {0x20, PW_WM_SETFOCUS}}));
  sent.clear();
  emulation::move_focus(focus, 0x20, record);
  EXPECT_TRUE(sent.empty());
  emulation::move_focus(focus, 0x40, steal);
  EXPECT_EQ(focus, 0x30u);
  EXPECT_EQ(sent.back(), (std::pair<uintptr_t, uint32_t>{0x30, PW_WM_SETFOCUS}));
  for (const auto& [id, message] : sent) EXPECT_FALSE(id == 0x40 && message == PW_WM_SETFOCUS);
}

}  // namespace
