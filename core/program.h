// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "presenter.h"
#include "system.h"
#include "window.h"
#include "windows.h"

namespace veltrask::core {

class Form1;
class Form3;
class Form4;

// The program's windows and their life cycle; the one place that knows which window is which.
// Every event from outside (a click, a key, a tick) enters through dispatch(), so that windows
// closed by a handler are destroyed only after the outermost handler has finished, and the
// program ends once no window is left.
class Program final : public Windows {
public:
    Program(System& system, Presenter& presenter);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    System& system() const override { return system_; }

    // Creates and shows the main window, the only window created at start.
    void start();

    // The open main window; there must be one.
    Form1& form1() const;
    // The main window, first created in its initial state, hidden, with its clock running, when
    // it was closed.
    Form1& openHiddenMainWindow();
    Form1* existingForm1() const { return form1_.get(); }
    Form3* existingForm3() const { return form3_.get(); }
    Form4* existingForm4() const { return form4_.get(); }

    // Window operations. show creates the window on first use, running its start-up inside the
    // show; showing an open window only brings it to the front.
    Form1& showForm1();
    Form3& showForm3();
    Form4& showForm4();
    void show(Window& window) override;
    void hide(Window& window) override;
    void close(Window& window) override;

    void openReminder() override;
    void replaceMainWithConfirmation() override;
    void showMainWindow() override;
    MainValues mainValues() const override;
    bool systemActionArmed() const override;

    // Stops everything at once: no close handler runs and no later event is handled.
    void endProgram(int exitCode) override;
    bool hasEnded() const { return ended_; }

    // Carries out a system action. Every window goes at once, without its close handler, and the
    // program lives on without one until the desktop has answered; then it ends, after telling
    // the user in a window of its own when the action could not be carried out. When the user
    // said no in the desktop's own dialog, a fresh main window comes instead.
    void carryOut(std::string_view actionName, std::string_view commandLine) override;
    bool isCarryingOut() const { return carryingOut_; }

    // Keeps the computer awake for an armed system action. Released as soon as no system action
    // is armed any more (carried out, cancelled, disarmed), and at the end of the program.
    void holdAwake(const std::string& reason) override;
    bool holdsAwake() const { return holdingAwake_; }

    // Another launch of the program asked for this one: whatever window it shows comes to the
    // front, or the hidden main window is shown, as the tray icon does.
    void activate();

    std::string currentTimeText() const override;

    void addSecondTimer(TimerControl& timer) override;
    void removeSecondTimer(TimerControl& timer) override;
    void secondTimersChanged() override;

    void handleEvent(const std::function<void()>& handler) override { dispatch(handler); }

    template <typename Handler>
    void dispatch(Handler&& handler) {
        if (ended_) {
            return;
        }
        ++depth_;
        std::forward<Handler>(handler)();
        --depth_;
        if (depth_ == 0) {
            finishEvent();
        }
    }

private:
    // Each window, main window first.
    std::vector<Window*> openWindows() const;
    template <typename Form>
    Form& create(std::unique_ptr<Form>& slot);
    void finishEvent();
    void onSecond();
    void releaseAwake();
    // Stops the window and drops its view; the window itself lives until the event ends.
    void discard(std::unique_ptr<Window> owned);
    void discardWindows();
    std::unique_ptr<Window> take(Window& window);

    System& system_;
    Presenter& presenter_;
    std::vector<TimerControl*> secondTimers_;  // in order of creation
    std::unique_ptr<Timer> secondTimer_;
    bool secondTimerArmed_ = false;
    std::unique_ptr<Form1> form1_;
    std::unique_ptr<Form3> form3_;
    std::unique_ptr<Form4> form4_;
    // Closed windows wait here until the event that closed them has finished: the rest of that
    // handler may still be running on them.
    std::vector<std::unique_ptr<Window>> closed_;
    int depth_ = 0;
    bool ended_ = false;
    bool carryingOut_ = false;
    bool holdingAwake_ = false;
};

// What the program's hidden main window has armed, as armed_summary.h tells it.
std::optional<std::string> armedSummary(const Program& program);
bool systemActionArmed(const Program& program);

}  // namespace veltrask::core
