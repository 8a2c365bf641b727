// SPDX-License-Identifier: MIT
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include <map>
#include <memory>
#include <optional>

#include "fakes/private_buses.h"
#include "fakes/real_interface.h"
#include "platform/system_actions.h"

using veltrask::platform::Bounds;
using veltrask::platform::carryOutAction;
using veltrask::platform::Outcome;
using Result = veltrask::core::CommandOutcome::Result;
using veltrask::platform::Session;
using veltrask::platform::SystemAction;
using veltrask::testing::BusKind;
using veltrask::testing::MockService;
using veltrask::testing::PrivateBuses;
using veltrask::testing::realMethods;

Q_DECLARE_METATYPE(SystemAction)
Q_DECLARE_METATYPE(Result)

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
    {"plasma", "org.kde.Shutdown", "logoutAndShutdown", "", "", "", ""},
    {"plasma", "org.kde.Shutdown", "logoutAndReboot", "", "", "", ""},
    {"plasma", "org.kde.Shutdown", "logout", "", "", "", ""},
    {"ksmserver", "org.kde.KSMServerInterface", "logout", "iii", "", "", ""},
    // ksmserver leaves once it has ended the session.
    {"ksmserver", "org.kde.KSMServerInterface", "isShuttingDown", "", "b",
     "n = len([c for c in self.call_log if c[1] == 'isShuttingDown'])\n"
     "if n > 2: raise dbus.exceptions.DBusException('gone', "
     "name='org.freedesktop.DBus.Error.ServiceUnknown')\n"
     "ret = True",
     ""},
    {"xfce", kXfce, "Shutdown", "b", "", "", ""},
    // Xfce's session manager ends the session, then leaves with it.
    {"xfce", kXfce, "GetState", "", "u",
     "n = len([c for c in self.call_log if c[1] == 'GetState'])\n"
     "if n > 2: raise dbus.exceptions.DBusException('gone', "
     "name='org.freedesktop.DBus.Error.ServiceUnknown')\n"
     "ret = dbus.UInt32(3)",
     ""},
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

// The introspections of the real services the mocks stand for, Plasma's of each release (Ubuntu
// 24.04's 5.27.12 introspects as 5.27.5).
const QMap<QString, QStringList> kRealInterfaces{
    {"plasma", {"plasma-shutdown-5.27.xml", "plasma-shutdown-6.3.xml"}},
    {"ksmserver", {"ksmserver-5.27.xml", "ksmserver-6.3.xml"}},
    {"xfce", {"xfce4-session-4.18.xml"}},
};
// What a later release no longer offers: ksmserver's own logout(…), the way of older Plasma.
const QMultiMap<QString, QString> kGone{{"ksmserver-6.3.xml", "logout"}};

// GNOME's session manager name, as each real owner answers on it.
constexpr auto kGnome43 = "gnome-session-43.xml";
constexpr auto kGnome46 = "gnome-session-46.xml";
constexpr auto kMate = "mate-session-1.26.xml";

// How a session manager that answered at once goes on, told by IsSessionRunning: it is running,
// then ending, then gone with the session (or running again: the end was cancelled).
constexpr auto kPolls = "n = len([c for c in self.call_log if c[1] == 'IsSessionRunning'])\n";
const QString kEndsTheSession = QString(kPolls) +
                                "if n > 3: raise dbus.exceptions.DBusException('gone', "
                                "name='org.freedesktop.DBus.Error.ServiceUnknown')\n"
                                "ret = n <= 1";
const QString kEndCancelled = QString(kPolls) + "ret = n <= 1 or n > 3";
const QString kKeepsRunning = "ret = True";

// The calls that only watch the session, left out of what the ways are checked against.
const QStringList kProbes{"IsSessionRunning()", "isShuttingDown()", "GetState()"};

}  // namespace

class SystemActionsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        buses_ = std::make_unique<PrivateBuses>();
        startPlasma();
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

    // Every method answers as the real one does, and nothing has been called yet. GNOME's name
    // has no owner unless a row gives it one.
    void init() {
        mocks_.erase("gnome");
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
        QTest::addColumn<QString>("gnome");  // who owns GNOME's name, by its real interface
        QTest::addColumn<SystemAction>("action");
        QTest::addColumn<QStringList>("answers");  // mock.Method=error.Name:message, or =code
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<Result>("result");

        const auto shutDown = SystemAction::ShutDown;
        const auto restart = SystemAction::Restart;
        const auto logOff = SystemAction::LogOff;
        const auto done = Result::CarriedOut;
        const QString unknown = "org.freedesktop.DBus.Error.ServiceUnknown:gone";
        const QString cancelled =
            "org.gtk.GDBus.UnmappedGError.Quark._g_2dio_2derror_2dquark.Code19:"
            "Operation was cancelled";
        const QString mateEnds = "gnome.IsSessionRunning=" + kEndsTheSession;
        const QStringList powerOff{"logind PowerOff(b true)"};

        QTest::newRow("GNOME shuts down through its end-session dialog")
            << "GNOME" << kGnome43 << shutDown << QStringList{} << QStringList{"gnome Shutdown()"}
            << done;
        QTest::newRow("Ubuntu's GNOME in a list restarts through its dialog")
            << "ubuntu:GNOME" << kGnome43 << restart << QStringList{}
            << QStringList{"gnome Reboot()"} << done;
        QTest::newRow("a cancel in GNOME's dialog is the user's no")
            << "GNOME" << kGnome43 << shutDown << QStringList{"gnome.Shutdown=" + cancelled}
            << QStringList{"gnome Shutdown()"} << Result::Declined;
        QTest::newRow("GNOME still starting passes the turn to logind")
            << "GNOME" << kGnome43 << shutDown
            << QStringList{"gnome.Shutdown=org.gnome.SessionManager.NotInRunning:not yet"}
            << QStringList{"gnome Shutdown()", "logind PowerOff(b true)"} << done;
        QTest::newRow("GNOME locked down is a refusal")
            << "GNOME" << kGnome43 << logOff
            << QStringList{"gnome.Logout=org.gnome.SessionManager.LockedDown:locked"}
            << QStringList{"gnome Logout(u 1)"} << Result::Failed;
        QTest::newRow("Unity logs off without asking")
            << "Unity:Unity7:ubuntu" << kGnome43 << logOff << QStringList{}
            << QStringList{"gnome Logout(u 1)"} << done;
        QTest::newRow("Cinnamon asks every application, then the session ends")
            << "X-Cinnamon" << kMate << shutDown << QStringList{mateEnds}
            << QStringList{"gnome RequestShutdown()"} << done;
        QTest::newRow("MATE restarts the same way")
            << "MATE" << kMate << restart << QStringList{mateEnds}
            << QStringList{"gnome RequestReboot()"} << done;
        QTest::newRow("an application's no that the user let stand")
            << "MATE" << kMate << shutDown << QStringList{"gnome.IsSessionRunning=" + kEndCancelled}
            << QStringList{"gnome RequestShutdown()"} << Result::Declined;
        QTest::newRow("an application's no to a log-off that the user let stand")
            << "MATE" << kMate << logOff << QStringList{"gnome.IsSessionRunning=" + kEndCancelled}
            << QStringList{"gnome Logout(u 1)"} << Result::Declined;
        QTest::newRow("a session that cannot be asked is not taken for ending")
            << "MATE" << kMate << restart
            << QStringList{"gnome.IsSessionRunning=org.freedesktop.DBus.Error.AccessDenied:no"}
            << QStringList{"gnome RequestReboot()"} << Result::Failed;
        QTest::newRow("Ubuntu's GNOME lists Cinnamon's way, and has only its dialog")
            << "ubuntu:GNOME" << kGnome46 << shutDown
            << QStringList{"gnome.RequestShutdown=org.freedesktop.DBus.Error.UnknownMethod:none"}
            << QStringList{"gnome RequestShutdown()", "gnome Shutdown()"} << done;
        QTest::newRow("a session manager that answers and does nothing")
            << "MATE" << kMate << restart << QStringList{"gnome.IsSessionRunning=" + kKeepsRunning}
            << QStringList{"gnome RequestReboot()"} << Result::Failed;
        QTest::newRow("who owns GNOME's name answers, whatever the desktop is called")
            << "XFCE" << kGnome43 << shutDown << QStringList{} << QStringList{"gnome Shutdown()"}
            << done;
        QTest::newRow("GNOME's name without an owner is passed over")
            << "GNOME"
            << "" << restart << QStringList{} << QStringList{"logind Reboot(b true)"} << done;
        QTest::newRow("Plasma shuts down")
            << "KDE"
            << "" << shutDown << QStringList{} << QStringList{"plasma logoutAndShutdown()"} << done;
        QTest::newRow("Plasma restarts")
            << "KDE"
            << "" << restart << QStringList{} << QStringList{"plasma logoutAndReboot()"} << done;
        QTest::newRow("Plasma logs off")
            << "KDE"
            << "" << logOff << QStringList{} << QStringList{"plasma logout()"} << done;
        QTest::newRow("a logout cancelled in Plasma is the user's no")
            << "KDE" << "" << shutDown
            << QStringList{"ksmserver.isShuttingDown=n = len([c for c in self.call_log if c[1] == "
                           "'isShuttingDown'])\nret = n <= 2"}
            << QStringList{"plasma logoutAndShutdown()"} << Result::Declined;
        QTest::newRow("older Plasma shuts down")
            << "KDE"
            << "" << shutDown << QStringList{"plasma.logoutAndShutdown=" + unknown}
            << QStringList{"plasma logoutAndShutdown()", "ksmserver logout(i 0, i 2, i 2)"} << done;
        QTest::newRow("older Plasma restarts")
            << "KDE"
            << "" << restart << QStringList{"plasma.logoutAndReboot=" + unknown}
            << QStringList{"plasma logoutAndReboot()", "ksmserver logout(i 0, i 1, i 2)"} << done;
        QTest::newRow("older Plasma logs off")
            << "KDE"
            << "" << logOff << QStringList{"plasma.logout=" + unknown}
            << QStringList{"plasma logout()", "ksmserver logout(i 0, i 0, i 2)"} << done;
        QTest::newRow("Xfce shuts down")
            << "XFCE"
            << "" << shutDown << QStringList{} << QStringList{"xfce Shutdown(b true)"} << done;
        QTest::newRow("Xfce restarts")
            << "XFCE"
            << "" << restart << QStringList{} << QStringList{"xfce Restart(b true)"} << done;
        QTest::newRow("Xfce logs off")
            << "XFCE"
            << "" << logOff << QStringList{} << QStringList{"xfce Logout(b false, b true)"} << done;
        QTest::newRow("an application cancels Xfce's log-off")
            << "XFCE"
            << "" << logOff
            << QStringList{"xfce.Logout=self.EmitSignal('org.xfce.Session.Manager', "
                           "'ShutdownCancelled', '', [])",
                           "xfce.GetState=ret = dbus.UInt32(1)"}
            << QStringList{"xfce Logout(b false, b true)"} << Result::Declined;
        QTest::newRow("unknown desktop powers off through logind")
            << "LXQt"
            << "" << shutDown << QStringList{} << powerOff << done;
        QTest::newRow("no desktop reboots through logind")
            << ""
            << "" << restart << QStringList{} << QStringList{"logind Reboot(b true)"} << done;
        QTest::newRow("no desktop ends the program's own session")
            << ""
            << "" << logOff << QStringList{}
            << QStringList{"logind GetSessionByPID(u PID)", "session Terminate()"} << done;
        QTest::newRow("a process outside any session ends the caller's session")
            << ""
            << "" << logOff
            << QStringList{"logind.GetSessionByPID=org.freedesktop.login1.NoSessionForPID:none"}
            << QStringList{"logind GetSessionByPID(u PID)", "logind GetSession(s \"auto\")",
                           "session Terminate()"}
            << done;
        QTest::newRow("without a session of its own, nothing is ended")
            << ""
            << "" << logOff
            << QStringList{"logind.GetSessionByPID=org.freedesktop.login1.NoSessionForPID:none",
                           "logind.GetSession=org.freedesktop.login1.NoSuchSession:none"}
            << QStringList{"logind GetSessionByPID(u PID)", "logind GetSession(s \"auto\")"}
            << Result::Failed;
        QTest::newRow("both Plasma interfaces fail, logind restarts")
            << "KDE"
            << "" << restart
            << QStringList{"plasma.logoutAndReboot=" + unknown, "ksmserver.logout=" + unknown}
            << QStringList{"plasma logoutAndReboot()", "ksmserver logout(i 0, i 1, i 2)",
                           "logind Reboot(b true)"}
            << done;
    }

    void triesTheDesktopsWaysInOrder() {
        QFETCH(QString, desktops);
        QFETCH(QString, gnome);
        QFETCH(SystemAction, action);
        QFETCH(QStringList, answers);
        QFETCH(QStringList, calls);
        QFETCH(Result, result);

        if (!gnome.isEmpty()) {
            startGnome(gnome);
        }
        for (const auto& answer : answers) {
            answerWith(answer);
        }
        const Outcome outcome = carryOut(action, desktops);
        QCOMPARE(recordedCalls(), calls);
        QCOMPARE(outcome.result, result);
        QCOMPARE(outcome.report.empty(), result != Result::Failed);
    }

    // A mock that has a method the real service lacks proves nothing about the real one.
    void everyMockMethodIsTheRealServicesOwn() {
        for (const auto& method : kMethods) {
            for (const QString& file : kRealInterfaces.value(method.mock)) {
                const auto real = realMethods(file, method.interface);
                QVERIFY2(!real.isEmpty(), qPrintable(file));
                const bool gone = kGone.contains(file, method.name);
                QVERIFY2(real.contains(method.name) != gone, qPrintable(file + ' ' + method.name));
                if (!gone) {
                    QCOMPARE(real[method.name].in, method.inSignature);
                    QCOMPARE(real[method.name].out, method.outSignature);
                }
            }
        }
    }

    // An application that cancels Plasma's logout at once: ksmserver shows it for a few
    // milliseconds only, plasma-shutdown leaves at once.
    void aQuickCancelInPlasmaIsStillTheUsersNo() {
        answerWith("plasma.logoutAndShutdown=self.connection.release_name('org.kde.Shutdown')");
        answerWith("ksmserver.isShuttingDown=ret = False");
        const Outcome outcome = carryOut(SystemAction::ShutDown, "KDE");
        const QStringList calls = recordedCalls();
        startPlasma();
        QCOMPARE(outcome.result, Result::Declined);
        QCOMPARE(calls, QStringList{"plasma logoutAndShutdown()"});
    }

    void reportsEveryWayThatFailed() {
        answerWith("xfce.Shutdown=org.freedesktop.DBus.Error.Failed:Session manager must be idle");
        answerWith(
            "logind.PowerOff=org.freedesktop.DBus.Error.AccessDenied:"
            "Interactive authentication required");
        const Outcome outcome = carryOut(SystemAction::ShutDown, "XFCE");
        QCOMPARE(outcome.result, Result::Failed);
        QCOMPARE(outcome.lastError, "Interactive authentication required");
        QCOMPARE(outcome.report,
                 "could not shut down the computer (tried: org.xfce.Session.Manager.Shutdown "
                 "failed with org.freedesktop.DBus.Error.Failed: Session manager must be idle; "
                 "org.freedesktop.login1.Manager.PowerOff failed with "
                 "org.freedesktop.DBus.Error.AccessDenied: Interactive authentication required)");
    }

    // A session manager that hangs is left after its bound, and the next way still gets its turn.
    void aSilentSessionManagerIsLeftAfterItsBound() {
        startGnome(kMate);
        mocks_.at("gnome")->neverAnswer(kGnome, "RequestShutdown", "");
        QElapsedTimer clock;
        clock.start();
        const Outcome outcome =
            carryOut(SystemAction::ShutDown, "MATE", {std::chrono::milliseconds(300)});
        const auto elapsed = clock.elapsed();
        const QStringList logindCalls = mocks_.at("logind")->calls();
        mocks_.at("gnome")->stop();

        QCOMPARE(outcome.result, Result::CarriedOut);
        // QtDBus runs the bound on a coarse timer, which may fire up to 5 % early.
        QVERIFY2(elapsed >= 285 && elapsed < 3000, qPrintable(QString::number(elapsed)));
        QCOMPARE(logindCalls, QStringList{"PowerOff(b true)"});
    }

