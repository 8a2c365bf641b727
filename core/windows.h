// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "system.h"

namespace veltrask::core {

// What a fresh main window starts with.
inline constexpr std::string_view kDefaultLeadTime = "30";
inline constexpr std::string_view kReminderPlaceholder = "请输入要提醒的内容";

class TimerControl;
class Window;

// What a window copies from the main window when it starts up: the action and its lead time for
// the confirmation, the message for the reminder.
struct MainValues {
    std::string action;
    std::string leadTime;
    std::string reminderText;
};

// All a window knows of the program that owns it. A window asks; the program decides which
// window that means and keeps their life cycle, so no window names another.
class Windows {
public:
    virtual System& system() const = 0;

    // Runs one event from outside: windows closed inside it are destroyed only once it is over.
    virtual void handleEvent(const std::function<void()>& handler) = 0;

    virtual void show(Window& window) = 0;
    virtual void hide(Window& window) = 0;
    // Runs the window's close handler, if it has one, then discards the window and its values.
    virtual void close(Window& window) = 0;

    // Opens the reminder, or brings an open one to the front.
    virtual void openReminder() = 0;
    // A fired system action: the confirmation opens with the main window's values, and the main
    // window gives way to a fresh one, hidden, in its initial state.
    virtual void replaceMainWithConfirmation() = 0;
    // Shows the main window, a fresh one when it was closed.
    virtual void showMainWindow() = 0;
    // The values of the main window, or those a fresh one starts with when none is open.
    virtual MainValues mainValues() const = 0;

    virtual void carryOut(std::string_view actionName, std::string_view commandLine) = 0;
    virtual void endProgram(int exitCode) = 0;
    virtual bool systemActionArmed() const = 0;
    virtual void holdAwake(const std::string& reason) = 0;
    virtual std::string currentTimeText() const = 0;

    // The once-a-second timers of every window, run from one system timer.
    virtual void addSecondTimer(TimerControl& timer) = 0;
    virtual void removeSecondTimer(TimerControl& timer) = 0;
    virtual void secondTimersChanged() = 0;

protected:
    ~Windows() = default;
};

}  // namespace veltrask::core
