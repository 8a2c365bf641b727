// SPDX-License-Identifier: MIT
#include "fakes/private_buses.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

#include <sys/prctl.h>

#include <csignal>

namespace veltrask::testing {

namespace {

constexpr int kPatienceMs = 10000;
constexpr auto kMockInterface = "org.freedesktop.DBus.Mock";

// A session-type bus that anyone on this machine's account may use, with no service directories:
// a name nobody owns is answered at once with ServiceUnknown, never started.
constexpr auto kBusConfiguration = R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

// dbusmock converts what it is sent to the declared signature; this refuses what does not match
// it instead, like a service with a fixed signature.
constexpr auto kStrictSignature = R"(_types = {dbus.Boolean: 'b', dbus.Byte: 'y', dbus.Int16: 'n',
    dbus.UInt16: 'q', dbus.Int32: 'i', dbus.UInt32: 'u', dbus.Int64: 'x', dbus.UInt64: 't',
    dbus.Double: 'd', dbus.String: 's', dbus.ObjectPath: 'o'}
_sent = ''
for _argument in m_args:
    _sent += _types.get(type(_argument), '?')
if _sent != in_signature:
    raise dbus.exceptions.DBusException('sent (' + _sent + '), expected (' + in_signature + ')',
                                        name='org.freedesktop.DBus.Error.InvalidArgs')
)";

QString pythonString(const QString& text) {
    QString quoted = text;
    quoted.replace('\\', "\\\\").replace('"', "\\\"").replace('\n', "\\n");
    return '"' + quoted + '"';
}

QString render(const QVariant& value) {
    const QMetaType type = value.metaType();
    if (type == QMetaType::fromType<QDBusVariant>()) {
        return render(value.value<QDBusVariant>().variant());
    }
    if (type == QMetaType::fromType<bool>()) {
        return value.toBool() ? "b true" : "b false";
    }
    if (type == QMetaType::fromType<int>()) {
        return "i " + value.toString();
    }
    if (type == QMetaType::fromType<uint>()) {
        return "u " + value.toString();
    }
    if (type == QMetaType::fromType<QString>()) {
        return "s " + pythonString(value.toString());
    }
    if (type == QMetaType::fromType<QDBusObjectPath>()) {
        return "o " + value.value<QDBusObjectPath>().path();
    }
    return QStringLiteral("? ") + type.name();
}

QString guidOf(const QString& address) {
    return address.section(QStringLiteral("guid="), 1).section(',', 0, 0);
}

// The process's own connection must reach the private bus and nothing else: the bus it reaches
// is run by the daemon this fixture started.
void requireConnectedOnlyTo(const QDBusConnection& connection, const QProcess& daemon,
                            const char* which) {
    QDBusMessage question =
        QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                       "org.freedesktop.DBus", "GetConnectionUnixProcessID");
    question.setArguments({QStringLiteral("org.freedesktop.DBus")});
    const QDBusMessage reply = connection.call(question, QDBus::Block, kPatienceMs);
    const qint64 pid = reply.arguments().value(0).toLongLong();
    if (pid == 0 || pid != daemon.processId()) {
        qFatal(
            "the %s bus connection is not the private one (its daemon is %lld, %s %s): "
            "refusing to go on",
            which, pid, qPrintable(reply.errorName()), qPrintable(reply.errorMessage()));
    }
}

// A test that crashes or is killed must not leave buses and services behind.
void endWithTheTest() {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
}

QString python() {
    // dbusmock comes from Debian's python3; another python3 earlier on PATH may lack it.
    const QString debians = QStandardPaths::findExecutable("python3", {"/usr/bin"});
    return debians.isEmpty() ? QStandardPaths::findExecutable("python3") : debians;
}

}  // namespace

MockService::MockService(BusKind bus, const QDBusConnection& connection, QString name, QString path,
                         QStringList arguments, const QString& logFile)
    : connection_(connection), name_(std::move(name)), path_(std::move(path)) {
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.setChildProcessModifier(endWithTheTest);
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.start(python(),
                   QStringList{"-m", "dbusmock", bus == BusKind::System ? "--system" : "--session",
                               "-l", logFile} +
                       arguments);
    ready_ = process_.waitForStarted(kPatienceMs) &&
             QTest::qWaitFor(
                 [this] {
                     return process_.state() == QProcess::Running &&
                            connection_.interface()->isServiceRegistered(name_).value();
                 },
                 kPatienceMs);
    if (ready_) {
        owner_ = connection_.interface()->serviceOwner(name_).value();
    }
}

MockService::~MockService() {
    stop();
}

void MockService::stop() {
    if (process_.state() == QProcess::NotRunning) {
        return;
    }
    process_.terminate();
    if (!process_.waitForFinished(kPatienceMs)) {
        process_.kill();
        process_.waitForFinished(kPatienceMs);
    }
    if (!QTest::qWaitFor(
            [this] { return !connection_.interface()->isServiceRegistered(name_).value(); },
            kPatienceMs)) {
        qWarning("the mock %s stopped but its name stays on the bus", qPrintable(name_));
    }
}

