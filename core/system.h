// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace veltrask::core {

// A single-shot timer owned by the core. Periodic timers re-arm themselves after each tick, so the
// system only has to know one kind.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void start(int delayMs) = 0;
    virtual void stop() = 0;
};

// How carrying out a command line ended.
struct CommandOutcome {
    enum class Result {
        CarriedOut,
        // The user said no in the desktop's own dialog: an answer, not a failure.
        Declined,
        // Nothing could carry it out; `reason` is what the desktop gave.
        Failed,
    };
    Result result = Result::CarriedOut;
    std::string reason;
};

// What the core needs from the operating system: time, timers, the command lines it carries out,
// the beep and the end of the program. The desktop build answers with the real system, the tests
// with a fake clock in virtual time.
class System {
public:
    virtual ~System() = default;

    // Local wall-clock time of day, in milliseconds since midnight.
    virtual int msecsSinceMidnight() = 0;
    // A clock that only moves forward, whatever is done to the wall clock, and that goes on
    // counting while the computer sleeps, in milliseconds.
    virtual std::int64_t monotonicMs() = 0;
    // The timer calls onTimeout on the one event thread, between other events.
    virtual std::unique_ptr<Timer> createTimer(std::function<void()> onTimeout) = 0;
    // Carries out one of the program's fixed command lines. The outcome may come later (the
    // desktop may ask the user first); done, when given, is called once, on the event thread.
    virtual void runCommand(std::string_view commandLine,
                            std::function<void(const CommandOutcome&)> done) = 0;
    // Keeps the computer from going to sleep when idle, for the reason given, until released.
    // Holding again replaces the reason; releasing what is not held does nothing.
    virtual void holdAwake(std::string_view reason) = 0;
    virtual void releaseAwake() = 0;
    virtual void beep() = 0;
    // Stops the program at once: no close handler runs afterwards.
    virtual void endProgram(int exitCode) = 0;
};

}  // namespace veltrask::core
