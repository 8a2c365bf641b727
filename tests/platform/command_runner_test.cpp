// SPDX-License-Identifier: MIT
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "platform/command_runner.h"
#include "tests/fakes/qtry.h"

using veltrask::platform::Command;
using veltrask::platform::OpenAddress;
using veltrask::platform::openAddress;
using veltrask::platform::parseCommandLine;
using veltrask::platform::SystemAction;

class CommandRunnerTest : public QObject {
    Q_OBJECT

private slots:
    void readsTheProgramsCommandLines_data() {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<QString>("meaning");  // empty: not a command line of ours

        QTest::newRow("shut down") << "Shutdown -s -t 00"
                                   << "shut down the computer";
        QTest::newRow("restart") << "Shutdown -r -t 00"
                                 << "restart the computer";
        QTest::newRow("log off") << "Shutdown -l -t 00"
                                 << "log off";
        QTest::newRow("address") << "explorer.exe https://veltrask.example.org/"
                                 << "open https://veltrask.example.org/";
        QTest::newRow("address with a blank stays whole") << "explorer.exe a b"
                                                          << "open a b";
        QTest::newRow("other delay") << "Shutdown -s -t 30"
                                     << "";
        QTest::newRow("other case") << "shutdown -s -t 00"
                                    << "";
        QTest::newRow("trailing blank") << "Shutdown -s -t 00 "
                                        << "";
        QTest::newRow("no address") << "explorer.exe "
                                    << "";
        QTest::newRow("empty") << ""
                               << "";
    }

    void readsTheProgramsCommandLines() {
        QFETCH(QString, commandLine);
        QFETCH(QString, meaning);

        const auto command = parseCommandLine(commandLine.toStdString());
        QString read;
        if (command) {
            if (const auto* open = std::get_if<OpenAddress>(&*command)) {
                read = QString::fromStdString("open " + open->address);
            } else {
                read = QString::fromUtf8(describeAction(std::get<SystemAction>(*command)));
            }
        }
        QCOMPARE(read, meaning);
    }

    // The desktop's handler gets the address as one argument, and no shell ever sees it.
    void addressArrivesAsOneUntouchedArgument() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString record = folder.filePath("record");
        const QString planted = folder.filePath("planted");
        QFile standIn(folder.filePath("xdg-open"));
        QVERIFY(standIn.open(QIODevice::WriteOnly));
        standIn.write(
            QString("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '%1'\n")
                .arg(record)
                .toUtf8());
        standIn.close();
        QVERIFY(standIn.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
        const QByteArray savedPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(folder.path()));

        const QString address = "https://veltrask.example.org/a b?q=\"x\"&r='y';touch " + planted +
                                ";$(touch " + planted + ")`touch " + planted + "` | rm -rf ~";
        const bool opened = openAddress(address.toStdString());
        qputenv("PATH", savedPath);

        QVERIFY(opened);
        VELTRASK_QTRY(QTRY_COMPARE_WITH_TIMEOUT(recorded(record),
                                                QStringList{QUrl(address).toString()}, 5000));
        QVERIFY(!QFile::exists(planted));
    }

private:
    static QStringList recorded(const QString& path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        QStringList arguments;
        for (const auto& line : QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)) {
            // Whatever encoding the handler is given, it is the same address.
            arguments.append(QUrl(line).toString());
        }
        return arguments;
    }
};

QTEST_MAIN(CommandRunnerTest)
#include "command_runner_test.moc"
