// SPDX-License-Identifier: MIT
#include "form4.h"

#include <string>

namespace veltrask::core {

Form4::Form4(Windows& windows) : Window(windows, WindowKind::Form4, std::string(kReminderCaption)) {
    setControls({&command1, &label1});
}

Form4::~Form4() = default;

void Form4::startUp() {
    windows().system().beep();
    setText(label1,
            windows().currentTimeText() + " 时间到，请" + windows().mainValues().reminderText);
    focusFirst();
}

void Form4::command1Click() {
    windows().close(*this);
    windows().showMainWindow();
}

void Form4::click(Control& control) {
    if (&control == &command1) {
        command1Click();
    }
}

}  // namespace veltrask::core
