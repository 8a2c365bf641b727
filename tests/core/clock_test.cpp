// SPDX-License-Identifier: MIT
#include <string>

#include "harness.h"

namespace veltrask::testing {
namespace {

using core::Form1;

class ClockTest : public ProgramTest {
protected:
    void setTarget(const std::string& hour, const std::string& minute, const std::string& second) {
        setText(main(), main().text1, hour);
        setText(main(), main().text2, minute);
        setText(main(), main().text3, second);
    }
    std::size_t reminders() const { return count("show Form4"); }
};

TEST_F(ClockTest, StartUpWritesTheTimeBeforeAnyTick) {
    EXPECT_EQ(main().label1.text, "9:00:00");
    EXPECT_EQ(main().focus(), &main().text1);
    EXPECT_EQ(presenter.windowLog, (std::vector<std::string>{"show Form1"}));
}

TEST_F(ClockTest, TicksJustAfterEachSecondBoundary) {
    system.advance(499);
    EXPECT_EQ(main().label1.text, "9:00:00");
    system.advance(20);  // 9:00:01.019
    EXPECT_EQ(main().label1.text, "9:00:01");
    system.advance(1000 * 60);
    EXPECT_EQ(main().label1.text, "9:01:01");
}

TEST_F(ClockTest, ReminderFiresInTheTickAfterLabel1ShowsTheTarget) {
    setTarget("9", "00", "03");
    // 9:00:03 is written at 9:00:03.005 and matched by the next tick.
    system.advance(clockAt(9, 0, 4) - system.nowMs());
    EXPECT_EQ(reminders(), 0u);
    system.advance(10);
    EXPECT_EQ(reminders(), 1u);
    EXPECT_EQ(system.beeps, 1);
    EXPECT_EQ(program.existingForm4()->label1.text, "9:00:04 时间到，请请输入要提醒的内容");
    // The main window keeps its values and its visibility.
    EXPECT_TRUE(main().isVisible());
    EXPECT_EQ(main().text3.text, "03");
}

TEST_F(ClockTest, ATargetFiresOncePerDayAndAgainTheNextDay) {
    setTarget("9", "00", "03");
    system.advance(10'000);
    ASSERT_EQ(reminders(), 1u);
    click(*program.existingForm4(), program.existingForm4()->command1);
    system.advance(24LL * 3600 * 1000 - 20'000);
    EXPECT_EQ(reminders(), 1u);
    system.advance(20'000);
    EXPECT_EQ(reminders(), 2u);
}

struct TargetCase {
    const char* name;
    std::int64_t start;
    const char* hour;
    const char* minute;
    const char* second;
    bool fires;
};

class TargetMatching : public ::testing::TestWithParam<TargetCase> {};

TEST_P(TargetMatching, WithinTheNextFiveSeconds) {
    const TargetCase& row = GetParam();
    Session fixture(row.start);
    auto& main = fixture.main();
    fixture.setText(main, main.text1, row.hour);
    fixture.setText(main, main.text2, row.minute);
    fixture.setText(main, main.text3, row.second);
    fixture.system.advance(5000);
    EXPECT_EQ(fixture.count("show Form4"), row.fires ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, TargetMatching,
    ::testing::Values(
        TargetCase{"HourWithLeadingZeroMatchesByValue", clockAt(9, 0, 0), "09", "00", "02", true},
        TargetCase{"MidnightAsZero", clockAt(23, 59, 58), "0", "00", "01", true},
        TargetCase{"MidnightAsResetHour", clockAt(23, 59, 58), "00", "00", "01", true},
        TargetCase{"LastSecondOfTheDay", clockAt(23, 59, 57), "23", "59", "59", true},
        TargetCase{"SingleDigitMinuteNeverMatches", clockAt(9, 5, 0), "9", "5", "02", false},
        TargetCase{"EmptyFieldsNeverMatch", clockAt(9, 0, 0), "", "", "", false},
        TargetCase{"MissingHourNeverMatches", clockAt(9, 0, 0), "", "00", "02", false},
        TargetCase{"OtherHour", clockAt(9, 0, 0), "10", "00", "02", false}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(ClockTest, ALateTickCatchesUpTheSecondsItSkipped) {
    setTarget("9", "00", "03");
    system.advance(clockAt(9, 0, 2, 100) - system.nowMs());
    ASSERT_EQ(main().label1.text, "9:00:02");
    // The next tick comes two seconds late: 9:00:03 is never written to Label1.
    system.delayTimers(2000);
    system.advance(clockAt(9, 0, 5, 10) - system.nowMs());
    ASSERT_EQ(main().label1.text, "9:00:05");
    EXPECT_EQ(reminders(), 1u);
}

TEST_F(ClockTest, AJumpOfMinutesDoesNotFireAStaleTarget) {
    setTarget("9", "02", "00");
    system.jumpClock(5 * 60 * 1000);
    system.advance(3000);
    EXPECT_EQ(main().label1.text, "9:05:03");
    EXPECT_EQ(reminders(), 0u);
}

TEST_F(ClockTest, AJumpBackPassesTheTargetAgain) {
    setTarget("9", "00", "03");
    system.advance(5000);
    ASSERT_EQ(reminders(), 1u);
    click(*program.existingForm4(), program.existingForm4()->command1);
    system.jumpClock(-10'000);
    system.advance(1000);
    EXPECT_EQ(reminders(), 1u) << "a jump back catches nothing up";
    system.advance(10'000);
    EXPECT_EQ(reminders(), 2u);
}

TEST_F(ClockTest, ASecondMatchOnlyBringsTheOpenReminderToTheFront) {
    setTarget("9", "00", "01");
    system.advance(clockAt(9, 0, 2, 10) - system.nowMs());
    ASSERT_EQ(reminders(), 1u);
    const std::string message = program.existingForm4()->label1.text;
    // Two ticks within one second both see 9:00:01 in Label1.
    setText(main(), main().label1, "9:00:01");
    act([&] { main().timer1Tick(); });
    EXPECT_EQ(reminders(), 2u);
    EXPECT_EQ(system.beeps, 1);
    EXPECT_EQ(program.existingForm4()->label1.text, message);
}

TEST_F(ClockTest, SystemActionOpensTheConfirmationWindowBeforeClosingTheMainWindow) {
    chooseAction(core::kRestart);
    setText(main(), main().text4, "45");
    setTarget("9", "00", "02");
    presenter.windowLog.clear();
    system.advance(3000);

    EXPECT_EQ(presenter.windowLog, (std::vector<std::string>{"show Form3", "destroy Form1"}));
    const core::Form3* confirmation = program.existingForm3();
    ASSERT_NE(confirmation, nullptr);
    EXPECT_EQ(confirmation->caption(), "真的要重新启动吗？");
    EXPECT_EQ(confirmation->label1.text, "45");
    // The tick went on with a new main window in its initial state, hidden, its clock running.
    const Form1* fresh = program.existingForm1();
    ASSERT_NE(fresh, nullptr);
    EXPECT_FALSE(fresh->isVisible());
    EXPECT_EQ(fresh->combo1.text, core::kRemindMe);
    EXPECT_EQ(fresh->text1.text, "");
    EXPECT_EQ(fresh->label1.text, "9:00:03");
    EXPECT_TRUE(fresh->timer1.enabled());
    system.advance(1000);
    EXPECT_EQ(fresh->label1.text, "9:00:04");
}

// Countdowns fire once at zero whichever of the two timers ticks first within a second.
struct CountdownCase {
    const char* name;
    const char* hours;
    const char* minutes;
    const char* seconds;
    int total;
};

class Countdown : public ::testing::TestWithParam<std::tuple<CountdownCase, int>> {};

TEST_P(Countdown, FiresOnceWithinOneSecondOfZero) {
    const auto& [row, confirmAtMs] = GetParam();
    for (const bool systemAction : {false, true}) {
        SCOPED_TRACE(systemAction ? "system action" : "reminder");
        Session t(clockAt(10, 0, 0, confirmAtMs));
        if (systemAction) {
            t.chooseAction(core::kShutDown);
        }
        t.click(t.main(), t.main().option2);
        t.setText(t.main(), t.main().text5, row.hours);
        t.setText(t.main(), t.main().text6, row.minutes);
        t.setText(t.main(), t.main().text7, row.seconds);
        t.confirm();
        const std::string fired = systemAction ? "show Form3" : "show Form4";
        const std::int64_t confirmedAt = t.system.nowMs();
        ASSERT_TRUE(
            t.advanceUntil([&] { return t.count(fired) > 0; }, (row.total + 2) * 1000LL, 5));
        const std::int64_t after = t.system.nowMs() - confirmedAt;
        EXPECT_GE(after, row.total * 1000LL - 20);
        EXPECT_LE(after, (row.total + 1) * 1000LL + 10);
        if (!systemAction) {
            EXPECT_EQ(t.main().label13.text, "");
            EXPECT_FALSE(t.main().timer2.enabled());
        }
        t.system.advance(5000);
        EXPECT_EQ(t.count(fired), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, Countdown,
    ::testing::Combine(::testing::Values(CountdownCase{"Zero", "", "", "0", 0},
                                         CountdownCase{"DoubleZero", "", "", "00", 0},
                                         CountdownCase{"OneSecond", "", "", "1", 1},
                                         CountdownCase{"TwoMinutesThirty", "", "2", "30", 150},
                                         CountdownCase{"OneHour", "1", "", "", 3600}),
                       ::testing::Values(100, 900)),
    [](const auto& p) {
        return std::string(std::get<0>(p.param).name) + "_ConfirmedAtMs" +
               std::to_string(std::get<1>(p.param));
    });

TEST_F(ClockTest, Timer2NeverCountsBelowZero) {
    click(main(), main().option2);
    setText(main(), main().text7, "1");
    confirm();
    // Two countdown ticks in a row, with no clock tick between them.
    act([&] { main().timer2Tick(); });
    act([&] { main().timer2Tick(); });
    EXPECT_EQ(main().label13.text, "0");
    system.advance(1000);
    EXPECT_EQ(count("show Form4"), 1u);
}

TEST_F(ClockTest, EveryWaitingStateWakesTheProgramOnceASecond) {
    EXPECT_EQ(system.armedTimers(), 1u) << "idle, shown";
    chooseAction(core::kLogOff);
    click(main(), main().option2);
    setText(main(), main().text7, "3");
    confirm();
    system.advance(1500);
    EXPECT_EQ(system.armedTimers(), 1u) << "hidden, counting down";
    system.advance(3000);
    ASSERT_NE(program.existingForm3(), nullptr);
    EXPECT_EQ(system.armedTimers(), 1u) << "the confirmation window counting";
}

}  // namespace
}  // namespace veltrask::testing
