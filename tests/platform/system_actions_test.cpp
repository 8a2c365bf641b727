// SPDX-License-Identifier: MIT
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include <map>
#include <memory>
#include <optional>

#include "fakes/private_buses.h"
#include "platform/system_actions.h"

using veltrask::platform::Bounds;
using veltrask::platform::carryOutAction;
using veltrask::platform::Outcome;
using veltrask::platform::Session;
using veltrask::platform::SystemAction;
using veltrask::testing::BusKind;
using veltrask::testing::MockService;
using veltrask::testing::PrivateBuses;

Q_DECLARE_METATYPE(SystemAction)

namespace {

constexpr auto kGnome = "org.gnome.SessionManager";
constexpr auto kXfce = "org.xfce.Session.Manager";
constexpr auto kLogind = "org.freedesktop.login1.Manager";
constexpr auto kOwnSession = "/org/freedesktop/login1/session/c1";
constexpr auto kOwnSessionReturned = "ret = dbus.ObjectPath('/org/freedesktop/login1/session/c1')";

// A method as the real service declares it.
struct Method {
    QString mock;  // the short name calls are recorded under
    QString interface;
    QString name;
    QString inSignature;
    QString outSignature;
    QString code;
    QString path;
};

const QList<Method> kMethods{
    {"gnome", kGnome, "RequestShutdown", "", "", "", ""},
    {"gnome", kGnome, "RequestReboot", "", "", "", ""},
    {"gnome", kGnome, "Logout", "u", "", "", ""},
    {"plasma", "org.kde.Shutdown", "logoutAndShutdown", "", "", "", ""},
    {"plasma", "org.kde.Shutdown", "logoutAndReboot", "", "", "", ""},
    {"plasma", "org.kde.Shutdown", "logout", "", "", "", ""},
    {"ksmserver", "org.kde.KSMServerInterface", "logout", "iii", "", "", ""},
    {"xfce", kXfce, "Shutdown", "b", "", "", ""},
    {"xfce", kXfce, "Restart", "b", "", "", ""},
    {"xfce", kXfce, "Logout", "bb", "", "", ""},
    {"logind", kLogind, "PowerOff", "b", "", "", ""},
    {"logind", kLogind, "Reboot", "b", "", "", ""},
    {"logind", kLogind, "GetSessionByPID", "u", "o", kOwnSessionReturned, ""},
    {"logind", kLogind, "GetSession", "s", "o", kOwnSessionReturned, ""},
    {"logind", kLogind, "TerminateSession", "s", "", "", ""},
    {"logind", kLogind, "TerminateUser", "u", "", "", ""},
    {"session", "org.freedesktop.login1.Session", "Terminate", "", "", "", kOwnSession},
};

}  // namespace

class SystemActionsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        buses_ = std::make_unique<PrivateBuses>();
        startGnome();
        mocks_["plasma"] = buses_->startMock(BusKind::Session, "org.kde.Shutdown", "/Shutdown",
                                             "org.kde.Shutdown");
        mocks_["ksmserver"] = buses_->startMock(BusKind::Session, "org.kde.ksmserver", "/KSMServer",
                                                "org.kde.KSMServerInterface");
        mocks_["xfce"] = buses_->startMock(BusKind::Session, "org.xfce.SessionManager",
                                           "/org/xfce/SessionManager", kXfce);
        mocks_["logind"] = buses_->startTemplate(
            BusKind::System, "logind", "org.freedesktop.login1", "/org/freedesktop/login1");
        for (const auto& [name, mock] : mocks_) {
            QVERIFY2(mock->isReady(), qPrintable(name));
        }
        mocks_["logind"]->callMock("AddSession", {"c1", "seat0", 1000u, "alice", true});
    }

    void cleanupTestCase() {
        mocks_.clear();
        buses_.reset();
    }

    // Every method answers as the real one does, and nothing has been called yet.
    void init() {
        for (const auto& method : kMethods) {
            mockFor(method).addMethod(method.interface, method.name, method.inSignature,
                                      method.outSignature, method.code, method.path);
        }
        for (const auto& method : kMethods) {
            mockFor(method).clearCalls(method.path);
        }
    }

    void triesTheDesktopsWaysInOrder_data() {
        QTest::addColumn<QString>("desktops");
        QTest::addColumn<SystemAction>("action");
        QTest::addColumn<QStringList>("failures");  // mock.method=error.Name:message
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<bool>("carriedOut");

        const auto shutDown = SystemAction::ShutDown;
        const auto restart = SystemAction::Restart;
        const auto logOff = SystemAction::LogOff;
        const QString unknown = "org.freedesktop.DBus.Error.ServiceUnknown:gone";

        QTest::newRow("GNOME shuts down") << "GNOME" << shutDown << QStringList{}
                                          << QStringList{"gnome RequestShutdown()"} << true;
        QTest::newRow("Ubuntu's GNOME in a list restarts")
            << "ubuntu:GNOME" << restart << QStringList{} << QStringList{"gnome RequestReboot()"}
            << true;
        QTest::newRow("Unity logs off without asking")
            << "Unity:Unity7:ubuntu" << logOff << QStringList{} << QStringList{"gnome Logout(u 1)"}
            << true;
        QTest::newRow("Plasma shuts down") << "KDE" << shutDown << QStringList{}
                                           << QStringList{"plasma logoutAndShutdown()"} << true;
        QTest::newRow("Plasma restarts")
            << "KDE" << restart << QStringList{} << QStringList{"plasma logoutAndReboot()"} << true;
        QTest::newRow("Plasma logs off")
            << "KDE" << logOff << QStringList{} << QStringList{"plasma logout()"} << true;
        QTest::newRow("older Plasma shuts down")
            << "KDE" << shutDown << QStringList{"plasma.logoutAndShutdown=" + unknown}
            << QStringList{"plasma logoutAndShutdown()", "ksmserver logout(i 0, i 2, i 2)"} << true;
        QTest::newRow("older Plasma restarts")
            << "KDE" << restart << QStringList{"plasma.logoutAndReboot=" + unknown}
            << QStringList{"plasma logoutAndReboot()", "ksmserver logout(i 0, i 1, i 2)"} << true;
        QTest::newRow("older Plasma logs off")
            << "KDE" << logOff << QStringList{"plasma.logout=" + unknown}
            << QStringList{"plasma logout()", "ksmserver logout(i 0, i 0, i 2)"} << true;
        QTest::newRow("Xfce shuts down")
            << "XFCE" << shutDown << QStringList{} << QStringList{"xfce Shutdown(b true)"} << true;
        QTest::newRow("Xfce restarts")
            << "XFCE" << restart << QStringList{} << QStringList{"xfce Restart(b true)"} << true;
        QTest::newRow("Xfce logs off") << "XFCE" << logOff << QStringList{}
                                       << QStringList{"xfce Logout(b false, b true)"} << true;
        QTest::newRow("unknown desktop powers off through logind")
            << "LXQt" << shutDown << QStringList{} << QStringList{"logind PowerOff(b true)"}
            << true;
        QTest::newRow("no desktop reboots through logind")
            << "" << restart << QStringList{} << QStringList{"logind Reboot(b true)"} << true;
        QTest::newRow("no desktop ends the program's own session")
            << "" << logOff << QStringList{}
            << QStringList{"logind GetSessionByPID(u PID)", "session Terminate()"} << true;
        QTest::newRow("a process outside any session ends the caller's session")
            << "" << logOff
            << QStringList{"logind.GetSessionByPID=org.freedesktop.login1.NoSessionForPID:none"}
            << QStringList{"logind GetSessionByPID(u PID)", "logind GetSession(s \"auto\")",
                           "session Terminate()"}
            << true;
        QTest::newRow("without a session of its own, nothing is ended")
            << "" << logOff
            << QStringList{"logind.GetSessionByPID=org.freedesktop.login1.NoSessionForPID:none",
                           "logind.GetSession=org.freedesktop.login1.NoSuchSession:none"}
            << QStringList{"logind GetSessionByPID(u PID)", "logind GetSession(s \"auto\")"}
            << false;
        QTest::newRow("both Plasma interfaces fail, logind restarts")
            << "KDE" << restart
            << QStringList{"plasma.logoutAndReboot=" + unknown, "ksmserver.logout=" + unknown}
            << QStringList{"plasma logoutAndReboot()", "ksmserver logout(i 0, i 1, i 2)",
                           "logind Reboot(b true)"}
            << true;
    }

    void triesTheDesktopsWaysInOrder() {
        QFETCH(QString, desktops);
        QFETCH(SystemAction, action);
        QFETCH(QStringList, failures);
        QFETCH(QStringList, calls);
        QFETCH(bool, carriedOut);

        for (const auto& failure : failures) {
            fail(failure);
        }
        const Outcome outcome = carryOut(action, desktops);
        QCOMPARE(recordedCalls(), calls);
        QCOMPARE(outcome.carriedOut, carriedOut);
        QCOMPARE(outcome.report.empty(), carriedOut);
    }

    void reportsEveryWayThatFailed() {
        fail("xfce.Shutdown=org.freedesktop.DBus.Error.Failed:Session manager must be idle");
        fail(
            "logind.PowerOff=org.freedesktop.DBus.Error.AccessDenied:"
            "Interactive authentication required");
        const Outcome outcome = carryOut(SystemAction::ShutDown, "XFCE");
        QVERIFY(!outcome.carriedOut);
        QCOMPARE(outcome.lastError, "Interactive authentication required");
        QCOMPARE(outcome.report,
                 "could not shut down the computer (tried: org.xfce.Session.Manager.Shutdown "
                 "failed with org.freedesktop.DBus.Error.Failed: Session manager must be idle; "
                 "org.freedesktop.login1.Manager.PowerOff failed with "
                 "org.freedesktop.DBus.Error.AccessDenied: Interactive authentication required)");
    }

    void aMissingSessionManagerIsPassedOver() {
        mocks_.at("gnome")->stop();
        const Outcome outcome = carryOut(SystemAction::Restart, "GNOME");
        const QStringList calls = recordedCalls();
        startGnome();
        QVERIFY(outcome.carriedOut);
        QCOMPARE(calls, QStringList{"logind Reboot(b true)"});
    }

    // A session manager that hangs is left after its bound, and the next way still gets its turn.
    void aSilentSessionManagerIsLeftAfterItsBound() {
        mocks_.at("gnome")->neverAnswer(kGnome, "RequestShutdown", "");
        QElapsedTimer clock;
        clock.start();
        const Outcome outcome =
            carryOut(SystemAction::ShutDown, "GNOME", {std::chrono::milliseconds(300)});
        const auto elapsed = clock.elapsed();
        const QStringList logindCalls = mocks_.at("logind")->calls();
        mocks_.at("gnome")->stop();
        startGnome();

        QVERIFY(outcome.carriedOut);
        // QtDBus runs the bound on a coarse timer, which may fire up to 5 % early.
        QVERIFY2(elapsed >= 285 && elapsed < 3000, qPrintable(QString::number(elapsed)));
        QCOMPARE(logindCalls, QStringList{"PowerOff(b true)"});
    }

