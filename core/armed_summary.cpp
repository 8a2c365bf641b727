// SPDX-License-Identifier: MIT
#include "armed_summary.h"

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

}  // namespace veltrask::core
