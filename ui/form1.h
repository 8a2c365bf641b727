// SPDX-License-Identifier: MIT
#pragma once

#include "window_view.h"

namespace veltrask::core {
class Form1;
}

namespace veltrask::ui {

// The main window: the schedule's fields, the action list and the link to the website.
class Form1View final : public WindowView {
    Q_OBJECT

public:
    Form1View(core::Form1& form, Presenting& presenting);

protected:
    void itemChosen(core::Control& control, int index) override;
    void controlsBuilt() override;
};

}  // namespace veltrask::ui
