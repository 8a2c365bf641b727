// SPDX-License-Identifier: MIT
#include "window_view.h"

#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QValidator>

#include <algorithm>
#include <cmath>

#include "action_combo_box.h"
#include "core/actions.h"
#include "core/numbers.h"
#include "typed_text.h"

namespace veltrask::ui {

int WindowView::presentingDepth_ = 0;

int twipsToPixels(int twips) {
    return static_cast<int>(std::lround(twips / 15.0));
}

namespace {

constexpr int kNoLimit = 0;
// Qt's own limit of a line edit. A view that lifts the widget's limit, so that the validator sees
// a paste whole, still gets no more than this.
constexpr qsizetype kLongestText = 32767;

QString toQString(const std::string& text) {
    return QString::fromStdString(text);
}

qsizetype characterCount(const QString& text) {
    return text.toUcs4().size();
}

// Every edit that does not come from a typed character (a paste, a drop, the middle button, an
// input method) is checked here, as a whole, before it changes the field. setText from the core
// is not validated, so what the core decides always shows.
class CoreInputValidator final : public QValidator {
public:
    CoreInputValidator(const WindowView& view, const core::Control& control, QLineEdit& edit)
        : QValidator(&edit), view_(view), control_(control) {}

    State validate(QString& input, int&) const override {
        const core::Window* window = view_.window();
        if (window == nullptr) {
            return Invalid;
        }
        if (!window->acceptsInput(control_, input.toStdString())) {
            return Invalid;
        }
        // The field keeps longer text the core put in (or a first paste let through before the
        // limit was set), but an edit may not make it longer still. The core's text is the one
        // before this edit: the widget already holds the proposed one while it is validated.
        if (control_.maxLength != kNoLimit) {
            const qsizetype allowed = std::max<qsizetype>(
                control_.maxLength, static_cast<qsizetype>(core::characterCount(control_.text)));
            if (characterCount(input) > allowed) {
                return Invalid;
            }
        }
        if (input.size() > kLongestText) {
            // Never between the two halves of a character outside the Basic Multilingual Plane.
            input.truncate(input.at(kLongestText).isLowSurrogate() ? kLongestText - 1
                                                                   : kLongestText);
        }
        return Acceptable;
    }

private:
    const WindowView& view_;
    const core::Control& control_;
};

// The option buttons as a screen reader should see them. Qt calls a checkable button that is not
// auto-exclusive a check box; these are exclusive all the same, only the core keeps them so.
class OptionButtonAccessible final : public QAccessibleWidget {
public:
    explicit OptionButtonAccessible(QRadioButton* button)
        : QAccessibleWidget(button, QAccessible::RadioButton) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = button()->isChecked();
        return state;
    }

    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& actionName) override {
        if (actionName == pressAction()) {
            button()->click();  // what a click with the mouse does, through the core
        } else {
            QAccessibleWidget::doAction(actionName);
        }
    }

private:
    QRadioButton* button() const { return static_cast<QRadioButton*>(widget()); }
};

QAccessibleInterface* viewAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("QRadioButton") &&
        qobject_cast<WindowView*>(static_cast<QWidget*>(object)->parentWidget()) != nullptr) {
        return new OptionButtonAccessible(static_cast<QRadioButton*>(object));
    }
    if (className == QLatin1String("veltrask::ui::WindowView")) {
        // A plain widget would be announced as a mere client area, not as a window.
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    }
    return nullptr;
}

void installViewAccessibleFactory() {
    static const bool installed = [] {
        QAccessible::installFactory(&viewAccessibleFactory);
        return true;
    }();
    (void)installed;
}

QPalette::ColorRole textRole(const core::Control& control) {
    return control.kind == core::ControlKind::TextBox ? QPalette::Text : QPalette::WindowText;
}

}  // namespace

WindowView::WindowView(core::Window& window, int clientWidthTwips, int clientHeightTwips,
                       std::span<const Placement> layout)
    : window_(&window) {
    installViewAccessibleFactory();
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedSize(twipsToPixels(clientWidthTwips), twipsToPixels(clientHeightTwips));

    QWidget* previousFocusable = nullptr;
    for (const Placement& place : layout) {
        core::Control* control = window.find(place.name);
        Q_ASSERT_X(control != nullptr, "WindowView", "layout names a control the window lacks");
        if (control == nullptr) {
            continue;
        }
        QWidget* widget = createWidget(*control);
        widget->setObjectName(
            QString::fromUtf8(place.name.data(), static_cast<qsizetype>(place.name.size())));
        int height = twipsToPixels(place.height);
        // One line as a label lays it out.
        const int lineHeight = widget->fontMetrics()
                                   .boundingRect(QRect(), Qt::TextWordWrap, QStringLiteral("字"))
                                   .height();
        if (control->kind == core::ControlKind::Label && twipsToPixels(place.width) > lineHeight) {
            // The lead-time captions are drawn 165 twips high, less than one line of a 9-point
            // font: at that height the lower part of every character would be cut off.
            height = std::max(height, lineHeight);
        }
        widget->setGeometry(twipsToPixels(place.left), twipsToPixels(place.top),
                            twipsToPixels(place.width), height);
        widget->installEventFilter(this);
        if (widget->focusPolicy() != Qt::NoFocus) {
            if (previousFocusable != nullptr) {
                setTabOrder(previousFocusable, widget);
            }
            previousFocusable = widget;
        }
        bindings_.push_back(Binding{control, widget});
    }
    nameForScreenReaders(layout);
}

