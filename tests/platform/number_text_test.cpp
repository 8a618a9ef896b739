#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "platform/number_text.h"
#include "c_locale.h"

using namespace zelk;

namespace {

TEST(NumberText, FixedMatchesPrintfInTheCLocale) {
    EXPECT_EQ(FormatFixed(114.30124, 3), "114.301");
    EXPECT_EQ(FormatFixed(-0.0004, 3), "-0.000");
    EXPECT_EQ(FormatFixed(2.5e-7, 6), "0.000000");
    EXPECT_EQ(FormatFixed(1e21, 3), "1000000000000000000000.000");
    EXPECT_EQ(FormatFixed(0.0005, 3), "0.001");  // 0.0005 is just above in binary
    EXPECT_EQ(FormatFixed(std::numeric_limits<double>::infinity(), 3), "inf");
}

TEST(NumberText, GeneralMatchesPercentG15) {
    EXPECT_EQ(FormatGeneral(0.0), "0");
    EXPECT_EQ(FormatGeneral(114.3015), "114.3015");
    EXPECT_EQ(FormatGeneral(1.50), "1.5");
    EXPECT_EQ(FormatGeneral(30.301500000000004), "30.3015");
    EXPECT_EQ(FormatGeneral(1e21), "1e+21");
    EXPECT_EQ(FormatGeneral(1.0000000000000002), "1");
    EXPECT_EQ(FormatGeneral(0.0001), "0.0001");
    EXPECT_EQ(FormatGeneral(0.00001), "1e-05");
}

TEST(NumberText, AgreesWithPrintfOnManyValues) {
    // printf in the C locale is the reference for "%.3f", "%.6f" and "%.15g".
    const CLocaleScope cLocale;
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> mantissa(-1, 1);
    std::uniform_int_distribution<int> exponent(-12, 22);
    char expected[512];
    for (int i = 0; i < 20000; ++i) {
        const double v = std::ldexp(mantissa(random), exponent(random) * 3);
        std::snprintf(expected, sizeof expected, "%.3f", v);
        ASSERT_EQ(FormatFixed(v, 3), expected);
        std::snprintf(expected, sizeof expected, "%.6f", v);
        ASSERT_EQ(FormatFixed(v, 6), expected);
        std::snprintf(expected, sizeof expected, "%.15g", v);
        ASSERT_EQ(FormatGeneral(v), expected);
    }
}

TEST(NumberText, FormattingIgnoresTheProcessLocale) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "no de_DE.UTF-8 locale here";
    EXPECT_EQ(FormatFixed(114.3015, 4), "114.3015");
    EXPECT_EQ(FormatGeneral(1.5), "1.5");
    EXPECT_EQ(ParseDecimal("1.5"), 1.5);
    EXPECT_EQ(ParseDialogNumber("1.5"), 1.5);
    EXPECT_FALSE(ParseDialogNumber("1,5").has_value());
    std::setlocale(LC_ALL, previous.c_str());
}

TEST(NumberText, DecimalTokensAreWholeNumbersOnly) {
    EXPECT_EQ(ParseDecimal("114.3015"), 114.3015);
    EXPECT_EQ(ParseDecimal("-5"), -5.0);
    EXPECT_EQ(ParseDecimal("+5"), 5.0);
    EXPECT_EQ(ParseDecimal(".5"), 0.5);
    EXPECT_EQ(ParseDecimal("5."), 5.0);
    EXPECT_EQ(ParseDecimal("3.2e5"), 320000.0);
    EXPECT_TRUE(std::signbit(*ParseDecimal("-0")));
    for (const char* bad : {"", "+", "-", ".", "nan", "inf", "-inf", "infinity", "0x1p3", "1,5",
                            "1.5.2", "1e", "12x", "+-5", "--5", " 5", "5 ", "1e400", "-1e400"}) {
        EXPECT_FALSE(ParseDecimal(bad).has_value()) << bad;
    }
    EXPECT_EQ(ParseInt("42"), 42);
    EXPECT_EQ(ParseInt("-3"), -3);
    EXPECT_FALSE(ParseInt("+-3").has_value());
    EXPECT_FALSE(ParseInt("99999999999").has_value());
}

TEST(DialogNumber, ZeroCountsOnlyWhenTheTextStartsWithZero) {
    EXPECT_EQ(ParseDialogNumber("0"), 0.0);
    EXPECT_EQ(ParseDialogNumber("0.0"), 0.0);
    EXPECT_EQ(ParseDialogNumber("  \t0"), 0.0);
    for (const char* notNumber : {"", "   ", ".0", "+0", "-0", "-0.0", "abc", "1.5x", "1,5", "nan",
                                  "inf", "0x10", "1e400", "-"}) {
        EXPECT_FALSE(ParseDialogNumber(notNumber).has_value()) << notNumber;
    }
}

