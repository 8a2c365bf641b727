// SPDX-License-Identifier: MIT
#include "platform/x_session_link.h"

#include <X11/ICE/ICElib.h>

#include <csignal>

namespace veltrask::platform {

namespace {

// libICE marks the connection broken once this returns, and writes nothing more to it.
void ignoreLostConnection(IceConn /*connection*/) {}

}  // namespace

void outliveTheXSessionManager() {
    // A write to a closed socket fails with EPIPE instead; the program writes to no pipe whose
    // reader it must follow.
    std::signal(SIGPIPE, SIG_IGN);
    IceSetIOErrorHandler(ignoreLostConnection);
}

}  // namespace veltrask::platform
