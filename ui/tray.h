// SPDX-License-Identifier: MIT
#pragma once

#include <QSystemTrayIcon>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QMenu;

namespace veltrask::core {
class Program;
}

namespace veltrask::ui {

// The notification-area icon that stands in for a main window hidden with a schedule armed: its
// tooltip says what is armed, and activating it brings the main window back. The core decides
// when it shows (core::armedSummary); this class only follows. The Qt icon is made the first time
// it is needed, so that a program that never hides its main window never pays for it.
class Tray {
public:
    // Whether the desktop has a notification area right now.
    using Availability = std::function<bool()>;

    explicit Tray(Availability available);
    ~Tray();
    Tray(const Tray&) = delete;
    Tray& operator=(const Tray&) = delete;

    // Shows, updates or removes the icon to match the program.
    void refresh(core::Program& program);

    // Null until the icon was first needed on a desktop with a notification area.
    QSystemTrayIcon* icon() const { return icon_.get(); }
    QMenu* menu() const { return menu_.get(); }
    bool isShown() const { return icon_ != nullptr && icon_->isVisible(); }

private:
    void create();
    void activated(QSystemTrayIcon::ActivationReason reason);
    void showMainWindow();

    Availability available_;
    // When the desktop was last asked for a notification area while something was armed, on the
    // core's monotonic clock.
    std::optional<std::int64_t> lastAskedMs_;
    core::Program* program_ = nullptr;
    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<QSystemTrayIcon> icon_;
};

}  // namespace veltrask::ui
