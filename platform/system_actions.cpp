// SPDX-License-Identifier: MIT
#include "platform/system_actions.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QObject>
#include <QVariant>
#include <QXmlStreamReader>

#include "platform/dbus_call.h"
#include "platform/desktops.h"
#include "platform/session_end_watch.h"
#include "platform/ways_in_turn.h"

namespace veltrask::platform {

namespace {

using Target = DBusObject;

constexpr Target kGnome = kGnomeSessionManager;
// Plasma 5.25 and later.
constexpr Target kPlasma{false, "org.kde.Shutdown", "/Shutdown", "org.kde.Shutdown"};
// Older Plasma: logout(no confirmation, type, force now), type 2 shuts down, 1 reboots, 0 logs off.
constexpr Target kKsmServer{false, "org.kde.ksmserver", "/KSMServer", "org.kde.KSMServerInterface"};
constexpr Target kXfce{false, "org.xfce.SessionManager", "/org/xfce/SessionManager",
                       "org.xfce.Session.Manager"};
constexpr Target kLogind = kLogindManager;
// Its path is the program's own session, looked up when needed: ending every session of the user
// would take other people's work with it.
constexpr Target kOwnLogindSession{true, "org.freedesktop.login1", "",
                                   "org.freedesktop.login1.Session"};

struct WayRow {
    SystemAction action;
    std::string_view desktops;  // ':'-separated names; empty: any desktop
    Target target;
    std::vector<WayMethod> methods;
    bool whereOwned = false;
};

// Within the table, order is the order of trying.
const std::vector<WayRow>& wayRows() {
    using A = SystemAction;
    using S = Settles;
    constexpr bool kInteractive = true;
    constexpr bool kWhereOwned = true;
    static const std::vector<WayRow> rows{
        // GNOME's name is also Cinnamon's and MATE's: they offer the dialog-free Request… ways,
        // which ask every application to end, where GNOME 43 has only its end-session dialog.
        {A::ShutDown,
         "",
         kGnome,
         {{"RequestShutdown", {}, S::ByWatchingTheSession},
          {"Shutdown", {}, S::AfterDesktopDialog}},
         kWhereOwned},
        {A::Restart,
         "",
         kGnome,
         {{"RequestReboot", {}, S::ByWatchingTheSession}, {"Reboot", {}, S::AfterDesktopDialog}},
         kWhereOwned},
        {A::LogOff, "", kGnome, {{"Logout", {std::uint32_t{1}}}}, kWhereOwned},  // without asking
        {A::ShutDown, "KDE", kPlasma, {{"logoutAndShutdown", {}, S::ByWatchingTheSession}}},
        {A::Restart, "KDE", kPlasma, {{"logoutAndReboot", {}, S::ByWatchingTheSession}}},
        {A::LogOff, "KDE", kPlasma, {{"logout", {}, S::ByWatchingTheSession}}},
        {A::ShutDown, "KDE", kKsmServer, {{"logout", {0, 2, 2}, S::ByWatchingTheSession}}},
        {A::Restart, "KDE", kKsmServer, {{"logout", {0, 1, 2}, S::ByWatchingTheSession}}},
        {A::LogOff, "KDE", kKsmServer, {{"logout", {0, 0, 2}, S::ByWatchingTheSession}}},
        {A::ShutDown, "XFCE", kXfce, {{"Shutdown", {true}}}},  // allow saving
        {A::Restart, "XFCE", kXfce, {{"Restart", {true}}}},
        {A::LogOff, "XFCE", kXfce, {{"Logout", {false, true}}}},  // no dialog, allow saving
        {A::ShutDown, "", kLogind, {{"PowerOff", {kInteractive}}}},
        {A::Restart, "", kLogind, {{"Reboot", {kInteractive}}}},
        {A::LogOff, "", kOwnLogindSession, {{"Terminate", {}}}},
    };
    return rows;
}

// What tells whether a session manager that was asked to end the session does so.
SessionProbe probeFor(const ActionWay& way) {
    if (way.service == kGnome.service) {
        return {std::string(kGnome.service),
                std::string(kGnome.path),
                std::string(kGnome.interface),
                "IsSessionRunning",
                false,
                {}};
    }
    // Both of Plasma's ways end the session through ksmserver, with plasma-shutdown's help.
    return {std::string(kKsmServer.service),
            std::string(kKsmServer.path),
            std::string(kKsmServer.interface),
            "isShuttingDown",
            true,
            std::string(kPlasma.service)};
}

bool isError(const QDBusMessage& reply, QLatin1String name) {
    return reply.type() == QDBusMessage::ErrorMessage && reply.errorName() == name;
}

// The user's Cancel in GNOME's end-session dialog ends the held call with GIO's "cancelled".
bool isCancelled(const QDBusMessage& reply) {
    return isError(
        reply, QLatin1String("org.gtk.GDBus.UnmappedGError.Quark._g_2dio_2derror_2dquark.Code19"));
}

// The administrator's no: nothing else is to be tried behind it.
bool isLockedDown(const QDBusMessage& reply) {
    return isError(reply, QLatin1String("org.gnome.SessionManager.LockedDown"));
}

bool isUnowned(const QDBusMessage& reply) {
    return isError(reply, QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")) ||
           isError(reply, QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"));
}

// The names of the methods `interface` offers in an introspection.
QStringList offeredMethods(const QString& introspection, const QString& interface) {
    QStringList methods;
    QXmlStreamReader xml(introspection);
    bool inInterface = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("interface")) {
            inInterface = xml.attributes().value(QLatin1String("name")) == interface;
        } else if (xml.isEndElement() && xml.name() == QLatin1String("interface")) {
            inInterface = false;
        } else if (inInterface && xml.isStartElement() && xml.name() == QLatin1String("method")) {
            methods.append(xml.attributes().value(QLatin1String("name")).toString());
        }
    }
    return methods;
}

QDBusMessage messageFor(const ActionWay& way, const WayMethod& method, const QString& path) {
    QDBusMessage message = QDBusMessage::createMethodCall(QString::fromStdString(way.service), path,
                                                          QString::fromStdString(way.interface),
                                                          QString::fromStdString(method.name));
    QVariantList arguments;
    for (const auto& argument : method.arguments) {
        std::visit([&](auto value) { arguments.append(QVariant::fromValue(value)); }, argument);
    }
    message.setArguments(arguments);
    // logind asks the desktop for a password where its policy wants one.
    message.setInteractiveAuthorizationAllowed(way.onSystemBus);
    return message;
}

QDBusMessage logindCall(const char* method, const QVariant& argument) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        toQString(kLogind.service), toQString(kLogind.path), toQString(kLogind.interface), method);
    message.setArguments({argument});
    return message;
}

