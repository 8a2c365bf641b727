// SPDX-License-Identifier: MIT
#include "platform/desktop_system.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTime>
#include <QTimer>

#include <ctime>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "platform/command_runner.h"
#include "platform/idle_inhibitor.h"
#include "platform/system_actions.h"

namespace veltrask::platform {

namespace {

// A Qt timer that knows while its timeout is being delivered: it must not be deleted then.
class DeliveringTimer final : public QTimer {
public:
    bool delivering = false;
};

class QtTimer final : public core::Timer {
public:
    explicit QtTimer(std::function<void()> onTimeout)
        : timer_(std::make_unique<DeliveringTimer>()) {
        // The clock timer is armed a few milliseconds after each second boundary: a coarse timer
        // could deliver the tick on the wrong side of it.
        timer_->setTimerType(Qt::PreciseTimer);
        timer_->setSingleShot(true);
        DeliveringTimer* timer = timer_.get();
        QObject::connect(timer, &QTimer::timeout, timer, [timer, onTimeout = std::move(onTimeout)] {
            // The callback may destroy this object; the Qt timer outlives it
            // until the delivery is over.
            timer->delivering = true;
            onTimeout();
            timer->delivering = false;
        });
    }

    ~QtTimer() override {
        timer_->disconnect();
        timer_->stop();
        if (timer_->delivering) {
            // Its timeout is still being delivered: Qt must be done with it before it goes.
            timer_.release()->deleteLater();
        }
    }

    QtTimer(const QtTimer&) = delete;
    QtTimer& operator=(const QtTimer&) = delete;

    void start(int delayMs) override { timer_->start(std::max(delayMs, 0)); }
    void stop() override { timer_->stop(); }

private:
    std::unique_ptr<DeliveringTimer> timer_;
};

// The words of the window that tells why an action failed, after "无法关闭计算机：" and the like:
// the program's own, in the user's language, or a service's error message as the service gave it.
constexpr const char* kNotACommand = "这不是本程序的命令。";

std::string failureWords(const Outcome& outcome) {
    switch (outcome.refusal) {
        case Refusal::ServiceError:
            break;
        case Refusal::SessionNotEnded:
            return "桌面的会话管理器没有结束会话。";
        case Refusal::SessionUnfinished:
            return "桌面的会话管理器没有完成结束会话。";
    }
    return outcome.lastError.empty() ? "桌面没有说明原因。" : outcome.lastError;
}

}  // namespace

DesktopSystem::DesktopSystem() = default;
DesktopSystem::~DesktopSystem() = default;

int DesktopSystem::msecsSinceMidnight() {
    return QTime::currentTime().msecsSinceStartOfDay();
}

std::int64_t DesktopSystem::monotonicMs() {
    // Unlike the steady clock, it goes on while the computer sleeps: a countdown of two hours
    // ends two hours later, whatever happened in between.
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return std::int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1'000'000;
}

std::unique_ptr<core::Timer> DesktopSystem::createTimer(std::function<void()> onTimeout) {
    return std::make_unique<QtTimer>(std::move(onTimeout));
}

void DesktopSystem::runCommand(std::string_view commandLine,
                               std::function<void(const core::CommandOutcome&)> done) {
    const auto finish = [&done](core::CommandOutcome outcome) {
        if (done) {
            done(outcome);
        }
    };
    const std::optional<Command> command = parseCommandLine(commandLine);
    if (!command) {
        finish({core::CommandOutcome::Result::Failed, kNotACommand});
        return;
    }
    if (const auto* open = std::get_if<OpenAddress>(&*command)) {
        finish({openAddress(open->address) ? core::CommandOutcome::Result::CarriedOut
                                           : core::CommandOutcome::Result::Failed,
                {}});
        return;
    }
    carryOutAction(std::get<SystemAction>(*command), Session::current(),
                   [done = std::move(done)](const Outcome& outcome) {
                       if (done) {
                           done({outcome.result, failureWords(outcome)});
                       }
                   });
}

void DesktopSystem::holdAwake(std::string_view reason) {
    // Made when first needed: a program that never arms a system action never asks the desktop.
    if (!inhibitor_) {
        inhibitor_ = std::make_unique<IdleInhibitor>();
    }
    inhibitor_->hold(std::string(reason));
}

void DesktopSystem::releaseAwake() {
    if (inhibitor_) {
        inhibitor_->release();
    }
}

void DesktopSystem::beep() {
    if (!sound_.play()) {
        QApplication::beep();
    }
}

void DesktopSystem::endProgram(int exitCode) {
    QCoreApplication::exit(exitCode);
}

}  // namespace veltrask::platform
