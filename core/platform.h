// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace veltrask::core {

class Window;

// A single-shot timer owned by the core. Periodic timers re-arm themselves after each tick, so the
// platform only has to know one kind.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void start(int delayMs) = 0;
    virtual void stop() = 0;
};

// Everything the core needs from outside itself. The desktop build implements it with Qt, the tests
// with a fake clock in virtual time.
class Platform {
public:
    virtual ~Platform() = default;

    // Local wall-clock time of day, in milliseconds since midnight.
    virtual int msecsSinceMidnight() = 0;
    // A clock that only moves forward, whatever is done to the wall clock, in milliseconds.
    virtual std::int64_t monotonicMs() = 0;
    // The timer calls onTimeout on the one event thread, between other events.
    virtual std::unique_ptr<Timer> createTimer(std::function<void()> onTimeout) = 0;
    // Carries out one of the program's fixed command lines. True when it was carried out.
    virtual bool runCommand(std::string_view commandLine) = 0;
    virtual void beep() = 0;
    // Stops the program at once: no close handler runs afterwards.
    virtual void endProgram(int exitCode) = 0;

    // Window operations. The core owns the windows' state; the platform only presents it.
    virtual void showWindow(Window& window) = 0;
    virtual void hideWindow(Window& window) = 0;
    // The window's state is about to be destroyed: drop every reference to it.
    virtual void destroyWindow(Window& window) = 0;
    // Called after every event the core handled, so that the views can show the new state.
    virtual void stateChanged() = 0;
};

}  // namespace veltrask::core
