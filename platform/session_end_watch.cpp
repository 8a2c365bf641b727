// SPDX-License-Identifier: MIT
#include "platform/session_end_watch.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>

#include <utility>

#include "platform/dbus_call.h"

namespace veltrask::platform {

namespace {

// Often enough to see a session manager begin and cancel the end of a session at the pace a
// user answers its dialogs; the program has nothing else to do meanwhile.
constexpr std::chrono::milliseconds kProbeInterval{100};
constexpr std::chrono::milliseconds kProbeBound{2000};

}  // namespace

SessionEndWatch::SessionEndWatch(SessionProbe probe, QObject* parent)
    : QObject(parent), probe_(std::move(probe)) {
    next_.setSingleShot(true);
    next_.setInterval(kProbeInterval);
    connect(&next_, &QTimer::timeout, this, &SessionEndWatch::ask);

    auto* watcher = new QDBusServiceWatcher(QString::fromStdString(probe_.service),
                                            QDBusConnection::sessionBus(),
                                            QDBusServiceWatcher::WatchForUnregistration, this);
    if (!probe_.helper.empty()) {
        watcher->addWatchedService(QString::fromStdString(probe_.helper));
    }
    connect(watcher, &QDBusServiceWatcher::serviceUnregistered, this, &SessionEndWatch::left);
    // A session manager that has asked logind to power off or restart may stay until the
    // computer goes down (Cinnamon's does); logind telling everyone is the proof.
    QDBusConnection::systemBus().connect(
        toQString(kLogindManager.service), toQString(kLogindManager.path),
        toQString(kLogindManager.interface), QStringLiteral("PrepareForShutdown"), this,
        SLOT(prepareForShutdown(bool)));
}

void SessionEndWatch::begin(std::chrono::milliseconds endBegins,
                            std::chrono::milliseconds sessionEnds,
                            std::function<void(SessionEnd)> settled) {
    endBegins_ = endBegins;
    sessionEnds_ = sessionEnds;
    settled_ = std::move(settled);
    begun_ = true;
    clock_.start();
    if (managerLeft_) {
        settle(SessionEnd::Ended);
    } else {
        ask();
    }
}

void SessionEndWatch::prepareForShutdown(bool starting) {
    if (starting) {
        managerLeft_ = true;  // as good as gone: the computer is going down
        settle(SessionEnd::Ended);
    }
}

void SessionEndWatch::left(const QString& service) {
    if (service.toStdString() == probe_.helper) {
        // Done or cancelled: the session manager's next answer tells which.
        helperLeft_ = true;
        if (begun_) {
            next_.stop();
            ask();
        }
        return;
    }
    managerLeft_ = true;
    settle(SessionEnd::Ended);
}

void SessionEndWatch::ask() {
    const QDBusMessage message = QDBusMessage::createMethodCall(
        QString::fromStdString(probe_.service), QString::fromStdString(probe_.path),
        QString::fromStdString(probe_.interface), QString::fromStdString(probe_.method));
    callAsync(Bus::Session, message, kProbeBound, this, [this](const QDBusMessage& reply) {
        if (reply.type() != QDBusMessage::ReplyMessage) {
            // Gone with the session it ended, or one that cannot tell, or too busy ending the
            // session to answer: in each case its word stands.
            settle(SessionEnd::Ended);
            return;
        }
        answered(reply.arguments().value(0).toBool() == probe_.endingWhen);
    });
}

void SessionEndWatch::answered(bool ending) {
    // A helper that left while the session manager runs on, not ending: the end was cancelled,
    // however quickly (Plasma's lasts a few milliseconds when an application cancels at once).
    if (!ending && (ending_ || helperLeft_)) {
        settle(SessionEnd::Cancelled);
        return;
    }
    if (ending && !ending_) {
        ending_ = true;
        clock_.restart();
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

void SessionEndWatch::settle(SessionEnd end) {
    if (begun_ && settled_) {
        next_.stop();
        deleteLater();
        std::exchange(settled_, nullptr)(end);
    }
}

}  // namespace veltrask::platform
