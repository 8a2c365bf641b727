// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>

namespace veltrask::core {

class Form1;

// What a hidden main window has armed, in words: the action with its target time, and the seconds
// a countdown has left. Nothing when the main window is shown or closed, when a confirmation
// window is counting (the hidden main window is then a fresh one), or when nothing is armed. A
// tray icon stands in for the hidden window exactly while this has a value.
std::optional<std::string> armedSummary(const Form1* main, bool confirming);

// Whether a shutdown, restart or log-off is on its way: armed in the main window, by a complete
// clock-time target or a running countdown, or counting down in the confirmation window.
bool systemActionArmed(const Form1* main, bool confirming);

}  // namespace veltrask::core
