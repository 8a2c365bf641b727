// SPDX-License-Identifier: MIT
#pragma once

#include <QPointer>

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <utility>

#include "core/presenter.h"
#include "tray.h"
#include "window_view.h"

namespace veltrask::ui {

// Presents the core's windows on the desktop: a Qt window for each, and a tray icon for a hidden
// schedule. A view exists from the first show of its core window until that window is destroyed.
class DesktopPresenter final : public core::Presenter {
public:
    DesktopPresenter();
    // With the question whether the desktop has a notification area answered by the caller.
    explicit DesktopPresenter(Tray::Availability trayAvailable);
    ~DesktopPresenter() override;
    DesktopPresenter(const DesktopPresenter&) = delete;
    DesktopPresenter& operator=(const DesktopPresenter&) = delete;

    void showWindow(core::Window& window) override;
    void hideWindow(core::Window& window) override;
    void destroyWindow(core::Window& window) override;
    void stateChanged() override;
    void showFailure(const std::string& message, std::function<void()> acknowledged) override;

    // The token another launch brought from its launcher, so that the desktop lets the window it
    // asked for come to the front. Spent on the next window shown.
    void setActivationToken(std::string token) { activationToken_ = std::move(token); }

    // Run once, when the first window is built and about to go on screen, so that start-up can
    // settle what may wait until then; false keeps the window off the screen.
    void beforeFirstShow(std::function<bool()> mayShow) { beforeFirstShow_ = std::move(mayShow); }

    // The view presenting a core window, or null while it has none.
    WindowView* viewOf(const core::Window& window) const;
    const Tray& tray() const { return tray_; }
    // How many times the views were brought up to date with the core.
    std::size_t passes() const { return passes_; }

private:
    WindowView* createView(core::Window& window);
    void syncAll();

    core::Program* program_ = nullptr;  // known from the first window shown
    std::map<const core::Window*, QPointer<WindowView>> views_;
    Presenting presenting_;
    Tray tray_;
    std::string activationToken_;
    std::function<bool()> beforeFirstShow_;
    std::size_t passes_ = 0;
    bool syncing_ = false;
    bool syncAgain_ = false;
};

}  // namespace veltrask::ui
