// SPDX-License-Identifier: MIT
#include "platform/command_runner.h"
#include "platform/log.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

#include <algorithm>
#include <array>

#include "core/actions.h"

namespace veltrask::platform {

namespace {

struct PowerCommand {
    std::string_view commandLine;
    SystemAction action;
};

constexpr std::array kPowerCommands{
    PowerCommand{core::kShutDownCommand, SystemAction::ShutDown},
    PowerCommand{core::kRestartCommand, SystemAction::Restart},
    PowerCommand{core::kLogOffCommand, SystemAction::LogOff},
};

}  // namespace

std::optional<Command> parseCommandLine(std::string_view commandLine) {
    if (commandLine.starts_with(core::kOpenAddressCommand) &&
        commandLine.size() > core::kOpenAddressCommand.size()) {
        return OpenAddress{std::string(commandLine.substr(core::kOpenAddressCommand.size()))};
    }
    const auto command = std::ranges::find(kPowerCommands, commandLine, &PowerCommand::commandLine);
    if (command == kPowerCommands.end()) {
        return std::nullopt;
    }
    return command->action;
}

bool openAddress(const std::string& address) {
    // Inside a sandbox this goes through the desktop portal; elsewhere to the desktop's handler.
    const bool opened = QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
    if (!opened) {
        qCWarning(lcActions, "could not open %s", address.c_str());
    }
    return opened;
}

}  // namespace veltrask::platform
