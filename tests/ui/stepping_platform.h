// SPDX-License-Identifier: MIT
#pragma once

#include <QCoreApplication>
#include <QEvent>

#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/platform.h"
#include "core/time_text.h"
#include "ui/desktop_platform.h"
#include "ui/window_view.h"

namespace veltrask::testing {

// The desktop platform with a clock the test sets, and with everything that would leave the
// process recorded instead. The timers are Qt's own; with fastSeconds on, a timer armed for the
// next second boundary fires as soon as the event loop is free instead and moves the clock on by
// the time it waited for, so that hours of the program's life pass in a second of the test's.
class SteppingPlatform final : public ui::DesktopPlatform {
public:
    static constexpr int kDayMs = core::kSecondsPerDay * 1000;

    int clockMs = (9 * 3600 + 30 * 60) * 1000;  // 9:30:00
    bool fastSeconds = false;
    // Runs before each once-a-second tick of the fast clock, after the clock has moved on; the
    // place for a test to set the clock back or forward.
    std::function<void()> beforeSecond;
    int seconds = 0;  // ticks of the fast clock so far
    // From this many ticks on the seconds take their real time again, so that a test can look at
    // the program after a known number of them.
    int lastFastSecond = std::numeric_limits<int>::max();

    std::vector<std::string> commands;
    std::vector<int> commandTicks;  // `seconds` at each command
    std::vector<int> beepTimes;     // the clock at each beep
    std::vector<int> beepTicks;     // `seconds` at each beep
    std::vector<int> endings;

    int msecsSinceMidnight() override { return clockMs; }
    // Real time plus the waits the fast clock skipped.
    std::int64_t monotonicMs() override { return DesktopPlatform::monotonicMs() + skippedMs_; }
    bool runCommand(std::string_view commandLine) override {
        commands.emplace_back(commandLine);
        commandTicks.push_back(seconds);
        return true;
    }
    void beep() override {
        beepTimes.push_back(clockMs);
        beepTicks.push_back(seconds);
    }
    void endProgram(int exitCode) override { endings.push_back(exitCode); }

    std::unique_ptr<core::Timer> createTimer(std::function<void()> onTimeout) override {
        auto pending = std::make_shared<int>(0);
        // The callback may destroy the timer that runs it: it holds nothing of the wrapper's.
        auto timer =
            DesktopPlatform::createTimer([this, pending, onTimeout = std::move(onTimeout)] {
                if (*pending > 0) {
                    clockMs = (clockMs + *pending) % kDayMs;
                    skippedMs_ += *pending;
                    *pending = 0;
                    ++seconds;
                    if (beforeSecond) {
                        beforeSecond();
                    }
                }
                onTimeout();
            });
        return std::make_unique<PacedTimer>(*this, std::move(timer), std::move(pending));
    }

private:
    std::int64_t skippedMs_ = 0;

    class PacedTimer final : public core::Timer {
    public:
        PacedTimer(SteppingPlatform& platform, std::unique_ptr<core::Timer> timer,
                   std::shared_ptr<int> pending)
            : platform_(platform), timer_(std::move(timer)), pending_(std::move(pending)) {}

        void start(int delayMs) override {
            // Only the once-a-second timer waits; the others run as soon as the event is over.
            if (platform_.fastSeconds && delayMs > 0 &&
                platform_.seconds < platform_.lastFastSecond) {
                *pending_ = delayMs;
                timer_->start(0);
            } else {
                *pending_ = 0;
                timer_->start(delayMs);
            }
        }
        void stop() override {
            *pending_ = 0;
            timer_->stop();
        }

    private:
        SteppingPlatform& platform_;
        std::unique_ptr<core::Timer> timer_;
        std::shared_ptr<int> pending_;
    };
};

inline int clockAt(int hours, int minutes, int seconds, int ms = 0) {
    return ((hours * 60 + minutes) * 60 + seconds) * 1000 + ms;
}

// Windows closed by the core are deleted later, from the event loop.
inline void flushDeletions() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace veltrask::testing
