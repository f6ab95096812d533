#include "core/numbertext.h"

#include <gtest/gtest.h>

#include <limits>

using namespace mixgen;

namespace {

// Catches a parser that reads exponents, misses signs or blanks, or fails to stop at the
// first character that is not part of the number.
TEST(NumberText, LeadingNumericValueReadsOnlyTheLeadingNumber) {
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"", 0},          {"abc", 0},         {"12abc", 12},    {"1e9", 1},
        {".5", 0.5},      {"0.5", 0.5},       {"5.", 5},        {"  42", 42},
        {"\t7 songs", 7}, {" -5", -5},        {"+3", 3},        {"-.25", -0.25},
        {"-", 0},         {".", 0},           {"- 3", 0},       {"1.2.3", 1.2},
        {"007", 7},       {"100000", 100000}, {"2,5", 2},       {"0x10", 0},
        {"\xd9\xa3", 0},  {"1 000", 1},       {"3.999", 3.999}, {"99999999999", 99999999999.0},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(leadingNumericValue(QString::fromUtf8(c.text)), c.value) << c.text;

    EXPECT_FALSE(std::signbit(leadingNumericValue("-0"))) << "no negative zero";
    const double huge = leadingNumericValue(QString(400, u'9'));
    EXPECT_TRUE(std::isfinite(huge));
    EXPECT_GT(huge, 1e300);
    EXPECT_LT(leadingNumericValue("-" + QString(400, u'9')), -1e300);
    EXPECT_EQ(leadingNumericValue("0." + QString(400, u'0') + "1"), 0.0);
}

// Catches rounding halves away from zero, or overflowing instead of clamping.
TEST(NumberText, RoundsHalvesToEvenAndClamps) {
    const struct {
        double value;
        int rounded;
    } cases[] = {
        {2.5, 2},    {3.5, 4},    {0.5, 0},  {1.5, 2}, {-2.5, -2},        {-3.5, -4},
        {2.4999, 2}, {2.5001, 3}, {-0.4, 0}, {7, 7},   {99999.5, 100000}, {100000.5, 100000},
    };
    for (const auto& c : cases)
        EXPECT_EQ(roundHalfEven(c.value), c.rounded) << c.value;

    constexpr int kMax = std::numeric_limits<int>::max();
    constexpr int kMin = std::numeric_limits<int>::min();
    EXPECT_EQ(roundHalfEven(1e20), kMax);
    EXPECT_EQ(roundHalfEven(-1e20), kMin);
    EXPECT_EQ(roundHalfEven(std::numeric_limits<double>::infinity()), kMax);
    EXPECT_EQ(roundHalfEven(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(roundHalfEven(2147483646.5), 2147483646);
    EXPECT_DOUBLE_EQ(roundHalfEvenValue(4294967296.5), 4294967296.0);
}

// Catches exponents, leading or trailing zeros, and binary noise in the shown number.
TEST(NumberText, WritesNumbersWithoutExponentOrNoise) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {7, "7"},
        {100000, "100000"},
        {2.5, "2.5"},
        {-2.5, "-2.5"},
        {0.5, "0.5"},
        {0, "0"},
        {-0.0, "0"},
        {0.1 + 0.2, "0.3"},
        {1e20, "100000000000000000000"},
        {1e-7, "0.0000001"},
        {123456.789, "123456.789"},
        {1000000000000000.0, "1000000000000000"},
        {0.000123, "0.000123"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(numberToText(c.value), QString::fromLatin1(c.text)) << c.value;

    // What the request fields write back must read as the same number.
    for (double value : {12.75, 99999.0, 0.0625, 31.4159})
        EXPECT_DOUBLE_EQ(leadingNumericValue(numberToText(value)), value);
}

} // namespace
