// SPDX-License-Identifier: MIT
#include <string>

#include <utility>

#include "harness.h"

namespace veltrask::testing {
namespace {

using core::Control;
using core::Form1;

struct KeyCase {
    const char* name;
    char32_t character;
    bool accepted;
};

class KeyFilter : public ProgramTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(KeyFilter, NumericFieldsTakeDigitsAndBackspaceOnly) {
    Form1& form = main();
    for (Control* field : {&form.text1, &form.text2, &form.text3, &form.text4, &form.text5,
                           &form.text6, &form.text7}) {
        EXPECT_EQ(form.keyPress(*field, GetParam().character), GetParam().accepted) << field->name;
    }
    EXPECT_FALSE(form.keyPress(form.combo1, GetParam().character)) << "the action list takes none";
    EXPECT_TRUE(form.keyPress(form.text8, GetParam().character)) << "the reminder takes every one";
}

INSTANTIATE_TEST_SUITE_P(
    Characters, KeyFilter,
    ::testing::Values(KeyCase{"Zero", U'0', true}, KeyCase{"Nine", U'9', true},
                      KeyCase{"Backspace", U'\b', true}, KeyCase{"Letter", U'a', false},
                      KeyCase{"Blank", U' ', false}, KeyCase{"Minus", U'-', false},
                      KeyCase{"Plus", U'+', false}, KeyCase{"Point", U'.', false},
                      KeyCase{"Enter", U'\r', false}, KeyCase{"CtrlA", U'\x01', false},
                      KeyCase{"CtrlC", U'\x03', false}, KeyCase{"CtrlV", U'\x16', false},
                      KeyCase{"CtrlX", U'\x18', false}, KeyCase{"FullWidthDigit", U'１', false},
                      KeyCase{"CjkCharacter", U'时', false}),
    [](const auto& p) { return std::string(p.param.name); });

struct TypingCase {
    const char* name;
    const char* field;
    const char* keys;
    const char* text;
    const char* focus;
};

class Typing : public ProgramTest, public ::testing::WithParamInterface<TypingCase> {};

TEST_P(Typing, EndsWithTheTextAndFocusOfTheChangeRule) {
    const TypingCase& row = GetParam();
    Form1& form = main();
    if (std::string(row.field) >= "Text5") {
        click(form, form.option2);
    }
    if (std::string(row.field) == "Text4") {
        chooseAction(core::kShutDown);
        setText(form, form.text4, "");
    }
    Control& field = *form.find(row.field);
    focus(form, field);
    type(form, field, row.keys);
    EXPECT_EQ(field.text, row.text);
    ASSERT_NE(form.focus(), nullptr);
    EXPECT_EQ(form.focus()->name, row.focus);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, Typing,
    ::testing::Values(TypingCase{"HourOutOfRangeResets", "Text1", "24", "00", "Text2"},
                      TypingCase{"HourInRangeMovesOn", "Text1", "23", "23", "Text2"},
                      TypingCase{"OneDigitStays", "Text1", "7", "7", "Text1"},
                      TypingCase{"LettersDiscarded", "Text1", "a1b", "1", "Text1"},
                      TypingCase{"BackspaceWorks", "Text2", "5\b3", "3", "Text2"},
                      TypingCase{"MinuteLimitIsInclusive", "Text2", "59", "59", "Text3"},
                      TypingCase{"SecondOutOfRangeResets", "Text3", "60", "00", "Combo1"},
                      TypingCase{"CountdownHasNoRange", "Text6", "90", "90", "Text7"},
                      TypingCase{"CountdownSecondsMoveToTheList", "Text7", "75", "75", "Combo1"},
                      TypingCase{"LeadTimeHasNoLimit", "Text4", "12345", "12345", "Text4"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(ProgramTest, TheMaximumLengthIsSetByTheFirstChangeOnly) {
    Form1& form = main();
    EXPECT_EQ(form.text1.maxLength, 0);
    // A first paste of several digits is kept whole; the limit applies from then on.
    setText(form, form.text2, "1234");
    EXPECT_EQ(form.text2.text, "00") << "1234 is above 59";
    setText(form, form.text5, "1234");
    EXPECT_EQ(form.text5.text, "1234");
    EXPECT_EQ(form.text5.maxLength, 2);
}

TEST_F(ProgramTest, PastedTextMustBeDigitsOnly) {
    const Form1& form = main();
    EXPECT_EQ(form.textTaken(form.text1, "12"), "12");
    EXPECT_EQ(form.textTaken(form.text4, ""), "");
    for (const char* text : {"1a", " 1", "-1", "1.5", "１", "时"}) {
        EXPECT_EQ(form.textTaken(form.text1, text), std::nullopt) << text;
    }
    EXPECT_EQ(form.textTaken(form.combo1, core::kShutDown), std::nullopt);
    EXPECT_EQ(form.textTaken(form.text8, "<b>任何内容</b>"), "<b>任何内容</b>");
}

TEST_F(ProgramTest, LineBreaksReachingTheReminderTextBecomeBlanks) {
    const Form1& form = main();
    const std::pair<std::string, std::string> cases[] = {
        {"开会\n三楼", "开会 三楼"},
        {"a\r\nb", "a b"},
        {"a\rb", "a b"},
        {"a\n\nb", "a  b"},
        {"a\u2028b\u2029c", "a b c"},
        {"a\u0085b", "a b"},
        {"\tno break\t", "\tno break\t"},
    };
    for (const auto& [pasted, held] : cases) {
        EXPECT_EQ(form.textTaken(form.text8, pasted), held) << pasted;
    }
    EXPECT_EQ(form.textTaken(form.text1, "1\n"), std::nullopt) << "a numeric field takes none";
}

TEST_F(ProgramTest, ArrowKeysAmongTheOptionButtonsChooseWhereTheyMove) {
    Form1& form = main();
    for (const int step : {1, -1}) {
        act([&] { EXPECT_TRUE(form.arrowKey(form.option1, step)); });
        EXPECT_TRUE(form.option2.checked);
        EXPECT_FALSE(form.option1.checked);
        EXPECT_EQ(form.focus(), &form.text5) << "the countdown's click handler ran";
        act([&] { EXPECT_TRUE(form.arrowKey(form.option2, step)); });
        EXPECT_TRUE(form.option1.checked);
        EXPECT_EQ(form.focus(), &form.text1);
    }
    act([&] { EXPECT_FALSE(form.arrowKey(form.text1, 1)) << "not an option button"; });
}

TEST_F(ProgramTest, ModeSwitchesEnableClearAndFocusTheirRows) {
    Form1& form = main();
    setText(form, form.text1, "9");
    click(form, form.option2);
    EXPECT_TRUE(form.option2.checked);
    EXPECT_FALSE(form.option1.checked);
    for (Control* field : {&form.text1, &form.text2, &form.text3}) {
        EXPECT_FALSE(field->enabled) << field->name;
        EXPECT_EQ(field->text, "") << field->name;
    }
    for (Control* field : {&form.text5, &form.text6, &form.text7}) {
        EXPECT_TRUE(field->enabled) << field->name;
    }
    EXPECT_EQ(form.focus(), &form.text5);

    setText(form, form.text6, "5");
    click(form, form.option1);
    EXPECT_EQ(form.text6.text, "");
    EXPECT_FALSE(form.text6.enabled);
    EXPECT_TRUE(form.text1.enabled);
    EXPECT_EQ(form.focus(), &form.text1);
}

TEST_F(ProgramTest, SwitchingModeLeavesARunningCountdownAlone) {
    Form1& form = main();
    click(form, form.option2);
    setText(form, form.text7, "50");
    confirm();
    click(form, form.option1);
    EXPECT_EQ(form.label13.text, "50");
    EXPECT_TRUE(form.timer2.enabled());
}

TEST_F(ProgramTest, ChoosingASystemActionShowsTheLeadTimeRow) {
    Form1& form = main();
    chooseAction(core::kRestart);
    EXPECT_FALSE(form.text8.visible);
    EXPECT_TRUE(form.text4.visible);
    EXPECT_TRUE(form.text4.enabled);
    EXPECT_TRUE(form.label8.visible);
    EXPECT_TRUE(form.label9.visible);
    EXPECT_EQ(form.label8.text, "重新启动前");
    EXPECT_EQ(form.text4.text, "30");
    EXPECT_EQ(form.focus(), &form.text4);

    setText(form, form.text4, "120");
    chooseAction(core::kRemindMe);
    EXPECT_FALSE(form.text4.visible);
    EXPECT_FALSE(form.text4.enabled);
    EXPECT_FALSE(form.label8.visible);
    EXPECT_TRUE(form.text8.visible);
    EXPECT_EQ(form.focus(), &form.text8);
    // The reminder box took the focus inside the click and so lost its placeholder at once.
    EXPECT_EQ(form.text8.text, "");
    EXPECT_EQ(form.text8.foreColor, core::kBlack);

    chooseAction(core::kLogOff);
    EXPECT_EQ(form.text4.text, "120") << "the hidden lead time is kept";
    EXPECT_EQ(form.label8.text, "注销前");
}

TEST_F(ProgramTest, TheReminderPlaceholderComesBackGreyWhenLeftEmpty) {
    Form1& form = main();
    EXPECT_EQ(form.text8.foreColor, core::kGrey);
    focus(form, form.text8);
    EXPECT_EQ(form.text8.text, "");
    EXPECT_EQ(form.text8.foreColor, core::kBlack);
    type(form, form.text8, "ab");
    focus(form, form.text1);
    EXPECT_EQ(form.text8.text, "ab");
    focus(form, form.text8);
    type(form, form.text8, "\b\b");
    focus(form, form.text1);
    EXPECT_EQ(form.text8.text, core::kReminderPlaceholder);
    EXPECT_EQ(form.text8.foreColor, core::kGrey);
    // Typing the placeholder itself turns it grey as well.
    focus(form, form.text8);
    setText(form, form.text8, std::string(core::kReminderPlaceholder));
    EXPECT_EQ(form.text8.foreColor, core::kGrey);
}

TEST_F(ProgramTest, TheWebsiteLabelOpensTheAddress) {
    click(main(), main().label14);
    EXPECT_EQ(system.commands,
              (std::vector<std::string>{"explorer.exe " + std::string(core::kWebsite)}));
    EXPECT_TRUE(system.endings.empty());
    EXPECT_TRUE(main().isVisible());
}

TEST_F(ProgramTest, DigitsTooManyForANumberAreOutOfRangeInTheClockFields) {
    Form1& form = main();
    setText(form, form.text1, std::string(400, '9'));
    EXPECT_EQ(form.text1.text, "00");
    setText(form, form.text6, std::string(400, '9'));
    EXPECT_EQ(form.text6.text, std::string(400, '9')) << "the countdown fields have no range";
}

}  // namespace
}  // namespace veltrask::testing
