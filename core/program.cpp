// SPDX-License-Identifier: MIT
#include "program.h"

#include <algorithm>
#include <cassert>

#include "armed_summary.h"
#include "form1.h"
#include "form3.h"
#include "form4.h"
#include "time_text.h"

namespace veltrask::core {

Program::Program(System& system, Presenter& presenter)
    : system_(system),
      presenter_(presenter),
      secondTimer_(system.createTimer([this] { onSecond(); })) {}

Program::~Program() {
    // Discarded without close handlers, as at the end of the program.
    for (Window* window : openWindows()) {
        window->stopTimers();
    }
}

std::vector<Window*> Program::openWindows() const {
    std::vector<Window*> windows;
    for (Window* window : {static_cast<Window*>(form1_.get()), static_cast<Window*>(form3_.get()),
                           static_cast<Window*>(form4_.get())}) {
        if (window != nullptr) {
            windows.push_back(window);
        }
    }
    return windows;
}

void Program::start() {
    dispatch([this] { showForm1(); });
}

template <typename Form>
Form& Program::create(std::unique_ptr<Form>& slot) {
    if (!slot) {
        slot = std::make_unique<Form>(*this);
        static_cast<Window&>(*slot).startUp();  // inside the show that creates it
    }
    return *slot;
}

Form1& Program::form1() const {
    assert(form1_ != nullptr);
    return *form1_;
}

Form1& Program::openHiddenMainWindow() {
    return create(form1_);
}

Form1& Program::showForm1() {
    Form1& form = create(form1_);
    show(form);
    return form;
}

Form3& Program::showForm3() {
    Form3& form = create(form3_);
    show(form);
    return form;
}

Form4& Program::showForm4() {
    Form4& form = create(form4_);
    show(form);
    return form;
}

void Program::show(Window& window) {
    if (ended_) {
        return;
    }
    window.visible_ = true;
    presenter_.showWindow(window);
}

void Program::hide(Window& window) {
    window.visible_ = false;
    presenter_.hideWindow(window);
}

std::unique_ptr<Window> Program::take(Window& window) {
    if (&window == form1_.get()) {
        return std::move(form1_);
    }
    if (&window == form3_.get()) {
        return std::move(form3_);
    }
    if (&window == form4_.get()) {
        return std::move(form4_);
    }
    return nullptr;
}

void Program::close(Window& window) {
    window.closing();
    if (ended_) {
        return;
    }
    std::unique_ptr<Window> owned = take(window);
    if (!owned) {
        return;  // already closed inside its own close handler
    }
    discard(std::move(owned));
}

void Program::discard(std::unique_ptr<Window> owned) {
    owned->stopTimers();
    owned->visible_ = false;
    presenter_.destroyWindow(*owned);
    closed_.push_back(std::move(owned));
}

void Program::endProgram(int exitCode) {
    if (ended_) {
        return;
    }
    ended_ = true;
    for (Window* window : openWindows()) {
        window->stopTimers();
    }
    releaseAwake();
    system_.endProgram(exitCode);
}

void Program::openReminder() {
    showForm4();
}

void Program::replaceMainWithConfirmation() {
    // The confirmation copies the main window's values at its start-up, so it opens first.
    showForm3();
    if (form1_) {
        close(*form1_);
    }
    openHiddenMainWindow();
}

void Program::showMainWindow() {
    showForm1();
}

MainValues Program::mainValues() const {
    if (!form1_) {
        return {std::string(kRemindMe), std::string(kDefaultLeadTime),
                std::string(kReminderPlaceholder)};
    }
    return {form1_->combo1.text, form1_->text4.text, form1_->text8.text};
}

bool Program::systemActionArmed() const {
    return core::systemActionArmed(form1_.get(), form3_ != nullptr);
}

std::optional<std::string> armedSummary(const Program& program) {
    return armedSummary(program.existingForm1(), program.existingForm3() != nullptr);
}

bool systemActionArmed(const Program& program) {
    return program.systemActionArmed();
}

void Program::discardWindows() {
    std::unique_ptr<Window> windows[] = {std::move(form1_), std::move(form3_), std::move(form4_)};
    for (std::unique_ptr<Window>& owned : windows) {
        if (owned) {
            discard(std::move(owned));
        }
    }
}

void Program::carryOut(std::string_view actionName, std::string_view commandLine) {
    if (ended_ || carryingOut_) {
        return;
    }
    carryingOut_ = true;
    // Held any longer, the computer's own sleep inhibitor could hold up the shutdown it asks for.
    releaseAwake();
    discardWindows();
    const std::string failure = "无法" + std::string(actionName) + "：";
    system_.runCommand(commandLine, [this, failure](const CommandOutcome& outcome) {
        if (ended_) {
            return;
        }
        switch (outcome.result) {
            case CommandOutcome::Result::CarriedOut:
                endProgram(0);
                return;
            case CommandOutcome::Result::Declined:
                // As after 取消 in the confirmation window: the schedule is over, and a fresh
                // main window lets the user arm another.
                carryingOut_ = false;
                dispatch([this] { showForm1(); });
                return;
            case CommandOutcome::Result::Failed:
                presenter_.showFailure(failure + outcome.reason, [this] { endProgram(1); });
                return;
        }
    });
}

void Program::holdAwake(const std::string& reason) {
    if (ended_) {
        return;
    }
    holdingAwake_ = true;
    system_.holdAwake(reason);
}

void Program::releaseAwake() {
    if (holdingAwake_) {
        holdingAwake_ = false;
        system_.releaseAwake();
    }
}

void Program::activate() {
    if (ended_ || carryingOut_) {
        return;
    }
    if (form3_) {
        show(*form3_);
    } else if (form4_) {
        show(*form4_);
    } else {
        showForm1();
    }
}

void Program::addSecondTimer(TimerControl& timer) {
    secondTimers_.push_back(&timer);
}

void Program::removeSecondTimer(TimerControl& timer) {
    std::erase(secondTimers_, &timer);
    secondTimersChanged();
}

void Program::secondTimersChanged() {
    const bool needed =
        !ended_ && std::any_of(secondTimers_.begin(), secondTimers_.end(),
                               [](const TimerControl* timer) { return timer->enabled(); });
    if (needed && !secondTimerArmed_) {
        // A few milliseconds past the boundary, so that a timer that fires a little early still
        // reads the new second.
        constexpr int kMarginMs = 5;
        secondTimer_->start(kTickMs - system_.msecsSinceMidnight() % kTickMs + kMarginMs);
        secondTimerArmed_ = true;
    } else if (!needed && secondTimerArmed_) {
        secondTimer_->stop();
        secondTimerArmed_ = false;
    }
}

void Program::onSecond() {
    secondTimerArmed_ = false;
    const std::int64_t now = system_.monotonicMs();
    dispatch([this, now] {
        // Timers created during this second (a new main window) start with the next one; those
        // of windows closed meanwhile are disabled, and their windows live until the event ends.
        const std::vector<TimerControl*> timers = secondTimers_;
        // Countdowns first, so that the clock tick of the same moment already sees where they
        // stand: a countdown reaching zero fires now, not a second later.
        for (TimerControl* timer : timers) {
            if (timer->pacing_ == TimerControl::Pacing::SteadySecond && timer->due(now)) {
                timer->tick();
            }
            // Every second that passed counts, those the computer slept through included.
            while (timer->pacing_ == TimerControl::Pacing::RealSeconds && timer->due(now)) {
                timer->tick();
            }
        }
        for (TimerControl* timer : timers) {
            if (timer->pacing_ == TimerControl::Pacing::EverySecond) {
                timer->tick();
            }
        }
    });
    secondTimersChanged();
}

std::string Program::currentTimeText() const {
    return timeText(system_.msecsSinceMidnight() / 1000);
}

void Program::finishEvent() {
    closed_.clear();
    if (ended_) {
        return;
    }
    if (holdingAwake_ && !systemActionArmed()) {
        releaseAwake();
    }
    if (!form1_ && !form3_ && !form4_ && !carryingOut_) {
        endProgram(0);
        return;
    }
    presenter_.stateChanged();
}

}  // namespace veltrask::core
