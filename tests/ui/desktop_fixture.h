// SPDX-License-Identifier: MIT
#pragma once

#include <QCoreApplication>
#include <QEvent>

#include <cstdint>

#include "core/program.h"
#include "fakes/fake_system.h"
#include "ui/desktop_presenter.h"
#include "ui/window_view.h"

namespace veltrask::testing {

inline int clockAt(int hours, int minutes, int seconds, int ms = 0) {
    return ((hours * 60 + minutes) * 60 + seconds) * 1000 + ms;
}

// The program with its real windows on the fake system: the clock is the test's, in virtual time,
// and whatever would leave the process is recorded instead.
class Desktop {
public:
    explicit Desktop(int startMs = clockAt(9, 30, 0),
                     ui::Tray::Availability trayAvailable = &noNotificationArea)
        : system(startMs), presenter(std::move(trayAvailable)) {}

    ui::WindowView* viewOf(const core::Window* window) const {
        return window == nullptr ? nullptr : presenter.viewOf(*window);
    }

    // Lets ms of virtual time pass, and the windows take in what happened meanwhile.
    void advance(std::int64_t ms) {
        system.advance(ms);
        QCoreApplication::processEvents();
    }

    FakeSystem system;
    ui::DesktopPresenter presenter;
    core::Program program{system, presenter};

private:
    static bool noNotificationArea() { return false; }
};

// Windows closed by the core are deleted later, from the event loop.
inline void flushDeletions() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace veltrask::testing
