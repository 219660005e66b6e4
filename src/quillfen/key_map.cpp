#include "key_map.h"

#include <cstring>

namespace {

// Letters follow the keyboard rows, whatever the layout's virtual keys spell.
int32_t letter_code(uint32_t virtual_key) {
  static constexpr struct {
    const char* letters;
    int32_t first;
  } kRows[] = {{"QWERTYUIOP", 33}, {"ASDFGHJKL", 47}, {"ZXCVBNM", 59}};
  for (const auto& row : kRows) {
    const char* at = std::strchr(row.letters, static_cast<int>(virtual_key));
    if (at != nullptr) return row.first + static_cast<int32_t>(at - row.letters);
  }
  return 0;
}

// Keys told apart by the virtual key alone; `extended_code` applies with the extended flag.
struct VirtualKeyCode {
  uint32_t virtual_key;
  int32_t code;
  int32_t extended_code;
};

constexpr VirtualKeyCode kVirtualKeys[] = {
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

// Every other key goes by its scan code, so the navigation keys and the keypad are told apart
// by the extended flag whatever the Num Lock state.
struct ScanCode {
  uint32_t scan_code;
  int32_t extended_code;
  int32_t code;
};

constexpr ScanCode kScanCodes[] = {
    {0x37, 14, 14},  {0x45, 16, 16},  {0x47, 79, 92},  {0x48, 84, 93}, {0x49, 80, 94},
    {0x4B, 86, 96},  {0x4C, 97, 97},  {0x4D, 87, 98},  {0x4F, 82, 99}, {0x50, 85, 100},
    {0x51, 83, 101}, {0x52, 78, 103}, {0x53, 81, 104},
};

}  // namespace

int32_t key_code(uint32_t virtual_key, PwLParam lparam) {
  bool extended = pw_key_extended(lparam);
  if (virtual_key >= PW_VK_F1 && virtual_key <= PW_VK_F12)
    return 2 + static_cast<int32_t>(virtual_key - PW_VK_F1);
  if (virtual_key >= PW_VK_0 + 1 && virtual_key <= PW_VK_9)
    return 18 + static_cast<int32_t>(virtual_key - PW_VK_0 - 1);
  if (virtual_key == PW_VK_0) return 27;
  if (virtual_key >= PW_VK_A && virtual_key <= PW_VK_Z) return letter_code(virtual_key);
  if (virtual_key == PW_VK_SHIFT) return pw_key_scan_code(lparam) == 0x2A ? 58 : 69;
  for (const VirtualKeyCode& entry : kVirtualKeys)
    if (entry.virtual_key == virtual_key) return extended ? entry.extended_code : entry.code;
  uint32_t scan = pw_key_scan_code(lparam);
  for (const ScanCode& entry : kScanCodes)
    if (entry.scan_code == scan) return extended ? entry.extended_code : entry.code;
  return 0;
}