private:
    MockService& mockFor(const Method& method) {
        return *mocks_.at(method.mock == "session" ? "logind" : method.mock);
    }

    void startPlasma() {
        mocks_.erase("plasma");
        mocks_["plasma"] = buses_->startMock(BusKind::Session, "org.kde.Shutdown", "/Shutdown",
                                             "org.kde.Shutdown");
        QVERIFY(mocks_["plasma"]->isReady());
        if (mocks_.count("logind")) {
            init();  // in the middle of the tests: as every other mock is
        }
    }

    // GNOME's name owned by a session manager with every method of the real one, answering as
    // an idle session does.
    void startGnome(const QString& realInterface) {
        mocks_["gnome"] =
            buses_->startMock(BusKind::Session, kGnome, "/org/gnome/SessionManager", kGnome);
        QVERIFY(mocks_["gnome"]->isReady());
        const auto methods = realMethods(realInterface, kGnome);
        QVERIFY2(!methods.isEmpty(), qPrintable(realInterface));
        for (auto method = methods.begin(); method != methods.end(); ++method) {
            const QString code = method.value().out.isEmpty() ? "" : "ret = True";
            mocks_["gnome"]->addMethod(kGnome, method.key(), method.value().in, method.value().out,
                                       method.key() == "IsSessionRunning" ? kEndsTheSession : code);
        }
        gnomeMethods_ = methods;
    }

    // "mock.Method=org.error.Name:message" answers with that error; "mock.Method=code" runs the
    // Python code instead.
    void answerWith(const QString& answer) {
        const QString key = answer.section('=', 0, 0);
        const QString reply = answer.section('=', 1);
        const bool isError = reply.startsWith("org.");
        auto answerOn = [&](MockService& mock, const QString& interface, const QString& name,
                            const QString& in, const QString& out, const QString& path) {
            if (isError) {
                mock.failWith(interface, name, in, reply.section(':', 0, 0), reply.section(':', 1),
                              path);
            } else {
                mock.addMethod(interface, name, in, out, reply, path);
            }
        };
        if (key.startsWith("gnome.") && gnomeMethods_.contains(key.section('.', 1))) {
            const auto& signatures = gnomeMethods_[key.section('.', 1)];
            answerOn(*mocks_.at("gnome"), kGnome, key.section('.', 1), signatures.in,
                     signatures.out, {});
            return;
        }
        for (const auto& method : kMethods) {
            if (method.mock + '.' + method.name == key) {
                answerOn(mockFor(method), method.interface, method.name, method.inSignature,
                         method.outSignature, method.path);
                return;
            }
        }
        QFAIL(qPrintable("no method " + key));
    }

    Outcome carryOut(SystemAction action, const QString& desktops,
                     Bounds bounds = {std::chrono::seconds(5), std::chrono::seconds(5),
                                      std::chrono::seconds(5), std::chrono::milliseconds(500),
                                      std::chrono::seconds(5)}) {
        std::optional<Outcome> outcome;
        carryOutAction(
            action, Session{desktops.toStdString()},
            [&](Outcome result) { outcome = std::move(result); }, bounds);
        const bool answeredAtOnce = outcome.has_value();
        if (!QTest::qWaitFor([&] { return outcome.has_value(); }, 10000) || answeredAtOnce) {
            qWarning("the outcome came %s", answeredAtOnce ? "before the call returned" : "never");
            return Outcome{Result::Failed, "", "no outcome"};
        }
        return *outcome;
    }

    // Every call the desktop's services and logind received, in the order of the ways.
    QStringList recordedCalls() {
        QStringList calls;
        for (const char* name : {"gnome", "plasma", "ksmserver", "xfce", "logind"}) {
            if (!mocks_.count(name)) {
                continue;
            }
            for (const auto& call : mocks_.at(name)->calls()) {
                if (!kProbes.contains(call)) {
                    calls.append(name + (' ' + call));
                }
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
    QMap<QString, veltrask::testing::Signatures> gnomeMethods_;
};

QTEST_GUILESS_MAIN(SystemActionsTest)
#include "system_actions_test.moc"
