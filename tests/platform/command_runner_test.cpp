// SPDX-License-Identifier: MIT
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>

#include "platform/command_runner.h"

using veltrask::platform::planCommand;
using veltrask::platform::runCommandLine;
using veltrask::platform::Session;

namespace {

using Calls = QList<QStringList>;

// Every program the runner may start. The tests never let it find anything else.
const QStringList kStandIns{"dbus-send", "systemctl", "loginctl", "xfce4-session-logout",
                            "xdg-open"};

const QStringList kGnomeCall{"dbus-send", "--session", "--print-reply",
                             "--dest=org.gnome.SessionManager", "/org/gnome/SessionManager"};
const QStringList kPlasmaCall{"dbus-send", "--session", "--print-reply", "--dest=org.kde.Shutdown",
                              "/Shutdown"};
const QStringList kKsmServerCall{"dbus-send",     "--session",
                                 "--print-reply", "--dest=org.kde.ksmserver",
                                 "/KSMServer",    "org.kde.KSMServerInterface.logout",
                                 "int32:0"};

QStringList toQt(const veltrask::platform::Way& way) {
    QStringList words{QString::fromStdString(way.program)};
    for (const auto& argument : way.arguments) {
        words.append(QString::fromStdString(argument));
    }
    return words;
}

void setOrUnset(const char* name, const QString& value) {
    if (value.isEmpty()) {
        qunsetenv(name);
    } else {
        qputenv(name, value.toUtf8());
    }
}

// Sends what is written to standard error into a file while alive.
class StandardErrorCapture {
public:
    explicit StandardErrorCapture(const QString& path)
        : saved_(fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0)) {
        std::fflush(stderr);
        const int file =
            open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(file, STDERR_FILENO);
        close(file);
    }
    ~StandardErrorCapture() {
        std::cerr.flush();
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }
    StandardErrorCapture(const StandardErrorCapture&) = delete;
    StandardErrorCapture& operator=(const StandardErrorCapture&) = delete;

private:
    int saved_;
};

}  // namespace

class CommandRunnerTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        savedPath_ = qgetenv("PATH");
        savedDesktop_ = qgetenv("XDG_CURRENT_DESKTOP");
        savedSession_ = qgetenv("XDG_SESSION_ID");
    }

    void cleanupTestCase() {
        qputenv("PATH", savedPath_);
        qputenv("XDG_CURRENT_DESKTOP", savedDesktop_);
        qputenv("XDG_SESSION_ID", savedSession_);
    }

    void init() {
        folder_ = std::make_unique<QTemporaryDir>();
        QVERIFY(folder_->isValid());
        for (const auto& name : kStandIns) {
            writeStandIn(name);
        }
        qputenv("PATH", QFile::encodeName(folder_->path()));
        qunsetenv("XDG_CURRENT_DESKTOP");
        qunsetenv("XDG_SESSION_ID");
    }

    void cleanup() { folder_.reset(); }

    void plansTheWaysInOrder_data() {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<QString>("desktops");
        QTest::addColumn<QString>("sessionId");
        QTest::addColumn<Calls>("ways");  // empty: not a command line of ours

        const QString shutDown = "Shutdown -s -t 00";
        const QString restart = "Shutdown -r -t 00";
        const QString logOff = "Shutdown -l -t 00";
        const QStringList poweroff{"systemctl", "poweroff"};
        const QStringList reboot{"systemctl", "reboot"};

        QTest::newRow("GNOME shuts down")
            << shutDown << "GNOME"
            << ""
            << Calls{kGnomeCall + QStringList{"org.gnome.SessionManager.RequestShutdown"},
                     poweroff};
        QTest::newRow("Ubuntu's GNOME in a list restarts")
            << restart << "ubuntu:GNOME"
            << ""
            << Calls{kGnomeCall + QStringList{"org.gnome.SessionManager.RequestReboot"}, reboot};
        QTest::newRow("two matching names in lower case ask once")
            << restart << "budgie:gnome"
            << ""
            << Calls{kGnomeCall + QStringList{"org.gnome.SessionManager.RequestReboot"}, reboot};
        QTest::newRow("Unity logs off, then its session")
            << logOff << "Unity:Unity7:ubuntu"
            << "3"
            << Calls{kGnomeCall + QStringList{"org.gnome.SessionManager.Logout", "uint32:1"},
                     QStringList{"loginctl", "terminate-session", "3"}};
        QTest::newRow("Pantheon shuts down")
            << shutDown << "Pantheon"
            << ""
            << Calls{kGnomeCall + QStringList{"org.gnome.SessionManager.RequestShutdown"},
                     poweroff};
        QTest::newRow("Plasma shuts down, new interface first")
            << shutDown << "KDE"
            << ""
            << Calls{kPlasmaCall + QStringList{"org.kde.Shutdown.logoutAndShutdown"},
                     kKsmServerCall + QStringList{"int32:2", "int32:2"}, poweroff};
        QTest::newRow("Plasma restarts")
            << restart << "KDE"
            << ""
            << Calls{kPlasmaCall + QStringList{"org.kde.Shutdown.logoutAndReboot"},
                     kKsmServerCall + QStringList{"int32:1", "int32:2"}, reboot};
        QTest::newRow("Plasma logs off")
            << logOff << "KDE"
            << "c1"
            << Calls{kPlasmaCall + QStringList{"org.kde.Shutdown.logout"},
                     kKsmServerCall + QStringList{"int32:0", "int32:2"},
                     QStringList{"loginctl", "terminate-session", "c1"}};
        QTest::newRow("Xfce shuts down")
            << shutDown << "XFCE"
            << "" << Calls{QStringList{"xfce4-session-logout", "--halt"}, poweroff};
        QTest::newRow("Xfce restarts")
            << restart << "XFCE"
            << "" << Calls{QStringList{"xfce4-session-logout", "--reboot"}, reboot};
        QTest::newRow("Xfce logs off") << logOff << "XFCE"
                                       << "7"
                                       << Calls{QStringList{"xfce4-session-logout", "--logout"},
                                                QStringList{"loginctl", "terminate-session", "7"}};
        QTest::newRow("unknown desktop goes to systemd") << shutDown << "LXQt"
                                                         << "" << Calls{poweroff};
        QTest::newRow("no desktop restarts through systemd") << restart << ""
                                                             << "" << Calls{reboot};
        QTest::newRow("without a session id the user's sessions end")
            << logOff << ""
            << "" << Calls{QStringList{"loginctl", "terminate-user", "alice"}};
        QTest::newRow("address") << "explorer.exe https://veltrask.example.org/"
                                 << "GNOME"
                                 << ""
                                 << Calls{QStringList{"xdg-open", "https://veltrask.example.org/"}};
        QTest::newRow("address with a blank stays whole")
            << "explorer.exe a b"
            << ""
            << "" << Calls{QStringList{"xdg-open", "a b"}};
        QTest::newRow("other delay") << "Shutdown -s -t 30"
                                     << "GNOME"
                                     << "" << Calls{};
        QTest::newRow("other case") << "shutdown -s -t 00"
                                    << "GNOME"
                                    << "" << Calls{};
        QTest::newRow("no address") << "explorer.exe "
                                    << ""
                                    << "" << Calls{};
        QTest::newRow("empty") << ""
                               << ""
                               << "" << Calls{};
    }

    void plansTheWaysInOrder() {
        QFETCH(QString, commandLine);
        QFETCH(QString, desktops);
        QFETCH(QString, sessionId);
        QFETCH(Calls, ways);

        const auto plan =
            planCommand(commandLine.toStdString(),
                        Session{desktops.toStdString(), sessionId.toStdString(), "alice"});
        QCOMPARE(plan.has_value(), !ways.isEmpty());
        if (!plan) {
            return;
        }
        Calls planned;
        for (const auto& way : plan->ways) {
            planned.append(toQt(way));
        }
        QCOMPARE(planned, ways);
        QCOMPARE(plan->detached, commandLine.startsWith("explorer.exe "));
    }

    void triesWaysUntilOneIsCarriedOut_data() {
        QTest::addColumn<QString>("desktops");
        QTest::addColumn<QString>("sessionId");
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<QStringList>("outcomes");  // program=exit status, or program=missing
        QTest::addColumn<bool>("carriedOut");
        QTest::addColumn<Calls>("calls");
        QTest::addColumn<QString>("errorOutput");

        const QStringList gnomeShutDown =
            kGnomeCall + QStringList{"org.gnome.SessionManager.RequestShutdown"};

        QTest::newRow("first way carries it out")
            << "ubuntu:GNOME"
            << ""
            << "Shutdown -s -t 00" << QStringList{} << true << Calls{gnomeShutDown} << "";
        QTest::newRow("session manager fails, systemd takes over")
            << "GNOME"
            << ""
            << "Shutdown -r -t 00" << QStringList{"dbus-send=1"} << true
            << Calls{kGnomeCall + QStringList{"org.gnome.SessionManager.RequestReboot"},
                     QStringList{"systemctl", "reboot"}}
            << "";
        QTest::newRow("both Plasma interfaces fail")
            << "KDE"
            << ""
            << "Shutdown -s -t 00" << QStringList{"dbus-send=3"} << true
            << Calls{kPlasmaCall + QStringList{"org.kde.Shutdown.logoutAndShutdown"},
                     kKsmServerCall + QStringList{"int32:2", "int32:2"},
                     QStringList{"systemctl", "poweroff"}}
            << "";
        QTest::newRow("missing Xfce tool, logind ends the session")
            << "XFCE"
            << "c7"
            << "Shutdown -l -t 00" << QStringList{"xfce4-session-logout=missing"} << true
            << Calls{QStringList{"loginctl", "terminate-session", "c7"}} << "";
        QTest::newRow("unknown desktop") << "X-Cinnamon"
                                         << ""
                                         << "Shutdown -s -t 00" << QStringList{} << true
                                         << Calls{QStringList{"systemctl", "poweroff"}} << "";
        QTest::newRow("every way fails")
            << "XFCE"
            << ""
            << "Shutdown -s -t 00" << QStringList{"xfce4-session-logout=1", "systemctl=1"} << false
            << Calls{QStringList{"xfce4-session-logout", "--halt"},
                     QStringList{"systemctl", "poweroff"}}
            << "veltrask: could not shut down the computer "
               "(tried: xfce4-session-logout --halt; systemctl poweroff)\n";
        QTest::newRow("no way can be started")
            << ""
            << "c2"
            << "Shutdown -l -t 00" << QStringList{"loginctl=missing"} << false << Calls{}
            << "veltrask: could not log off (tried: loginctl terminate-session c2)\n";
        QTest::newRow("address that cannot be opened")
            << "GNOME"
            << ""
            << "explorer.exe https://veltrask.example.org/" << QStringList{"xdg-open=missing"}
            << false << Calls{}
            << "veltrask: could not open https://veltrask.example.org/ "
               "(tried: xdg-open https://veltrask.example.org/)\n";
        QTest::newRow("unknown command line")
            << "GNOME"
            << ""
            << "Shutdown -a" << QStringList{} << false << Calls{} << "";
    }

    void triesWaysUntilOneIsCarriedOut() {
        QFETCH(QString, desktops);
        QFETCH(QString, sessionId);
        QFETCH(QString, commandLine);
        QFETCH(QStringList, outcomes);
        QFETCH(bool, carriedOut);
        QFETCH(Calls, calls);
        QFETCH(QString, errorOutput);

        for (const auto& outcome : outcomes) {
            const auto program = outcome.section('=', 0, 0);
            const auto status = outcome.section('=', 1);
            if (status == "missing") {
                QVERIFY(QFile::remove(folder_->filePath(program)));
            } else {
                setOutcome(program, status);
            }
        }
        setOrUnset("XDG_CURRENT_DESKTOP", desktops);
        setOrUnset("XDG_SESSION_ID", sessionId);

        QCOMPARE(run(commandLine), carriedOut);
        QCOMPARE(recordedCalls(), calls);
        QCOMPARE(errorOutput_, errorOutput);
    }

    // A session manager waiting for applications to close is at work: it is left to finish.
    // It must not keep our files open either, or whoever reads our output waits for it.
    void programStillAtWorkCountsAsCarriedOut() {
        setOutcome("dbus-send", "sleep");
        qputenv("XDG_CURRENT_DESKTOP", "GNOME");
        int pipeEnds[2];
        QCOMPARE(pipe(pipeEnds), 0);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(run("Shutdown -s -t 00"));
        const auto elapsed = clock.elapsed();
        close(pipeEnds[1]);
        pollfd reader{pipeEnds[0], POLLIN, 0};
        const int ready = poll(&reader, 1, 0);
        close(pipeEnds[0]);

        QVERIFY2(elapsed >= 1900 && elapsed < 4000, qPrintable(QString::number(elapsed)));
        QCOMPARE(recordedCalls().size(), 1);
        QCOMPARE(recordedCalls().front().front(), "dbus-send");
        QVERIFY2(ready == 1 && (reader.revents & POLLHUP), "the program holds our pipe open");
    }

    void addressArrivesAsOneUntouchedArgument() {
        const QString planted = folder_->filePath("planted");
        const QString address = "https://veltrask.example.org/a b?q=\"x\"&r='y';touch " + planted +
                                ";$(touch " + planted + ")`touch " + planted + "` | rm -rf ~";
        QVERIFY(run("explorer.exe " + address));
        QTRY_COMPARE_WITH_TIMEOUT(recordedCalls(), (Calls{QStringList{"xdg-open", address}}), 5000);
        QVERIFY(!QFile::exists(planted));
        QCOMPARE(errorOutput_, "");
    }

