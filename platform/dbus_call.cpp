// SPDX-License-Identifier: MIT
#include "platform/dbus_call.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusPendingCallWatcher>
#include <QTimer>

#include <algorithm>
#include <climits>

namespace veltrask::platform {

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QDBusMessage methodCall(const DBusObject& object, const char* method,
                        const QVariantList& arguments) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(toQString(object.service), toQString(object.path),
                                       toQString(object.interface), QString::fromUtf8(method));
    message.setArguments(arguments);
    return message;
}

namespace {

QDBusConnection connectionTo(Bus bus) {
    return bus == Bus::Session ? QDBusConnection::sessionBus() : QDBusConnection::systemBus();
}

int boundInMs(std::chrono::milliseconds bound) {
    return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(bound.count(), 1, INT_MAX));
}

}  // namespace

void callAsync(Bus bus, const QDBusMessage& message, std::chrono::milliseconds bound,
               QObject* context, std::function<void(const QDBusMessage& reply)> answered) {
    const QDBusConnection connection = connectionTo(bus);
    if (!connection.isConnected()) {
        // A watcher on a call that could not be sent never reports: answer from the event loop.
        const QDBusError error = connection.lastError();
        const QDBusMessage failure = message.createErrorReply(
            error.isValid() ? error.name()
                            : QStringLiteral("org.freedesktop.DBus.Error.Disconnected"),
            error.isValid() ? error.message() : QStringLiteral("the bus cannot be reached"));
        QTimer::singleShot(0, context,
                           [failure, answered = std::move(answered)] { answered(failure); });
        return;
    }
    auto* watcher =
        new QDBusPendingCallWatcher(connection.asyncCall(message, boundInMs(bound)), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [answered = std::move(answered)](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         answered(finished->reply());
                     });
}

void sendWithoutReply(Bus bus, const QDBusMessage& message) {
    connectionTo(bus).send(message);
}

std::string describeCall(const QDBusMessage& call) {
    return (call.interface() + '.' + call.member()).toStdString();
}

std::string describeError(const QDBusMessage& error) {
    return (error.errorName() + QStringLiteral(": ") + error.errorMessage()).toStdString();
}

}  // namespace veltrask::platform
