// SPDX-License-Identifier: MIT
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>
#include <string>

#include "platform/single_instance.h"

using veltrask::platform::Launch;
using veltrask::platform::SingleInstance;

namespace {

const QString kName = QStringLiteral("org.example.Veltrask");
const QString kPath = QStringLiteral("/org/example/Veltrask");
const QString kInterface = QStringLiteral("org.freedesktop.Application");

void setOrUnset(const char* variable, const QByteArray& value) {
    if (value.isEmpty()) {
        qunsetenv(variable);
    } else {
        qputenv(variable, value);
    }
}

}  // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT

    QString busAddress_;
    QByteArray runtimeDirectory_;
    QByteArray display_;
    QStringList connectionNames_;

    // Each connection is a separate client of the bus, as another process would be.
    QDBusConnection newConnection() {
        connectionNames_.append(QStringLiteral("client %1").arg(connectionNames_.size()));
        return QDBusConnection::connectToBus(busAddress_, connectionNames_.last());
    }

    // A later launch in another process: a connection and a thread of its own, so the instance in
    // this process can answer while the launch waits for it.
    Launch launchElsewhere() {
        const QDBusConnection connection = newConnection();
        Launch launch = Launch::First;
        std::unique_ptr<QThread> thread(QThread::create([&] {
            SingleInstance later([](std::string) {}, connection);
            launch = later.claim();
        }));
        thread->start();
        // The launch gives up on its own after a bounded wait; until then this thread serves.
        while (!thread->wait(10)) {
            QCoreApplication::processEvents();
        }
        return launch;
    }

