// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "core/platform.h"
#include "platform/sound.h"

namespace veltrask::platform {

// The operating-system half of the platform: clock, timers, sound, processes and the end of the
// program. The window half is left to the user interface, which derives from this class.
class SystemPlatform : public core::Platform {
public:
    SystemPlatform();
    ~SystemPlatform() override;
    SystemPlatform(const SystemPlatform&) = delete;
    SystemPlatform& operator=(const SystemPlatform&) = delete;

    int msecsSinceMidnight() override;
    std::int64_t monotonicMs() override;
    std::unique_ptr<core::Timer> createTimer(std::function<void()> onTimeout) override;
    bool runCommand(std::string_view commandLine) override;
    void beep() override;
    void endProgram(int exitCode) override;

private:
    DesktopSound sound_;
};

}  // namespace veltrask::platform
