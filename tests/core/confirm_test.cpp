// SPDX-License-Identifier: MIT
#include <string>

#include "harness.h"

namespace veltrask::testing {
namespace {

struct ConfirmCase {
    const char* name;
    const char* hours;
    const char* minutes;
    const char* seconds;
    const char* label13;  // what the countdown starts from; "" when none is armed
};

class ConfirmCountdown : public ProgramTest, public ::testing::WithParamInterface<ConfirmCase> {};

TEST_P(ConfirmCountdown, SetsTheRemainingSecondsAndHides) {
    const ConfirmCase& row = GetParam();
    click(main(), main().option2);
    setText(main(), main().text5, row.hours);
    setText(main(), main().text6, row.minutes);
    setText(main(), main().text7, row.seconds);
    confirm();
    EXPECT_EQ(main().label13.text, row.label13);
    EXPECT_TRUE(main().timer2.enabled());
    EXPECT_FALSE(main().isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ConfirmCountdown,
    ::testing::Values(ConfirmCase{"HoursMinutesSeconds", "1", "2", "3", "3723"},
                      ConfirmCase{"HoursMinutes", "1", "2", "", "3720"},
                      ConfirmCase{"HoursSeconds", "1", "", "3", "3603"},
                      ConfirmCase{"HoursOnly", "99", "", "", "356400"},
                      ConfirmCase{"MinutesSeconds", "", "2", "30", "150"},
                      ConfirmCase{"MinutesOnlyBeyondAnHour", "", "90", "", "5400"},
                      ConfirmCase{"SecondsOnlyCopiedAsTyped", "", "", "05", "05"},
                      ConfirmCase{"SecondsOnlyDoubleZero", "", "", "00", "00"},
                      ConfirmCase{"AllZero", "0", "0", "0", "0"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(ProgramTest, ConfirmPadsMinuteAndSecondButNeverTheHour) {
    setText(main(), main().text1, "9");
    setText(main(), main().text2, "5");
    setText(main(), main().text3, "7");
    confirm();
    EXPECT_EQ(main().text1.text, "9");
    EXPECT_EQ(main().text2.text, "05");
    EXPECT_EQ(main().text3.text, "07");
    EXPECT_FALSE(main().isVisible());
    // The padded fields ran their change rule: the focus went on past Text3.
    EXPECT_EQ(main().focus(), &main().combo1);
}

TEST_F(ProgramTest, ConfirmWithAnIncompleteTargetLeavesTheWindowOpen) {
    setText(main(), main().text1, "9");
    setText(main(), main().text3, "7");
    confirm();
    EXPECT_TRUE(main().isVisible());
    EXPECT_EQ(main().text2.text, "");
    EXPECT_EQ(main().text3.text, "07");
    EXPECT_EQ(main().label13.text, "");
    EXPECT_FALSE(main().timer2.enabled());
}

TEST_F(ProgramTest, ConfirmWithNothingFilledOnlyRestoresTheLeadTime) {
    chooseAction(core::kShutDown);
    setText(main(), main().text4, "");
    confirm();
    EXPECT_EQ(main().text4.text, "30");
    EXPECT_TRUE(main().isVisible());
    EXPECT_FALSE(main().timer2.enabled());
}

TEST_F(ProgramTest, ConfirmingAgainReplacesTheRunningCountdown) {
    click(main(), main().option2);
    setText(main(), main().text7, "50");
    confirm();
    system.advance(10'000);
    setText(main(), main().text7, "");
    setText(main(), main().text6, "1");
    confirm();
    EXPECT_EQ(main().label13.text, "60");
    EXPECT_TRUE(main().timer2.enabled());
}

TEST_F(ProgramTest, AnUnknownActionTextKeepsTheWindowButStillArmsTheCountdown) {
    click(main(), main().option2);
    setText(main(), main().combo1, "something else");
    setText(main(), main().text7, "5");
    confirm();
    EXPECT_TRUE(main().isVisible());
    EXPECT_EQ(main().label13.text, "5");
}

TEST_F(ProgramTest, ACountdownThatCouldNeverReachZeroIsNotArmed) {
    click(main(), main().option2);
    for (const std::string& hours : {std::string(13, '9'), std::string(400, '9')}) {
        setText(main(), main().text5, hours);
        confirm();
        EXPECT_EQ(main().label13.text, "") << hours.size() << " digits of hours";
        EXPECT_FALSE(main().timer2.enabled());
        act([&] { program.showForm1(); });
    }
    setText(main(), main().text5, "");
    setText(main(), main().text7, std::string(16, '9'));
    confirm();
    EXPECT_EQ(main().label13.text, "") << "seconds alone, copied as typed only when countable";
}

TEST_F(ProgramTest, ACountdownIsNeverShortenedByALateTickOrAClockBeingSet) {
    click(main(), main().option2);
    setText(main(), main().text7, "3");
    // The clock tick due at 9:00:01.005 comes late, after a confirm at 9:00:01.200.
    system.delayTimers(300);
    system.advance(700);
    confirm();
    const std::int64_t confirmedAt = system.nowMs();
    // The wall clock is set forward by 0.9 s: the second boundaries move, the countdown does not.
    system.jumpClock(900);
    ASSERT_TRUE(advanceUntil([&] { return count("show Form4") > 0; }, 5000));
    EXPECT_GE(system.nowMs() - confirmedAt, 3000 - 20);
    EXPECT_LE(system.nowMs() - confirmedAt, 4000 + 10);
}

}  // namespace
}  // namespace veltrask::testing
