// SPDX-License-Identifier: MIT
#include "platform/command_runner.h"

#include <QDesktopServices>
#include <QEventLoop>
#include <QString>
#include <QUrl>

#include <algorithm>
#include <array>
#include <iostream>

#include "core/actions.h"

#ifdef _WIN32
#include <QProcess>
#include <QStringList>
#endif

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
        std::cerr << "veltrask: could not open " << address << '\n';
    }
    return opened;
}

bool runCommandLine(std::string_view commandLine) {
#ifdef _WIN32
    // Windows has the programs the command lines name.
    const QStringList words = QProcess::splitCommand(
        QString::fromUtf8(commandLine.data(), static_cast<qsizetype>(commandLine.size())));
    return !words.isEmpty() && QProcess::startDetached(words.first(), words.mid(1));
#else
    const auto command = parseCommandLine(commandLine);
    if (!command) {
        return false;
    }
    if (const auto* open = std::get_if<OpenAddress>(&*command)) {
        return openAddress(open->address);
    }
    QEventLoop waiting;
    Outcome outcome;
    carryOutAction(std::get<SystemAction>(*command), Session::current(), [&](Outcome result) {
        outcome = std::move(result);
        waiting.quit();
    });
    waiting.exec();
    if (!outcome.carriedOut) {
        std::cerr << "veltrask: " << outcome.report << '\n';
    }
    return outcome.carriedOut;
#endif
}

}  // namespace veltrask::platform
