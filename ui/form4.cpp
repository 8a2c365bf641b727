// SPDX-License-Identifier: MIT
#include "form4.h"

#include <QLabel>

#include <array>

#include "core/form4.h"

namespace veltrask::ui {

namespace {

constexpr int kClientWidth = 3825;
constexpr int kClientHeight = 1140;

// In tab order.
constexpr std::array<Placement, 2> kLayout{{
    {"Command1", 2640, 720, 1095, 375},
    {"Label1", 240, 120, 3495, 495},
}};

}  // namespace

Form4View::Form4View(core::Form4& form, Presenting& presenting)
    : WindowView(form, presenting, kClientWidth, kClientHeight, kLayout) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
}

void Form4View::controlsBuilt() {
    if (auto* message = qobject_cast<QLabel*>(widgetFor("Label1"))) {
        // A long message wraps inside the fixed box (labels wrap); the rest is cut off, never
        // grows the window.
        message->setFixedSize(message->size());
        showWholeLinesOnly(*message);
    }
}

}  // namespace veltrask::ui
