// SPDX-License-Identifier: MIT
#include <QTest>

#include "platform/window_system.h"

using veltrask::platform::preferredQtPlatform;
using veltrask::platform::WindowSystemSetting;

class WindowSystemTest : public QObject {
    Q_OBJECT

private slots:
    void choice_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("sessionType");
        QTest::addColumn<QString>("desktops");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("preferred");  // empty: Qt's own choice
        QTest::newRow("GNOME on Wayland goes through XWayland") << ""
                                                                << "wayland"
                                                                << "GNOME"
                                                                << ":0"
                                                                << "xcb";
        QTest::newRow("Ubuntu's GNOME on Wayland") << ""
                                                   << "wayland"
                                                   << "ubuntu:GNOME"
                                                   << ":0"
                                                   << "xcb";
        QTest::newRow("the user's own choice wins") << "wayland"
                                                    << "wayland"
                                                    << "GNOME"
                                                    << ":0"
                                                    << "";
        QTest::newRow("GNOME on Wayland without XWayland") << ""
                                                           << "wayland"
                                                           << "GNOME"
                                                           << ""
                                                           << "";
        QTest::newRow("GNOME on X11") << ""
                                      << "x11"
                                      << "GNOME"
                                      << ":0"
                                      << "";
        QTest::newRow("Plasma on Wayland goes through XWayland") << ""
                                                                 << "wayland"
                                                                 << "KDE"
                                                                 << ":0"
                                                                 << "xcb";
        QTest::newRow("another desktop on Wayland: Qt's own choice") << ""
                                                                     << "wayland"
                                                                     << "LXQt"
                                                                     << ":0"
                                                                     << "";
    }

    void choice() {
        QFETCH(QString, chosen);
        QFETCH(QString, sessionType);
        QFETCH(QString, desktops);
        QFETCH(QString, display);
        QFETCH(QString, preferred);
        const WindowSystemSetting setting{chosen.toStdString(), sessionType.toStdString(),
                                          desktops.toStdString(), display.toStdString()};
        QCOMPARE(QString::fromStdString(preferredQtPlatform(setting).value_or("")), preferred);
    }
};

QTEST_GUILESS_MAIN(WindowSystemTest)
#include "window_system_test.moc"
