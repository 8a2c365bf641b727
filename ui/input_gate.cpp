// SPDX-License-Identifier: MIT
#include "input_gate.h"

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>
#include <optional>

#include "typed_text.h"
#include "window_view.h"

namespace veltrask::ui {

namespace {

// Qt's own limit of a line edit. The boxes carry no widget limit, so that the core sees a paste
// whole; what it takes is still cut to this.
constexpr qsizetype kLongestText = 32767;

}  // namespace

InputGate::InputGate(WindowView& view, core::Control& control, QLineEdit& edit)
    : QValidator(&edit), view_(view), control_(control), edit_(edit) {
    edit.setValidator(this);
    QObject::connect(&edit, &QLineEdit::textEdited, this, [this](const QString& text) {
        view_.dispatch([&] { view_.window()->setText(control_, text.toStdString()); });
    });
}

bool InputGate::filter(QEvent* event) {
    if (event->type() == QEvent::InputMethod) {
        return filterInputMethod(event);
    }
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    const std::u32string characters = typedCharacters(*static_cast<QKeyEvent*>(event));
    // Eaten here, before QLineEdit's own shortcut handling could paste or copy anyway.
    return !characters.empty() && !takesTyped(characters);
}

bool InputGate::takesTyped(const std::u32string& characters) {
    core::Window* window = view_.window();
    return window != nullptr && window->takesTyped(control_, characters);
}

bool InputGate::filterInputMethod(QEvent* event) {
    const auto* input = static_cast<QInputMethodEvent*>(event);
    std::u32string characters;
    for (const char32_t character : input->commitString().toUcs4()) {
        characters.push_back(character);
    }
    if (characters.empty() || takesTyped(characters)) {
        return false;
    }
    // Refused: still end the composition, so that no preedit text lingers in the box. The event
    // carries no commit string, so it passes this filter.
    QInputMethodEvent cleared;
    QCoreApplication::sendEvent(&edit_, &cleared);
    return true;
}

QValidator::State InputGate::validate(QString& input, int& position) const {
    const core::Window* window = view_.window();
    if (window == nullptr) {
        return Invalid;
    }
    const std::optional<std::string> taken = window->textTaken(control_, input.toStdString());
    if (!taken) {
        return Invalid;
    }
    QString text = QString::fromStdString(*taken);
    if (text.size() > kLongestText) {
        // Never between the two halves of a character outside the Basic Multilingual Plane.
        text.truncate(text.at(kLongestText).isLowSurrogate() ? kLongestText - 1 : kLongestText);
    }
    if (text != input) {
        input = text;
        position = std::min(position, static_cast<int>(input.size()));
    }
    return Acceptable;
}

}  // namespace veltrask::ui
