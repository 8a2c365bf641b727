// SPDX-License-Identifier: MIT
#pragma once

#include <QLoggingCategory>

namespace veltrask::platform {

// What the program tells on standard error, one category for each thing it asks of the desktop,
// as "veltrask.actions: …" with Qt's default message pattern. Warnings are on; the debug lines,
// each way tried and why it failed, only when asked for: QT_LOGGING_RULES="veltrask.*.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcActions)   // shutting down, restarting, logging off, the address
Q_DECLARE_LOGGING_CATEGORY(lcInhibit)   // keeping the computer awake
Q_DECLARE_LOGGING_CATEGORY(lcInstance)  // one instance in a session

}  // namespace veltrask::platform
