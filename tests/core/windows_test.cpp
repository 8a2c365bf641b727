// SPDX-License-Identifier: MIT
#include <string>

#include "core/numbers.h"
#include "harness.h"

namespace veltrask::testing {
namespace {

using core::Form3;
using core::Form4;

class ConfirmationWindow : public ProgramTest {
protected:
    // Arms a system action whose clock-time target is met by the next tick but one.
    Form3& fire(std::string_view action, const std::string& leadTime) {
        chooseAction(action);
        setText(main(), main().text4, leadTime);
        setText(main(), main().text1, "9");
        setText(main(), main().text2, "00");
        setText(main(), main().text3, "01");
        system.advance(clockAt(9, 0, 2, 6) - system.nowMs());
        Form3* form = program.existingForm3();
        EXPECT_NE(form, nullptr);
        return *form;
    }
};

struct ActionCase {
    const char* name;
    std::string_view action;
    const char* command;
};

class CarryingOut : public ConfirmationWindow, public ::testing::WithParamInterface<ActionCase> {};

TEST_P(CarryingOut, CountsTheLeadTimeDownToExactlyOneCommand) {
    Form3& form = fire(GetParam().action, "3");
    EXPECT_EQ(system.beeps, 1);
    EXPECT_EQ(form.caption(), "真的要" + std::string(GetParam().action) + "吗？");
    EXPECT_EQ(form.label2.text, "秒后" + std::string(GetParam().action));
    EXPECT_EQ(form.command1.text, GetParam().action);
    EXPECT_EQ(form.focus(), &form.command1);

    std::vector<std::string> shown;
    for (int second = 0; second < 2; ++second) {
        system.advance(1000);
        shown.push_back(form.label1.text);
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"2", "1"}));
    EXPECT_TRUE(system.commands.empty());
    system.advance(1000);
    EXPECT_EQ(system.commands, (std::vector<std::string>{GetParam().command}));
    EXPECT_EQ(system.endings, (std::vector<int>{0}));
    // Ending brings back no main window and runs nothing more.
    EXPECT_EQ(count("show Form1"), 1u);
    system.advance(10'000);
    EXPECT_EQ(system.commands.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Actions, CarryingOut,
    ::testing::Values(ActionCase{"ShutDown", core::kShutDown, "Shutdown -s -t 00"},
                      ActionCase{"Restart", core::kRestart, "Shutdown -r -t 00"},
                      ActionCase{"LogOff", core::kLogOff, "Shutdown -l -t 00"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(ConfirmationWindow, ALeadTimeOfZeroActsAsSoonAsTheFiringTickHasFinished) {
    chooseAction(core::kShutDown);
    setText(main(), main().text4, "0");
    setText(main(), main().text1, "9");
    setText(main(), main().text2, "00");
    setText(main(), main().text3, "01");
    system.advance(clockAt(9, 0, 2, 5) - system.nowMs());
    const std::int64_t firedAt = system.nowMs();
    ASSERT_EQ(count("show Form3"), 1u);
    // The firing main window, and the fresh hidden one the tick went on with, which goes with
    // every other window while the desktop answers.
    EXPECT_EQ(count("destroy Form1"), 2u) << "the main window was closed before the command ran";
    EXPECT_EQ(system.commands, (std::vector<std::string>{"Shutdown -s -t 00"}));
    EXPECT_EQ(system.nowMs(), firedAt);
}

struct LeadTimeCase {
    const char* name;
    std::string leadTime;
    const char* counted;
};

class LeadTime : public ConfirmationWindow, public ::testing::WithParamInterface<LeadTimeCase> {};

TEST_P(LeadTime, IsCountedFromWhatTheMainWindowHeld) {
    Form3& form = fire(core::kShutDown, GetParam().leadTime);
    EXPECT_EQ(form.label1.text, GetParam().counted);
    system.advance(1000);
    EXPECT_EQ(form.label1.text, core::numberToText(*core::textToNumber(GetParam().counted) - 1));
    EXPECT_TRUE(system.commands.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LeadTime,
    ::testing::Values(LeadTimeCase{"TwoMinutes", "120", "120"},
                      LeadTimeCase{"LeadingZeroKept", "007", "007"},
                      LeadTimeCase{"EmptyFallsBackToTheDefault", "", "30"},
                      LeadTimeCase{"FourHundredDigitsFallBackToTheDefault", std::string(400, '9'),
                                   "30"},
                      LeadTimeCase{"LargestExactCount", "9007199254740991", "9007199254740991"},
                      LeadTimeCase{"BeyondExactCountFallsBack", "9007199254740992", "30"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(ConfirmationWindow, Command1CarriesTheActionOutAtOnce) {
    Form3& form = fire(core::kLogOff, "30");
    click(form, form.command1);
    EXPECT_EQ(system.commands, (std::vector<std::string>{"Shutdown -l -t 00"}));
    EXPECT_EQ(system.endings, (std::vector<int>{0}));
}

TEST_F(ConfirmationWindow, AnActionThatWasRefusedIsToldThenEndsWithAFailureStatus) {
    system.setCommandOutcome(
        {core::CommandOutcome::Result::Failed, "Interactive authentication required."});
    Form3& form = fire(core::kShutDown, "30");
    click(form, form.command1);
    EXPECT_EQ(presenter.failures,
              (std::vector<std::string>{"无法关闭计算机：Interactive authentication required."}));
    EXPECT_EQ(program.existingForm3(), nullptr);
    EXPECT_EQ(program.existingForm1(), nullptr);
    system.advance(60'000);
    EXPECT_TRUE(system.endings.empty()) << "the program waits for the user, without windows";
    presenter.acknowledgeFailure();
    EXPECT_EQ(system.endings, (std::vector<int>{1}));
}

enum class CancelWay { Command2, TitleBarClose, NoInTheDesktopsOwnDialog };

class Cancelling : public ConfirmationWindow, public ::testing::WithParamInterface<CancelWay> {};

TEST_P(Cancelling, BringsBackAMainWindowInItsInitialState) {
    Form3& form = fire(core::kRestart, "30");
    system.advance(2000);
    std::vector<std::string> commands;
    switch (GetParam()) {
        case CancelWay::Command2:
            click(form, form.command2);
            break;
        case CancelWay::TitleBarClose:
            act([&] { program.close(form); });
            break;
        case CancelWay::NoInTheDesktopsOwnDialog:
            system.setCommandOutcome({core::CommandOutcome::Result::Declined, {}});
            click(form, form.command1);
            commands = {"Shutdown -r -t 00"};
            break;
    }
    EXPECT_EQ(program.existingForm3(), nullptr);
    const core::Form1* fresh = program.existingForm1();
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(fresh->isVisible());
    EXPECT_EQ(fresh->combo1.text, core::kRemindMe);
    EXPECT_TRUE(fresh->option1.checked);
    EXPECT_EQ(fresh->text1.text, "");
    EXPECT_EQ(fresh->text4.text, "30");
    system.advance(60'000);
    EXPECT_EQ(system.commands, commands);
    EXPECT_TRUE(system.endings.empty());
    EXPECT_TRUE(presenter.failures.empty());
}

INSTANTIATE_TEST_SUITE_P(Ways, Cancelling,
                         ::testing::Values(CancelWay::Command2, CancelWay::TitleBarClose,
                                           CancelWay::NoInTheDesktopsOwnDialog),
                         [](const auto& p) {
                             switch (p.param) {
                                 case CancelWay::Command2:
                                     return std::string("Command2");
                                 case CancelWay::TitleBarClose:
                                     return std::string("TitleBarClose");
                                 case CancelWay::NoInTheDesktopsOwnDialog:
                                     return std::string("NoInTheDesktopsOwnDialog");
                             }
                             return std::string();
                         });

TEST_F(ConfirmationWindow, AnUnknownActionNeverRunsAndCommand1OnlyEnds) {
    setText(main(), main().combo1, "something else");
    setText(main(), main().text4, "1");
    setText(main(), main().text1, "9");
    setText(main(), main().text2, "00");
    setText(main(), main().text3, "01");
    system.advance(clockAt(9, 0, 2, 6) - system.nowMs());
    Form3* form = program.existingForm3();
    ASSERT_NE(form, nullptr);
    system.advance(3000);
    EXPECT_EQ(form->label1.text, "-2");
    EXPECT_TRUE(system.commands.empty());
    click(*form, form->command1);
    EXPECT_TRUE(system.commands.empty());
    EXPECT_EQ(system.endings, (std::vector<int>{0}));
}

class ReminderWindow : public ProgramTest {
protected:
    Form4& fire(const std::string& reminder) {
        act([&] { main().setFocus(main().text8); });
        setText(main(), main().text8, reminder);
        act([&] { main().setFocus(main().text1); });
        click(main(), main().option2);
        setText(main(), main().text7, "1");
        confirm();
        system.advance(2100);
        Form4* form = program.existingForm4();
        EXPECT_NE(form, nullptr);
        return *form;
    }
};

TEST_F(ReminderWindow, ShowsTheTimeAndTheTextLiterally) {
    Form4& form = fire("<b>开会</b><img src=x>");
    EXPECT_EQ(form.caption(), "时间到");
    EXPECT_EQ(form.label1.text, "9:00:02 时间到，请<b>开会</b><img src=x>");
    EXPECT_EQ(form.focus(), &form.command1);
    EXPECT_EQ(system.beeps, 1);
}

TEST_F(ReminderWindow, Command1BringsTheMainWindowBackWithItsValues) {
    Form4& form = fire("开会");
    ASSERT_FALSE(main().isVisible());
    click(form, form.command1);
    EXPECT_EQ(program.existingForm4(), nullptr);
    EXPECT_TRUE(main().isVisible());
    EXPECT_EQ(main().text8.text, "开会");
    EXPECT_TRUE(main().option2.checked);
}

TEST_F(ReminderWindow, TitleBarCloseLeavesTheHiddenMainWindowRunning) {
    Form4& form = fire("开会");
    act([&] { program.close(form); });
    EXPECT_EQ(program.existingForm4(), nullptr);
    ASSERT_NE(program.existingForm1(), nullptr);
    EXPECT_FALSE(program.existingForm1()->isVisible());
    EXPECT_TRUE(system.endings.empty());
}

TEST_F(ReminderWindow, AcknowledgingAfterTheMainWindowWasClosedShowsANewOne) {
    Form4& form = fire("开会");
    act([&] { program.close(main()); });
    EXPECT_TRUE(system.endings.empty()) << "the reminder is still open";
    click(form, form.command1);
    EXPECT_TRUE(system.endings.empty());
    ASSERT_NE(program.existingForm1(), nullptr);
    EXPECT_TRUE(program.existingForm1()->isVisible());
    EXPECT_EQ(program.existingForm1()->text8.text, core::kReminderPlaceholder);
}

TEST_F(ProgramTest, ClosingTheLastWindowEndsTheProgram) {
    act([&] { program.close(main()); });
    EXPECT_EQ(system.endings, (std::vector<int>{0}));
    EXPECT_EQ(program.existingForm1(), nullptr);
    EXPECT_EQ(system.armedTimers(), 0u);
}

TEST_F(ProgramTest, AccessAfterCloseFindsAHiddenMainWindowInItsInitialState) {
    act([&] {
        setText(main(), main().text1, "12");
        program.close(main());
        core::Form1& fresh = program.openHiddenMainWindow();
        EXPECT_FALSE(fresh.isVisible());
        EXPECT_EQ(fresh.text1.text, "");
        EXPECT_EQ(fresh.label1.text, "9:00:00");
    });
    EXPECT_TRUE(system.endings.empty());
    system.advance(1000);
    EXPECT_EQ(main().label1.text, "9:00:01");
}

}  // namespace
}  // namespace veltrask::testing
