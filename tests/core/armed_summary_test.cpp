// SPDX-License-Identifier: MIT
#include "core/armed_summary.h"
#include "harness.h"

namespace veltrask::testing {
namespace {

TEST_F(ProgramTest, TheTrayNamesWhatAHiddenMainWindowHasArmed) {
    EXPECT_EQ(core::armedSummary(program), std::nullopt) << "shown";
    chooseAction(core::kShutDown);
    setText(main(), main().text1, "23");
    setText(main(), main().text2, "5");
    confirm();
    EXPECT_EQ(core::armedSummary(program), std::nullopt) << "an incomplete target stays shown";
    setText(main(), main().text3, "0");
    confirm();
    EXPECT_EQ(core::armedSummary(program), "关闭计算机 23:05:00");

    act([&] { program.showForm1(); });
    click(main(), main().option2);
    setText(main(), main().text6, "2");
    confirm();
    EXPECT_EQ(core::armedSummary(program), "关闭计算机 倒计时剩余 120 秒");
    system.advance(3000);
    EXPECT_EQ(core::armedSummary(program), "关闭计算机 倒计时剩余 118 秒");
}

TEST_F(ProgramTest, TheTrayShowsBothWhenATargetAndACountdownAreArmed) {
    click(main(), main().option2);
    setText(main(), main().text7, "30");
    confirm();
    act([&] { program.showForm1(); });
    click(main(), main().option1);
    for (auto [field, text] :
         {std::pair{&main().text1, "7"}, {&main().text2, "30"}, {&main().text3, "00"}}) {
        setText(main(), *field, text);
    }
    confirm();
    EXPECT_EQ(core::armedSummary(program), "提醒我 7:30:00\n提醒我 倒计时剩余 30 秒");
}

TEST_F(ProgramTest, TheTrayIsGoneWhileAConfirmationWindowCounts) {
    chooseAction(core::kRestart);
    click(main(), main().option2);
    setText(main(), main().text7, "1");
    confirm();
    system.advance(2100);
    ASSERT_NE(program.existingForm3(), nullptr);
    EXPECT_EQ(core::armedSummary(program), std::nullopt);
}

}  // namespace
}  // namespace veltrask::testing
