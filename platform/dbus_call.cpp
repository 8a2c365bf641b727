// SPDX-License-Identifier: MIT
#include "platform/dbus_call.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusPendingCallWatcher>
#include <QFileInfo>
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

QDBusMessage introspectionCall(const DBusObject& object) {
    return methodCall(
        {object.bus, object.service, object.path, "org.freedesktop.DBus.Introspectable"},
        "Introspect");
}

namespace {

// Asked for the session bus when none is known, libdbus would autolaunch one through X11: the
// program would then wait for a bus daemon and leave it behind. A bus is known by its address in
// the environment or by the per-user socket that libdbus looks for without one.
bool sessionBusKnown() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        return true;
    }
    const QString runtimeDirectory = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtimeDirectory.isEmpty() &&
           QFileInfo::exists(runtimeDirectory + QStringLiteral("/bus"));
}

int boundInMs(std::chrono::milliseconds bound) {
    return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(bound.count(), 1, INT_MAX));
}

}  // namespace

QDBusConnection connectionTo(Bus bus) {
    if (bus == Bus::System) {
        return QDBusConnection::systemBus();
    }
    // Without a known session bus, a connection that never connects: every call fails at once.
    return sessionBusKnown() ? QDBusConnection::sessionBus()
                             : QDBusConnection(QStringLiteral("no session bus"));
}

void callAsync(Bus bus, const QDBusMessage& message, std::chrono::milliseconds bound,
               QObject* context, std::function<void(const QDBusMessage& reply)> answered) {
    const QDBusConnection connection = connectionTo(bus);
    if (!connection.isConnected()) {
        // A watcher on a call that could not be sent never reports: answer from the event loop.
        const QDBusError error = connection.lastError();
        const QDBusMessage failure = message.createErrorReply(
            error.isValid() ? error.name() : QString::fromLatin1(dbus_error::kDisconnected),
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

bool isError(const QDBusMessage& reply, std::initializer_list<const char*> names) {
    return reply.type() == QDBusMessage::ErrorMessage &&
           std::ranges::any_of(names, [&](const char* name) { return reply.errorName() == name; });
}

std::string describeCall(const QDBusMessage& call) {
    return (call.interface() + '.' + call.member()).toStdString();
}

std::string describeError(const QDBusMessage& error) {
    return (error.errorName() + QStringLiteral(": ") + error.errorMessage()).toStdString();
}

}  // namespace veltrask::platform
