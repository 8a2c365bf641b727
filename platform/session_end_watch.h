// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>
#include <string_view>

#include "platform/dbus_call.h"
#include "platform/display_end.h"

class QVariant;

namespace veltrask::platform {

// What tells whether a session manager is ending the session.
struct SessionProbe {
    DBusObject manager;
    // Asked again and again; `ending` reads from its answer whether the end is under way.
    const char* method;
    bool (*ending)(const QVariant& answer);
    // A helper of the session manager's that leaves the bus when the end of the session stops,
    // whether cancelled or done (Plasma's plasma-shutdown after a cancel); empty: none.
    std::string_view helper = {};
    // A signal by which the session manager says the end was cancelled (Xfce's, which may be
    // over between two questions); null: none.
    const char* cancelledSignal = nullptr;
};

enum class SessionEnd {
    // logind announced the computer going down, or the session manager left the bus, or is too
    // busy ending the session to answer: the session is going, as it said.
    Ended,
    // It began to end the session and then went back to running it: an application refused and
    // the user let that stand.
    Cancelled,
    // It never began to end the session.
    NeverBegan,
    // It was still ending the session when the watch gave up.
    Unfinished,
};

// How the call that asked for the end of the session ended.
enum class CallEnded {
    // With an answer, given before the session manager has done anything: it gets the time to
    // begin that `Bounds::endBegins` gives it.
    Answered,
    // Without one within its bound: the session manager either ended the session, and itself,
    // before it answered, or still runs it and did not answer.
    Unanswered,
};

// Watches a session manager that was asked to end the session. Made before the call, so that
// nothing the session manager does between its answer and the first look is missed; begun once
// the call has ended. Lives until it has settled, or its parent goes.
class SessionEndWatch final : public QObject {
    Q_OBJECT

public:
    SessionEndWatch(const SessionProbe& probe, QObject* parent);

    // Calls `settled` once, on the event thread, when the end of the session is settled.
    void begin(CallEnded call, std::chrono::milliseconds endBegins,
               std::chrono::milliseconds sessionEnds, std::function<void(SessionEnd)> settled);

private slots:
    void prepareForShutdown(bool starting);
    void cancelled();

private:
    // What the watch has seen of the session so far.
    enum class Seen {
        Running,
        Ending,
        // The helper left: the end is done or cancelled, the session manager's next answer
        // tells which.
        HelperLeft,
    };

    void left(const QString& service);
    void ask();
    void answered(std::optional<bool> ending);
    void settle(SessionEnd end);

    const SessionProbe& probe_;
    Seen seen_ = Seen::Running;
    // Known before the watch was begun, or when it settles.
    std::optional<SessionEnd> end_;
    std::function<void(SessionEnd)> settled_;
    std::chrono::milliseconds endBegins_{0};
    std::chrono::milliseconds sessionEnds_{0};
    QTimer next_;
    QElapsedTimer clock_;
    // From before the call until it settles, and for good once the session ends.
    DisplayEndIsTheSessionsEnd displayEnd_;
};

}  // namespace veltrask::platform
