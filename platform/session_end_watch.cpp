// SPDX-License-Identifier: MIT
#include "platform/session_end_watch.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>

#include <utility>

namespace veltrask::platform {

namespace {

// Often enough to see a session manager begin and cancel the end of a session at the pace a
// user answers its dialogs; the program has nothing else to do meanwhile.
constexpr std::chrono::milliseconds kProbeInterval{100};
constexpr std::chrono::milliseconds kProbeBound{2000};

}  // namespace

SessionEndWatch::SessionEndWatch(const SessionProbe& probe, QObject* parent)
    : QObject(parent), probe_(probe) {
    next_.setSingleShot(true);
    next_.setInterval(kProbeInterval);
    connect(&next_, &QTimer::timeout, this, &SessionEndWatch::ask);

    QDBusConnection sessionBus = connectionTo(Bus::Session);
    auto* watcher = new QDBusServiceWatcher(toQString(probe_.manager.service), sessionBus,
                                            QDBusServiceWatcher::WatchForUnregistration, this);
    if (!probe_.helper.empty()) {
        watcher->addWatchedService(toQString(probe_.helper));
    }
    connect(watcher, &QDBusServiceWatcher::serviceUnregistered, this, &SessionEndWatch::left);
    if (probe_.cancelledSignal != nullptr) {
        sessionBus.connect(toQString(probe_.manager.service), toQString(probe_.manager.path),
                           toQString(probe_.manager.interface),
                           QString::fromLatin1(probe_.cancelledSignal), this, SLOT(cancelled()));
    }
    // A session manager that has asked logind to power off or restart may stay until the
    // computer goes down (Cinnamon's does); logind telling everyone is the proof.
    connectionTo(Bus::System)
        .connect(toQString(kLogindManager.service), toQString(kLogindManager.path),
                 toQString(kLogindManager.interface), QStringLiteral("PrepareForShutdown"), this,
                 SLOT(prepareForShutdown(bool)));
}

void SessionEndWatch::begin(CallEnded call, std::chrono::milliseconds endBegins,
                            std::chrono::milliseconds sessionEnds,
                            std::function<void(SessionEnd)> settled) {
    endBegins_ = call == CallEnded::Answered ? endBegins : std::chrono::milliseconds(0);
    sessionEnds_ = sessionEnds;
    settled_ = std::move(settled);
    clock_.start();
    if (end_) {
        settle(*end_);
    } else {
        ask();
    }
}

void SessionEndWatch::prepareForShutdown(bool starting) {
    if (starting) {
        settle(SessionEnd::Ended);
    }
}

void SessionEndWatch::cancelled() {
    settle(SessionEnd::Cancelled);
}

void SessionEndWatch::left(const QString& service) {
    if (service != toQString(probe_.helper)) {
        settle(SessionEnd::Ended);
        return;
    }
    seen_ = Seen::HelperLeft;
    if (settled_) {
        next_.stop();
        ask();
    }
}

void SessionEndWatch::ask() {
    callAsync(
        probe_.manager.bus, methodCall(probe_.manager, probe_.method), kProbeBound, this,
        [this](const QDBusMessage& reply) {
            if (reply.type() == QDBusMessage::ReplyMessage) {
                answered(probe_.ending(reply.arguments().value(0)));
            } else if (isError(reply, {dbus_error::kServiceUnknown, dbus_error::kNameHasNoOwner,
                                       dbus_error::kDisconnected, dbus_error::kNoReply})) {
                // Gone with the session it ended, or too busy ending it to answer: either
                // way its word stands. Any other error says nothing about the session.
                settle(SessionEnd::Ended);
            } else {
                answered(std::nullopt);
            }
        });
}

void SessionEndWatch::answered(std::optional<bool> ending) {
    // Not ending after it was, or after its helper left, however quickly (Plasma's end lasts a
    // few milliseconds when an application cancels at once): the end was cancelled.
    if (ending == false && seen_ != Seen::Running) {
        settle(SessionEnd::Cancelled);
        return;
    }
    if (ending == true && seen_ == Seen::Running) {
        seen_ = Seen::Ending;
        clock_.restart();
    }
    const auto waited = std::chrono::milliseconds(clock_.elapsed());
    if (seen_ == Seen::Running && waited >= endBegins_) {
        settle(SessionEnd::NeverBegan);
    } else if (seen_ != Seen::Running && waited >= sessionEnds_) {
        settle(SessionEnd::Unfinished);
    } else {
        next_.start();
    }
}

void SessionEndWatch::settle(SessionEnd end) {
    if (!end_) {
        end_ = end;
    }
    if (*end_ == SessionEnd::Ended) {
        displayEnd_.keep();
    }
    if (settled_) {
        next_.stop();
        deleteLater();
        std::exchange(settled_, nullptr)(*end_);
    }
}

}  // namespace veltrask::platform
