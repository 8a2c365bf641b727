// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "core/system.h"
#include "platform/system_action.h"

namespace veltrask::platform {

// The action in words, for reports: "shut down the computer".
std::string_view describeAction(SystemAction action);

// How long each kind of way may take before the next one is tried.
struct Bounds {
    // Session managers answer at once and do their work afterwards.
    std::chrono::milliseconds sessionManager = std::chrono::seconds(10);
    // logind may wait while the desktop asks for a password.
    std::chrono::milliseconds logind = std::chrono::minutes(3);
    // GNOME's end-session dialog counts a minute down before it goes ahead by itself.
    std::chrono::milliseconds desktopDialog = std::chrono::minutes(2);
    // A session manager that answered at once must have begun to end the session by then.
    std::chrono::milliseconds endBegins = std::chrono::seconds(5);
    // Applications may ask the user about unsaved work while the session ends.
    std::chrono::milliseconds sessionEnds = std::chrono::minutes(10);
};

// Why an action failed, for the window that tells the user.
enum class Refusal {
    // The last way failed with an error, in its service's words (`Outcome::lastError`).
    ServiceError,
    // A session manager answered, then never began to end the session.
    SessionNotEnded,
    // A session manager began to end the session, and had not finished when the watch gave up.
    SessionUnfinished,
};

struct Outcome {
    core::CommandOutcome::Result result = core::CommandOutcome::Result::Failed;
    // The last way's error message.
    std::string lastError;
    // Every way tried with its error name and message, as the one line on standard error says.
    std::string report;
    Refusal refusal = Refusal::ServiceError;
};

// Tries the planned ways one after the other, each asynchronously and within its bound, and calls
// `done` once on the event thread with the outcome; never before it returns. When every way
// failed, says so on standard error. A way that is
// missing or broken passes the turn to the next; a cancel in the desktop's own dialog, or a
// refusal of the desktop's, ends the trying. Needs a running Qt event loop.
void carryOutAction(SystemAction action, const Session& session, std::function<void(Outcome)> done,
                    Bounds bounds = {});

}  // namespace veltrask::platform
