// SPDX-License-Identifier: MIT
// What keeps an armed schedule's promise: the computer held awake while a system action is
// armed, countdowns that count the time the computer slept, and a second launch that finds it.
#include <string>

#include "harness.h"

namespace veltrask::testing {
namespace {

struct ArmCase {
    const char* name;
    std::string_view action;
    bool countdown;
    const char* reason;  // empty: nothing held
};

class Awake : public ProgramTest, public ::testing::WithParamInterface<ArmCase> {
protected:
    // Armed with the mouse and keyboard as a user would: 9:00:05, or a countdown of 150 s.
    void arm() {
        chooseAction(GetParam().action);
        if (GetParam().countdown) {
            click(main(), main().option2);
            type(main(), main().text6, "2");
            type(main(), main().text7, "30");
        } else {
            type(main(), main().text1, "9");
            type(main(), main().text2, "0");
            type(main(), main().text3, "5");
        }
        confirm();
    }
    std::vector<std::string> heldOnly() const {
        const std::string reason = GetParam().reason;
        return reason.empty() ? std::vector<std::string>{}
                              : std::vector<std::string>{"hold " + reason};
    }
};

TEST_P(Awake, IsHeldFromConfirmUntilJustBeforeTheActionIsCarriedOut) {
    arm();
    EXPECT_EQ(system.awakeLog, heldOnly());
    ASSERT_TRUE(advanceUntil([&] { return program.existingForm3() || program.existingForm4(); },
                             200'000, 500));
    EXPECT_EQ(system.awakeLog, heldOnly()) << "held through the confirmation countdown";
    if (core::Form3* form = program.existingForm3()) {
        click(*form, form->command1);
        EXPECT_EQ(system.awakeLog, (std::vector<std::string>{heldOnly()[0], "release"}));
        EXPECT_EQ(system.commands.size(), 1u);
    }
}

class AwakeAction : public Awake {};

TEST_P(AwakeAction, IsReleasedWhenTheUserCancelsOrEnds) {
    const auto released = [&] { return !system.awake() && system.awakeLog.size() == 2; };
    arm();
    act([&] { program.showForm1(); });
    chooseAction(core::kRemindMe);
    EXPECT_TRUE(released()) << "a schedule turned into a reminder";

    system.awakeLog.clear();
    chooseAction(GetParam().action);
    confirm();
    ASSERT_TRUE(advanceUntil([&] { return program.existingForm3() != nullptr; }, 200'000, 500));
    act([&] { program.close(*program.existingForm3()); });  // the title bar's close button
    EXPECT_TRUE(released()) << "confirmation closed";

    system.awakeLog.clear();
    chooseAction(GetParam().action);
    arm();
    act([&] { program.close(main()); });
    EXPECT_EQ(system.endings, (std::vector<int>{0}));
    EXPECT_TRUE(released()) << "program ended";
}

const ArmCase kSystemActions[] = {
    {"ShutDownAtTime", core::kShutDown, false, "将在 9:00:05 关闭计算机"},
    {"RestartAfterCountdown", core::kRestart, true, "倒计时 150 秒后重新启动"},
    {"LogOffAfterCountdown", core::kLogOff, true, "倒计时 150 秒后注销"},
};
const ArmCase kReminders[] = {
    {"ReminderAtTime", core::kRemindMe, false, ""},
    {"ReminderAfterCountdown", core::kRemindMe, true, ""},
};
std::string rowName(const ::testing::TestParamInfo<ArmCase>& row) {
    return row.param.name;
}
INSTANTIATE_TEST_SUITE_P(SystemActions, Awake, ::testing::ValuesIn(kSystemActions), rowName);
INSTANTIATE_TEST_SUITE_P(Reminders, Awake, ::testing::ValuesIn(kReminders), rowName);
INSTANTIATE_TEST_SUITE_P(SystemActions, AwakeAction, ::testing::ValuesIn(kSystemActions), rowName);

class Suspended : public ProgramTest, public ::testing::WithParamInterface<std::string_view> {};

TEST_P(Suspended, CountdownRunsOutAtTheFirstTickAfterTheComputerWakes) {
    chooseAction(GetParam());
    click(main(), main().option2);
    type(main(), main().text6, "10");
    confirm();
    system.advance(60'000);
    system.suspend(2 * 3600 * 1000);  // the steady clock stands still, the real time goes on
    EXPECT_EQ(program.existingForm3(), nullptr);
    EXPECT_EQ(program.existingForm4(), nullptr);
    system.advance(1'100);
    if (GetParam() == core::kRemindMe) {
        EXPECT_NE(program.existingForm4(), nullptr);
    } else {
        // Nothing acts unannounced on waking: the confirmation counts its whole lead time.
        ASSERT_NE(program.existingForm3(), nullptr);
        EXPECT_EQ(program.existingForm3()->label1.text, "30");
        EXPECT_TRUE(system.commands.empty());
    }
    EXPECT_EQ(system.beeps, 1);
}

INSTANTIATE_TEST_SUITE_P(Actions, Suspended, ::testing::Values(core::kRemindMe, core::kShutDown));

TEST_F(ProgramTest, AnotherLaunchBringsBackWhatIsShowingOrTheHiddenMainWindow) {
    click(main(), main().option2);
    type(main(), main().text7, "40");
    confirm();
    ASSERT_FALSE(main().isVisible());
    act([&] { program.activate(); });
    EXPECT_TRUE(main().isVisible());
    EXPECT_EQ(main().label13.text, "40") << "the schedule it brings back is still armed";

    act([&] { program.showForm4(); });
    presenter.windowLog.clear();
    act([&] { program.activate(); });
    EXPECT_EQ(presenter.windowLog, (std::vector<std::string>{"show Form4"}));
}

}  // namespace
}  // namespace veltrask::testing
