// SPDX-License-Identifier: MIT
#include "fake_system.h"

#include <limits>

namespace veltrask::testing {

class FakeSystem::FakeTimer final : public core::Timer {
public:
    FakeTimer(FakeSystem& system, std::uint64_t id, std::shared_ptr<Entry> entry)
        : system_(system), id_(id), entry_(std::move(entry)) {}
    ~FakeTimer() override { system_.timers_.erase(id_); }
    void start(int delayMs) override {
        entry_->dueMs = system_.nowMs_ + delayMs;
        entry_->sequence = system_.nextSequence_++;
    }
    void stop() override { entry_->dueMs = -1; }

private:
    FakeSystem& system_;
    std::uint64_t id_;
    std::shared_ptr<Entry> entry_;
};

std::string windowName(const core::Window& window) {
    switch (window.kind()) {
        case core::WindowKind::Form1:
            return "Form1";
        case core::WindowKind::Form3:
            return "Form3";
        case core::WindowKind::Form4:
            return "Form4";
    }
    return "?";
}

void FakeSystem::advance(std::int64_t ms) {
    const std::int64_t target = nowMs_ + ms;
    for (;;) {
        std::shared_ptr<Entry> next;
        for (const auto& [id, entry] : timers_) {
            if (entry->dueMs < 0 || entry->dueMs > target) {
                continue;
            }
            if (!next || entry->dueMs < next->dueMs ||
                (entry->dueMs == next->dueMs && entry->sequence < next->sequence)) {
                next = entry;
            }
        }
        if (!next || !endings.empty()) {
            break;
        }
        nowMs_ = next->dueMs;
        next->dueMs = -1;                  // single shot; the core re-arms periodic timers itself
        auto onTimeout = next->onTimeout;  // the timer may be destroyed while it runs
        onTimeout();
    }
    if (endings.empty()) {
        nowMs_ = target;
    }
}

void FakeSystem::delayTimers(std::int64_t ms) {
    for (auto& [id, entry] : timers_) {
        if (entry->dueMs >= 0) {
            entry->dueMs += ms;
        }
    }
}

std::size_t FakeSystem::armedTimers() const {
    std::size_t count = 0;
    for (const auto& [id, entry] : timers_) {
        count += entry->dueMs >= 0 ? 1 : 0;
    }
    return count;
}

std::int64_t FakeSystem::nextDueMs() const {
    std::int64_t next = -1;
    for (const auto& [id, entry] : timers_) {
        if (entry->dueMs >= 0 && (next < 0 || entry->dueMs < next)) {
            next = entry->dueMs;
        }
    }
    return next;
}

namespace {
constexpr std::int64_t kDayMs = 24LL * 60 * 60 * 1000;
}

int FakeSystem::msecsSinceMidnight() {
    if (realTime_ != nullptr) {
        return realTime_->msecsSinceMidnight();
    }
    const std::int64_t clock = nowMs_ + clockOffsetMs_;
    return static_cast<int>(((clock % kDayMs) + kDayMs) % kDayMs);
}

void FakeSystem::setClock(int msecsSinceMidnight) {
    const std::int64_t current = ((wallMs() % kDayMs) + kDayMs) % kDayMs;
    clockOffsetMs_ += msecsSinceMidnight - current;
}

std::int64_t FakeSystem::monotonicMs() {
    return realTime_ != nullptr ? realTime_->monotonicMs() : nowMs_ + sleptMs_;
}

std::unique_ptr<core::Timer> FakeSystem::createTimer(std::function<void()> onTimeout) {
    if (realTime_ != nullptr) {
        return realTime_->createTimer(std::move(onTimeout));
    }
    auto entry = std::make_shared<Entry>();
    entry->onTimeout = std::move(onTimeout);
    const std::uint64_t id = nextId_++;
    timers_[id] = entry;
    return std::make_unique<FakeTimer>(*this, id, entry);
}

void FakeSystem::runCommand(std::string_view commandLine,
                            std::function<void(const core::CommandOutcome&)> done) {
    commands.emplace_back(commandLine);
    if (done) {
        done(commandOutcome_);
    }
}

void FakeSystem::holdAwake(std::string_view reason) {
    awakeLog.push_back("hold " + std::string(reason));
}

void FakeSystem::releaseAwake() {
    awakeLog.emplace_back("release");
}

void FakeSystem::beep() {
    ++beeps;
    beepTimes.push_back(msecsSinceMidnight());
}

void RecordingPresenter::showWindow(core::Window& window) {
    windowLog.push_back("show " + windowName(window));
}

void RecordingPresenter::showFailure(const std::string& message,
                                     std::function<void()> acknowledged) {
    failures.push_back(message);
    acknowledgeFailure = std::move(acknowledged);
}

void RecordingPresenter::hideWindow(core::Window& window) {
    windowLog.push_back("hide " + windowName(window));
}

void RecordingPresenter::destroyWindow(core::Window& window) {
    windowLog.push_back("destroy " + windowName(window));
}

}  // namespace veltrask::testing
