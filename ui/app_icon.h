// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>

namespace veltrask::ui {

// The one icon all windows of the program carry.
QIcon applicationIcon();

}  // namespace veltrask::ui
