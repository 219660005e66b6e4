#pragma once

#include <charconv>
#include <string>

// The shortest decimal that reads back as the same value, so that a float32 setting of 2e-7
// prints as 2e-07 rather than its double expansion.
template <typename T>
std::string shortest_decimal(T v) {
  char digits[32];
  return std::string(digits, std::to_chars(digits, digits + sizeof digits, v).ptr);
}
