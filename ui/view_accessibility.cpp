// SPDX-License-Identifier: MIT
#include "view_accessibility.h"

#include <QAccessibleWidget>
#include <QLabel>
#include <QRadioButton>

#include "window_view.h"

namespace veltrask::ui {

namespace {

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

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void installViewAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&viewAccessibleFactory);
        return true;
    }();
    (void)installed;
}

void nameForScreenReaders(WindowView& view, std::span<const Placement> layout) {
    for (const Placement& place : layout) {
        QWidget* widget = view.widgetFor(place.name);
        if (widget == nullptr) {
            continue;
        }
        if (!place.accessibleName.empty()) {
            widget->setAccessibleName(toQString(place.accessibleName));
        }
        if (!place.labelledBy.empty()) {
            auto* label = qobject_cast<QLabel*>(view.widgetFor(place.labelledBy));
            Q_ASSERT_X(label != nullptr, "nameForScreenReaders",
                       "a control is labelled by a non-label");
            if (label != nullptr) {
                // Qt's accessibility takes a field's name from the label whose buddy it is.
                label->setBuddy(widget);
            }
        }
    }
}

}  // namespace veltrask::ui
