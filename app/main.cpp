// SPDX-License-Identifier: MIT
#include <QApplication>

#include <string>
#include <utility>

#include "app/utf8_locale.h"
#include "core/program.h"
#include "platform/desktop_system.h"
#include "platform/display_end.h"
#include "platform/x_session_link.h"
#include "platform/single_instance.h"
#include "platform/window_system.h"
#include "ui/appearance.h"
#include "ui/desktop_presenter.h"
#include "ui/font_warm_up.h"
#include "veltrask/identity.h"

int main(int argc, char* argv[]) {
    // First of all: it changes the environment, which the font thread below reads.
    veltrask::app::chooseUtf8CharacterType();
    // Before the font thread starts: no other thread may write a message meanwhile.
    veltrask::platform::takeTheDisplaysEndAsTheSessionsEnd();
    const veltrask::ui::FontWarmUp fonts;
    veltrask::platform::preferDesktopDrawnWindows();
    veltrask::platform::outliveTheXSessionManager();
    // The program takes no arguments; whatever is given is ignored.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(veltrask::kApplicationName));
    QApplication::setApplicationVersion(QString::fromLatin1(veltrask::kApplicationVersion));
    QApplication::setOrganizationDomain(QStringLiteral("example.org"));
    // The installed menu entry's id: Wayland compositors match the windows to it by this name.
    QApplication::setDesktopFileName(QString::fromLatin1(veltrask::kApplicationId));
    app.setProperty("description", QString::fromUtf8(veltrask::kApplicationDescription));
    veltrask::ui::applyAppearance(veltrask::ui::IconTiming::AfterFirstFrame);
    veltrask::ui::restCaretWhenIdle();
    // Only the core ends the program, when its last window is gone.
    QApplication::setQuitOnLastWindowClosed(false);

    // The one place where the program is put together: the operating system and the windows,
    // each behind its own seam, handed to the core.
    veltrask::platform::DesktopSystem system;
    veltrask::ui::DesktopPresenter presenter;
    veltrask::core::Program program(system, presenter);

    // One instance in a session: a later launch brings this one forward and ends, so that a
    // hidden schedule can always be found again.
    veltrask::platform::SingleInstance instance([&](std::string token) {
        presenter.setActivationToken(std::move(token));
        program.dispatch([&program] { program.activate(); });
    });
    // The bus answers while the main window is built; the answer is taken just before it shows.
    instance.ask();
    auto launch = veltrask::platform::Launch::Independent;
    presenter.beforeFirstShow([&] {
        launch = instance.claim();
        return launch != veltrask::platform::Launch::HandedOver;
    });
    program.start();
    if (launch == veltrask::platform::Launch::HandedOver) {
        return 0;
    }
    return QApplication::exec();
}
