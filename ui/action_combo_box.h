// SPDX-License-Identifier: MIT
#pragma once

#include <QComboBox>

#include <functional>

namespace veltrask::ui {

// A drop-down list whose item can only be chosen: with the mouse or the arrow keys. Typed
// characters go to a key handler that may refuse them (the main window refuses all), and the
// mouse wheel over the closed box changes nothing.
class ActionComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit ActionComboBox(std::function<bool(char32_t)> acceptsCharacter,
                            QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    std::function<bool(char32_t)> acceptsCharacter_;
};

}  // namespace veltrask::ui