QDBusMessage MockService::callMock(const QString& method, const QVariantList& arguments,
                                   const QString& path) const {
    // By its unique name: a mock may give its well-known one up, as a service leaving would.
    QDBusMessage message = QDBusMessage::createMethodCall(
        owner_.isEmpty() ? name_ : owner_, path.isEmpty() ? path_ : path, kMockInterface, method);
    message.setArguments(arguments);
    const QDBusMessage reply = connection_.call(message, QDBus::Block, kPatienceMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        qWarning("%s on the mock %s failed: %s", qPrintable(method), qPrintable(name_),
                 qPrintable(reply.errorMessage()));
    }
    return reply;
}

void MockService::addMethod(const QString& interface, const QString& method,
                            const QString& inSignature, const QString& outSignature,
                            const QString& code, const QString& path) {
    callMock("AddMethod",
             {interface, method, inSignature, outSignature, QString(kStrictSignature) + code},
             path);
}

void MockService::failWith(const QString& interface, const QString& method,
                           const QString& inSignature, const QString& errorName,
                           const QString& message, const QString& path) {
    addMethod(interface, method, inSignature, {},
              "raise dbus.exceptions.DBusException(" + pythonString(message) +
                  ", name=" + pythonString(errorName) + ")",
              path);
}

void MockService::neverAnswer(const QString& interface, const QString& method,
                              const QString& inSignature, const QString& path) {
    addMethod(interface, method, inSignature, {}, "import time\ntime.sleep(3600)", path);
}

QStringList MockService::calls(const QString& path) const {
    QStringList calls;
    if (process_.state() == QProcess::NotRunning) {
        return calls;
    }
    const QDBusMessage reply = callMock("GetCalls", {}, path);
    const auto log = reply.arguments().value(0).value<QDBusArgument>();
    log.beginArray();
    while (!log.atEnd()) {
        qulonglong time = 0;
        QString method;
        log.beginStructure();
        log >> time >> method;
        QStringList arguments;
        log.beginArray();
        while (!log.atEnd()) {
            QDBusVariant argument;
            log >> argument;
            arguments.append(render(argument.variant()));
        }
        log.endArray();
        log.endStructure();
        calls.append(method + '(' + arguments.join(", ") + ')');
    }
    log.endArray();
    return calls;
}

void MockService::clearCalls(const QString& path) {
    callMock("ClearCalls", {}, path);
}

PrivateBuses::PrivateBuses() {
    if (!folder_.isValid()) {
        qFatal("no folder for the private buses");
    }
    startDaemon(session_, "session");
    startDaemon(system_, "system");
    // Whatever this process or what it starts connects to from now on is one of these.
    qputenv("DBUS_SESSION_BUS_ADDRESS", session_.address.toUtf8());
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", system_.address.toUtf8());
    qunsetenv("DBUS_STARTER_ADDRESS");
    qunsetenv("DBUS_STARTER_BUS_TYPE");
    requireConnectedOnlyTo(QDBusConnection::sessionBus(), session_.process, "session");
    requireConnectedOnlyTo(QDBusConnection::systemBus(), system_.process, "system");
}

PrivateBuses::~PrivateBuses() {
    for (Daemon* daemon : {&session_, &system_}) {
        daemon->process.terminate();
        daemon->process.waitForFinished(kPatienceMs);
    }
}

void PrivateBuses::startDaemon(Daemon& daemon, const QString& socketName) {
    QFile configuration(folder_.filePath(socketName + ".conf"));
    if (!configuration.open(QIODevice::WriteOnly)) {
        qFatal("cannot write %s", qPrintable(configuration.fileName()));
    }
    configuration.write(QString(kBusConfiguration).arg(folder_.filePath(socketName)).toUtf8());
    configuration.close();
    daemon.process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    daemon.process.setChildProcessModifier(endWithTheTest);
    daemon.process.start("dbus-daemon", {"--config-file=" + configuration.fileName(), "--nofork",
                                         "--print-address=1"});
    if (!daemon.process.waitForStarted(kPatienceMs)) {
        qFatal("dbus-daemon did not start: %s", qPrintable(daemon.process.errorString()));
    }
    if (!QTest::qWaitFor([&] { return daemon.process.canReadLine(); }, kPatienceMs)) {
        qFatal("dbus-daemon printed no address in time");
    }
    daemon.address = QString::fromUtf8(daemon.process.readLine()).trimmed();
    if (guidOf(daemon.address).isEmpty()) {
        qFatal("dbus-daemon printed no address");
    }
}

QDBusConnection PrivateBuses::connection(BusKind bus) const {
    const QString& address = bus == BusKind::Session ? session_.address : system_.address;
    // Apart from the connections of the code under test, so that their state is theirs alone.
    return QDBusConnection::connectToBus(address, "veltrask-fixture-" + guidOf(address));
}

std::unique_ptr<MockService> PrivateBuses::startMock(BusKind bus, const QString& name,
                                                     const QString& path,
                                                     const QString& interface) {
    return start(bus, name, path, {name, path, interface});
}

std::unique_ptr<MockService> PrivateBuses::startTemplate(BusKind bus, const QString& templateName,
                                                         const QString& name, const QString& path,
                                                         const QString& parameters) {
    return start(bus, name, path, {"-t", templateName, "-p", parameters});
}

std::unique_ptr<MockService> PrivateBuses::start(BusKind bus, const QString& name,
                                                 const QString& path,
                                                 const QStringList& arguments) {
    const QString logFile = folder_.filePath(QString("mock-%1.log").arg(++mocksStarted_));
    return std::make_unique<MockService>(bus, connection(bus), name, path, arguments, logFile);
}

}  // namespace veltrask::testing
