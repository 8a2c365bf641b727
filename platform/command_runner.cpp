// SPDX-License-Identifier: MIT
#include "platform/command_runner.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <thread>

#include "core/actions.h"

#ifndef _WIN32
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace veltrask::platform {

namespace {

enum class Action { ShutDown, Restart, LogOff };

struct PowerCommand {
    std::string_view commandLine;
    Action action;
    std::string_view words;
};

constexpr std::array kPowerCommands{
    PowerCommand{core::kShutDownCommand, Action::ShutDown, "shut down the computer"},
    PowerCommand{core::kRestartCommand, Action::Restart, "restart the computer"},
    PowerCommand{core::kLogOffCommand, Action::LogOff, "log off"},
};

// logind ends a session by its id; without one it can only end all of the user's sessions.
enum class Needs { Nothing, SessionId, NoSessionId };

// A way is its prefix and tail joined, split at blanks; {session} and {user} are filled in after
// the split, so whatever they hold stays one argument.
struct WayRow {
    Action action;
    std::string_view desktops;  // ':'-separated names; empty: any desktop
    Needs needs;
    std::string_view prefix;
    std::string_view tail;
};

constexpr std::string_view kGnomeLike = "GNOME:Unity:Budgie:Pantheon";
constexpr std::string_view kGnome =
    "dbus-send --session --print-reply --dest=org.gnome.SessionManager /org/gnome/SessionManager "
    "org.gnome.SessionManager.";
// Plasma 5.25 and later.
constexpr std::string_view kPlasma =
    "dbus-send --session --print-reply --dest=org.kde.Shutdown /Shutdown org.kde.Shutdown.";
// Older Plasma: logout(no confirmation, type, force now).
constexpr std::string_view kKsmServer =
    "dbus-send --session --print-reply --dest=org.kde.ksmserver /KSMServer "
    "org.kde.KSMServerInterface.logout int32:0 ";
constexpr std::string_view kXfce = "xfce4-session-logout ";

// The desktop's session manager comes first, so that applications are asked to save and close;
// logind is the way every desktop shares. Within the table, order is the order of trying.
constexpr std::array kWayRows{
    WayRow{Action::ShutDown, kGnomeLike, Needs::Nothing, kGnome, "RequestShutdown"},
    WayRow{Action::Restart, kGnomeLike, Needs::Nothing, kGnome, "RequestReboot"},
    WayRow{Action::LogOff, kGnomeLike, Needs::Nothing, kGnome, "Logout uint32:1"},
    WayRow{Action::ShutDown, "KDE", Needs::Nothing, kPlasma, "logoutAndShutdown"},
    WayRow{Action::Restart, "KDE", Needs::Nothing, kPlasma, "logoutAndReboot"},
    WayRow{Action::LogOff, "KDE", Needs::Nothing, kPlasma, "logout"},
    WayRow{Action::ShutDown, "KDE", Needs::Nothing, kKsmServer, "int32:2 int32:2"},
    WayRow{Action::Restart, "KDE", Needs::Nothing, kKsmServer, "int32:1 int32:2"},
    WayRow{Action::LogOff, "KDE", Needs::Nothing, kKsmServer, "int32:0 int32:2"},
    WayRow{Action::ShutDown, "XFCE", Needs::Nothing, kXfce, "--halt"},
    WayRow{Action::Restart, "XFCE", Needs::Nothing, kXfce, "--reboot"},
    WayRow{Action::LogOff, "XFCE", Needs::Nothing, kXfce, "--logout"},
    WayRow{Action::ShutDown, "", Needs::Nothing, "systemctl ", "poweroff"},
    WayRow{Action::Restart, "", Needs::Nothing, "systemctl ", "reboot"},
    WayRow{Action::LogOff, "", Needs::SessionId, "loginctl ", "terminate-session {session}"},
    WayRow{Action::LogOff, "", Needs::NoSessionId, "loginctl ", "terminate-user {user}"},
};

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    while (!text.empty()) {
        const auto end = std::min(text.find(separator), text.size());
        if (end > 0) {
            parts.push_back(text.substr(0, end));
        }
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return parts;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return std::ranges::equal(a, b, {}, lower, lower);
}

bool runsOn(std::string_view rowDesktops, std::string_view sessionDesktops) {
    if (rowDesktops.empty()) {
        return true;
    }
    const auto names = split(rowDesktops, ':');
    return std::ranges::any_of(split(sessionDesktops, ':'), [&](std::string_view desktop) {
        return std::ranges::any_of(
            names, [&](std::string_view name) { return equalsIgnoringCase(name, desktop); });
    });
}

bool fits(Needs needs, const Session& session) {
    switch (needs) {
        case Needs::Nothing:
            return true;
        case Needs::SessionId:
            return !session.sessionId.empty();
        case Needs::NoSessionId:
            return session.sessionId.empty();
    }
    return false;
}

Way wayFor(const WayRow& row, const Session& session) {
    const std::string words = std::string(row.prefix) + std::string(row.tail);
    const auto parts = split(words, ' ');
    Way way{std::string(parts.front()), {}};
    for (auto part = parts.begin() + 1; part != parts.end(); ++part) {
        if (*part == "{session}") {
            way.arguments.push_back(session.sessionId);
        } else if (*part == "{user}") {
            way.arguments.push_back(session.userName);
        } else {
            way.arguments.emplace_back(*part);
        }
    }
    return way;
}

#ifndef _WIN32
std::string describe(const Way& way) {
    std::string text = way.program;
    for (const auto& argument : way.arguments) {
        text += ' ';
        text += argument;
    }
    return text;
}

bool startDetached(const Way& way) {
    QProcess process;
    process.setProgram(QString::fromStdString(way.program));
    QStringList arguments;
    for (const auto& argument : way.arguments) {
        arguments.append(QString::fromStdString(argument));
    }
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

// The started program reads nothing, and its chatter is not ours to show: the one line we write
// says what failed. Its own session keeps it alive whatever happens to us and our terminal.
bool spawn(const Way& way, pid_t& pid) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(way.program.c_str()));
    for (const auto& argument : way.arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // A program left running must not hold on to whatever we have open.
    posix_spawn_file_actions_addclosefrom_np(&files, 3);
#endif

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signalSet;
    sigemptyset(&signalSet);
    posix_spawnattr_setsigmask(&attributes, &signalSet);
    sigfillset(&signalSet);
    posix_spawnattr_setsigdefault(&attributes, &signalSet);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);

    const int error =
        posix_spawnp(&pid, way.program.c_str(), &files, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&files);
    return error == 0;
}

bool startAndWait(const Way& way, std::chrono::milliseconds patience) {
    pid_t pid = 0;
    if (!spawn(way, pid)) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        if (done < 0 && errno != EINTR) {
            return false;  // its status is lost to us: better to try the next way
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            // A session manager may wait for applications to close; it is at work.
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string environmentVariable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

#endif

}  // namespace

#ifndef _WIN32
Session Session::current() {
    Session session{
        environmentVariable("XDG_CURRENT_DESKTOP"), environmentVariable("XDG_SESSION_ID"), {}};
    const passwd* entry = getpwuid(getuid());
    session.userName = entry && entry->pw_name ? entry->pw_name : std::to_string(getuid());
    return session;
}
#endif

std::optional<Plan> planCommand(std::string_view commandLine, const Session& session) {
    if (commandLine.starts_with(core::kOpenAddressCommand) &&
        commandLine.size() > core::kOpenAddressCommand.size()) {
        const std::string address(commandLine.substr(core::kOpenAddressCommand.size()));
        return Plan{"open " + address, true, {Way{"xdg-open", {address}}}};
    }
    const auto command = std::ranges::find(kPowerCommands, commandLine, &PowerCommand::commandLine);
    if (command == kPowerCommands.end()) {
        return std::nullopt;
    }
    Plan plan{std::string(command->words), false, {}};
    for (const auto& row : kWayRows) {
        if (row.action == command->action && runsOn(row.desktops, session.desktops) &&
            fits(row.needs, session)) {
            plan.ways.push_back(wayFor(row, session));
        }
    }
    return plan;
}

#ifndef _WIN32
bool carryOut(const Plan& plan, std::chrono::milliseconds patience) {
    std::string tried;
    for (const auto& way : plan.ways) {
        if (plan.detached ? startDetached(way) : startAndWait(way, patience)) {
            return true;
        }
        tried += (tried.empty() ? "" : "; ") + describe(way);
    }
    std::cerr << "veltrask: could not " << plan.action << " (tried: " << tried << ")\n";
    return false;
}
#endif

bool runCommandLine(std::string_view commandLine) {
#ifdef _WIN32
    // Windows has the programs the command lines name.
    const QStringList words = QProcess::splitCommand(
        QString::fromUtf8(commandLine.data(), static_cast<qsizetype>(commandLine.size())));
    return !words.isEmpty() && QProcess::startDetached(words.first(), words.mid(1));
#else
    const auto plan = planCommand(commandLine, Session::current());
    return plan && carryOut(*plan);
#endif
}

}  // namespace veltrask::platform
