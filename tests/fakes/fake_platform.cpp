// SPDX-License-Identifier: MIT
#include "fake_platform.h"

#include <limits>

namespace veltrask::testing {

class FakePlatform::FakeTimer final : public core::Timer {
public:
    FakeTimer(FakePlatform& platform, std::uint64_t id, std::shared_ptr<Entry> entry)
        : platform_(platform), id_(id), entry_(std::move(entry)) {}
    ~FakeTimer() override { platform_.timers_.erase(id_); }
    void start(int delayMs) override {
        entry_->dueMs = platform_.nowMs_ + delayMs;
        entry_->sequence = platform_.nextSequence_++;
    }
    void stop() override { entry_->dueMs = -1; }

private:
    FakePlatform& platform_;
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

void FakePlatform::advance(std::int64_t ms) {
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

void FakePlatform::delayTimers(std::int64_t ms) {
    for (auto& [id, entry] : timers_) {
        if (entry->dueMs >= 0) {
            entry->dueMs += ms;
        }
    }
}

std::size_t FakePlatform::armedTimers() const {
    std::size_t count = 0;
    for (const auto& [id, entry] : timers_) {
        count += entry->dueMs >= 0 ? 1 : 0;
    }
    return count;
}

std::int64_t FakePlatform::nextDueMs() const {
    std::int64_t next = -1;
    for (const auto& [id, entry] : timers_) {
        if (entry->dueMs >= 0 && (next < 0 || entry->dueMs < next)) {
            next = entry->dueMs;
        }
    }
    return next;
}

int FakePlatform::msecsSinceMidnight() {
    constexpr std::int64_t kDayMs = 24LL * 60 * 60 * 1000;
    const std::int64_t clock = nowMs_ + clockOffsetMs_;
    return static_cast<int>(((clock % kDayMs) + kDayMs) % kDayMs);
}

std::unique_ptr<core::Timer> FakePlatform::createTimer(std::function<void()> onTimeout) {
    auto entry = std::make_shared<Entry>();
    entry->onTimeout = std::move(onTimeout);
    const std::uint64_t id = nextId_++;
    timers_[id] = entry;
    return std::make_unique<FakeTimer>(*this, id, entry);
}

bool FakePlatform::runCommand(std::string_view commandLine) {
    commands.emplace_back(commandLine);
    return commandResult_;
}

void FakePlatform::showWindow(core::Window& window) {
    windowLog.push_back("show " + windowName(window));
}

void FakePlatform::hideWindow(core::Window& window) {
    windowLog.push_back("hide " + windowName(window));
}

void FakePlatform::destroyWindow(core::Window& window) {
    windowLog.push_back("destroy " + windowName(window));
}

}  // namespace veltrask::testing
