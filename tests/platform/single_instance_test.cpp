// SPDX-License-Identifier: MIT
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>
#include <optional>
#include <string>

#include "platform/single_instance.h"

using veltrask::platform::Launch;
using veltrask::platform::SingleInstance;

namespace {

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
    int connections_ = 0;
    QStringList tokens_;
    SingleInstance::ActivateHandler record_ = [this](std::string token) {
        tokens_.append(QString::fromStdString(token));
    };

    // Each connection is a separate client of the bus, as another process would be. They stay
    // open: each test's first claim finds the name free only if the previous instances let it go.
    QDBusConnection newConnection() {
        return QDBusConnection::connectToBus(busAddress_, QString::number(++connections_));
    }

    // A later launch in another process: on a thread of its own, so this one can answer meanwhile.
    // It may ask for the name first and build its window while the bus answers, as the program
    // does.
    Launch launchElsewhere(bool askEarly = false) {
        const QDBusConnection connection = newConnection();
        Launch launch = Launch::First;
        std::unique_ptr<QThread> thread(QThread::create([&] {
            SingleInstance later([](std::string) {}, connection);
            if (askEarly) {
                later.ask();
            }
            launch = later.claim();
        }));
        thread->start();
        while (!thread->wait(10)) {
            QCoreApplication::processEvents();
        }
        return launch;
    }

private slots:
    void initTestCase() {
        busAddress_ = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
        QVERIFY2(!busAddress_.isEmpty(), "run under dbus-run-session, on a bus of its own");
    }

    void cleanup() {
        qputenv("DBUS_SESSION_BUS_ADDRESS", busAddress_.toUtf8());
        qunsetenv("XDG_ACTIVATION_TOKEN");
        qunsetenv("DESKTOP_STARTUP_ID");
        tokens_.clear();
    }

    void servesTheApplicationInterface() {
        SingleInstance first(record_, newConnection());
        QCOMPARE(first.claim(), Launch::First);
        const QDBusConnection caller = newConnection();
        // Arguments that differ from the interface's signature would meet UnknownMethod instead.
        const auto callFor = [&](const QString& method, const QVariantList& arguments) {
            QDBusMessage call =
                QDBusMessage::createMethodCall("org.example.Veltrask", "/org/example/Veltrask",
                                               "org.freedesktop.Application", method);
            call.setArguments(arguments);
            return caller.call(call, QDBus::BlockWithGui, 5000).errorName();
        };
        const QVariantMap both{{"activation-token", "wl-1"}, {"desktop-startup-id", "x11-1"}};

        QCOMPARE(callFor("Activate", {both}), "");
        QCOMPARE(callFor("Open", {QStringList{"file:///tmp/a"}, QVariantMap{}}), "");
        QCOMPARE(callFor("ActivateAction", {"quit", QVariantList{}, QVariantMap{}}),
                 "org.freedesktop.DBus.Error.NotSupported");
        // The Wayland token wins over the startup id; a call without either still comes forward.
        QCOMPARE(tokens_, (QStringList{"wl-1", ""}));
    }

    void laterLaunchHandsItsTokenOver_data() {
        QTest::addColumn<QByteArray>("activationToken");
        QTest::addColumn<QByteArray>("startupId");
        QTest::newRow("from a Wayland launcher") << QByteArray("wl-7") << QByteArray();
        QTest::newRow("from an X11 launcher") << QByteArray() << QByteArray("x11-7");
        QTest::newRow("from a terminal") << QByteArray() << QByteArray();
    }

    void laterLaunchHandsItsTokenOver() {
        QFETCH(QByteArray, activationToken);
        QFETCH(QByteArray, startupId);
        SingleInstance first(record_, newConnection());
        QCOMPARE(first.claim(), Launch::First);

        setOrUnset("XDG_ACTIVATION_TOKEN", activationToken);
        setOrUnset("DESKTOP_STARTUP_ID", startupId);
        QCOMPARE(launchElsewhere(), Launch::HandedOver);
        QCOMPARE(tokens_, QStringList{QString::fromUtf8(activationToken + startupId)});
    }

    // The answer to a question asked early is the one the claim acts on: a name already taken is
    // handed over, not served twice, and a free one is served.
    void earlyQuestionDecidesTheClaim_data() {
        QTest::addColumn<bool>("firstRuns");
        QTest::addColumn<int>("expected");
        QTest::newRow("nobody runs") << false << int(Launch::First);
        QTest::newRow("an instance runs") << true << int(Launch::HandedOver);
    }

    void earlyQuestionDecidesTheClaim() {
        QFETCH(bool, firstRuns);
        QFETCH(int, expected);
        std::optional<SingleInstance> first;
        if (firstRuns) {
            first.emplace(record_, newConnection());
            QCOMPARE(first->claim(), Launch::First);
        }
        QCOMPARE(int(launchElsewhere(true)), expected);
        QCOMPARE(tokens_.size(), firstRuns ? 1 : 0);
        first.reset();
        // Whoever served let the name go again.
        QCOMPARE(SingleInstance(record_, newConnection()).claim(), Launch::First);
    }

    void unansweredLaunchRunsIndependentlySoon() {
        SingleInstance first(record_, newConnection());
        QCOMPARE(first.claim(), Launch::First);
        // On this thread, the first cannot answer before the later launch gives up.
        QElapsedTimer waited;
        waited.start();
        QCOMPARE(SingleInstance(record_, newConnection()).claim(), Launch::Independent);
        QCOMPARE_LT(waited.elapsed(), 5000);
    }

    void withoutSessionBusLaunchesStayIndependent_data() {
        QTest::addColumn<QString>("address");
        QTest::newRow("no bus known") << "";
        QTest::newRow("bus address unreachable") << "unix:path=%1/no-bus";
    }

    void withoutSessionBusLaunchesStayIndependent() {
        QFETCH(QString, address);
        QTemporaryDir runtimeDirectory;
        qputenv("XDG_RUNTIME_DIR", runtimeDirectory.path().toUtf8());
        setOrUnset("DBUS_SESSION_BUS_ADDRESS",
                   address.replace("%1", runtimeDirectory.path()).toUtf8());
        // Should a bus ever be autolaunched, it could not be through X11.
        qunsetenv("DISPLAY");
        QElapsedTimer waited;
        waited.start();
        QCOMPARE(SingleInstance(record_).claim(), Launch::Independent);
        QCOMPARE_LT(waited.elapsed(), 1000);
    }
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "single_instance_test.moc"
