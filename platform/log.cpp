// SPDX-License-Identifier: MIT
#include "platform/log.h"

namespace veltrask::platform {

Q_LOGGING_CATEGORY(lcVeltrask, "veltrask")

}  // namespace veltrask::platform
