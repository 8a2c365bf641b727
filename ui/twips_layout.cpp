// SPDX-License-Identifier: MIT
#include "twips_layout.h"

#include <QLabel>
#include <QRegion>

#include <algorithm>
#include <cmath>

namespace veltrask::ui {

int twipsToPixels(int twips) {
    return static_cast<int>(std::lround(twips / 15.0));
}

namespace {

// One line as a label lays it out.
int lineHeight(const QWidget& widget) {
    return widget.fontMetrics()
        .boundingRect(QRect(), Qt::TextWordWrap, QStringLiteral("字"))
        .height();
}

}  // namespace

void place(QWidget& widget, const Placement& placement, bool isLabel) {
    int height = twipsToPixels(placement.height);
    if (isLabel && twipsToPixels(placement.width) > lineHeight(widget)) {
        // The lead-time captions are drawn 165 twips high, less than one line of a 9-point
        // font: at that height the lower part of every character would be cut off.
        height = std::max(height, lineHeight(widget));
    }
    widget.setGeometry(twipsToPixels(placement.left), twipsToPixels(placement.top),
                       twipsToPixels(placement.width), height);
}

void showWholeLinesOnly(QWidget& label) {
    // A wrapped label lays its lines out one line spacing apart from the top.
    const int spacing = label.fontMetrics().lineSpacing();
    const int wholeLines = std::max(1, label.height() / spacing);
    label.setMask(QRegion(0, 0, label.width(), std::min(label.height(), wholeLines * spacing)));
}

}  // namespace veltrask::ui
