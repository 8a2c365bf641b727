// SPDX-License-Identifier: MIT
#pragma once

#include <QValidator>

#include <string>

class QEvent;
class QLineEdit;

namespace veltrask::core {
struct Control;
}

namespace veltrask::ui {

class WindowView;

// The one way into a text box. Every key, paste, drop and input-method commit is put to the core
// (core::Window::takesTyped, then textTaken on what the edit would leave), and only the edited
// text goes back into the core as one event, so one keystroke is one event. Text the core sets is
// not validated: what the core decides always shows.
class InputGate final : public QValidator {
public:
    InputGate(WindowView& view, core::Control& control, QLineEdit& edit);

    // A key press or input-method event on the box, before the box sees it. True: eaten.
    bool filter(QEvent* event);

    State validate(QString& input, int& position) const override;

private:
    bool takesTyped(const std::u32string& characters);
    bool filterInputMethod(QEvent* event);

    WindowView& view_;
    core::Control& control_;
    QLineEdit& edit_;
};

}  // namespace veltrask::ui