private:
    void writeStandIn(const QString& name) {
        const QString folder = folder_->path();
        const QString script = QString(R"(#!/bin/sh
{ printf '%s\n' '--- %1'; for a in "$@"; do printf '%s\n' "$a"; done; } >> '%2/record'
status=0
if [ -f '%2/%1.status' ]; then read -r status < '%2/%1.status'; fi
if [ "$status" = sleep ]; then exec /bin/sleep 3; fi
exit "$status"
)")
                                   .arg(name, folder);
        QFile file(folder_->filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(script.toUtf8());
        file.close();
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    void setOutcome(const QString& program, const QString& status) {
        QFile file(folder_->filePath(program + ".status"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(status.toUtf8() + '\n');
    }

    // Refuses to start anything unless every program the runner may start is a stand-in.
    bool run(const QString& commandLine) {
        const QString folder = folder_->path();
        if (qgetenv("PATH") != QFile::encodeName(folder)) {
            qFatal("PATH does not name only the stand-in folder");
        }
        for (const auto& name : kStandIns) {
            const QString found = QStandardPaths::findExecutable(name);
            if (!found.isEmpty() && QFileInfo(found).path() != folder) {
                qFatal("%s would start outside the stand-in folder", qPrintable(name));
            }
        }
        const QString errorFile = folder_->filePath("stderr");
        bool carriedOut = false;
        {
            StandardErrorCapture capture(errorFile);
            carriedOut = runCommandLine(commandLine.toStdString());
        }
        QFile errors(errorFile);
        errorOutput_ = errors.open(QIODevice::ReadOnly) ? QString::fromUtf8(errors.readAll()) : "";
        return carriedOut;
    }

    // One list per call: the program's name, then each argument.
    Calls recordedCalls() const {
        QFile file(folder_->filePath("record"));
        Calls calls;
        if (!file.open(QIODevice::ReadOnly)) {
            return calls;
        }
        const QString text = QString::fromUtf8(file.readAll());
        for (const auto& line : text.split('\n', Qt::SkipEmptyParts)) {
            if (line.startsWith("--- ")) {
                calls.append(QStringList{line.mid(4)});
            } else if (!calls.isEmpty()) {
                calls.back().append(line);
            }
        }
        return calls;
    }

    std::unique_ptr<QTemporaryDir> folder_;
    QString errorOutput_;
    QByteArray savedPath_;
    QByteArray savedDesktop_;
    QByteArray savedSession_;
};

QTEST_GUILESS_MAIN(CommandRunnerTest)
#include "command_runner_test.moc"
