// SPDX-License-Identifier: MIT
#include "appearance.h"

#include <QApplication>
#include <QFont>

// The resources live in a static library, so the linker keeps them only if something names them.
// Outside any namespace: the macro declares the generated function where it is used.
static void initResources() {
    Q_INIT_RESOURCE(veltrask);
}

namespace veltrask::ui {

QIcon applicationIcon() {
    static const bool initialised = [] {
        initResources();
        return true;
    }();
    (void)initialised;
    return QIcon(QStringLiteral(":/veltrask/veltrask.svg"));
}

void applyAppearance() {
    QFont font(QStringLiteral("Noto Sans CJK SC"), 9);
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Microsoft YaHei"), QStringLiteral("SimSun"),
                      QStringLiteral("sans-serif")});
    QApplication::setFont(font);
    QApplication::setWindowIcon(applicationIcon());
}

}  // namespace veltrask::ui
