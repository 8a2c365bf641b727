// SPDX-License-Identifier: MIT
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "core/form1.h"
#include "core/form3.h"
#include "core/form4.h"
#include "core/program.h"
#include "fakes/fake_platform.h"

namespace veltrask::testing {

constexpr std::int64_t clockAt(int hours, int minutes, int seconds, int ms = 0) {
    return ((hours * 60LL + minutes) * 60 + seconds) * 1000 + ms;
}

// A running program on a fake platform whose clock starts at the given time, and the ways a user
// and the clock drive it.
class Session {
public:
    explicit Session(std::int64_t startMs = clockAt(9, 0, 0, 500)) : platform(startMs) {
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
    // Types characters one by one the way a text box takes them: the key filter first, then the
    // edit, which the maximum length may refuse.
    void type(core::Window& window, core::Control& control, std::string_view keys) {
        for (const char key : keys) {
            act([&] {
                if (!window.keyPress(control, static_cast<char32_t>(key))) {
                    return;
                }
                std::string text = control.text;
                if (key == '\b') {
                    if (!text.empty()) {
                        text.pop_back();
                    }
                } else if (control.maxLength == 0 ||
                           static_cast<int>(text.size()) < control.maxLength) {
                    text.push_back(key);
                }
                window.setText(control, text);
            });
        }
    }
    void confirm() { click(main(), main().command1); }

    // Advances virtual time second by second until the predicate holds; false if it never does.
    template <typename Predicate>
    bool advanceUntil(Predicate&& done, std::int64_t limitMs, std::int64_t stepMs = 1) {
        for (std::int64_t spent = 0; spent < limitMs; spent += stepMs) {
            if (done()) {
                return true;
            }
            platform.advance(stepMs);
        }
        return done();
    }

    std::size_t count(const std::string& entry) const {
        return static_cast<std::size_t>(
            std::count(platform.windowLog.begin(), platform.windowLog.end(), entry));
    }

    FakePlatform platform;
    core::Program program{platform};
};

class ProgramTest : public ::testing::Test, public Session {};

}  // namespace veltrask::testing
