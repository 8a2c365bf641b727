// SPDX-License-Identifier: MIT
#include "platform/log.h"

namespace veltrask::platform {

Q_LOGGING_CATEGORY(lcActions, "veltrask.actions", QtInfoMsg)
Q_LOGGING_CATEGORY(lcInhibit, "veltrask.inhibit", QtInfoMsg)
Q_LOGGING_CATEGORY(lcInstance, "veltrask.instance", QtInfoMsg)

}  // namespace veltrask::platform
