// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace veltrask::core {

inline constexpr int kSecondsPerDay = 24 * 60 * 60;

// H:mm:ss on a 24-hour clock, whatever the locale: schedules compare it with text the user typed.
std::string timeText(int secondsOfDay);

// The second of the day a time text names, or nullopt when the text is not H:mm:ss.
std::optional<int> parseTimeText(std::string_view text);

}  // namespace veltrask::core
