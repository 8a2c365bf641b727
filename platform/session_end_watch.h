// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <string>

namespace veltrask::platform {

// What tells whether a session manager is ending the session.
struct SessionProbe {
    std::string service;
    std::string path;
    std::string interface;
    // Answers whether the end of the session is under way, as `endingWhen`.
    std::string method;
    bool endingWhen = true;
    // A helper of the session manager's that leaves the bus when the end of the session stops,
    // whether cancelled or done (Plasma's plasma-shutdown after a cancel); empty: none.
    std::string helper;
};

enum class SessionEnd {
    // logind announced the computer going down, or the session manager left the bus, or cannot
    // be watched: the session is going, as it said.
    Ended,
    // It began to end the session and then went back to running it: an application refused and
    // the user let that stand.
    Cancelled,
    // It answered, and then never began to end the session.
    NeverBegan,
    // It was still ending the session when the watch gave up.
    Unfinished,
};

// Watches a session manager that was asked to end the session. Made before the call, so that
// nothing the session manager does between its answer and the first look is missed; begun once
// it has answered. Lives until it has settled, or its parent goes.
class SessionEndWatch final : public QObject {
    Q_OBJECT

public:
    SessionEndWatch(SessionProbe probe, QObject* parent);

    // Calls `settled` once, on the event thread, when the end of the session is settled.
    void begin(std::chrono::milliseconds endBegins, std::chrono::milliseconds sessionEnds,
               std::function<void(SessionEnd)> settled);

private slots:
    void prepareForShutdown(bool starting);

private:
    void left(const QString& service);
    void ask();
    void answered(bool ending);
    void settle(SessionEnd end);

    SessionProbe probe_;
    std::chrono::milliseconds endBegins_{0};
    std::chrono::milliseconds sessionEnds_{0};
    std::function<void(SessionEnd)> settled_;
    QTimer next_;
    QElapsedTimer clock_;
    bool begun_ = false;
    bool ending_ = false;
    bool helperLeft_ = false;
    bool managerLeft_ = false;
};

}  // namespace veltrask::platform
