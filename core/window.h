// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "windows.h"

namespace veltrask::core {

class Timer;

// The period of every window timer that is not immediate.
inline constexpr int kTickMs = 1000;

struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kGrey{128, 128, 128};
inline constexpr Rgb kDarkBlue{0, 0, 128};

enum class ControlKind { Label, TextBox, ComboBox, OptionButton, CommandButton };

// One control of a window. Its fields are the whole state of the program; they change only through
// the owning window's setters, which run the handlers the change triggers.
struct Control {
    Control(std::string_view controlName, ControlKind controlKind, std::string initialText = {})
        : name(controlName), kind(controlKind), text(std::move(initialText)) {}
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    bool canTakeFocus() const { return kind != ControlKind::Label && enabled && visible; }

    const std::string name;
    const ControlKind kind;
    std::string text;  // text or caption
    bool enabled = true;
    bool visible = true;
    bool checked = false;  // option buttons
    int maxLength = 0;     // 0: no limit
    Rgb foreColor = kBlack;
};

// A window timer: an enabled flag, like any other control state, and the handler it runs.
class TimerControl {
public:
    // The once-a-second timers of all windows tick together from one system timer, just after
    // each boundary of the wall-clock second, so that a waiting program wakes once a second
    // however many of them run.
    enum class Pacing {
        // At every such tick: the clock.
        EverySecond,
        // At the first such tick a whole second after it was enabled or last ticked, measured on
        // the monotonic clock: a countdown that a late tick or a wall clock being set can neither
        // shorten nor skip. Within one tick these run before the clocks.
        SteadySecond,
        // Like SteadySecond, but once for every whole second of real time that passed, measured
        // on a clock that goes on while the computer sleeps: a countdown of so many seconds of
        // the user's time, which a late tick or a suspended computer cannot lengthen.
        RealSeconds,
        // Once, as soon as the current event has finished.
        Immediately,
    };

    TimerControl(Windows& windows, std::string_view name, Pacing pacing,
                 std::function<void()> onTick);
    ~TimerControl();
    TimerControl(const TimerControl&) = delete;
    TimerControl& operator=(const TimerControl&) = delete;

    const std::string& name() const { return name_; }
    bool enabled() const { return enabled_; }
    // Enabling a running timer keeps its phase; only a change of the flag re-arms it.
    void setEnabled(bool enabled);

private:
    friend class Program;
    void tick();
    // Whether a steady timer has waited its second by the given monotonic time.
    bool due(std::int64_t nowMs) const;

    std::int64_t nextDueMs_ = 0;  // steady timers: the monotonic time of the next tick

    Windows& windows_;
    std::string name_;
    Pacing pacing_;
    std::function<void()> onTick_;
    std::unique_ptr<Timer> immediate_;  // only for Pacing::Immediately
    bool enabled_ = false;
};

enum class WindowKind { Form1, Form3, Form4 };

class Window {
public:
    Window(Windows& windows, WindowKind kind, std::string caption);
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    WindowKind kind() const { return kind_; }
    Windows& windows() const { return windows_; }
    const std::string& caption() const { return caption_; }
    bool isVisible() const { return visible_; }
    // Every control, in tab order.
    const std::vector<Control*>& controls() const { return controls_; }
    Control* find(std::string_view name) const;
    Control* focus() const { return focus_; }

    // The setters below run the handlers their change triggers before they return, the way the
    // window system does: a change handler inside the assignment, lost- and got-focus handlers
    // inside the focus move.
    void setText(Control& control, std::string text);
    void setFocus(Control& control);
    void setEnabled(Control& control, bool enabled);
    void setVisible(Control& control, bool visible);
    void setChecked(Control& control, bool checked);
    void setMaxLength(Control& control, int maxLength);
    void setForeColor(Control& control, Rgb color);
    void setCaption(std::string caption);

    // Called by the view when a control is clicked; what a click means is each window's own.
    virtual void click(Control& control);
    // An arrow key pressed on a control: among option buttons it chooses the neighbour it moves
    // to, as option groups do everywhere. False: the key means nothing here.
    bool arrowKey(Control& control, int step);

    // What the user puts into a text box is decided here, and only here. Typed characters are
    // judged as the keys arrive, each by the key handler. Whatever an edit then leaves in the box,
    // typed or pasted, dropped or composed alike, is judged whole: the window's input rule, then
    // the maximum length, which holds back growth but never cuts what the box holds already.
    // textTaken gives the text the box takes, or nothing when the edit is refused; the view then
    // sets it through setText, so that the change handler runs once.
    bool takesTyped(Control& control, std::u32string_view typed);
    std::optional<std::string> textTaken(const Control& control,
                                         std::string_view proposedText) const;

    // A typed character reaching a control. False: the character is discarded.
    virtual bool keyPress(Control& control, char32_t character);
    // The window's own rule for a text about to be placed into the control: the text it takes,
    // perhaps adjusted, or nothing when it is refused.
    virtual std::optional<std::string> admitted(const Control& control,
                                                std::string_view proposedText) const;

protected:
    friend class Program;

    void setControls(std::initializer_list<Control*> tabOrder);
    // Focus rests on the first control in tab order that can take it.
    void focusFirst();

    virtual void startUp() {}
    // The close handler, run inside close() before the window is discarded.
    virtual void closing() {}
    virtual void changed(Control&) {}
    virtual void gotFocus(Control&) {}
    virtual void lostFocus(Control&) {}
    virtual void stopTimers() {}

private:
    void moveFocusOnIfHeld(Control& control);

    Windows& windows_;
    WindowKind kind_;
    std::string caption_;
    bool visible_ = false;
    std::vector<Control*> controls_;
    Control* focus_ = nullptr;
};

}  // namespace veltrask::core
