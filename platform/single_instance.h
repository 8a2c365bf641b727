// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>
#include <QDBusPendingCall>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QObject;

namespace veltrask::platform {

// How this launch relates to the other launches in the user's session.
enum class Launch {
    First,        // this process serves the session; later launches are handed to it
    HandedOver,   // the running instance was asked to come forward: end now with status 0
    Independent,  // there is no session bus to meet on, or no answer on it: run alone
};

// One instance per user session. The first launch owns a well-known name on the session bus and
// serves the freedesktop Application interface under it; a later launch finds the name taken and
// asks the owner to activate, passing on the token its launcher gave it.
class SingleInstance {
public:
    // Receives the activation token of a later launch: the Wayland activation token when there is
    // one, else the X11 startup id, else empty. Called on the thread that asked for the name
    // (ask(), or else claim()).
    using ActivateHandler = std::function<void(std::string token)>;

    // Meets other launches on the session bus, when one is known without having to start one.
    explicit SingleInstance(ActivateHandler onActivate);
    // Meets other launches on the given connection.
    SingleInstance(ActivateHandler onActivate, QDBusConnection connection);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Asks the bus for the name without waiting for the answer, so that the start-up can go on
    // meanwhile; claim() then takes the answer. Optional, at most once, before claim().
    void ask();
    // Call once, with an application object alive and before any window is shown. Blocks for at
    // most a few seconds, and only when another instance is running.
    Launch claim();

private:
    enum class HandOver { Delivered, NobodyThere, Failed };

    // Whether the session bus, or the connection given, can be reached.
    bool reachSessionBus();
    bool serve();
    HandOver handOver();

    ActivateHandler onActivate_;
    std::optional<QDBusConnection> connection_;  // empty until the session bus is known to exist
    std::unique_ptr<QObject> served_;            // the exported object while this one serves
    std::unique_ptr<QObject> offered_;           // the object exported while the name is asked for
    std::optional<QDBusPendingCall> request_;    // the name asked for, its answer still unread
};

}  // namespace veltrask::platform
