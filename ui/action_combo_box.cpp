// SPDX-License-Identifier: MIT
#include "action_combo_box.h"

#include <QKeyEvent>
#include <QWheelEvent>

#include "typed_text.h"

namespace veltrask::ui {

ActionComboBox::ActionComboBox(std::function<bool(char32_t)> acceptsCharacter, QWidget* parent)
    : QComboBox(parent), acceptsCharacter_(std::move(acceptsCharacter)) {
    setEditable(false);
    // The wheel must not even take the focus.
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
}

void ActionComboBox::keyPressEvent(QKeyEvent* event) {
    // QComboBox would otherwise pick an item by its first letter or open the list on Space.
    for (const char32_t character : typedCharacters(*event)) {
        if (!acceptsCharacter_ || !acceptsCharacter_(character)) {
            event->accept();
            return;
        }
    }
    QComboBox::keyPressEvent(event);
}

void ActionComboBox::wheelEvent(QWheelEvent* event) {
    event->ignore();
}

}  // namespace veltrask::ui
