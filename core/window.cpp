// SPDX-License-Identifier: MIT
#include "window.h"

#include <algorithm>
#include <cstddef>

#include "numbers.h"
#include "system.h"

namespace veltrask::core {

TimerControl::TimerControl(Windows& windows, std::string_view name, Pacing pacing,
                           std::function<void()> onTick)
    : windows_(windows), name_(name), pacing_(pacing), onTick_(std::move(onTick)) {
    if (pacing_ == Pacing::Immediately) {
        immediate_ =
            windows.system().createTimer([this] { windows_.handleEvent([this] { tick(); }); });
    } else {
        windows_.addSecondTimer(*this);
    }
}

TimerControl::~TimerControl() {
    if (pacing_ != Pacing::Immediately) {
        windows_.removeSecondTimer(*this);
    }
}

void TimerControl::setEnabled(bool enabled) {
    if (enabled == enabled_) {
        return;
    }
    enabled_ = enabled;
    if ((pacing_ == Pacing::SteadySecond || pacing_ == Pacing::RealSeconds) && enabled_) {
        nextDueMs_ = windows_.system().monotonicMs() + kTickMs;
    }
    if (pacing_ != Pacing::Immediately) {
        windows_.secondTimersChanged();
    } else if (enabled_) {
        immediate_->start(0);
    } else {
        immediate_->stop();
    }
}

bool TimerControl::due(std::int64_t nowMs) const {
    // The shared tick may come a little before the second is quite over; a countdown may be that
    // much early, never a whole tick.
    constexpr std::int64_t kToleranceMs = 20;
    return enabled_ && nowMs >= nextDueMs_ - kToleranceMs;
}

void TimerControl::tick() {
    if (!enabled_) {
        return;
    }
    if (pacing_ == Pacing::SteadySecond || pacing_ == Pacing::RealSeconds) {
        // A steady timer does not catch up late ticks: a second missed lengthens its count. The
        // program catches up a real-seconds timer by ticking it again while it is still due.
        nextDueMs_ += kTickMs;
    }
    if (pacing_ == Pacing::Immediately) {
        enabled_ = false;
    }
    onTick_();
}

Window::Window(Windows& windows, WindowKind kind, std::string caption)
    : windows_(windows), kind_(kind), caption_(std::move(caption)) {}

Window::~Window() = default;

void Window::setControls(std::initializer_list<Control*> tabOrder) {
    controls_ = tabOrder;
}

Control* Window::find(std::string_view name) const {
    const auto it = std::find_if(controls_.begin(), controls_.end(),
                                 [name](const Control* c) { return c->name == name; });
    return it == controls_.end() ? nullptr : *it;
}

void Window::focusFirst() {
    const auto it = std::find_if(controls_.begin(), controls_.end(),
                                 [](const Control* c) { return c->canTakeFocus(); });
    if (it != controls_.end()) {
        setFocus(**it);
    }
}

void Window::setText(Control& control, std::string text) {
    if (control.text == text) {
        return;
    }
    control.text = std::move(text);
    changed(control);
}

void Window::setFocus(Control& control) {
    // A control that cannot take the focus leaves it where it is, as in any toolkit.
    if (focus_ == &control || !control.canTakeFocus()) {
        return;
    }
    Control* previous = focus_;
    focus_ = &control;
    if (previous != nullptr) {
        lostFocus(*previous);
    }
    if (focus_ == &control) {
        gotFocus(control);
    }
}

void Window::moveFocusOnIfHeld(Control& control) {
    if (focus_ != &control) {
        return;
    }
    const auto it = std::find(controls_.begin(), controls_.end(), &control);
    const std::size_t start = static_cast<std::size_t>(it - controls_.begin());
    for (std::size_t step = 1; step < controls_.size(); ++step) {
        Control& next = *controls_[(start + step) % controls_.size()];
        if (next.canTakeFocus()) {
            setFocus(next);
            return;
        }
    }
    focus_ = nullptr;
    lostFocus(control);
}

void Window::setEnabled(Control& control, bool enabled) {
    control.enabled = enabled;
    if (!enabled) {
        moveFocusOnIfHeld(control);
    }
}

void Window::setVisible(Control& control, bool visible) {
    control.visible = visible;
    if (!visible) {
        moveFocusOnIfHeld(control);
    }
}

void Window::setChecked(Control& control, bool checked) {
    control.checked = checked;
}

void Window::setMaxLength(Control& control, int maxLength) {
    control.maxLength = maxLength;
}

void Window::setForeColor(Control& control, Rgb color) {
    control.foreColor = color;
}

void Window::setCaption(std::string caption) {
    caption_ = std::move(caption);
}

void Window::click(Control&) {}

bool Window::arrowKey(Control& control, int step) {
    if (control.kind != ControlKind::OptionButton) {
        return false;
    }
    const auto it = std::find(controls_.begin(), controls_.end(), &control);
    if (it == controls_.end()) {
        return false;
    }
    // The option buttons of a window form one group, walked in tab order, round at the ends.
    const auto count = static_cast<std::ptrdiff_t>(controls_.size());
    for (std::ptrdiff_t offset = 1; offset < count; ++offset) {
        const std::ptrdiff_t index = ((it - controls_.begin()) + step * offset) % count;
        Control& next = *controls_[static_cast<std::size_t>(index < 0 ? index + count : index)];
        if (next.kind == ControlKind::OptionButton && next.canTakeFocus()) {
            setFocus(next);
            click(next);
            return true;
        }
    }
    return false;
}

bool Window::takesTyped(Control& control, std::u32string_view typed) {
    return std::all_of(typed.begin(), typed.end(),
                       [&](char32_t character) { return keyPress(control, character); });
}

std::optional<std::string> Window::textTaken(const Control& control,
                                             std::string_view proposedText) const {
    std::optional<std::string> text = admitted(control, proposedText);
    if (text && control.maxLength != 0) {
        // The box keeps longer text the core put in (or a first paste let through before the
        // limit was set), but an edit may not make it longer still.
        const std::size_t allowed =
            std::max(static_cast<std::size_t>(control.maxLength), characterCount(control.text));
        if (characterCount(*text) > allowed) {
            return std::nullopt;
        }
    }
    return text;
}

bool Window::keyPress(Control&, char32_t) {
    return true;
}

std::optional<std::string> Window::admitted(const Control&, std::string_view proposedText) const {
    return std::string(proposedText);
}

}  // namespace veltrask::core
