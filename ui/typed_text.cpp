// SPDX-License-Identifier: MIT
#include "typed_text.h"

#include <QKeyEvent>

namespace veltrask::ui {

std::u32string typedCharacters(const QKeyEvent& event) {
    const int key = event.key();
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
        return {};
    }
    const Qt::KeyboardModifiers modifiers =
        event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    // Not every platform reports Ctrl+V as "\x16"; a paste shortcut must not slip past the key
    // handler only because the text came empty.
    if (modifiers == Qt::ControlModifier && key >= Qt::Key_A && key <= Qt::Key_Z) {
        return std::u32string(1, static_cast<char32_t>(key - Qt::Key_A + 1));
    }
    std::u32string characters;
    for (const char32_t character : event.text().toUcs4()) {
        if (character == U'\x7f') {
            return {};
        }
        characters.push_back(character);
    }
    return characters;
}

}  // namespace veltrask::ui
