// SPDX-License-Identifier: MIT
#include "form3.h"

#include <optional>
#include <string>

#include "actions.h"
#include "numbers.h"

namespace veltrask::core {

namespace {

// The lead time as the confirmation window counts it: the main window's text unchanged, unless it
// cannot be counted down (empty after the user cleared it, or too large), which falls back to the
// default the confirm button would have filled in.
std::string countableLeadTime(const std::string& text) {
    return countableNumber(text) ? text : std::string(kDefaultLeadTime);
}

}  // namespace

Form3::Form3(Windows& windows)
    : Window(windows, WindowKind::Form3, ""),
      timer1(windows, "Timer1", TimerControl::Pacing::SteadySecond, [this] { timer1Tick(); }),
      timer2(windows, "Timer2", TimerControl::Pacing::Immediately, [this] { timer2Tick(); }) {
    setControls({&label1, &label2, &command1, &command2});
}

Form3::~Form3() = default;

void Form3::startUp() {
    windows().system().beep();
    const MainValues main = windows().mainValues();
    const std::string& action = main.action;
    setCaption("真的要" + action + "吗？");
    setText(label1, countableLeadTime(main.leadTime));
    setText(label2, "秒后" + action);
    setText(command1, action);
    focusFirst();
    timer1.setEnabled(true);
    // Queued, so that a lead time of zero is acted on only after the firing tick has finished
    // closing the main window.
    timer2.setEnabled(true);
}

void Form3::stopTimers() {
    timer1.setEnabled(false);
    timer2.setEnabled(false);
}

void Form3::timer1Tick() {
    const std::optional<double> remaining = textToNumber(label1.text);
    if (!remaining) {
        return;
    }
    setText(label1, numberToText(*remaining - 1));
    timer2Tick();
}

void Form3::timer2Tick() {
    const std::optional<double> remaining = textToNumber(label1.text);
    if (!remaining || *remaining != 0) {
        return;
    }
    if (commandFor(command1.text)) {
        carryOut();
    }
}

void Form3::carryOut() {
    if (const std::optional<std::string_view> command = commandFor(command1.text)) {
        windows().carryOut(command1.text, *command);
    } else {
        windows().endProgram(0);
    }
}

void Form3::command1Click() {
    carryOut();
}

void Form3::command2Click() {
    windows().close(*this);
    windows().showMainWindow();
}

void Form3::closing() {
    windows().showMainWindow();
}

void Form3::click(Control& control) {
    if (&control == &command1) {
        command1Click();
    } else if (&control == &command2) {
        command2Click();
    }
}

}  // namespace veltrask::core
