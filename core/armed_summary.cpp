// SPDX-License-Identifier: MIT
#include "armed_summary.h"

#include "actions.h"
#include "form1.h"
#include "program.h"

namespace veltrask::core {

std::optional<std::string> armedSummary(const Program& program) {
    const Form1* form = program.existingForm1();
    if (form == nullptr || form->isVisible() || program.existingForm3() != nullptr) {
        return std::nullopt;
    }
    std::string summary;
    if (!form->text1.text.empty() && !form->text2.text.empty() && !form->text3.text.empty()) {
        summary = form->combo1.text + " " + form->text1.text + ":" + form->text2.text + ":" +
                  form->text3.text;
    }
    if (!form->label13.text.empty()) {
        if (!summary.empty()) {
            summary += "\n";
        }
        summary += form->combo1.text + " 倒计时剩余 " + form->label13.text + " 秒";
    }
    if (summary.empty()) {
        return std::nullopt;
    }
    return summary;
}

namespace {

bool targetComplete(const Form1& form) {
    return !form.text1.text.empty() && !form.text2.text.empty() && !form.text3.text.empty();
}

bool countdownRunning(const Form1& form) {
    return form.timer2.enabled() && !form.label13.text.empty();
}

}  // namespace

bool systemActionArmed(const Program& program) {
    if (program.existingForm3() != nullptr) {
        return true;
    }
    const Form1* form = program.existingForm1();
    return form != nullptr && commandFor(form->combo1.text).has_value() &&
           (countdownRunning(*form) || targetComplete(*form));
}

std::string awakeReason(const Form1& form) {
    if (countdownRunning(form)) {
        return "倒计时 " + form.label13.text + " 秒后" + form.combo1.text;
    }
    return "将在 " + form.text1.text + ":" + form.text2.text + ":" + form.text3.text + " " +
           form.combo1.text;
}

}  // namespace veltrask::core
