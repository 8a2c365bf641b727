// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/presenter.h"
#include "core/system.h"
#include "core/window.h"

namespace veltrask::testing {

// The system in virtual time: the clock only moves when the test advances it, and timers fire in
// order of their due time as it passes. Everything the core does to the outside is recorded, and
// nothing leaves the process. Given a real system, it takes that one's clock and timers instead,
// for measuring punctuality; the rest is still only recorded.
class FakeSystem final : public core::System {
public:
    explicit FakeSystem(std::int64_t startMs = 0) : nowMs_(startMs) {}
    explicit FakeSystem(core::System& realTime) : realTime_(&realTime) {}

    // --- driving (virtual time only) ---
    std::int64_t nowMs() const { return nowMs_; }
    // The wall clock the program reads, before it is folded into one day.
    std::int64_t wallMs() const { return nowMs_ + clockOffsetMs_; }
    // Runs every timer due up to now + ms, in order, then leaves the clock at now + ms.
    void advance(std::int64_t ms);
    // Moves the wall clock without running any timer (a clock being set).
    void jumpClock(std::int64_t ms) { clockOffsetMs_ += ms; }
    // The computer sleeps for ms: the wall clock and the clock that counts sleep move on, the
    // timers, which wait on a clock that stands still meanwhile, come that much late.
    void suspend(std::int64_t ms) {
        clockOffsetMs_ += ms;
        sleptMs_ += ms;
    }
    // Sets the wall clock to a time of day, keeping the monotonic clock where it is.
    void setClock(int msecsSinceMidnight);
    // Delays every armed timer by ms (a busy machine delivering ticks late).
    void delayTimers(std::int64_t ms);
    void setCommandOutcome(core::CommandOutcome outcome) { commandOutcome_ = std::move(outcome); }

    // --- what happened ---
    std::vector<std::string> commands;
    int beeps = 0;
    std::vector<int> beepTimes;  // the time of day at each beep
    std::vector<int> endings;    // exit codes passed to endProgram
    // "hold REASON" and "release", in order.
    std::vector<std::string> awakeLog;
    bool awake() const { return !awakeLog.empty() && awakeLog.back() != "release"; }
    std::size_t armedTimers() const;
    // When the next timer is due, or -1 when none is armed.
    std::int64_t nextDueMs() const;

    // --- core::System ---
    int msecsSinceMidnight() override;
    std::int64_t monotonicMs() override;
    std::unique_ptr<core::Timer> createTimer(std::function<void()> onTimeout) override;
    void runCommand(std::string_view commandLine,
                    std::function<void(const core::CommandOutcome&)> done) override;
    void holdAwake(std::string_view reason) override;
    void releaseAwake() override;
    void beep() override;
    void endProgram(int exitCode) override { endings.push_back(exitCode); }

private:
    struct Entry {
        std::function<void()> onTimeout;
        std::int64_t dueMs = -1;  // -1: stopped
        std::uint64_t sequence = 0;
    };
    class FakeTimer;

    core::System* realTime_ = nullptr;
    std::int64_t nowMs_ = 0;
    std::int64_t clockOffsetMs_ = 0;
    std::int64_t sleptMs_ = 0;
    std::uint64_t nextSequence_ = 0;
    std::map<std::uint64_t, std::shared_ptr<Entry>> timers_;
    std::uint64_t nextId_ = 0;
    core::CommandOutcome commandOutcome_;
};

// A presenter that only writes down what it was asked to do, for the core's own tests.
class RecordingPresenter final : public core::Presenter {
public:
    // "show Form3", "hide Form1", "destroy Form1", ... in order.
    std::vector<std::string> windowLog;
    int stateChanges = 0;
    // The failure windows shown, and what closing the last one does.
    std::vector<std::string> failures;
    std::function<void()> acknowledgeFailure;

    void showWindow(core::Window& window) override;
    void hideWindow(core::Window& window) override;
    void destroyWindow(core::Window& window) override;
    void stateChanged() override { ++stateChanges; }
    void showFailure(const std::string& message, std::function<void()> acknowledged) override;
};

std::string windowName(const core::Window& window);

}  // namespace veltrask::testing
