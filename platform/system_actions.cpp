// SPDX-License-Identifier: MIT
#include "platform/system_actions.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QObject>
#include <QVariant>
#include <QXmlStreamReader>

#include "platform/action_ways.h"
#include "platform/dbus_call.h"
#include "platform/desktops.h"
#include "platform/display_end.h"
#include "platform/log.h"
#include "platform/session_end_watch.h"
#include "platform/ways_in_turn.h"

namespace veltrask::platform {

namespace {

// The user's Cancel in GNOME's end-session dialog ends the held call with GIO's "cancelled".
constexpr char kCancelled[] = "org.gtk.GDBus.UnmappedGError.Quark._g_2dio_2derror_2dquark.Code19";
// The administrator's no: nothing else is to be tried behind it.
constexpr char kLockedDown[] = "org.gnome.SessionManager.LockedDown";

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

QDBusMessage callOf(const ActionWay& way, const WayMethod& method, const std::string& path) {
    QVariantList arguments;
    for (const auto& argument : method.arguments) {
        std::visit([&](auto value) { arguments.append(QVariant::fromValue(value)); }, argument);
    }
    QDBusMessage message =
        methodCall({way.target.bus, way.target.service, path, way.target.interface},
                   method.name.c_str(), arguments);
    // logind asks the desktop for a password where its policy wants one.
    message.setInteractiveAuthorizationAllowed(way.target.bus == Bus::System);
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
        way_ = ways_.next();
        if (way_ == nullptr) {
            finish(Result::Failed);
            return;
        }
        switch (way_->approach) {
            case Approach::AsListed:
                tryMethods(way_->methods, std::string(way_->target.path));
                return;
            case Approach::AsOffered:
            case Approach::AsOfferedWhereOwned:
                askWhatIsOffered();
                return;
            case Approach::OnOwnSession:
                findOwnSession();
                return;
        }
    }

private:
    std::chrono::milliseconds boundFor(const WayMethod& method) const {
        if (method.settles == Settles::AfterDesktopDialog) {
            return bounds_.desktopDialog;
        }
        return way_->target.bus == Bus::System ? bounds_.logind : bounds_.sessionManager;
    }

    // Who owns the name decides, and by what it offers.
    void askWhatIsOffered() {
        const QDBusMessage introspect = introspectionCall(way_->target);
        callAsync(
            way_->target.bus, introspect, bounds_.sessionManager, this,
            [this, introspect](const QDBusMessage& reply) {
                if (isError(reply, {dbus_error::kServiceUnknown, dbus_error::kNameHasNoOwner}) &&
                    way_->approach == Approach::AsOfferedWhereOwned) {
                    tryNext();
                    return;
                }
                if (reply.type() != QDBusMessage::ReplyMessage) {
                    failed(introspect, reply);
                    return;
                }
                const QStringList offered = offeredMethods(reply.arguments().value(0).toString(),
                                                           toQString(way_->target.interface));
                std::vector<WayMethod> methods;
                for (const WayMethod& method : way_->methods) {
                    if (offered.contains(QString::fromStdString(method.name))) {
                        methods.push_back(method);
                    }
                }
                if (methods.empty()) {
                    remember(describeCall(introspect) + " offered none of the ways",
                             Refusal::ServiceError);
                }
                tryMethods(std::move(methods), std::string(way_->target.path));
            });
    }

    void tryMethods(std::vector<WayMethod> methods, std::string path) {
        methods_ = std::move(methods);
        nextMethod_ = 0;
        path_ = std::move(path);
        tryNextMethod();
    }

    void tryNextMethod() {
        if (nextMethod_ == methods_.size()) {
            tryNext();
            return;
        }
        const WayMethod& method = methods_[nextMethod_++];
        const QDBusMessage message = callOf(*way_, method, path_);
        qCDebug(lcActions, "asking %s", describeCall(message).c_str());
        // Watching from before the call: Plasma's cancel can be over within milliseconds.
        SessionEndWatch* watch =
            method.settles == Settles::ByReply ? nullptr : new SessionEndWatch(*way_->probe, this);
        callAsync(way_->target.bus, message, boundFor(method), this,
                  [this, method, message, watch](const QDBusMessage& reply) {
                      answered(method, message, reply, watch);
                  });
    }

    void answered(const WayMethod& method, const QDBusMessage& message, const QDBusMessage& reply,
                  SessionEndWatch* watch) {
        if (reply.type() == QDBusMessage::ReplyMessage &&
            method.settles == Settles::ByWatchingTheSession) {
            watchTheSession(watch, message, CallEnded::Answered);
            return;
        }
        if (method.settles == Settles::AfterDesktopDialog &&
            isError(reply, {dbus_error::kNoReply})) {
            remember(message, reply);
            watchTheSession(watch, message, CallEnded::Unanswered);
            return;
        }
        if (watch != nullptr) {
            watch->deleteLater();
        }
        if (reply.type() == QDBusMessage::ReplyMessage) {
            finish(Result::CarriedOut);
        } else if (isError(reply, {kLockedDown})) {
            remember(message, reply);
            finish(Result::Failed);
        } else if (method.settles == Settles::AfterDesktopDialog && isError(reply, {kCancelled})) {
            finish(Result::Declined);
        } else if (isError(reply, {dbus_error::kUnknownMethod})) {
            remember(message, reply);
            tryNextMethod();
        } else {
            failed(message, reply);
        }
    }