private slots:
    void initTestCase() {
        busAddress_ = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
        QVERIFY2(!busAddress_.isEmpty(), "run under dbus-run-session, on a bus of its own");
        runtimeDirectory_ = qgetenv("XDG_RUNTIME_DIR");
        display_ = qgetenv("DISPLAY");
    }

    void cleanup() {
        qputenv("DBUS_SESSION_BUS_ADDRESS", busAddress_.toUtf8());
        setOrUnset("XDG_RUNTIME_DIR", runtimeDirectory_);
        setOrUnset("DISPLAY", display_);
        qunsetenv("XDG_ACTIVATION_TOKEN");
        qunsetenv("DESKTOP_STARTUP_ID");
        for (const auto& name : std::as_const(connectionNames_)) {
            QDBusConnection::disconnectFromBus(name);
        }
        connectionNames_.clear();
    }

    void servesTheApplicationInterface_data() {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QVariantList>("arguments");
        QTest::addColumn<QString>("expectedError");  // empty when the call is answered
        QTest::addColumn<QString>("expectedToken");

        const QVariantMap wayland{{"activation-token", "wl-1"}};
        const QVariantMap x11{{"desktop-startup-id", "x11-1"}};
        const QVariantMap both{{"activation-token", "wl-1"}, {"desktop-startup-id", "x11-1"}};
        QTest::newRow("Activate with a Wayland token") << "Activate" << QVariantList{wayland} << ""
                                                       << "wl-1";
        QTest::newRow("Activate with an X11 startup id") << "Activate" << QVariantList{x11} << ""
                                                         << "x11-1";
        QTest::newRow("Activate with both prefers the Wayland token")
            << "Activate" << QVariantList{both} << ""
            << "wl-1";
        QTest::newRow("Activate without a token") << "Activate" << QVariantList{QVariantMap{}} << ""
                                                  << "";
        QTest::newRow("Open comes forward like Activate")
            << "Open" << QVariantList{QStringList{"file:///tmp/a.txt"}, wayland} << ""
            << "wl-1";
        QTest::newRow("ActivateAction is refused, there are no actions")
            << "ActivateAction" << QVariantList{"quit", QVariantList{}, QVariantMap{}}
            << "org.freedesktop.DBus.Error.NotSupported"
            << "";
    }

    void servesTheApplicationInterface() {
        QFETCH(QString, method);
        QFETCH(QVariantList, arguments);
        QFETCH(QString, expectedError);
        QFETCH(QString, expectedToken);

        QStringList tokens;
        const QDBusConnection connection = newConnection();
        SingleInstance first(
            [&](std::string token) { tokens.append(QString::fromStdString(token)); }, connection);
        QCOMPARE(first.claim(), Launch::First);

        QDBusConnection caller = newConnection();
        QCOMPARE(caller.interface()->serviceOwner(kName).value(), connection.baseService());
        QDBusMessage call = QDBusMessage::createMethodCall(kName, kPath, kInterface, method);
        call.setArguments(arguments);
        // A signature that differs from the interface's would be answered with UnknownMethod.
        const QDBusMessage reply = caller.call(call, QDBus::BlockWithGui, 5000);

        QCOMPARE(reply.errorName(), expectedError);
        QCOMPARE(tokens, expectedError.isEmpty() ? QStringList{expectedToken} : QStringList{});
    }

    void laterLaunchHandsItsTokenOver_data() {
        QTest::addColumn<QByteArray>("activationToken");
        QTest::addColumn<QByteArray>("startupId");
        QTest::addColumn<QString>("expectedToken");

        QTest::newRow("from a Wayland launcher") << QByteArray("wl-7") << QByteArray() << "wl-7";
        QTest::newRow("from an X11 launcher") << QByteArray() << QByteArray("x11-7") << "x11-7";
        QTest::newRow("from a launcher setting both")
            << QByteArray("wl-7") << QByteArray("x11-7") << "wl-7";
        QTest::newRow("from a terminal") << QByteArray() << QByteArray() << "";
    }

    void laterLaunchHandsItsTokenOver() {
        QFETCH(QByteArray, activationToken);
        QFETCH(QByteArray, startupId);
        QFETCH(QString, expectedToken);

        QStringList tokens;
        const QDBusConnection connection = newConnection();
        SingleInstance first(
            [&](std::string token) { tokens.append(QString::fromStdString(token)); }, connection);
        QCOMPARE(first.claim(), Launch::First);

        setOrUnset("XDG_ACTIVATION_TOKEN", activationToken);
        setOrUnset("DESKTOP_STARTUP_ID", startupId);
        QCOMPARE(launchElsewhere(), Launch::HandedOver);
        QCOMPARE(tokens, QStringList{expectedToken});
        QCOMPARE(newConnection().interface()->serviceOwner(kName).value(),
                 connection.baseService());
    }

    void unansweredLaunchRunsIndependentlySoon() {
        SingleInstance first([](std::string) {}, newConnection());
        QCOMPARE(first.claim(), Launch::First);

        // Claimed on this thread, the call waits on an instance that cannot answer until it
        // returns.
        SingleInstance later([](std::string) {}, newConnection());
        QElapsedTimer waited;
        waited.start();
        QCOMPARE(later.claim(), Launch::Independent);
        QCOMPARE_LT(waited.elapsed(), 5000);
    }

    void endedInstanceLeavesTheNameFree() {
        {
            SingleInstance first([](std::string) {}, newConnection());
            QCOMPARE(first.claim(), Launch::First);
        }
        // The first connection is still open: only the instance's end can have freed the name.
        SingleInstance next([](std::string) {}, newConnection());
        QCOMPARE(next.claim(), Launch::First);
    }

    void withoutSessionBusLaunchesStayIndependent_data() {
        QTest::addColumn<QString>("address");  // empty: none given
        QTest::newRow("no bus known") << "";
        QTest::newRow("bus address unreachable") << "unix:path=%1/no-bus";
    }

    void withoutSessionBusLaunchesStayIndependent() {
        QFETCH(QString, address);
        QTemporaryDir emptyRuntimeDirectory;
        QVERIFY(emptyRuntimeDirectory.isValid());
        qputenv("XDG_RUNTIME_DIR", emptyRuntimeDirectory.path().toUtf8());
        setOrUnset(
            "DBUS_SESSION_BUS_ADDRESS",
            address.isEmpty() ? QByteArray() : address.arg(emptyRuntimeDirectory.path()).toUtf8());
        // Should a bus ever be autolaunched, it could not be through X11.
        qunsetenv("DISPLAY");

        SingleInstance alone([](std::string) { QFAIL("nobody can ask"); });
        QElapsedTimer waited;
        waited.start();
        QCOMPARE(alone.claim(), Launch::Independent);
        QCOMPARE_LT(waited.elapsed(), 1000);
    }
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "single_instance_test.moc"
