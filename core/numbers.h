// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace veltrask::core {

// Reads a decimal number text ("05", "3600", "-1", "2.5", "1e+30"). Anything else, the empty text
// included, is reported as std::nullopt; each caller decides what that means for it.
std::optional<double> textToNumber(std::string_view text);

// The shortest decimal text of a value: whole numbers without a point, a leading minus for
// negatives, never a leading blank. textToNumber reads every such text back to its value.
std::string numberToText(double value);

// 2^53: up to here a double holds every whole number; from here on it no longer steps down by one,
// so a count from there could never reach zero.
inline constexpr double kFirstUncountable = 9007199254740992.0;

// The number a countdown can count down from one by one, or nullopt.
std::optional<double> countableNumber(std::string_view text);

// True for a non-empty text of ASCII digits only.
bool isDigits(std::string_view text);

// Number of Unicode characters in a UTF-8 text.
std::size_t characterCount(std::string_view utf8);

}  // namespace veltrask::core
