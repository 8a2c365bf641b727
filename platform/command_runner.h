// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "platform/system_actions.h"

namespace veltrask::platform {

struct OpenAddress {
    std::string address;
    friend bool operator==(const OpenAddress&, const OpenAddress&) = default;
};

// What one of the program's fixed command lines asks for.
using Command = std::variant<SystemAction, OpenAddress>;

// Nothing when the command line is not one the program produces.
std::optional<Command> parseCommandLine(std::string_view commandLine);

// Hands the address to the desktop's handler for it. True when it was handed on.
bool openAddress(const std::string& address);

}  // namespace veltrask::platform
