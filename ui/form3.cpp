// SPDX-License-Identifier: MIT
#include "form3.h"

#include <array>

#include "core/form3.h"

namespace veltrask::ui {

namespace {

constexpr int kClientWidth = 2895;
constexpr int kClientHeight = 1320;

// In tab order.
constexpr std::array<Placement, 4> kLayout{{
    {"Label1", 600, 360, 495, 255},
    {"Label2", 1320, 360, 1455, 255},
    {"Command1", 240, 840, 1335, 375},
    {"Command2", 1680, 840, 975, 375},
}};

}  // namespace

Form3View::Form3View(core::Form3& form, Presenting& presenting)
    : WindowView(form, presenting, kClientWidth, kClientHeight, kLayout) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
}

}  // namespace veltrask::ui
