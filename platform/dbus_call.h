// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

class QObject;

namespace veltrask::platform {

enum class Bus { Session, System };

// Where a service answers: each written once, for everyone who calls it.
struct DBusObject {
    Bus bus;
    std::string_view service;
    std::string_view path;
    std::string_view interface;
};

inline constexpr DBusObject kGnomeSessionManager{Bus::Session, "org.gnome.SessionManager",
                                                 "/org/gnome/SessionManager",
                                                 "org.gnome.SessionManager"};
inline constexpr DBusObject kPowerManagementInhibit{Bus::Session, "org.freedesktop.PowerManagement",
                                                    "/org/freedesktop/PowerManagement/Inhibit",
                                                    "org.freedesktop.PowerManagement.Inhibit"};
inline constexpr DBusObject kBusDaemon{Bus::Session, "org.freedesktop.DBus",
                                       "/org/freedesktop/DBus", "org.freedesktop.DBus"};
inline constexpr DBusObject kLogindManager{Bus::System, "org.freedesktop.login1",
                                           "/org/freedesktop/login1",
                                           "org.freedesktop.login1.Manager"};

QString toQString(std::string_view text);

// The connection to `bus`, made on first use. Every call of the program's goes through it.
QDBusConnection connectionTo(Bus bus);

// A call of `method` on the object, with the arguments given: every call the program makes is
// built here.
QDBusMessage methodCall(const DBusObject& object, const char* method,
                        const QVariantList& arguments = {});

// The object's own description of itself.
QDBusMessage introspectionCall(const DBusObject& object);

// Sends `message` on `bus`, connecting to the bus on first use, and hands the reply, or an error
// message when the call failed, was not answered within `bound` or the bus cannot be reached, to
// `answered` on the event thread, never before this function returns. Nothing is delivered once
// `context` is gone.
void callAsync(Bus bus, const QDBusMessage& message, std::chrono::milliseconds bound,
               QObject* context, std::function<void(const QDBusMessage& reply)> answered);

// Sends `message` and lets it go: for releases, whose answers change nothing.
void sendWithoutReply(Bus bus, const QDBusMessage& message);

// The errors the program tells apart, each named once.
namespace dbus_error {
inline constexpr char kServiceUnknown[] = "org.freedesktop.DBus.Error.ServiceUnknown";
inline constexpr char kNameHasNoOwner[] = "org.freedesktop.DBus.Error.NameHasNoOwner";
inline constexpr char kDisconnected[] = "org.freedesktop.DBus.Error.Disconnected";
inline constexpr char kNoReply[] = "org.freedesktop.DBus.Error.NoReply";
inline constexpr char kUnknownMethod[] = "org.freedesktop.DBus.Error.UnknownMethod";
}  // namespace dbus_error

// Whether `reply` is an error of one of the names.
bool isError(const QDBusMessage& reply, std::initializer_list<const char*> names);

// "interface.Method" of a call, for reports.
std::string describeCall(const QDBusMessage& call);

// "error.Name: message" of an error reply, for reports.
std::string describeError(const QDBusMessage& error);

}  // namespace veltrask::platform