private:
    MockService& mockFor(const Method& method) {
        return *mocks_.at(method.mock == "session" ? "logind" : method.mock);
    }

    void startGnome() {
        mocks_["gnome"] =
            buses_->startMock(BusKind::Session, kGnome, "/org/gnome/SessionManager", kGnome);
        QVERIFY(mocks_["gnome"]->isReady());
        if (mocks_.count("logind")) {
            init();  // in the middle of the tests: as every other mock is
        }
    }

    // "mock.method=error.Name:message": the method answers with that error.
    void fail(const QString& failure) {
        const QString key = failure.section('=', 0, 0);
        const QString error = failure.section('=', 1);
        for (const auto& method : kMethods) {
            if (method.mock + '.' + method.name == key) {
                mockFor(method).failWith(method.interface, method.name, method.inSignature,
                                         error.section(':', 0, 0), error.section(':', 1),
                                         method.path);
                return;
            }
        }
        QFAIL(qPrintable("no method " + key));
    }

    Outcome carryOut(SystemAction action, const QString& desktops,
                     Bounds bounds = {std::chrono::seconds(5), std::chrono::seconds(5)}) {
        std::optional<Outcome> outcome;
        carryOutAction(
            action, Session{desktops.toStdString()},
            [&](Outcome result) { outcome = std::move(result); }, bounds);
        const bool answeredAtOnce = outcome.has_value();
        if (!QTest::qWaitFor([&] { return outcome.has_value(); }, 10000) || answeredAtOnce) {
            qWarning("the outcome came %s", answeredAtOnce ? "before the call returned" : "never");
            return Outcome{false, "", "no outcome"};
        }
        return *outcome;
    }

    // Every call the desktop's services and logind received, in the order of the ways.
    QStringList recordedCalls() {
        QStringList calls;
        for (const char* name : {"gnome", "plasma", "ksmserver", "xfce", "logind"}) {
            for (const auto& call : mocks_.at(name)->calls()) {
                calls.append(name + (' ' + call));
            }
        }
        for (const auto& call : mocks_.at("logind")->calls(kOwnSession)) {
            calls.append("session " + call);
        }
        calls.replaceInStrings("u " + QString::number(QCoreApplication::applicationPid()), "u PID");
        return calls;
    }

    std::unique_ptr<PrivateBuses> buses_;
    std::map<QString, std::unique_ptr<MockService>> mocks_;
};

QTEST_GUILESS_MAIN(SystemActionsTest)
#include "system_actions_test.moc"
