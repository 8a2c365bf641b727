// SPDX-License-Identifier: MIT
#pragma once

#include "window.h"

namespace veltrask::core {

// The confirmation window: it stands between a fired system action and the action itself, counts
// the lead time down and then carries the action out, unless it is cancelled. The action travels
// in Command1's caption and the seconds left in Label1's; nothing else is kept.
class Form3 final : public Window {
public:
    explicit Form3(Windows& windows);
    ~Form3() override;

    Control label1{"Label1", ControlKind::Label};
    Control label2{"Label2", ControlKind::Label};
    Control command1{"Command1", ControlKind::CommandButton};
    Control command2{"Command2", ControlKind::CommandButton, "取消"};

    // Counts down once a second.
    TimerControl timer1;
    // Watches for zero: run once just after start-up and again after every change of Label1,
    // rather than polling every millisecond.
    TimerControl timer2;

    void timer1Tick();
    void timer2Tick();
    void command1Click();
    void command2Click();

    void click(Control& control) override;

protected:
    void startUp() override;
    void closing() override;
    void stopTimers() override;

private:
    void carryOut();
};

}  // namespace veltrask::core
