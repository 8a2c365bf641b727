// SPDX-License-Identifier: MIT
#include "platform/system_platform.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTime>
#include <QTimer>

#include <chrono>

#include <algorithm>

#include "platform/command_runner.h"

namespace veltrask::platform {

namespace {

class QtTimer final : public core::Timer {
public:
    explicit QtTimer(std::function<void()> onTimeout) : timer_(new QTimer) {
        // The clock timer is armed a few milliseconds after each second boundary: a coarse timer
        // could deliver the tick on the wrong side of it.
        timer_->setTimerType(Qt::PreciseTimer);
        timer_->setSingleShot(true);
        QObject::connect(timer_, &QTimer::timeout, timer_,
                         [this, onTimeout = std::move(onTimeout)] {
                             // The callback may destroy this object; the flag lives on the stack to
                             // tell.
                             bool destroyed = false;
                             destroyedFlag_ = &destroyed;
                             onTimeout();
                             if (!destroyed) {
                                 destroyedFlag_ = nullptr;
                             }
                         });
    }

    ~QtTimer() override {
        timer_->disconnect();
        timer_->stop();
        if (destroyedFlag_) {
            // Its timeout is still being delivered: Qt must be done with it before it goes.
            *destroyedFlag_ = true;
            timer_->deleteLater();
        } else {
            delete timer_;
        }
    }

    QtTimer(const QtTimer&) = delete;
    QtTimer& operator=(const QtTimer&) = delete;

    void start(int delayMs) override { timer_->start(std::max(delayMs, 0)); }
    void stop() override { timer_->stop(); }

private:
    QTimer* timer_;
    bool* destroyedFlag_ = nullptr;  // set while the callback runs
};

}  // namespace

SystemPlatform::SystemPlatform() = default;
SystemPlatform::~SystemPlatform() = default;

int SystemPlatform::msecsSinceMidnight() {
    return QTime::currentTime().msecsSinceStartOfDay();
}

std::int64_t SystemPlatform::monotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::unique_ptr<core::Timer> SystemPlatform::createTimer(std::function<void()> onTimeout) {
    return std::make_unique<QtTimer>(std::move(onTimeout));
}

bool SystemPlatform::runCommand(std::string_view commandLine) {
    return runCommandLine(commandLine);
}

void SystemPlatform::beep() {
    if (!sound_.play()) {
        QApplication::beep();
    }
}

void SystemPlatform::endProgram(int exitCode) {
    QCoreApplication::exit(exitCode);
}

}  // namespace veltrask::platform
