// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace veltrask::platform {

enum class SystemAction { ShutDown, Restart, LogOff };

// The action in words, for reports: "shut down the computer".
std::string_view describeAction(SystemAction action);

// What the choice of ways depends on.
struct Session {
    std::string desktops;  // XDG_CURRENT_DESKTOP: names separated by ':'

    static Session current();
};

// How long each kind of way may take to answer before the next one is tried.
struct Bounds {
    // Session managers answer at once and do their work afterwards.
    std::chrono::milliseconds sessionManager = std::chrono::seconds(10);
    // logind may wait while the desktop asks for a password.
    std::chrono::milliseconds logind = std::chrono::minutes(3);
};

using DBusArgument = std::variant<bool, std::int32_t, std::uint32_t>;

// One D-Bus method call that carries out the action.
struct ActionWay {
    bool onSystemBus = false;  // logind; the session managers are on the session bus
    std::string service;
    std::string path;
    std::string interface;
    std::string method;
    std::vector<DBusArgument> arguments;
    // The call goes to the session this program runs in, found through logind first; `path` is
    // then unused.
    bool toOwnSession = false;

    friend bool operator==(const ActionWay&, const ActionWay&) = default;
};

// The ways to try in order: the desktop's session manager first, so that applications are asked to
// save their work, then logind, which every desktop shares.
std::vector<ActionWay> planAction(SystemAction action, const Session& session);

struct Outcome {
    bool carriedOut = false;
    // The last way's error message, for a window that tells the user.
    std::string lastError;
    // Every way tried with its error name and message, for one line on standard error.
    std::string report;
};

// Tries the planned ways one after the other, each asynchronously and within its bound, and calls
// `done` once on the event thread with the outcome; never before it returns. Needs a running Qt
// event loop.
void carryOutAction(SystemAction action, const Session& session, std::function<void(Outcome)> done,
                    Bounds bounds = {});

}  // namespace veltrask::platform
