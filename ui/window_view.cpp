// SPDX-License-Identifier: MIT
#include "window_view.h"

#include <QCloseEvent>
#include <QFocusEvent>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

#include <algorithm>

#include "action_combo_box.h"
#include "core/actions.h"
#include "input_gate.h"
#include "view_accessibility.h"

namespace veltrask::ui {

namespace {

QString toQString(const std::string& text) {
    return QString::fromStdString(text);
}

QPalette::ColorRole textRole(const core::Control& control) {
    return control.kind == core::ControlKind::TextBox ? QPalette::Text : QPalette::WindowText;
}

}  // namespace

WindowView::WindowView(core::Window& window, Presenting& presenting, int clientWidthTwips,
                       int clientHeightTwips, std::span<const Placement> layout)
    : window_(&window), presenting_(presenting), layout_(layout) {
    installViewAccessibility();
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedSize(twipsToPixels(clientWidthTwips), twipsToPixels(clientHeightTwips));
}

void WindowView::buildControls() {
    if (window_ == nullptr || !bindings_.empty()) {
        return;
    }
    bindings_.reserve(layout_.size());
    QWidget* previousFocusable = nullptr;
    for (const Placement& placement : layout_) {
        core::Control* control = window_->find(placement.name);
        Q_ASSERT_X(control != nullptr, "WindowView", "layout names a control the window lacks");
        if (control == nullptr) {
            continue;
        }
        Binding& binding = bindings_.emplace_back(Binding{control, nullptr});
        QWidget* widget = createWidget(binding);
        binding.widget = widget;
        widget->setObjectName(QString::fromUtf8(placement.name.data(),
                                                static_cast<qsizetype>(placement.name.size())));
        place(*widget, placement, control->kind == core::ControlKind::Label);
        widget->installEventFilter(this);
        if (widget->focusPolicy() != Qt::NoFocus) {
            if (previousFocusable != nullptr) {
                setTabOrder(previousFocusable, widget);
            }
            previousFocusable = widget;
        }
    }
    nameForScreenReaders(*this, layout_);
    controlsBuilt();
}

void WindowView::controlsBuilt() {}

WindowView::~WindowView() {
    detach();
}

QWidget* WindowView::createWidget(Binding& binding) {
    core::Control& control = *binding.control;
    switch (control.kind) {
        case core::ControlKind::Label: {
            auto* label = new QLabel(this);
            // User text such as the reminder must never be read as markup.
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setWordWrap(true);
            label->setFocusPolicy(Qt::NoFocus);
            // The captions are placed to the pixel and many fill their box to its last column.
            // Where the font configuration turns on subpixel (LCD) rendering, as Ubuntu's does,
            // a glyph's coloured edge reaches a pixel past it and the label's edge cuts it off;
            // grey antialiasing keeps the text within its own pixels.
            QFont withinItsBox;
            withinItsBox.setStyleStrategy(QFont::NoSubpixelAntialias);
            label->setFont(withinItsBox);
            return label;
        }
        case core::ControlKind::TextBox: {
            auto* edit = new QLineEdit(this);
            binding.gate = new InputGate(*this, control, *edit);
            return edit;
        }
        case core::ControlKind::ComboBox: {
            auto* combo = new ActionComboBox(
                [this, &control](char32_t character) {
                    return window_ != nullptr &&
                           window_->takesTyped(control, std::u32string_view(&character, 1));
                },
                this);
            for (const std::string_view name : core::kActionNames) {
                combo->addItem(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
            }
            connect(combo, &QComboBox::activated, this,
                    [this, &control](int index) { itemChosen(control, index); });
            return combo;
        }
        case core::ControlKind::OptionButton: {
            auto* option = new QRadioButton(this);
            // The core decides which option is selected; Qt's own exclusivity would fight it.
            option->setAutoExclusive(false);
            connect(option, &QRadioButton::clicked, this,
                    [this, &control] { dispatch([&] { window_->click(control); }); });
            return option;
        }
        case core::ControlKind::CommandButton: {
            auto* button = new QPushButton(this);
            // Enter presses the focused button, as Space does, also outside a dialog.
            button->setAutoDefault(true);
            connect(button, &QPushButton::clicked, this,
                    [this, &control] { dispatch([&] { window_->click(control); }); });
            return button;
        }
    }
    return new QWidget(this);
}

void WindowView::click(std::string_view controlName) {
    if (window_ == nullptr) {
        return;
    }
    if (core::Control* control = window_->find(controlName)) {
        dispatch([&] { window_->click(*control); });
    }
}

void WindowView::itemChosen(core::Control& control, int) {
    // A list without a meaning for its items: show the core's choice again.
    (void)control;
    sync();
}

QWidget* WindowView::widgetFor(std::string_view controlName) const {
    const auto it = std::find_if(bindings_.begin(), bindings_.end(), [&](const Binding& b) {
        return window_ != nullptr ? b.control->name == controlName
                                  : b.widget->objectName().toStdString() == controlName;
    });
    return it == bindings_.end() ? nullptr : it->widget;
}

const WindowView::Binding* WindowView::bindingOf(const QObject* widget) const {
    const auto it = std::find_if(bindings_.begin(), bindings_.end(),
                                 [widget](const Binding& b) { return b.widget == widget; });
    return it == bindings_.end() ? nullptr : &*it;
}

void WindowView::detach() {
    if (window_ == nullptr) {
        return;
    }
    window_ = nullptr;
    for (Binding& binding : bindings_) {
        binding.control = nullptr;
        binding.widget->removeEventFilter(this);
        disconnect(binding.widget, nullptr, this, nullptr);
        // Qt still validates on focus changes while the widgets are torn down.
        if (binding.gate != nullptr) {
            qobject_cast<QLineEdit*>(binding.widget)->setValidator(nullptr);
            delete binding.gate;
            binding.gate = nullptr;
        }
    }
}

void WindowView::sync() {
    if (window_ == nullptr) {
        return;
    }
    const PresentingScope presenting(presenting_);
    const QString caption = toQString(window_->caption());
    if (windowTitle() != caption) {
        setWindowTitle(caption);
    }
    for (Binding& binding : bindings_) {
        syncControl(binding);
    }
    if (const core::Control* focus = window_->focus()) {
        QWidget* target = widgetFor(focus->name);
        if (target != nullptr && focusWidget() != target) {
            target->setFocus(Qt::OtherFocusReason);
        }
    }
}

void WindowView::syncControl(Binding& binding) {
    const core::Control& control = *binding.control;
    QWidget* widget = binding.widget;
    const QSignalBlocker blocker(widget);
    const QString text = toQString(control.text);

    if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (label->text() != text) {
            label->setText(text);
        }
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        if (edit->text() != text) {
            edit->setText(text);
        }
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        const int index = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (combo->currentIndex() != index) {
            combo->setCurrentIndex(index);
        }
    } else if (auto* option = qobject_cast<QRadioButton*>(widget)) {
        if (option->isChecked() != control.checked) {
            option->setChecked(control.checked);
        }
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
        if (button->text() != text) {
            button->setText(text);
        }
    }

    if (widget->isEnabled() != control.enabled) {
        widget->setEnabled(control.enabled);
    }
    if (widget->isHidden() == control.visible) {
        widget->setVisible(control.visible);
    }
    if (!binding.colourApplied || binding.colour != control.foreColor) {
        QPalette palette = widget->palette();
        if (control.foreColor == core::kBlack) {
            // Black is the ordinary text colour: leave it to the desktop's palette.
            palette = QPalette();
        } else {
            const QColor colour(control.foreColor.red, control.foreColor.green,
                                control.foreColor.blue);
            palette.setColor(QPalette::Active, textRole(control), colour);
            palette.setColor(QPalette::Inactive, textRole(control), colour);
        }
        widget->setPalette(palette);
        binding.colourApplied = true;
        binding.colour = control.foreColor;
    }
}

bool WindowView::eventFilter(QObject* watched, QEvent* event) {
    const Binding* binding = window_ != nullptr ? bindingOf(watched) : nullptr;
    if (binding == nullptr) {
        return QWidget::eventFilter(watched, event);
    }
    core::Control& control = *binding->control;
    switch (event->type()) {
        case QEvent::KeyPress:
            if (binding->gate != nullptr) {
                return binding->gate->filter(event);
            }
            if (filterArrowKey(control, event)) {
                return true;
            }
            break;
        case QEvent::InputMethod:
            if (binding->gate != nullptr) {
                return binding->gate->filter(event);
            }
            break;
        case QEvent::FocusIn: {
            if (presenting_.active()) {
                break;
            }
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason) {
                // Focus coming back after a popup or a switch of windows is no move of the
                // user's: it belongs where the core has it (a choice from the list may have moved
                // it on meanwhile).
                if (window_->focus() != &control) {
                    sync();
                }
                break;
            }
            dispatch([&] { window_->setFocus(control); });
            break;
        }
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (control.kind == core::ControlKind::Label && mouse->button() == Qt::LeftButton &&
                binding->widget->rect().contains(mouse->position().toPoint())) {
                dispatch([&] { window_->click(control); });
            }
            break;
        }
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

bool WindowView::filterArrowKey(core::Control& control, QEvent* event) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (control.kind != core::ControlKind::OptionButton ||
        (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        return false;
    }
    int step = 0;
    switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Left:
            step = -1;
            break;
        case Qt::Key_Down:
        case Qt::Key_Right:
            step = 1;
            break;
        default:
            return false;
    }
    bool moved = false;
    dispatch([&] { moved = window_->arrowKey(control, step); });
    return moved;
}

void WindowView::closeEvent(QCloseEvent* event) {
    if (window_ == nullptr) {
        event->accept();
        return;
    }
    // The core decides: it closes the window through the presenter, or keeps it.
    event->ignore();
    core::Window* window = window_;
    dispatch([window] { window->windows().close(*window); });
}

}  // namespace veltrask::ui
