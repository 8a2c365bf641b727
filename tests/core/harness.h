// SPDX-License-Identifier: MIT
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/form1.h"
#include "core/form3.h"
#include "core/form4.h"
#include "core/program.h"
#include "fakes/fake_system.h"

namespace veltrask::testing {

inline std::string utf8(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

constexpr std::int64_t clockAt(int hours, int minutes, int seconds, int ms = 0) {
    return ((hours * 60LL + minutes) * 60 + seconds) * 1000 + ms;
}

// A running program on a fake system whose clock starts at the given time, and the ways a user
// and the clock drive it.
class Session {
public:
    explicit Session(std::int64_t startMs = clockAt(9, 0, 0, 500)) : system(startMs) {
        program.start();
    }

    core::Form1& main() { return program.form1(); }

    template <typename Handler>
    void act(Handler&& handler) {
        program.dispatch(std::forward<Handler>(handler));
    }

    void click(core::Window& window, core::Control& control) {
        act([&] { window.click(control); });
    }
    void setText(core::Window& window, core::Control& control, const std::string& text) {
        act([&] { window.setText(control, text); });
    }
    void focus(core::Window& window, core::Control& control) {
        act([&] { window.setFocus(control); });
    }
    void chooseAction(std::string_view name) {
        const auto it = std::find(core::kActionNames.begin(), core::kActionNames.end(), name);
        act([&] {
            main().chooseAction(static_cast<std::size_t>(it - core::kActionNames.begin()));
        });
    }
    // Types characters one by one the way a text box takes them: the key first, then the edit it
    // makes at the end of the text.
    void type(core::Window& window, core::Control& control, std::string_view keys) {
        for (const char key : keys) {
            act([&] { typeKey(window, control, static_cast<char32_t>(key)); });
        }
    }
    static void typeKey(core::Window& window, core::Control& control, char32_t key);
    void confirm() { click(main(), main().command1); }

    // Advances virtual time a step at a time (a millisecond unless told) until the predicate holds;
    // false if it never does.
    template <typename Predicate>
    bool advanceUntil(Predicate&& done, std::int64_t limitMs, std::int64_t stepMs = 1) {
        for (std::int64_t spent = 0; spent < limitMs; spent += stepMs) {
            if (done()) {
                return true;
            }
            system.advance(stepMs);
        }
        return done();
    }

    std::size_t count(const std::string& entry) const {
        return static_cast<std::size_t>(
            std::count(presenter.windowLog.begin(), presenter.windowLog.end(), entry));
    }

    FakeSystem system;
    RecordingPresenter presenter;
    core::Program program{system, presenter};
};

class ProgramTest : public ::testing::Test, public Session {};

// A key in a text box with the caret at the end: the window judges the character, the box makes
// its edit, and the window takes the result or refuses it, as the desktop's text boxes do.
inline void Session::typeKey(core::Window& window, core::Control& control, char32_t key) {
    if (!window.takesTyped(control, std::u32string_view(&key, 1))) {
        return;
    }
    std::string text = control.text;
    if (key == U'\b') {
        // Back over one whole character.
        while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80) {
            text.pop_back();
        }
        if (!text.empty()) {
            text.pop_back();
        }
    } else {
        text += utf8(key);
    }
    if (std::optional<std::string> taken = window.textTaken(control, text)) {
        window.setText(control, *taken);
    }
}

}  // namespace veltrask::testing