void WindowView::nameForScreenReaders(std::span<const Placement> layout) {
    for (const Placement& place : layout) {
        QWidget* widget = widgetFor(place.name);
        if (widget == nullptr) {
            continue;
        }
        if (!place.accessibleName.empty()) {
            widget->setAccessibleName(QString::fromUtf8(
                place.accessibleName.data(), static_cast<qsizetype>(place.accessibleName.size())));
        }
        if (!place.labelledBy.empty()) {
            auto* label = qobject_cast<QLabel*>(widgetFor(place.labelledBy));
            Q_ASSERT_X(label != nullptr, "WindowView", "a control is labelled by a non-label");
            if (label != nullptr) {
                // Qt's accessibility takes a field's name from the label whose buddy it is.
                label->setBuddy(widget);
            }
        }
    }
}

WindowView::~WindowView() {
    detach();
}

QWidget* WindowView::createWidget(core::Control& control) {
    switch (control.kind) {
        case core::ControlKind::Label: {
            auto* label = new QLabel(this);
            // User text such as the reminder must never be read as markup.
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setWordWrap(true);
            label->setFocusPolicy(Qt::NoFocus);
            return label;
        }
        case core::ControlKind::TextBox: {
            auto* edit = new QLineEdit(this);
            bindLineEdit(control, edit);
            return edit;
        }
        case core::ControlKind::ComboBox: {
            auto* combo = new ActionComboBox(
                [this, &control](char32_t character) {
                    bool accepted = false;
                    dispatch([&] { accepted = window_->keyPress(control, character); });
                    return accepted;
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

void WindowView::bindLineEdit(core::Control& control, QLineEdit* edit) {
    edit->setValidator(new CoreInputValidator(*this, control, *edit));
    connect(edit, &QLineEdit::textEdited, this, [this, &control](const QString& text) {
        dispatch([&] { window_->setText(control, text.toStdString()); });
    });
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
        if (auto* edit = qobject_cast<QLineEdit*>(binding.widget)) {
            const QValidator* validator = edit->validator();
            edit->setValidator(nullptr);
            delete validator;
        }
    }
}

void WindowView::sync() {
    if (window_ == nullptr) {
        return;
    }
    const PresentingScope presenting;
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
            if (control.kind == core::ControlKind::TextBox) {
                return filterKey(control, event);
            }
            break;
        case QEvent::InputMethod:
            if (control.kind == core::ControlKind::TextBox) {
                return filterInputMethod(control, binding->widget, event);
            }
            break;
        case QEvent::FocusIn: {
            if (presenting()) {
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

bool WindowView::filterKey(core::Control& control, QEvent* event) {
    const std::u32string characters = typedCharacters(*static_cast<QKeyEvent*>(event));
    if (characters.empty()) {
        return false;
    }
    // Eaten here, before QLineEdit's own shortcut handling could paste or copy anyway.
    return !accepts(control, characters);
}

bool WindowView::accepts(core::Control& control, const std::u32string& characters) {
    bool accepted = true;
    dispatch([&] {
        for (const char32_t character : characters) {
            // The window may have gone inside the key handler.
            if (window_ == nullptr || !window_->keyPress(control, character)) {
                accepted = false;
                return;
            }
        }
    });
    return accepted && window_ != nullptr;
}

bool WindowView::filterInputMethod(core::Control& control, QWidget* widget, QEvent* event) {
    const auto* input = static_cast<QInputMethodEvent*>(event);
    std::u32string characters;
    for (const char32_t character : input->commitString().toUcs4()) {
        characters.push_back(character);
    }
    if (characters.empty()) {
        return false;
    }
    if (accepts(control, characters)) {
        return false;
    }
    // Refused: still end the composition, so that no preedit text lingers in the field. The
    // event carries no commit string, so it passes this filter.
    QInputMethodEvent cleared;
    QCoreApplication::sendEvent(widget, &cleared);
    return true;
}

void WindowView::closeEvent(QCloseEvent* event) {
    if (window_ == nullptr) {
        event->accept();
        return;
    }
    // The core decides: it closes the window through the platform, or keeps it.
    event->ignore();
    core::Window* window = window_;
    dispatch([window] { window->program().close(*window); });
}

}  // namespace veltrask::ui
