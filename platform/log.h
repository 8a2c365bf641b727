// SPDX-License-Identifier: MIT
#pragma once

#include <QLoggingCategory>

namespace veltrask::platform {

// What the program tells on standard error, as "veltrask: …" with Qt's default message pattern;
// QT_LOGGING_RULES="veltrask.warning=false" silences it.
Q_DECLARE_LOGGING_CATEGORY(lcVeltrask)

}  // namespace veltrask::platform
