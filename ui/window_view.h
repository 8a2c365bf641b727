// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/program.h"
#include "core/window.h"
#include "twips_layout.h"

namespace veltrask::ui {

class InputGate;

// Whether the views themselves are changing the widgets (syncing, showing, hiding): the focus and
// activation events that causes are echoes of the core state, not user input. One for all the
// views of a presenter, since showing one window moves the focus in another.
class Presenting {
public:
    bool active() const { return depth_ > 0; }

private:
    friend class PresentingScope;
    int depth_ = 0;
};

class PresentingScope {
public:
    explicit PresentingScope(Presenting& presenting) : presenting_(presenting) {
        ++presenting_.depth_;
    }
    ~PresentingScope() { --presenting_.depth_; }
    PresentingScope(const PresentingScope&) = delete;
    PresentingScope& operator=(const PresentingScope&) = delete;

private:
    Presenting& presenting_;
};

// A window whose widgets mirror the controls of one core window. The core state is the truth:
// sync() writes it into the widgets, and user input goes back into the core as events, never by
// letting a widget keep a value the core has not agreed to.
class WindowView : public QWidget {
    Q_OBJECT

public:
    WindowView(core::Window& window, Presenting& presenting, int clientWidthTwips,
               int clientHeightTwips, std::span<const Placement> layout);
    ~WindowView() override;

    // Makes the controls, once, as the window goes on screen: the first text laid out in a process
    // loads the fonts, which a window need not wait for to be mapped (a bare Qt window does not).
    // Its first paint comes from the event loop, and shows the controls.
    void buildControls();

    // Null once the core window has been destroyed.
    core::Window* window() const { return window_; }
    QWidget* widgetFor(std::string_view controlName) const;

    // A click on a control that comes from elsewhere than the mouse, such as a screen reader's
    // press action; it means what a click with the mouse means.
    void click(std::string_view controlName);

    // Writes every widget whose value differs from the core's.
    void sync();
    // The core window is about to go: from now on nothing reaches it.
    void detach();

    // Runs a user event through the core; nothing happens once the window is gone.
    template <typename Handler>
    void dispatch(Handler&& handler) {
        if (window_ == nullptr) {
            return;
        }
        window_->windows().handleEvent(std::forward<Handler>(handler));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    // An item chosen from a combo box's list by the user.
    virtual void itemChosen(core::Control& control, int index);
    // What a window adds to its controls once they are made.
    virtual void controlsBuilt();

private:
    struct Binding {
        core::Control* control;
        QWidget* widget;
        InputGate* gate = nullptr;  // text boxes only
        bool colourApplied = false;
        core::Rgb colour{};
    };

    QWidget* createWidget(Binding& binding);
    const Binding* bindingOf(const QObject* widget) const;
    void syncControl(Binding& binding);
    bool filterArrowKey(core::Control& control, QEvent* event);

    core::Window* window_;
    Presenting& presenting_;
    std::span<const Placement> layout_;  // a view's static table
    std::vector<Binding> bindings_;
};

}  // namespace veltrask::ui
