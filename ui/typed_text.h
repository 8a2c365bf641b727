// SPDX-License-Identifier: MIT
#pragma once

#include <string>

class QKeyEvent;

namespace veltrask::ui {

// The characters a key press types, as the forms' key handlers see them: Backspace, Enter and
// Ctrl+letter arrive as their control codes. Empty for keys that type nothing (arrows, Tab) and
// for Delete, which edits rather than types.
std::u32string typedCharacters(const QKeyEvent& event);

}  // namespace veltrask::ui
