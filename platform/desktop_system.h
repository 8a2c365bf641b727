// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "core/system.h"
#include "platform/sound.h"

namespace veltrask::platform {

class IdleInhibitor;

// The operating system and the desktop as the core sees them: clock, timers, sound, the system
// actions and the end of the program.
class DesktopSystem final : public core::System {
public:
    DesktopSystem();
    ~DesktopSystem() override;
    DesktopSystem(const DesktopSystem&) = delete;
    DesktopSystem& operator=(const DesktopSystem&) = delete;

    int msecsSinceMidnight() override;
    std::int64_t monotonicMs() override;
    std::unique_ptr<core::Timer> createTimer(std::function<void()> onTimeout) override;
    void runCommand(std::string_view commandLine,
                    std::function<void(const core::CommandOutcome&)> done) override;
    void holdAwake(std::string_view reason) override;
    void releaseAwake() override;
    void beep() override;
    void endProgram(int exitCode) override;

private:
    std::unique_ptr<IdleInhibitor> inhibitor_;
    DesktopSound sound_;
};

}  // namespace veltrask::platform
