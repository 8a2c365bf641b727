// SPDX-License-Identifier: MIT
#include "platform/system_actions.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QObject>
#include <QVariant>

#include "platform/dbus_call.h"
#include "platform/desktops.h"

namespace veltrask::platform {

namespace {

struct Target {
    bool onSystemBus;
    std::string_view service;
    std::string_view path;
    std::string_view interface;
};

constexpr Target kGnome{false, "org.gnome.SessionManager", "/org/gnome/SessionManager",
                        "org.gnome.SessionManager"};
// Plasma 5.25 and later.
constexpr Target kPlasma{false, "org.kde.Shutdown", "/Shutdown", "org.kde.Shutdown"};
// Older Plasma: logout(no confirmation, type, force now), type 2 shuts down, 1 reboots, 0 logs off.
constexpr Target kKsmServer{false, "org.kde.ksmserver", "/KSMServer", "org.kde.KSMServerInterface"};
constexpr Target kXfce{false, "org.xfce.SessionManager", "/org/xfce/SessionManager",
                       "org.xfce.Session.Manager"};
constexpr Target kLogind{true, "org.freedesktop.login1", "/org/freedesktop/login1",
                         "org.freedesktop.login1.Manager"};
// Its path is the program's own session, looked up when needed: ending every session of the user
// would take other people's work with it.
constexpr Target kOwnLogindSession{true, "org.freedesktop.login1", "",
                                   "org.freedesktop.login1.Session"};

struct WayRow {
    SystemAction action;
    std::string_view desktops;  // ':'-separated names; empty: any desktop
    Target target;
    std::string_view method;
    std::vector<DBusArgument> arguments;
};

// Within the table, order is the order of trying.
const std::vector<WayRow>& wayRows() {
    using A = SystemAction;
    constexpr bool kInteractive = true;
    static const std::vector<WayRow> rows{
        {A::ShutDown, kGnomeFamily, kGnome, "RequestShutdown", {}},
        {A::Restart, kGnomeFamily, kGnome, "RequestReboot", {}},
        {A::LogOff, kGnomeFamily, kGnome, "Logout", {std::uint32_t{1}}},  // without asking
        {A::ShutDown, "KDE", kPlasma, "logoutAndShutdown", {}},
        {A::Restart, "KDE", kPlasma, "logoutAndReboot", {}},
        {A::LogOff, "KDE", kPlasma, "logout", {}},
        {A::ShutDown, "KDE", kKsmServer, "logout", {0, 2, 2}},
        {A::Restart, "KDE", kKsmServer, "logout", {0, 1, 2}},
        {A::LogOff, "KDE", kKsmServer, "logout", {0, 0, 2}},
        {A::ShutDown, "XFCE", kXfce, "Shutdown", {true}},  // allow saving
        {A::Restart, "XFCE", kXfce, "Restart", {true}},
        {A::LogOff, "XFCE", kXfce, "Logout", {false, true}},  // no dialog, allow saving
        {A::ShutDown, "", kLogind, "PowerOff", {kInteractive}},
        {A::Restart, "", kLogind, "Reboot", {kInteractive}},
        {A::LogOff, "", kOwnLogindSession, "Terminate", {}},
    };
    return rows;
}

QString toQt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QDBusMessage messageFor(const ActionWay& way, const QString& path) {
    QDBusMessage message = QDBusMessage::createMethodCall(QString::fromStdString(way.service), path,
                                                          QString::fromStdString(way.interface),
                                                          QString::fromStdString(way.method));
    QVariantList arguments;
    for (const auto& argument : way.arguments) {
        std::visit([&](auto value) { arguments.append(QVariant::fromValue(value)); }, argument);
    }
    message.setArguments(arguments);
    // logind asks the desktop for a password where its policy wants one.
    message.setInteractiveAuthorizationAllowed(way.onSystemBus);
    return message;
}

QDBusMessage logindCall(const char* method, const QVariant& argument) {
    QDBusMessage message = QDBusMessage::createMethodCall(toQt(kLogind.service), toQt(kLogind.path),
                                                          toQt(kLogind.interface), method);
    message.setArguments({argument});
    return message;
}

// Lives from the first call until `done` has been called.
class ActionAttempt final : public QObject {
public:
    ActionAttempt(SystemAction action, std::vector<ActionWay> ways, Bounds bounds,
                  std::function<void(Outcome)> done)
        : QObject(QCoreApplication::instance()),
          action_(action),
          ways_(std::move(ways)),
          bounds_(bounds),
          done_(std::move(done)) {}

