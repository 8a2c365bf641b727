// SPDX-License-Identifier: MIT
#include "form4.h"

#include <string>

#include "form1.h"
#include "program.h"

namespace veltrask::core {

Form4::Form4(Program& program) : Window(program, WindowKind::Form4, std::string(kReminderCaption)) {
    setControls({&command1, &label1});
}

Form4::~Form4() = default;

void Form4::startUp() {
    Program& program = this->program();
    program.system().beep();
    setText(label1, program.currentTimeText() + " 时间到，请" + program.form1().text8.text);
    focusFirst();
}

void Form4::command1Click() {
    Program& program = this->program();
    program.close(*this);
    program.showForm1();
}

void Form4::click(Control& control) {
    if (&control == &command1) {
        command1Click();
    }
}

}  // namespace veltrask::core
