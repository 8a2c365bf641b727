// SPDX-License-Identifier: MIT
#include "platform/window_system.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include "platform/desktops.h"

namespace veltrask::platform {

WindowSystemSetting WindowSystemSetting::current() {
    return {qEnvironmentVariable("QT_QPA_PLATFORM").toStdString(),
            qEnvironmentVariable("XDG_SESSION_TYPE").toStdString(), currentDesktops(),
            qEnvironmentVariable("DISPLAY").toStdString()};
}

std::optional<std::string> preferredQtPlatform(const WindowSystemSetting& setting) {
    if (!setting.chosen.empty() || setting.sessionType != "wayland" || setting.display.empty() ||
        !(desktopIsOneOf(kGnomeFamily, setting.desktops) ||
          desktopIsOneOf("KDE", setting.desktops))) {
        return std::nullopt;
    }
    return "xcb";
}

void preferDesktopDrawnWindows() {
    if (const std::optional<std::string> platform =
            preferredQtPlatform(WindowSystemSetting::current())) {
        qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(*platform));
    }
}

}  // namespace veltrask::platform
