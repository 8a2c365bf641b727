// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <functional>
#include <string>

class QObject;

namespace veltrask::platform {

// A method of a session manager that tells whether it is ending the session.
struct SessionProbe {
    std::string service;
    std::string path;
    std::string interface;
    std::string method;
    // The answer that means the end of the session is under way.
    bool endingWhen = true;
};

enum class SessionEnd {
    // logind announced the computer going down, or the session manager left the bus while ending
    // the session, or cannot be watched: the session is going, as it said.
    Ended,
    // It began to end the session and then went back to running it: an application refused and
    // the user let that stand.
    Cancelled,
    // It answered, and then never began to end the session.
    NeverBegan,
    // It was still ending the session when the watch gave up.
    Unfinished,
};

// Asks `probe` on the session bus over and over until the end of the session is settled, then
// calls `settled` once, on the event thread. Nothing is delivered once `context` is gone.
void watchSessionEnd(const SessionProbe& probe, std::chrono::milliseconds endBegins,
                     std::chrono::milliseconds sessionEnds, QObject* context,
                     std::function<void(SessionEnd)> settled);

}  // namespace veltrask::platform
