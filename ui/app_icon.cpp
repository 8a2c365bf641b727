// SPDX-License-Identifier: MIT
#include "app_icon.h"

// The resources live in a static library, so the linker keeps them only if something names them.
// Outside any namespace: the macro declares the generated function where it is used.
static void initResources() { Q_INIT_RESOURCE(veltrask); }

namespace veltrask::ui {

QIcon applicationIcon() {
    static const bool initialised = [] {
        initResources();
        return true;
    }();
    (void)initialised;
    return QIcon(QStringLiteral(":/veltrask/veltrask.svg"));
}

}  // namespace veltrask::ui
