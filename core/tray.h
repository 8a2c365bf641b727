// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>

namespace veltrask::core {

class Program;

// What a hidden main window has armed, for the tray icon's tooltip: the action with its target
// time, and the seconds a countdown has left. Nothing when the main window is shown, when a
// confirmation window is counting (the hidden main window is then a fresh one), or when nothing
// is armed: the tray icon is shown exactly when this has a value.
std::optional<std::string> armedSummary(const Program& program);

}  // namespace veltrask::core
