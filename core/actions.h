// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace veltrask::core {

// The action names, in the order the action list shows them.
inline constexpr std::string_view kRemindMe = "提醒我";
inline constexpr std::string_view kShutDown = "关闭计算机";
inline constexpr std::string_view kRestart = "重新启动";
inline constexpr std::string_view kLogOff = "注销";
inline constexpr std::array<std::string_view, 4> kActionNames{kRemindMe, kShutDown, kRestart,
                                                              kLogOff};

// The only command lines the program ever runs.
inline constexpr std::string_view kShutDownCommand = "Shutdown -s -t 00";
inline constexpr std::string_view kRestartCommand = "Shutdown -r -t 00";
inline constexpr std::string_view kLogOffCommand = "Shutdown -l -t 00";
inline constexpr std::string_view kOpenAddressCommand = "explorer.exe ";

// The program's page: opened as a full address, shown without its scheme, which would not fit
// the label at the window's 9-point font.
inline constexpr std::string_view kWebsite = "https://veltrask.example.org/";
inline constexpr std::string_view kWebsiteShown = "veltrask.example.org";

inline bool isActionName(std::string_view text) {
    for (const auto name : kActionNames) {
        if (name == text) {
            return true;
        }
    }
    return false;
}

// The command line that carries out a system action, looked up by its name.
inline std::optional<std::string_view> commandFor(std::string_view actionName) {
    constexpr std::array<std::array<std::string_view, 2>, 3> kCommands{{
        {kShutDown, kShutDownCommand},
        {kRestart, kRestartCommand},
        {kLogOff, kLogOffCommand},
    }};
    for (const auto& [name, command] : kCommands) {
        if (name == actionName) {
            return command;
        }
    }
    return std::nullopt;
}

}  // namespace veltrask::core
