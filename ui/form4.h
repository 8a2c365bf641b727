// SPDX-License-Identifier: MIT
#pragma once

#include "window_view.h"

namespace veltrask::core {
class Form4;
}

namespace veltrask::ui {

// The reminder: the time and the user's text, and the button that acknowledges it.
class Form4View final : public WindowView {
    Q_OBJECT

public:
    Form4View(core::Form4& form, Presenting& presenting);

protected:
    void controlsBuilt() override;
};

}  // namespace veltrask::ui