TEST(DialogNumber, BlanksAndTabsAroundTheNumber) {
    EXPECT_EQ(ParseDialogNumber(" 114.3015 \t "), 114.3015);
    EXPECT_EQ(ParseDialogNumber("\t-30.3015"), -30.3015);
    EXPECT_EQ(ParseDialogNumber("1.50"), 1.5);
    EXPECT_EQ(ParseDialogNumber("+2"), 2.0);
    EXPECT_EQ(ParseDialogNumber("1e3"), 1000.0);
    EXPECT_EQ(ParseDialogNumber("1e"), std::nullopt);  // 1 then "e": not only blanks after
    EXPECT_FALSE(ParseDialogNumber("1 2").has_value());
    EXPECT_FALSE(ParseDialogNumber("1\n").has_value());
}

TEST(DialogNumber, WhatIsShownReadsBack) {
    EXPECT_EQ(FormatDialogNumber(-0.0), "0");
    EXPECT_EQ(ParseDialogNumber(FormatDialogNumber(-0.0)), 0.0);
    for (double v : {114.3015, -30.301500000000004, 1e-300, -1.5e300, 6378143.378137,
                     0.0001, 1.0000000000000002}) {
        const std::string shown = FormatDialogNumber(v);
        const auto read = ParseDialogNumber(shown);
        ASSERT_TRUE(read.has_value()) << shown;
        EXPECT_EQ(FormatDialogNumber(*read), shown);
    }
}

TEST(DialogNumber, OnlyTheFirst31BytesAreRead) {
    // 31 characters of a number, then more digits that are never looked at.
    const std::string text = std::string("1234567890123456789012345678901") + "99999";
    EXPECT_EQ(ParseDialogNumber(text), 1234567890123456789012345678901.0);
    EXPECT_EQ(ParseDialogNumber(std::string(30, ' ') + "7" + "abc"), 7.0);
}

// The writer of every file value: printf's "%.Nf" exactly, for every N.
TEST(NumberText, WriteFixedIsPrintfForEveryDecimals) {
    const CLocaleScope cLocale;
    auto check = [](double v, int decimals) {
        char expected[400], got[kWriteFixedMax];
        std::snprintf(expected, sizeof expected, "%.*f", decimals, v);
        return std::string(got, WriteFixed(got, v, decimals)) == expected;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double special[] = {0.0, -0.0, 0.5, 1.5, 2.5, -2.5, 0.125, 0.375, 1e-9, 5e-10,
                              -5e-10, 0.0000000005, 39.5959999996, 116.59599999999999,
                              4503599627370495.5, 4503599627370496.0, 9007199254740993.0,
                              18446744073709549568.0, 18446744073709551616.0, 1e20, -1e300,
                              std::numeric_limits<double>::max(), 1e-300, 5e-324,
                              std::numeric_limits<double>::min(), inf, -inf, nan, -nan};
    for (int decimals = 0; decimals <= kWriteFixedMaxDecimals; ++decimals) {
        for (double v : special) {
            // C runtimes differ on the sign of NaN (the Windows one drops
            // it); the writer keeps glibc's.
            if (std::isnan(v)) {
                char got[kWriteFixedMax];
                EXPECT_EQ(std::string(got, WriteFixed(got, v, decimals)),
                          std::signbit(v) ? "-nan" : "nan");
                continue;
            }
            EXPECT_TRUE(check(v, decimals)) << std::hexfloat << v << " " << decimals;
        }
    }
    std::mt19937_64 random(14);
    std::uniform_real_distribution<double> unit(-1, 1);
    std::uniform_int_distribution<int> exponent(-70, 70), decimalsOf(0, kWriteFixedMaxDecimals);
    std::uniform_int_distribution<long long> units(-400000000000LL, 400000000000LL);
    for (int i = 0; i < 300000; ++i) {
        const int decimals = decimalsOf(random);
        const double v = std::ldexp(unit(random), exponent(random));
        ASSERT_TRUE(check(v, decimals)) << std::hexfloat << v << " " << decimals;
        // Exact ties at the last decimal (binary fractions) and decimal
        // halves with their neighbours.
        const double tie = static_cast<double>(units(random)) / 1024.0;
        ASSERT_TRUE(check(tie, decimals % 10)) << std::hexfloat << tie << " " << decimals;
        const double half = (static_cast<double>(units(random)) + 0.5) / 1e8;
        for (double w : {half, std::nextafter(half, inf), std::nextafter(half, -inf)}) {
            ASSERT_TRUE(check(w, 8)) << std::hexfloat << w;
        }
    }
}

}  // namespace
