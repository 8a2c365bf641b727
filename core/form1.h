// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "actions.h"
#include "window.h"

namespace veltrask::core {

inline constexpr std::string_view kMainCaption = "VeltraskV3.0正式版";
inline constexpr std::string_view kCreditLine = "Veltrask 定时关机与提醒，自由软件。";
inline constexpr std::string_view kWebsiteLead = "欢迎访问我们的网站：";

// The main window: it holds every value of the schedule in its controls, shows the clock, and fires
// the reminder or the system action when the clock reaches the target or a countdown runs out.
class Form1 final : public Window {
public:
    explicit Form1(Windows& windows);
    ~Form1() override;

    // Controls, in tab order, with what each one is for.
    Control label1{"Label1", ControlKind::Label};                    // the time of day, H:mm:ss
    Control text1{"Text1", ControlKind::TextBox};                    // target hour, clock-time mode
    Control label2{"Label2", ControlKind::Label, "时间："};          // caption of the target row
    Control label3{"Label3", ControlKind::Label, "时"};              // unit after the hour
    Control text2{"Text2", ControlKind::TextBox};                    // target minute
    Control label4{"Label4", ControlKind::Label, "分"};              // unit after the minute
    Control text3{"Text3", ControlKind::TextBox};                    // target second
    Control label5{"Label5", ControlKind::Label, "秒"};              // unit after the second
    Control label6{"Label6", ControlKind::Label, "当前系统时间："};  // caption of the clock
    Control command1{"Command1", ControlKind::CommandButton, "确定"};  // arms the schedule
    // Caption before the lead time, naming the action ("关闭计算机前"); shown with it.
    Control label8{"Label8", ControlKind::Label, "关闭计算机前"};
    // Lead time before a system action, in seconds: how long its confirmation counts down.
    Control text4{"Text4", ControlKind::TextBox, std::string(kDefaultLeadTime)};
    Control label9{"Label9", ControlKind::Label, "秒提醒我"};  // caption after the lead time
    Control combo1{"Combo1", ControlKind::ComboBox, std::string(kRemindMe)};  // the action
    Control option1{"Option1", ControlKind::OptionButton};   // mode: at a clock time
    Control option2{"Option2", ControlKind::OptionButton};   // mode: after a countdown
    Control text5{"Text5", ControlKind::TextBox};            // countdown hours
    Control label10{"Label10", ControlKind::Label, "小时"};  // unit after the hours
    Control text6{"Text6", ControlKind::TextBox};            // countdown minutes
    Control label11{"Label11", ControlKind::Label, "分"};    // unit after the minutes
    Control text7{"Text7", ControlKind::TextBox};            // countdown seconds
    Control label12{"Label12", ControlKind::Label, "秒后"};  // unit after the seconds
    // Never seen: the seconds an armed countdown has left, empty when none is armed.
    Control label13{"Label13", ControlKind::Label};
    // The reminder's message; shows a placeholder while empty and without the focus.
    Control text8{"Text8", ControlKind::TextBox, std::string(kReminderPlaceholder)};
    Control label7{"Label7", ControlKind::Label, std::string(kCreditLine)};  // credit line
    Control label14{"Label14", ControlKind::Label,  // the website, opened on click
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
    std::optional<std::string> admitted(const Control& control,
                                        std::string_view proposedText) const override;

    // Whether the countdown is counting, and a whole clock-time target is set.
    bool countdownRunning() const;
    bool targetComplete() const;
    // The armed system action in words, for the desktop to show as the reason it stays awake:
    // "将在 23:00:00 关闭计算机", "倒计时 150 秒后重新启动".
    std::string awakeReason() const;

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
    // What the confirm button does to the schedule: pads and checks the fields, hides the window
    // and starts a countdown.
    void arm();
    // Whether the clock reached the target, the seconds a late tick skipped included.
    bool clockTimeDue(int nowSeconds) const;
    bool countdownDue() const;
    bool targetMatches(int secondOfDay) const;
    // Fires what the schedule names. True when a system action replaced this window, which then
    // only waits to be destroyed.
    bool fire();
    void chooseMode(bool byCountdown);
};

}  // namespace veltrask::core
