// SPDX-License-Identifier: MIT
#include "time_text.h"

#include <cstdio>

#include "numbers.h"

namespace veltrask::core {

std::string timeText(int secondsOfDay) {
    const int seconds = ((secondsOfDay % kSecondsPerDay) + kSecondsPerDay) % kSecondsPerDay;
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%d:%02d:%02d", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return buffer;
}

std::optional<int> parseTimeText(std::string_view text) {
    const auto first = text.find(':');
    const auto second = first == std::string_view::npos ? first : text.find(':', first + 1);
    if (second == std::string_view::npos) {
        return std::nullopt;
    }
    const auto hour = text.substr(0, first);
    const auto minute = text.substr(first + 1, second - first - 1);
    const auto secs = text.substr(second + 1);
    if (hour.empty() || hour.size() > 2 || !isDigits(hour) || minute.size() != 2 ||
        !isDigits(minute) || secs.size() != 2 || !isDigits(secs)) {
        return std::nullopt;
    }
    auto value = [](std::string_view digits) {
        int v = 0;
        for (const char c : digits) {
            v = v * 10 + (c - '0');
        }
        return v;
    };
    const int h = value(hour), m = value(minute), s = value(secs);
    if (h > 23 || m > 59 || s > 59) {
        return std::nullopt;
    }
    return h * 3600 + m * 60 + s;
}

}  // namespace veltrask::core
