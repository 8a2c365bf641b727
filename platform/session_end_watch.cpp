// SPDX-License-Identifier: MIT
#include "platform/session_end_watch.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <utility>

#include "platform/dbus_call.h"

namespace veltrask::platform {

namespace {

// Often enough to see a session manager begin and cancel the end of a session at the pace a
// user answers its dialogs; the program has nothing else to do meanwhile.
constexpr std::chrono::milliseconds kProbeInterval{100};
constexpr std::chrono::milliseconds kProbeBound{2000};

// Lives until it has settled, or its context goes.
class SessionEndWatch final : public QObject {
    Q_OBJECT

public:
    SessionEndWatch(SessionProbe probe, std::chrono::milliseconds endBegins,
                    std::chrono::milliseconds sessionEnds, QObject* context,
                    std::function<void(SessionEnd)> settled)
        : QObject(context),
          probe_(std::move(probe)),
          endBegins_(endBegins),
          sessionEnds_(sessionEnds),
          settled_(std::move(settled)) {
        next_.setSingleShot(true);
        next_.setInterval(kProbeInterval);
        connect(&next_, &QTimer::timeout, this, &SessionEndWatch::ask);
        clock_.start();
        // A session manager that has asked logind to power off or restart may stay until the
        // computer goes down (Cinnamon's does); logind telling everyone is the proof.
        QDBusConnection::systemBus().connect(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForShutdown"),
            this, SLOT(prepareForShutdown(bool)));
        ask();
    }

private slots:
    void prepareForShutdown(bool starting) {
        if (starting) {
            settle(SessionEnd::Ended);
        }
    }

private:
    void ask() {
        const QDBusMessage message = QDBusMessage::createMethodCall(
            QString::fromStdString(probe_.service), QString::fromStdString(probe_.path),
            QString::fromStdString(probe_.interface), QString::fromStdString(probe_.method));
        callAsync(Bus::Session, message, kProbeBound, this,
                  [this](const QDBusMessage& reply) { answered(reply); });
    }

    void answered(const QDBusMessage& reply) {
        if (reply.type() != QDBusMessage::ReplyMessage) {
            // Gone with the session it ended, or one that cannot tell, or too busy ending the
            // session to answer: in each case its word stands.
            settle(SessionEnd::Ended);
            return;
        }
        const bool ending = reply.arguments().value(0).toBool() == probe_.endingWhen;
        if (ending && !ending_) {
            ending_ = true;
            clock_.restart();
        } else if (!ending && ending_) {
            settle(SessionEnd::Cancelled);
            return;
        }
        const auto waited = std::chrono::milliseconds(clock_.elapsed());
        if (!ending_ && waited >= endBegins_) {
            settle(SessionEnd::NeverBegan);
        } else if (ending_ && waited >= sessionEnds_) {
            settle(SessionEnd::Unfinished);
        } else {
            next_.start();
        }
    }

    void settle(SessionEnd end) {
        if (settled_) {
            next_.stop();
            deleteLater();
            std::exchange(settled_, nullptr)(end);
        }
    }

    SessionProbe probe_;
    std::chrono::milliseconds endBegins_;
    std::chrono::milliseconds sessionEnds_;
    std::function<void(SessionEnd)> settled_;
    QTimer next_;
    QElapsedTimer clock_;
    bool ending_ = false;
};

}  // namespace

void watchSessionEnd(const SessionProbe& probe, std::chrono::milliseconds endBegins,
                     std::chrono::milliseconds sessionEnds, QObject* context,
                     std::function<void(SessionEnd)> settled) {
    new SessionEndWatch(probe, endBegins, sessionEnds, context, std::move(settled));
}

}  // namespace veltrask::platform

#include "session_end_watch.moc"
