// SPDX-License-Identifier: MIT
#pragma once

#include <QFont>
#include <QString>

namespace veltrask::ui {

// The font of every window of the program. The windows are laid out in twips for a 9-point font;
// a desktop theme's larger default would not fit them. The first face that exists draws the
// Chinese captions.
inline QFont programFont() {
    QFont font(QStringLiteral("Noto Sans CJK SC"), 9);
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Microsoft YaHei"), QStringLiteral("SimSun"),
                      QStringLiteral("sans-serif")});
    return font;
}

}  // namespace veltrask::ui
