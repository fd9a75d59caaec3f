// Server values to numbers, day numbers and text, independent of any database.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "db/field_text.h"

namespace levrano {
namespace {

TEST(ScaledText, ExactDigitsWithoutTrailingZeros) {
    const struct {
        std::int64_t raw;
        int scale;
        const char* text;
    } cases[] = {
        {1299, -2, "12.99"},
        {-1299, -2, "-12.99"},
        {-5, -2, "-0.05"},
        {10000, -2, "100"},
        {12340, -3, "12.34"},
        {0, -4, "0"},
        {1, -18, "0.000000000000000001"},
        {std::numeric_limits<std::int64_t>::max(), 0, "9223372036854775807"},
        {std::numeric_limits<std::int64_t>::min(), -4, "-922337203685477.5808"},
        {-7, 0, "-7"},
        {12, 3, "12000"},
        {0, 3, "0"},
    };
    for (const auto& c : cases) EXPECT_EQ(ScaledText(c.raw, c.scale), c.text) << c.raw << "e" << c.scale;
}

TEST(ScaledValue, TruncationTowardZeroKeepsTheLow32Bits) {
    const struct {
        std::int64_t raw;
        int scale;
        double value;
        std::int32_t truncated;
    } cases[] = {
        {1299, -2, 12.99, 12},
        {-1299, -2, -12.99, -12},
        {-5, -2, -0.05, 0},
        {123456789012345678, -4, 12345678901234.5678, 1942892530},
        {-123456789012345678, -4, -12345678901234.5678, -1942892530},
        {std::numeric_limits<std::int64_t>::max(), 0, 9223372036854775807.0, -1},
        {std::numeric_limits<std::int64_t>::min(), 0, -9223372036854775808.0, 0},
        {3, 2, 300, 300},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(ScaledValue(c.raw, c.scale), c.value) << c.raw << "e" << c.scale;
        EXPECT_EQ(ScaledTruncated(c.raw, c.scale), c.truncated) << c.raw << "e" << c.scale;
    }
}

TEST(DecimalText, ShortestPlainNotation) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0.1, "0.1"},
        {12.99, "12.99"},
        {-0.05, "-0.05"},
        {100.0, "100"},
        {1e20, "100000000000000000000"},
        {1.5e-7, "0.00000015"},
        {0.1 + 0.2, "0.30000000000000004"},
        {0.0, "0"},
    };
    for (const auto& c : cases) EXPECT_EQ(DecimalText(c.value), c.text) << c.text;
    EXPECT_EQ(DecimalText(1.1f), "1.1");
    EXPECT_EQ(DecimalText(static_cast<double>(1.1f)), "1.100000023841858");
}

TEST(LooseTextToDouble, ReadsLeadingNumberAndSkipsNoise) {
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"12.5", 12.5},
        {"-12.5", -12.5},
        {"1.2.3", 1.2},       // a second point ends the number
        {"1 234,5", 12345},   // other characters are skipped
        {"12.5e2", 1250},
        {"12.5E-1x9", 1.25},  // the exponent ends the number
        {"5e", 5},
        {"+7", 7},            // "+" is just another skipped character
        {"", 0},
        {"abc", 0},
        {"-", 0},
        {".5", 0.5},
        {"1e400", std::numeric_limits<double>::infinity()},
        {"-1e400", -std::numeric_limits<double>::infinity()},
        {"1e-400", 0},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(LooseTextToDouble(c.text), c.value) << c.text;
}

TEST(DayNumbers, ServerDatesAndTimes) {
    EXPECT_EQ(DayNumber(0), 678576);             // 17 November 1858
    EXPECT_EQ(DayNumber(-678575), 1);            // 1 January of year 1
    EXPECT_DOUBLE_EQ(DayFraction(432000000), 0.5);
    EXPECT_DOUBLE_EQ(DayFraction(0xFFFFFFFFu), 4294967295.0 / 864000000.0);  // read unsigned
    TDateTimeParts parts;
    parts.Year = 2024;
    parts.Month = 3;
    parts.Day = 5;
    parts.Hour = 12;
    EXPECT_DOUBLE_EQ(DayNumber(parts), 738950.5);
    parts.HasDate = false;
    EXPECT_DOUBLE_EQ(DayNumber(parts), 0.5);
}

TEST(DayNumbers, FixedDateAndTimeTexts) {
    const struct {
        std::int32_t date;
        const char* text;
    } dates[] = {{0, "17.11.1858"}, {-678575, "01.01.0001"}, {60369, "29.02.2024"}, {60370, "01.03.2024"}, {2973483, "31.12.9999"}};
    for (const auto& d : dates) EXPECT_EQ(DateText(d.date), d.text) << d.date;
    EXPECT_EQ(TimeText(0), "00:00:00");
    EXPECT_EQ(TimeText(495301234), "13:45:30");
    EXPECT_EQ(TimeText(863999999), "23:59:59");
    const TDateTimeParts parts = ServerDateTimeParts(60370, 495301234);
    EXPECT_EQ(parts.Year, 2024);
    EXPECT_EQ(parts.Month, 3);
    EXPECT_EQ(parts.Day, 1);
    EXPECT_EQ(parts.Millisecond, 123);
}

TEST(HexPairText, HighWordPlainLowWordEightDigits) {
    EXPECT_EQ(HexPairText(2, 1), "0x200000001");
    EXPECT_EQ(HexPairText(0, 0), "0x000000000");
    EXPECT_EQ(HexPairText(0xABCDEF01u, 0xFFu), "0xabcdef01000000ff");
}

}  // namespace
}  // namespace levrano
