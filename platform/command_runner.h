// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltrask::platform {

// One program to start, found through PATH, with its arguments passed as they are (no shell).
struct Way {
    std::string program;
    std::vector<std::string> arguments;
    friend bool operator==(const Way&, const Way&) = default;
};

// How the desktop carries out one of the program's command lines.
struct Plan {
    std::string action;     // in words, for the one line written when every way fails
    bool detached = false;  // started and left alone (opening an address)
    std::vector<Way> ways;  // tried in order until one is carried out
};

// What the plan depends on besides the command line.
struct Session {
    std::string desktops;   // XDG_CURRENT_DESKTOP: names separated by ':'
    std::string sessionId;  // XDG_SESSION_ID, empty when unknown
    std::string userName;

    static Session current();
};

// Nothing when the command line is not one the program produces.
std::optional<Plan> planCommand(std::string_view commandLine, const Session& session);

// Tries the ways in order. A power action's program counts as carried out when it exits with 0 or
// is still at work after `patience`; it is left running then. Writes one line to standard error
// when no way was carried out.
bool carryOut(const Plan& plan, std::chrono::milliseconds patience = std::chrono::seconds(2));

// Plans the command line for the current session and carries it out.
bool runCommandLine(std::string_view commandLine);

}  // namespace veltrask::platform
