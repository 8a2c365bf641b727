// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

#include "core/numbers.h"
#include "core/time_text.h"

namespace veltrask::core {
namespace {

struct TextCase {
    const char* text;
    std::optional<double> value;
};

class TextToNumber : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextToNumber, ReadsNumberTextsAndRefusesTheRest) {
    EXPECT_EQ(textToNumber(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextToNumber,
    ::testing::Values(TextCase{"0", 0.0}, TextCase{"00", 0.0}, TextCase{"05", 5.0},
                      TextCase{"3600", 3600.0}, TextCase{"-1", -1.0}, TextCase{"2.5", 2.5},
                      TextCase{"1e+30", 1e30}, TextCase{"", std::nullopt},
                      TextCase{" 5", std::nullopt}, TextCase{"5 ", std::nullopt},
                      TextCase{"+5", std::nullopt}, TextCase{"1a", std::nullopt},
                      TextCase{"-", std::nullopt}, TextCase{".5", std::nullopt},
                      TextCase{"inf", std::nullopt}, TextCase{"nan", std::nullopt},
                      TextCase{"0x10", std::nullopt}, TextCase{"１２", std::nullopt},
                      TextCase{"1e999", std::nullopt}));

TEST(NumberToText, WritesTheShortestText) {
    EXPECT_EQ(numberToText(3600), "3600");
    EXPECT_EQ(numberToText(0), "0");
    EXPECT_EQ(numberToText(-0.0), "0");
    EXPECT_EQ(numberToText(-1), "-1");
    EXPECT_EQ(numberToText(2.5), "2.5");
    EXPECT_EQ(numberToText(9007199254740992.0), "9007199254740992");
}

TEST(NumberToText, EveryTextReadsBackAsItsValue) {
    for (const double value : {0.0, 1.0, -1.0, 59.0, 359999.0, 0.1, 1e30, 3.6e33, -2.25e-7,
                               std::numeric_limits<double>::max()}) {
        EXPECT_EQ(textToNumber(numberToText(value)), value) << numberToText(value);
    }
}

TEST(TimeText, IsHourWithoutLeadingZeroThenTwoDigitMinutesAndSeconds) {
    EXPECT_EQ(timeText(0), "0:00:00");
    EXPECT_EQ(timeText(9 * 3600 + 5 * 60 + 7), "9:05:07");
    EXPECT_EQ(timeText(21 * 3600 + 30 * 60), "21:30:00");
    EXPECT_EQ(timeText(kSecondsPerDay - 1), "23:59:59");
    EXPECT_EQ(timeText(kSecondsPerDay), "0:00:00");
}

TEST(TimeText, ParsesOnlyWhatItWrites) {
    for (int second = 0; second < kSecondsPerDay; second += 7) {
        ASSERT_EQ(parseTimeText(timeText(second)), second);
    }
    for (const char* text : {"", "9:5:07", "24:00:00", "9:60:00", "9:05", "a:bc:de", "9:05:07 "}) {
        EXPECT_EQ(parseTimeText(text), std::nullopt) << text;
    }
}

}  // namespace
}  // namespace veltrask::core
