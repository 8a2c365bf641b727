// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

class QWidget;

namespace veltrask::ui {

// Where a control sits, in twips relative to the client area, and what a screen reader calls it
// when it shows no caption of its own. The views keep one such table each, in tab order.
struct Placement {
    std::string_view name;
    int left;
    int top;
    int width;
    int height;
    // The label beside the control, whose text names it (and follows it when it changes).
    std::string_view labelledBy = {};
    // A fixed name, for a control without a caption and without a label beside it.
    std::string_view accessibleName = {};
};

// 15 twips to a logical pixel: the layout was drawn for 96 dots per inch.
int twipsToPixels(int twips);

// Puts the widget where the placement says. A wide label is at least one line high, so that no
// caption is cut through its characters.
void place(QWidget& widget, const Placement& placement, bool isLabel);

// Lets a word-wrapped label draw only the lines that fit whole: a line cut through its
// characters reads as garbage, so what does not fit is not shown at all.
void showWholeLinesOnly(QWidget& label);

}  // namespace veltrask::ui
