// SPDX-License-Identifier: MIT
#include <QApplication>
#include <QFont>

#include "core/program.h"
#include "ui/app_icon.h"
#include "ui/desktop_platform.h"

int main(int argc, char* argv[]) {
    // The program takes no arguments; whatever is given is ignored.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veltrask"));
    QApplication::setApplicationVersion(QStringLiteral("3.0.0.3"));
    QApplication::setOrganizationDomain(QStringLiteral("example.org"));
    QApplication::setApplicationDisplayName(QStringLiteral("Veltrask"));
    app.setProperty("description",
                    QStringLiteral("一个可以自动为您关机、注销、重启的程序，还可以设置提醒。"));
    // The windows are laid out in twips for a 9-point font; a desktop theme's larger default
    // would not fit them.
    QFont font(QStringLiteral("Noto Sans CJK SC"), 9);
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Microsoft YaHei"), QStringLiteral("SimSun"),
                      QStringLiteral("sans-serif")});
    QApplication::setFont(font);
    QApplication::setWindowIcon(veltrask::ui::applicationIcon());
    // Only the core ends the program, when its last window is gone.
    QApplication::setQuitOnLastWindowClosed(false);

    veltrask::ui::DesktopPlatform platform;
    veltrask::core::Program program(platform);
    program.start();
    return QApplication::exec();
}
