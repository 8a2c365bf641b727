// SPDX-License-Identifier: MIT
#pragma once

namespace veltrask::platform {

// Qt ends a program whose X11 or Wayland connection breaks, with a warning and status 1 (xcb) or
// 255 (Wayland). Plasma 6 ends KWin, and XWayland with it, before it asks logind, so a program
// that asked for the end of the session loses its display as the session ends. From this call on,
// while a DisplayEndIsTheSessionsEnd lives, the program then ends silently with status 0, as it
// would once the session had gone; at any other time Qt's warning and status stand. Call before
// the application object is made, while no other thread can write a message.
void takeTheDisplaysEndAsTheSessionsEnd();

// Held while a session manager has the action in hand.
class DisplayEndIsTheSessionsEnd final {
public:
    DisplayEndIsTheSessionsEnd();
    ~DisplayEndIsTheSessionsEnd();
    DisplayEndIsTheSessionsEnd(const DisplayEndIsTheSessionsEnd&) = delete;
    DisplayEndIsTheSessionsEnd& operator=(const DisplayEndIsTheSessionsEnd&) = delete;

    // The session is ending: so it stays while the program ends, whatever ends first.
    void keep() { kept_ = true; }

private:
    bool kept_ = false;
};

}  // namespace veltrask::platform
