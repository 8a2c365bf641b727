// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

#include "window.h"

namespace veltrask::core {

inline constexpr std::string_view kReminderCaption = "时间到";

// The reminder: the time and the user's own text, and a button that brings the main window back.
class Form4 final : public Window {
public:
    explicit Form4(Windows& windows);
    ~Form4() override;

    Control command1{"Command1", ControlKind::CommandButton, "确定"};
    Control label1{"Label1", ControlKind::Label};

    void command1Click();
    void click(Control& control) override;

protected:
    void startUp() override;
};

}  // namespace veltrask::core
