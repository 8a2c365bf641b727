// SPDX-License-Identifier: MIT
#include "tray.h"

#include <QAction>
#include <QMenu>

#include "appearance.h"
#include "core/armed_summary.h"
#include "core/program.h"

namespace veltrask::ui {

Tray::Tray(Availability available) : available_(std::move(available)) {}

Tray::~Tray() {
    // The icon refers to the menu: it goes first.
    icon_.reset();
}

void Tray::refresh(core::Program& program) {
    program_ = &program;
    const std::optional<std::string> summary = core::armedSummary(program);
    if (!summary) {
        lastAskedMs_.reset();
        if (icon_ != nullptr && icon_->isVisible()) {
            icon_->hide();
        }
        return;
    }
    if (icon_ == nullptr) {
        // Asked when something becomes armed, and then once a minute while no notification area
        // answers: the question costs a round trip to the display server, and this runs at every
        // tick of a hidden countdown.
        constexpr std::int64_t kAskAgainAfterMs = 60'000;
        const std::int64_t now = program.system().monotonicMs();
        if (lastAskedMs_ && now - *lastAskedMs_ < kAskAgainAfterMs) {
            return;
        }
        lastAskedMs_ = now;
        if (!available_ || !available_()) {
            return;
        }
        create();
    }
    const QString toolTip = QString::fromStdString(*summary);
    if (icon_->toolTip() != toolTip) {
        icon_->setToolTip(toolTip);
    }
    if (!icon_->isVisible()) {
        icon_->show();
    }
}

void Tray::create() {
    menu_ = std::make_unique<QMenu>();
    QAction* show = menu_->addAction(QStringLiteral("显示"));
    QObject::connect(show, &QAction::triggered, show, [this] { showMainWindow(); });

    icon_ = std::make_unique<QSystemTrayIcon>(applicationIcon());
    icon_->setContextMenu(menu_.get());
    QObject::connect(icon_.get(), &QSystemTrayIcon::activated, icon_.get(),
                     [this](QSystemTrayIcon::ActivationReason reason) { activated(reason); });
}

void Tray::activated(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::Trigger:
        case QSystemTrayIcon::DoubleClick:
        case QSystemTrayIcon::MiddleClick:
            showMainWindow();
            break;
        case QSystemTrayIcon::Context:  // the menu opens by itself
        case QSystemTrayIcon::Unknown:
            break;
    }
}

void Tray::showMainWindow() {
    // A double click arrives as a click and then the double click; by the second the main window
    // is shown already and the icon hidden.
    if (program_ == nullptr || !isShown()) {
        return;
    }
    core::Program* program = program_;
    program->dispatch([program] { program->showForm1(); });
}

}  // namespace veltrask::ui
