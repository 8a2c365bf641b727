// SPDX-License-Identifier: MIT
#pragma once

namespace veltrask::platform {

// Lets the program outlive the desktop's session manager. Qt says goodbye to it as the program
// ends, and the session manager may already be gone with the session the program ended: the
// write to its socket must then neither kill the program (SIGPIPE) nor make libICE end it with
// status 1. Call before the application object is made.
void outliveTheXSessionManager();

}  // namespace veltrask::platform