    void watchTheSession(SessionEndWatch* watch, const QDBusMessage& message, CallEnded call) {
        watch->begin(
            call, bounds_.endBegins, bounds_.sessionEnds, [this, message, call](SessionEnd end) {
                switch (end) {
                    case SessionEnd::Ended:
                        finish(Result::CarriedOut);
                        return;
                    case SessionEnd::Cancelled:
                        finish(Result::Declined);
                        return;
                    case SessionEnd::NeverBegan:
                        if (call == CallEnded::Unanswered) {
                            // Still running the session, and silent: a broken way.
                            tryNext();
                            return;
                        }
                        // A session manager told not to end the session answers so
                        // (MATE's and Cinnamon's lock-down): going round it to logind
                        // would be going round the administrator.
                        refuse(message, "did not end the session", Refusal::SessionNotEnded);
                        return;
                    case SessionEnd::Unfinished:
                        refuse(message, "did not finish ending the session",
                               Refusal::SessionUnfinished);
                        return;
                }
            });
    }

    // The session this process belongs to; a program started outside any session (from a
    // service, say) has none by its process and gets the caller's own through "auto".
    void findOwnSession(bool byProcess = true) {
        const QDBusMessage lookup =
            byProcess ? methodCall(kLogindManager, "GetSessionByPID",
                                   {QVariant::fromValue(static_cast<std::uint32_t>(
                                       QCoreApplication::applicationPid()))})
                      : methodCall(kLogindManager, "GetSession", {QStringLiteral("auto")});
        callAsync(Bus::System, lookup, bounds_.sessionManager, this,
                  [this, lookup, byProcess](const QDBusMessage& reply) {
                      const QVariant path = reply.arguments().value(0);
                      if (reply.type() == QDBusMessage::ReplyMessage &&
                          path.metaType() == QMetaType::fromType<QDBusObjectPath>()) {
                          tryMethods(way_->methods,
                                     path.value<QDBusObjectPath>().path().toStdString());
                          return;
                      }
                      remember(lookup, reply);
                      if (byProcess) {
                          findOwnSession(false);
                      } else {
                          tryNext();
                      }
                  });
    }

    void failed(const QDBusMessage& call, const QDBusMessage& error) {
        remember(call, error);
        tryNext();
    }

    // A session manager that answered and then did not do as it said: nothing else is tried.
    void refuse(const QDBusMessage& call, const char* what, Refusal refusal) {
        remember(describeCall(call) + " answered, but the session manager " + what, refusal);
        finish(Result::Failed);
    }

    void remember(const QDBusMessage& call, const QDBusMessage& error) {
        remember(describeCall(call) + " failed with " + describeError(error), Refusal::ServiceError,
                 error.errorMessage().toStdString());
    }

    void remember(const std::string& what, Refusal refusal, std::string serviceWords = {}) {
        qCDebug(lcActions, "%s", what.c_str());
        ways_.failed(what);
        refusal_ = refusal;
        lastError_ = std::move(serviceWords);
    }

    void finish(Result result) {
        Outcome outcome{result, {}, {}, refusal_};
        if (result == Result::CarriedOut) {
            // The session, or the computer, is going: its display may go before the program has
            // ended (GNOME's held call answers just before its shell, and XWayland, end).
            DisplayEndIsTheSessionsEnd().keep();
        }
        if (result == Result::Failed) {
            outcome.lastError = lastError_;
            outcome.report = "could not " + std::string(describeAction(action_)) +
                             " (tried: " + ways_.tried() + ")";
            qCWarning(lcActions, "%s", outcome.report.c_str());
        }
        deleteLater();
        done_(std::move(outcome));
    }

    SystemAction action_;
    WaysInTurn<ActionWay> ways_;
    Bounds bounds_;
    std::function<void(Outcome)> done_;
    // The way being tried, its methods still to try and where they are called.
    const ActionWay* way_ = nullptr;
    std::vector<WayMethod> methods_;
    std::size_t nextMethod_ = 0;
    std::string path_;
    // Why the last way failed.
    Refusal refusal_ = Refusal::ServiceError;
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

void carryOutAction(SystemAction action, const Session& session, std::function<void(Outcome)> done,
                    Bounds bounds) {
    (new ActionAttempt(action, planAction(action, session), bounds, std::move(done)))->tryNext();
}

}  // namespace veltrask::platform
