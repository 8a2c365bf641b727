// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>

namespace veltrask::platform {

// What the choice of Qt's window system depends on, from the environment.
struct WindowSystemSetting {
    std::string chosen;       // QT_QPA_PLATFORM: the user's own choice wins
    std::string sessionType;  // XDG_SESSION_TYPE
    std::string desktops;     // XDG_CURRENT_DESKTOP
    std::string display;      // DISPLAY: an X server, XWayland on a Wayland session

    static WindowSystemSetting current();
};

// The Qt platform to use instead of Qt's own choice, or nothing. On a Wayland session of the GNOME
// family the desktop draws no title bar for Wayland windows, Qt's own bar cuts the caption short,
// and a window cannot centre itself; through XWayland the desktop draws and places the windows as
// on X11. On Plasma's, Qt's Wayland plugin takes no part in the X session management by which
// Plasma asks applications to save and end; through XWayland it does, as every X11 application.
std::optional<std::string> preferredQtPlatform(const WindowSystemSetting& setting);

// Applies the preference for this process. Call before the application object exists.
void preferDesktopDrawnWindows();

}  // namespace veltrask::platform