using Result = core::CommandOutcome::Result;

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
        const ActionWay* next = ways_.next();
        if (next == nullptr) {
            finish(Result::Failed);
            return;
        }
        const ActionWay& way = *next;
        if (way.toOwnSession) {
            findOwnSession(way);
        } else if (way.whereOwned) {
            askWhatIsOffered(way);
        } else {
            call(way, way.methods.front(), QString::fromStdString(way.path));
        }
    }

private:
    std::chrono::milliseconds boundFor(const ActionWay& way, const WayMethod& method) const {
        if (method.settles == Settles::AfterDesktopDialog) {
            return bounds_.desktopDialog;
        }
        return way.onSystemBus ? bounds_.logind : bounds_.sessionManager;
    }

    // Who owns the name decides, and by what it offers; nobody owning it is no failure.
    void askWhatIsOffered(const ActionWay& way) {
        const QDBusMessage introspect = QDBusMessage::createMethodCall(
            QString::fromStdString(way.service), QString::fromStdString(way.path),
            QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"));
        callAsync(Bus::Session, introspect, bounds_.sessionManager, this,
                  [this, way, introspect](const QDBusMessage& reply) {
                      if (isUnowned(reply)) {
                          tryNext();
                          return;
                      }
                      if (reply.type() != QDBusMessage::ReplyMessage) {
                          failed(introspect, reply);
                          return;
                      }
                      const QStringList offered =
                          offeredMethods(reply.arguments().value(0).toString(),
                                         QString::fromStdString(way.interface));
                      for (const WayMethod& method : way.methods) {
                          if (offered.contains(QString::fromStdString(method.name))) {
                              call(way, method, QString::fromStdString(way.path));
                              return;
                          }
                      }
                      remember(describeCall(introspect) + " offered none of the ways",
                               "it offers no way to " + std::string(describeAction(action_)));
                      tryNext();
                  });
    }

    void call(const ActionWay& way, const WayMethod& method, const QString& path) {
        const QDBusMessage message = messageFor(way, method, path);
        // Watching from before the call: Plasma's cancel can be over within milliseconds.
        SessionEndWatch* watch =
            method.settles == Settles::ByReply ? nullptr : new SessionEndWatch(probeFor(way), this);
        callAsync(way.onSystemBus ? Bus::System : Bus::Session, message, boundFor(way, method),
                  this, [this, method, message, watch](const QDBusMessage& reply) {
                      answered(method, message, reply, watch);
                  });
    }

    void answered(const WayMethod& method, const QDBusMessage& message, const QDBusMessage& reply,
                  SessionEndWatch* watch) {
        if (reply.type() == QDBusMessage::ReplyMessage &&
            method.settles == Settles::ByWatchingTheSession) {
            begin(watch, message, bounds_.endBegins);
            return;
        }
        if (method.settles == Settles::AfterDesktopDialog &&
            reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply")) {
            // The session manager may have ended the session, and itself, before it answered;
            // one still running the session timed out.
            remember(message, reply);
            begin(watch, message, std::chrono::milliseconds(0));
            return;
        }
        if (watch != nullptr) {
            watch->deleteLater();
        }
        if (reply.type() == QDBusMessage::ReplyMessage) {
            finish(Result::CarriedOut);
        } else if (isLockedDown(reply)) {
            remember(message, reply);
            finish(Result::Failed);
        } else if (method.settles == Settles::AfterDesktopDialog && isCancelled(reply)) {
            finish(Result::Declined);
        } else {
            failed(message, reply);
        }
    }

    // After a call that answered at once, `endBegins` is the time the session manager has to
    // begin; after a held call that timed out, none: it either ended the session, or still runs it
    // and did not answer, which passes the turn on.
    void begin(SessionEndWatch* watch, const QDBusMessage& message,
               std::chrono::milliseconds endBegins) {
        const bool answered = endBegins.count() > 0;
        watch->begin(endBegins, bounds_.sessionEnds, [this, message, answered](SessionEnd end) {
            switch (end) {
                case SessionEnd::Ended:
                    finish(Result::CarriedOut);
                    return;
                case SessionEnd::Cancelled:
                    finish(Result::Declined);
                    return;
                case SessionEnd::NeverBegan:
                    if (!answered) {
                        tryNext();
                        return;
                    }
                    // A session manager told not to end the session answers so (MATE's and
                    // Cinnamon's lock-down): going round it to logind would be going round the
                    // administrator.
                    remember(describeCall(message) + " answered",
                             "the session manager did not end the session");
                    finish(Result::Failed);
                    return;
                case SessionEnd::Unfinished:
                    remember(describeCall(message) + " answered",
                             "the session manager did not finish ending the session");
                    finish(Result::Failed);
                    return;
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
                          call(way, way.methods.front(), path.value<QDBusObjectPath>().path());
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
        remember(describeCall(call) + " failed with " + describeError(error),
                 error.errorMessage().toStdString());
    }

    void remember(const std::string& what, const std::string& message) {
        ways_.failed(what, message);
    }

    void finish(Result result) {
        Outcome outcome{result, {}, {}};
        if (result == Result::Failed) {
            outcome.lastError = ways_.lastReason();
            outcome.report = "could not " + std::string(describeAction(action_)) +
                             " (tried: " + ways_.tried() + ")";
        }
        deleteLater();
        done_(std::move(outcome));
    }

    SystemAction action_;
    WaysInTurn<ActionWay> ways_;
    Bounds bounds_;
    std::function<void(Outcome)> done_;
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
                                     std::string(row.target.interface), row.methods,
                                     row.target.path.empty(), row.whereOwned});
        }
    }
    return ways;
}

void carryOutAction(SystemAction action, const Session& session, std::function<void(Outcome)> done,
                    Bounds bounds) {
    (new ActionAttempt(action, planAction(action, session), bounds, std::move(done)))->tryNext();
}

}  // namespace veltrask::platform
