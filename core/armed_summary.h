// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>

namespace veltrask::core {

class Program;

// What a hidden main window has armed, in words: the action with its target time, and the seconds
// a countdown has left. Nothing when the main window is shown, when a confirmation window is
// counting (the hidden main window is then a fresh one), or when nothing is armed. A tray icon
// stands in for the hidden window exactly while this has a value.
std::optional<std::string> armedSummary(const Program& program);

}  // namespace veltrask::core
