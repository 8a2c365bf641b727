// SPDX-License-Identifier: MIT
#pragma once

#include <QPointer>

#include <map>

#include "platform/system_platform.h"

namespace veltrask::ui {

class WindowView;

// The whole platform of the desktop program: the system services, plus windows that present the
// core's windows. A view exists from the first show of its core window until that window is
// destroyed.
class DesktopPlatform : public platform::SystemPlatform {
public:
    DesktopPlatform();
    ~DesktopPlatform() override;

    void showWindow(core::Window& window) override;
    void hideWindow(core::Window& window) override;
    void destroyWindow(core::Window& window) override;
    void stateChanged() override;

    // The view presenting a core window, or null while it has none.
    WindowView* viewOf(const core::Window& window) const;

private:
    static WindowView* createView(core::Window& window);
    void syncAll();

    std::map<const core::Window*, QPointer<WindowView>> views_;
    bool syncing_ = false;
    bool syncAgain_ = false;
};

}  // namespace veltrask::ui
