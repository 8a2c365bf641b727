// SPDX-License-Identifier: MIT
#include "armed_summary.h"

#include "actions.h"
#include "form1.h"

namespace veltrask::core {

std::optional<std::string> armedSummary(const Form1* main, bool confirming) {
    const Form1* form = main;
    if (form == nullptr || form->isVisible() || confirming) {
        return std::nullopt;
    }
    std::string summary;
    if (form->targetComplete()) {
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

bool systemActionArmed(const Form1* main, bool confirming) {
    if (confirming) {
        return true;
    }
    const Form1* form = main;
    return form != nullptr && commandFor(form->combo1.text).has_value() &&
           (form->countdownRunning() || form->targetComplete());
}

}  // namespace veltrask::core
