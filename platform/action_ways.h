// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "platform/dbus_call.h"
#include "platform/system_action.h"

namespace veltrask::platform {

struct SessionProbe;

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
};

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
};

// The ways to try in order: the desktop's session manager first, so that applications are asked to
// save their work, then logind, which every desktop shares.
std::vector<ActionWay> planAction(SystemAction action, const Session& session);

}  // namespace veltrask::platform
