// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace veltrask::platform {

// Keeps the computer from suspending when idle while a system action is armed, through the
// desktop's session manager or power manager, or through logind where those are absent or fail.
// Everything happens asynchronously on the event thread; when no way works, the computer may
// suspend as before.
class IdleInhibitor {
public:
    struct Bounds {
        std::chrono::milliseconds sessionManager = std::chrono::seconds(10);
        std::chrono::milliseconds logind = std::chrono::seconds(25);
    };

    explicit IdleInhibitor(std::string desktops, Bounds bounds);
    // For the desktop this program runs on.
    IdleInhibitor();
    ~IdleInhibitor();  // releases
    IdleInhibitor(const IdleInhibitor&) = delete;
    IdleInhibitor& operator=(const IdleInhibitor&) = delete;

    // Holds an inhibitor shown with `reason`; holding again with another reason replaces it.
    void hold(std::string reason);
    // Lets go of the inhibitor, or of the one still being asked for as soon as it arrives.
    void release();

private:
    struct Current;
    std::string desktops_;
    Bounds bounds_;
    std::unique_ptr<Current> current_;
};

}  // namespace veltrask::platform
