#include "arg_values.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

std::optional<int64_t> parse_whole(const std::string& text, int64_t lo, int64_t hi,
                                   std::string& why) {
  int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ptr != end || (ec != std::errc() && ec != std::errc::result_out_of_range)) {
    why = "not a whole number";
    return std::nullopt;
  }
  if (ec == std::errc::result_out_of_range || value < lo || value > hi) {
    why = "must be from " + std::to_string(lo) + " to " + std::to_string(hi);
    return std::nullopt;
  }
  return value;
}

namespace {

// Reads the whole of `text` as a decimal number; a value out of the double range is read but
// marked in `ec`. False, with the reason, when it is not a number.
bool read_number(const std::string& text, double& value, std::errc& ec, std::string& why) {
  const char* end = text.data() + text.size();
  const auto read = std::from_chars(text.data(), end, value);
  ec = read.ec;
  if (text.empty() || read.ptr != end ||
      (ec != std::errc() && ec != std::errc::result_out_of_range)) {
    why = "not a number";
    return false;
  }
  return true;
}

}  // namespace

std::optional<float> parse_positive_float(const std::string& text, std::string& why) {
  double value = 0;
  std::errc ec;
  if (!read_number(text, value, ec, why)) return std::nullopt;
  // Out of range, NaN and infinity included: the value must survive the float32 store.
  const auto stored = static_cast<float>(value);
  if (ec != std::errc() || !std::isfinite(stored) || !(stored > 0)) {
    why = "must be a finite number greater than 0 (as float32: from 1.4e-45 to 3.4e+38)";
    return std::nullopt;
  }
  return stored;
}

std::optional<double> parse_finite_above(const std::string& text, double lo, bool lo_allowed,
                                         std::string& why) {
  double value = 0;
  std::errc ec;
  if (!read_number(text, value, ec, why)) return std::nullopt;
  if (ec != std::errc() || !std::isfinite(value) || value < lo || (value == lo && !lo_allowed)) {
    char bound[32];
    std::snprintf(bound, sizeof bound, "%g", lo);
    why = std::string("must be a finite number ") + (lo_allowed ? "not below " : "greater than ") +
          bound;
    return std::nullopt;
  }
  return value;
}
