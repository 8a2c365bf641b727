// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/system.h"
#include "platform/dbus_call.h"

namespace veltrask::platform {

enum class SystemAction { ShutDown, Restart, LogOff };

// The action in words, for reports: "shut down the computer".
std::string_view describeAction(SystemAction action);

// What the choice of ways depends on.
struct Session {
    std::string desktops;  // XDG_CURRENT_DESKTOP: names separated by ':'

    static Session current();
};

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

using DBusArgument = std::variant<bool, std::int32_t, std::uint32_t>;

// How a way shows that it has carried the action out.
enum class Settles {
    // Its reply says so.
    ByReply,
    // It shows the desktop's own dialog and answers when the session ends: an error after that
    // dialog was cancelled is the user's no.
    AfterDesktopDialog,
    // It answers at once, before anything has happened; the session manager's own state tells
    // whether the session then ends, or the end was cancelled.
    ByWatchingTheSession,
};

// A method of a way, with its arguments.
struct WayMethod {
    std::string name;
    std::vector<DBusArgument> arguments;
    Settles settles = Settles::ByReply;

    friend bool operator==(const WayMethod&, const WayMethod&) = default;
};

struct SessionProbe;

// How a way's methods are chosen.
enum class Approach {
    // Each in turn.
    AsListed,
    // Those the service offers, asked by introspection first: session managers of one name
    // differ in what they offer.
    AsOffered,
    // Likewise, on whatever desktop the name has an owner; nobody owning it passes the way over.
    AsOfferedWhereOwned,
    // Called on the session this program runs in, found through logind first; the target's path
    // is unused.
    OnOwnSession,
};

// One service that can carry the action out.
struct ActionWay {
    DBusObject target;
    // Tried in turn until one is there: a method the service lists but answers as unknown is not
    // offered either (Ubuntu's GNOME lists Cinnamon's and MATE's).
    std::vector<WayMethod> methods;
    Approach approach = Approach::AsListed;
    // What shows whether the session manager ends the session, for the ways that do not answer
    // when it is done; null for the others.
    const SessionProbe* probe = nullptr;

    friend bool operator==(const ActionWay&, const ActionWay&) = default;
};

// The ways to try in order: the desktop's session manager first, so that applications are asked to
// save their work, then logind, which every desktop shares.
std::vector<ActionWay> planAction(SystemAction action, const Session& session);

// Why an action failed, for the window that tells the user.
enum class Refusal {
    // The last way failed with an error, in its service's words (`Outcome::lastError`).
    ServiceError,
    // The last way's service offers none of its methods.
    NoneOffered,
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
