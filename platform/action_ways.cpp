// SPDX-License-Identifier: MIT
#include "platform/action_ways.h"

#include <QVariant>

#include "platform/desktops.h"
#include "platform/session_end_watch.h"

namespace veltrask::platform {

namespace {

constexpr DBusObject kGnome = kGnomeSessionManager;
// Plasma 5.25 and later.
constexpr DBusObject kPlasma{Bus::Session, "org.kde.Shutdown", "/Shutdown", "org.kde.Shutdown"};
// Plasma before 6: logout(no confirmation, type, force now), type 2 shuts down, 1 reboots, 0 logs
// off.
constexpr DBusObject kKsmServer{Bus::Session, "org.kde.ksmserver", "/KSMServer",
                                "org.kde.KSMServerInterface"};
constexpr DBusObject kXfce{Bus::Session, "org.xfce.SessionManager", "/org/xfce/SessionManager",
                           "org.xfce.Session.Manager"};
constexpr DBusObject kLogind = kLogindManager;
// Its path is the program's own session, looked up when needed: ending every session of the user
// would take other people's work with it.
constexpr DBusObject kLogindSession{Bus::System, "org.freedesktop.login1", "",
                                    "org.freedesktop.login1.Session"};

bool sessionNotRunning(const QVariant& isSessionRunning) {
    return !isSessionRunning.toBool();
}

bool shuttingDown(const QVariant& isShuttingDown) {
    return isShuttingDown.toBool();
}

// Xfce's session manager is idle (1) or saving (2) while the session runs, and in the first (3) or
// second (4) phase of its end while it ends it.
bool xfceEnding(const QVariant& state) {
    return state.toUInt() >= 3;
}

constexpr SessionProbe kGnomeProbe{kGnome, "IsSessionRunning", sessionNotRunning};
// Both of Plasma's ways end the session through ksmserver, with plasma-shutdown's help.
constexpr SessionProbe kPlasmaProbe{kKsmServer, "isShuttingDown", shuttingDown, kPlasma.service};
constexpr SessionProbe kXfceProbe{kXfce, "GetState", xfceEnding, {}, "ShutdownCancelled"};

// A service that can carry the actions out, with its methods for each; none: not its way.
struct PeerRow {
    std::string_view desktops;  // ':'-separated names; empty: any desktop
    DBusObject target;
    Approach approach;
    const SessionProbe* probe;
    std::vector<WayMethod> shutDown;
    std::vector<WayMethod> restart;
    std::vector<WayMethod> logOff;
};

// In the order of trying.
const std::vector<PeerRow>& peerRows() {
    constexpr auto kWatch = Settles::ByWatchingTheSession;
    constexpr auto kDialog = Settles::AfterDesktopDialog;
    // One row a service, as a table.
    // clang-format off
    static const std::vector<PeerRow> rows{
        // GNOME's name is also Cinnamon's and MATE's: they offer the dialog-free Request… ways,
        // which ask every application to end, where GNOME has only its end-session dialog. It
        // logs off without asking (1).
        {"", kGnome, Approach::AsOfferedWhereOwned, &kGnomeProbe,
         {{"RequestShutdown", {}, kWatch}, {"Shutdown", {}, kDialog}},
         {{"RequestReboot", {}, kWatch}, {"Reboot", {}, kDialog}},
         {{"Logout", {std::uint32_t{1}}, kWatch}}},
        {"KDE", kPlasma, Approach::AsListed, &kPlasmaProbe,
         {{"logoutAndShutdown", {}, kWatch}}, {{"logoutAndReboot", {}, kWatch}},
         {{"logout", {}, kWatch}}},
        // logout(no confirmation, type, force now)
        {"KDE", kKsmServer, Approach::AsOffered, &kPlasmaProbe,
         {{"logout", {0, 2, 2}, kWatch}}, {{"logout", {0, 1, 2}, kWatch}},
         {{"logout", {0, 0, 2}, kWatch}}},
        // Allowing applications to save; log-off without a dialog. Xfce answers before its
        // applications have agreed.
        {"XFCE", kXfce, Approach::AsListed, &kXfceProbe,
         {{"Shutdown", {true}, kWatch}}, {{"Restart", {true}, kWatch}},
         {{"Logout", {false, true}, kWatch}}},
        // Interactive: logind may ask for a password.
        {"", kLogind, Approach::AsListed, nullptr, {{"PowerOff", {true}}}, {{"Reboot", {true}}}, {}},
        {"", kLogindSession, Approach::OnOwnSession, nullptr, {}, {}, {{"Terminate", {}}}},
    };
    // clang-format on
    return rows;
}

const std::vector<WayMethod>& methodsFor(const PeerRow& row, SystemAction action) {
    switch (action) {
        case SystemAction::ShutDown:
            return row.shutDown;
        case SystemAction::Restart:
            return row.restart;
        case SystemAction::LogOff:
            break;
    }
    return row.logOff;
}

}  // namespace

std::vector<ActionWay> planAction(SystemAction action, const Session& session) {
    std::vector<ActionWay> ways;
    for (const auto& row : peerRows()) {
        const std::vector<WayMethod>& methods = methodsFor(row, action);
        if (!methods.empty() && desktopIsOneOf(row.desktops, session.desktops)) {
            ways.push_back({row.target, methods, row.approach, row.probe});
        }
    }
    return ways;
}

}  // namespace veltrask::platform
