// SPDX-License-Identifier: MIT
#include <QApplication>

#include "core/program.h"
#include "ui/appearance.h"
#include "ui/desktop_platform.h"
#include "ui/font_warm_up.h"

int main(int argc, char* argv[]) {
    const veltrask::ui::FontWarmUp fonts;
    // The program takes no arguments; whatever is given is ignored.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veltrask"));
    QApplication::setApplicationVersion(QStringLiteral("3.0.0.3"));
    QApplication::setOrganizationDomain(QStringLiteral("example.org"));
    // The installed menu entry's id: Wayland compositors match the windows to it by this name.
    QApplication::setDesktopFileName(QStringLiteral("org.example.Veltrask"));
    app.setProperty("description",
                    QStringLiteral("一个可以自动为您关机、注销、重启的程序，还可以设置提醒。"));
    veltrask::ui::applyAppearance(veltrask::ui::IconTiming::AfterFirstFrame);
    veltrask::ui::restCaretWhenIdle();
    // Only the core ends the program, when its last window is gone.
    QApplication::setQuitOnLastWindowClosed(false);

    veltrask::ui::DesktopPlatform platform;
    veltrask::core::Program program(platform);
    program.start();
    return QApplication::exec();
}
