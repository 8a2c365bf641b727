// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantList>

#include <memory>

namespace veltrask::testing {

enum class BusKind { Session, System };

// A service on a private bus, made by python3-dbusmock in a process of its own. Its methods are
// declared by the test; calls whose argument types differ from the declared signature are
// answered with org.freedesktop.DBus.Error.InvalidArgs, as a real service would.
class MockService {
public:
    MockService(BusKind bus, const QDBusConnection& connection, QString name, QString path,
                QStringList arguments, const QString& logFile);
    ~MockService();
    MockService(const MockService&) = delete;
    MockService& operator=(const MockService&) = delete;

    // False when the process could not be started or took no name on the bus.
    bool isReady() const { return ready_; }

    // Adds the method, or replaces what it does. `code` is Python run with the call's arguments in
    // `args`; it may set `ret` or raise.
    void addMethod(const QString& interface, const QString& method, const QString& inSignature,
                   const QString& outSignature, const QString& code = {}, const QString& path = {});
    // Replaces the method with one that answers with the D-Bus error `errorName`.
    void failWith(const QString& interface, const QString& method, const QString& inSignature,
                  const QString& errorName, const QString& message, const QString& path = {});
    // Replaces the method with one that keeps the whole service from ever answering again.
    void neverAnswer(const QString& interface, const QString& method, const QString& inSignature,
                     const QString& path = {});

    // Every call on the object since the last clearCalls, in order, as "Method(u 4, s \"text\")":
    // each argument with its D-Bus type.
    QStringList calls(const QString& path = {}) const;
    void clearCalls(const QString& path = {});

    // Any method of the mock's own org.freedesktop.DBus.Mock interface, e.g. AddSession.
    QDBusMessage callMock(const QString& method, const QVariantList& arguments,
                          const QString& path = {}) const;

    // Ends the service: its name leaves the bus.
    void stop();

private:
    QDBusConnection connection_;
    QString name_;
    QString path_;
    QProcess process_;
    QString owner_;  // the unique name
    bool ready_ = false;
};

// A private session bus and system bus for this process, with no services that could be started
// on demand. Construct it before anything in the process connects to D-Bus: it refuses to go on
// (aborting the test) when the process would still reach another bus.
class PrivateBuses {
public:
    PrivateBuses();
    ~PrivateBuses();
    PrivateBuses(const PrivateBuses&) = delete;
    PrivateBuses& operator=(const PrivateBuses&) = delete;

    // python3 -m dbusmock NAME PATH INTERFACE.
    std::unique_ptr<MockService> startMock(BusKind bus, const QString& name, const QString& path,
                                           const QString& interface);
    // A dbusmock template (e.g. "logind") with its JSON parameters.
    std::unique_ptr<MockService> startTemplate(BusKind bus, const QString& templateName,
                                               const QString& name, const QString& path,
                                               const QString& parameters = QStringLiteral("{}"));

    QDBusConnection connection(BusKind bus) const;

private:
    struct Daemon {
        QProcess process;
        QString address;
    };
    void startDaemon(Daemon& daemon, const QString& socketName);
    std::unique_ptr<MockService> start(BusKind bus, const QString& name, const QString& path,
                                       const QStringList& arguments);

    QTemporaryDir folder_;
    Daemon session_;
    Daemon system_;
    int mocksStarted_ = 0;
};

}  // namespace veltrask::testing
