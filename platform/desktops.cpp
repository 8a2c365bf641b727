// SPDX-License-Identifier: MIT
#include "platform/desktops.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace veltrask::platform {

namespace {

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    while (!text.empty()) {
        const auto end = std::min(text.find(separator), text.size());
        if (end > 0) {
            parts.push_back(text.substr(0, end));
        }
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return parts;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return std::ranges::equal(a, b, {}, lower, lower);
}

}  // namespace

std::string currentDesktops() {
    const char* value = std::getenv("XDG_CURRENT_DESKTOP");
    return value ? value : "";
}

bool desktopIsOneOf(std::string_view names, std::string_view sessionDesktops) {
    if (names.empty()) {
        return true;
    }
    const auto wanted = split(names, ':');
    return std::ranges::any_of(split(sessionDesktops, ':'), [&](std::string_view desktop) {
        return std::ranges::any_of(
            wanted, [&](std::string_view name) { return equalsIgnoringCase(name, desktop); });
    });
}

}  // namespace veltrask::platform