    void tryNext() {
        if (next_ == ways_.size()) {
            finish(false);
            return;
        }
        const ActionWay& way = ways_[next_++];
        if (way.toOwnSession) {
            findOwnSession(way);
        } else {
            call(way, QString::fromStdString(way.path));
        }
    }

private:
    std::chrono::milliseconds boundFor(const ActionWay& way) const {
        return way.onSystemBus ? bounds_.logind : bounds_.sessionManager;
    }

    void call(const ActionWay& way, const QString& path) {
        const QDBusMessage message = messageFor(way, path);
        callAsync(way.onSystemBus ? Bus::System : Bus::Session, message, boundFor(way), this,
                  [this, message](const QDBusMessage& reply) {
                      if (reply.type() == QDBusMessage::ReplyMessage) {
                          finish(true);
                      } else {
                          failed(message, reply);
                      }
                  });
    }

    // The session this process belongs to; a program started outside any session (from a
    // service, say) has none by its process and gets the caller's own through "auto".
    void findOwnSession(const ActionWay& way, bool byProcess = true) {
        const QDBusMessage lookup =
            byProcess
                ? logindCall("GetSessionByPID", QVariant::fromValue(static_cast<std::uint32_t>(
                                                    QCoreApplication::applicationPid())))
                : logindCall("GetSession", QStringLiteral("auto"));
        callAsync(Bus::System, lookup, bounds_.sessionManager, this,
                  [this, way, lookup, byProcess](const QDBusMessage& reply) {
                      const QVariant path = reply.arguments().value(0);
                      if (reply.type() == QDBusMessage::ReplyMessage &&
                          path.metaType() == QMetaType::fromType<QDBusObjectPath>()) {
                          call(way, path.value<QDBusObjectPath>().path());
                          return;
                      }
                      remember(lookup, reply);
                      if (byProcess) {
                          findOwnSession(way, false);
                      } else {
                          tryNext();
                      }
                  });
    }

    void failed(const QDBusMessage& call, const QDBusMessage& error) {
        remember(call, error);
        tryNext();
    }

    void remember(const QDBusMessage& call, const QDBusMessage& error) {
        tried_ += (tried_.empty() ? "" : "; ") + describeCall(call) + " failed with " +
                  describeError(error);
        lastError_ = error.errorMessage().toStdString();
    }

    void finish(bool carriedOut) {
        Outcome outcome{carriedOut, {}, {}};
        if (!carriedOut) {
            outcome.lastError = lastError_;
            outcome.report =
                "could not " + std::string(describeAction(action_)) + " (tried: " + tried_ + ")";
        }
        deleteLater();
        done_(std::move(outcome));
    }

    SystemAction action_;
    std::vector<ActionWay> ways_;
    Bounds bounds_;
    std::function<void(Outcome)> done_;
    std::size_t next_ = 0;
    std::string tried_;
    std::string lastError_;
};

}  // namespace

std::string_view describeAction(SystemAction action) {
    switch (action) {
        case SystemAction::ShutDown:
            return "shut down the computer";
        case SystemAction::Restart:
            return "restart the computer";
        case SystemAction::LogOff:
            return "log off";
    }
    return "";
}

Session Session::current() {
    return Session{currentDesktops()};
}

std::vector<ActionWay> planAction(SystemAction action, const Session& session) {
    std::vector<ActionWay> ways;
    for (const auto& row : wayRows()) {
        if (row.action == action && desktopIsOneOf(row.desktops, session.desktops)) {
            ways.push_back(ActionWay{row.target.onSystemBus, std::string(row.target.service),
                                     std::string(row.target.path),
                                     std::string(row.target.interface), std::string(row.method),
                                     row.arguments, row.target.path.empty()});
        }
    }
    return ways;
}

void carryOutAction(SystemAction action, const Session& session, std::function<void(Outcome)> done,
                    Bounds bounds) {
    (new ActionAttempt(action, planAction(action, session), bounds, std::move(done)))->tryNext();
}

}  // namespace veltrask::platform
