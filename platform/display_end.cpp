// SPDX-License-Identifier: MIT
#include "platform/display_end.h"

#include <QString>
#include <QtGlobal>

#include <atomic>
#include <cstdlib>

namespace veltrask::platform {

namespace {

std::atomic<int> holders{0};
QtMessageHandler passOn = nullptr;

// Qt's last words before it ends the program, the one moment it leaves to the program: Qt 6.4 and
// 6.8 say the same, and the Wayland plugin may say it on its reading thread.
bool displayWent(const QString& message) {
    return message.startsWith(QLatin1String("The X11 connection broke")) ||
           message.startsWith(QLatin1String("The Wayland connection broke"));
}

void takeQtsWord(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && holders.load() > 0 && displayWent(message)) {
        // Not exit(): its clean-up would run against a display that is gone, while Qt's other
        // threads still run.
        std::_Exit(EXIT_SUCCESS);
    }
    passOn(type, context, message);
}

}  // namespace

void takeTheDisplaysEndAsTheSessionsEnd() {
    passOn = qInstallMessageHandler(takeQtsWord);
}

DisplayEndIsTheSessionsEnd::DisplayEndIsTheSessionsEnd() {
    ++holders;
}

DisplayEndIsTheSessionsEnd::~DisplayEndIsTheSessionsEnd() {
    if (!kept_) {
        --holders;
    }
}

}  // namespace veltrask::platform
