// SPDX-License-Identifier: MIT
#pragma once

#include <QPointer>

#include <map>

#include "platform/system_platform.h"
#include "tray.h"

namespace veltrask::ui {

class WindowView;

// The whole platform of the desktop program: the system services, plus windows that present the
// core's windows. A view exists from the first show of its core window until that window is
// destroyed.
class DesktopPlatform : public platform::SystemPlatform {
public:
    DesktopPlatform();
    // With the question whether the desktop has a notification area answered by the caller.
    explicit DesktopPlatform(Tray::Availability trayAvailable);
    ~DesktopPlatform() override;

    void showWindow(core::Window& window) override;
    void hideWindow(core::Window& window) override;
    void destroyWindow(core::Window& window) override;
    void stateChanged() override;

    // The view presenting a core window, or null while it has none.
    WindowView* viewOf(const core::Window& window) const;
    const Tray& tray() const { return tray_; }

private:
    static WindowView* createView(core::Window& window);
    void syncAll();

    core::Program* program_ = nullptr;  // known from the first window shown
    std::map<const core::Window*, QPointer<WindowView>> views_;
    Tray tray_;
    bool syncing_ = false;
    bool syncAgain_ = false;
};

}  // namespace veltrask::ui
