// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <string_view>

#include "actions.h"
#include "window.h"

namespace veltrask::core {

inline constexpr std::string_view kMainCaption = "VeltraskV3.0正式版";
inline constexpr std::string_view kReminderPlaceholder = "请输入要提醒的内容";
inline constexpr std::string_view kCreditLine = "Veltrask 定时关机与提醒，自由软件。";
inline constexpr std::string_view kWebsiteLead = "欢迎访问我们的网站：";
inline constexpr std::string_view kDefaultLeadTime = "30";

// The main window: it holds every value of the schedule in its controls, shows the clock, and fires
// the reminder or the system action when the clock reaches the target or a countdown runs out.
class Form1 final : public Window {
public:
    explicit Form1(Program& program);
    ~Form1() override;

    // Controls, in tab order.
    Control label1{"Label1", ControlKind::Label};
    Control text1{"Text1", ControlKind::TextBox};
    Control label2{"Label2", ControlKind::Label, "时间："};
    Control label3{"Label3", ControlKind::Label, "时"};
    Control text2{"Text2", ControlKind::TextBox};
    Control label4{"Label4", ControlKind::Label, "分"};
    Control text3{"Text3", ControlKind::TextBox};
    Control label5{"Label5", ControlKind::Label, "秒"};
    Control label6{"Label6", ControlKind::Label, "当前系统时间："};
    Control command1{"Command1", ControlKind::CommandButton, "确定"};
    Control label8{"Label8", ControlKind::Label, "关闭计算机前"};
    Control text4{"Text4", ControlKind::TextBox, std::string(kDefaultLeadTime)};
    Control label9{"Label9", ControlKind::Label, "秒提醒我"};
    Control combo1{"Combo1", ControlKind::ComboBox, std::string(kRemindMe)};
    Control option1{"Option1", ControlKind::OptionButton};
    Control option2{"Option2", ControlKind::OptionButton};
    Control text5{"Text5", ControlKind::TextBox};
    Control label10{"Label10", ControlKind::Label, "小时"};
    Control text6{"Text6", ControlKind::TextBox};
    Control label11{"Label11", ControlKind::Label, "分"};
    Control text7{"Text7", ControlKind::TextBox};
    Control label12{"Label12", ControlKind::Label, "秒后"};
    Control label13{"Label13", ControlKind::Label};
    Control text8{"Text8", ControlKind::TextBox, std::string(kReminderPlaceholder)};
    Control label7{"Label7", ControlKind::Label, std::string(kCreditLine)};
    Control label14{"Label14", ControlKind::Label,
                    std::string(kWebsiteLead) + std::string(kWebsiteShown)};

    // The clock, just after each second; and the countdown, once a second while enabled.
    TimerControl timer1;
    TimerControl timer2;

    // Event handlers, named by control and event.
    void timer1Tick();
    void timer2Tick();
    void command1Click();
    void option1Click();
    void option2Click();
    void combo1Click();
    void label14Click();
    void text8GotFocus();
    void text8LostFocus();
    void text8Change();
    // The change rule shared by the numeric fields.
    void numericFieldChange(Control& field);

    // An item chosen from the action list: the list sets the text, then the click runs.
    void chooseAction(std::size_t index);

    void click(Control& control) override;
    bool keyPress(Control& control, char32_t character) override;
    bool acceptsInput(const Control& control, std::string_view proposedText) const override;

    bool isNumericField(const Control& control) const;
    // The control a full numeric field hands the focus on to; nullptr for the lead time.
    Control* nextAfter(const Control& field);

protected:
    void startUp() override;
    void changed(Control& control) override;
    void gotFocus(Control& control) override;
    void lostFocus(Control& control) override;
    void stopTimers() override;

private:
    void clockTimeCheck(int nowSeconds);
    void countdownCheck();
    bool targetMatches(int secondOfDay) const;
    void fire();
};

}  // namespace veltrask::core
