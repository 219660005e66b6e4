#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Conversions of command-line values. Each returns nothing when the text is not acceptable, and
// then sets `why` to a short reason for the user ("not a whole number", ...).

// A whole decimal number in [lo, hi].
std::optional<int64_t> parse_whole(const std::string& text, int64_t lo, int64_t hi,
                                   std::string& why);

// A finite decimal number greater than 0 that stays so when stored as float32.
std::optional<float> parse_positive_float(const std::string& text, std::string& why);

// A finite decimal number, in double precision, greater than `lo` (or equal to it when
// `lo_allowed`).
std::optional<double> parse_finite_above(const std::string& text, double lo, bool lo_allowed,
                                         std::string& why);
