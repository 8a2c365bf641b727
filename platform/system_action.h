// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace veltrask::platform {

enum class SystemAction { ShutDown, Restart, LogOff };

// What the choice of the ways of carrying an action out depends on.
struct Session {
    std::string desktops;  // XDG_CURRENT_DESKTOP: names separated by ':'

    static Session current();
};

}  // namespace veltrask::platform
