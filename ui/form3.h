// SPDX-License-Identifier: MIT
#pragma once

#include "window_view.h"

namespace veltrask::core {
class Form3;
}

namespace veltrask::ui {

// The confirmation window: the seconds left, the action, and the buttons to carry it out now or
// cancel.
class Form3View final : public WindowView {
    Q_OBJECT

public:
    Form3View(core::Form3& form, Presenting& presenting);
};

}  // namespace veltrask::ui
