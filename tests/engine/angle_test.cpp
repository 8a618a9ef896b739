#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>

#include "engine/angle.h"
#include "c_locale.h"

using namespace zelk;

namespace {

TEST(PackedDms, ReadsDegreesMinutesSecondsExactly) {
    EXPECT_EQ(DmsToRadian(114.3015), 1.9984747155856717);
    EXPECT_EQ(RadianToDms(1.9984747155856717), 114.3015);
    // Further decimals are fractions of a second.
    EXPECT_NEAR(DmsToRadian(114.30155) - DmsToRadian(114.3015), 0.5 / 3600 * M_PI / 180, 1e-15);
}

TEST(PackedDms, SixtySecondsAreAddedNotCarried) {
    // 30 deg 59 min 60 s is read as 31 degrees ...
    EXPECT_EQ(DmsToRadian(30.5960), 0.5410520681182416);
    // ... and 31 degrees comes back just below, without a carry.
    EXPECT_EQ(RadianToDms(0.5410520681182416), 30.596);
}

TEST(PackedDms, SignBelongsToTheWholeAngle) {
    EXPECT_EQ(DmsToRadian(-30.3015), -0.5323981439104365);
    EXPECT_EQ(RadianToDms(-0.5323981439104365), -30.301500000000004);
    EXPECT_EQ(DmsToRadian(-30.3015), -DmsToRadian(30.3015));
}

TEST(PackedDms, ZeroAndNegativeZero) {
    EXPECT_EQ(DmsToRadian(0.0), 0.0);
    EXPECT_EQ(DmsToRadian(-0.0), 0.0);
    EXPECT_FALSE(std::signbit(DmsToRadian(-0.0)));  // -0 is not negative
    EXPECT_EQ(RadianToDms(0.0), 0.0);
    EXPECT_EQ(RadianToDms(-0.0), 0.0);
}

TEST(PackedDms, WholeMinutesJustBelowAWholeNumberAreReadAsTyped) {
    // 0.58 * 100 is 57.99999...: truncated, 57 minutes and 100 seconds.
    // The degrees are multiplied by the sign, pi' and 1/180 in that order.
    const auto fromDegrees = [](double deg) { return deg * 3.14159265358979 * 0.005555555555555556; };
    EXPECT_EQ(DmsToRadian(0.58), 0.016871516102611835);
    EXPECT_EQ(DmsToRadian(0.58), fromDegrees(0.9666666666666667));
    EXPECT_EQ(DmsToRadian(1.13), fromDegrees(1.2166666666666668));

    // Of the whole-minute values 0.00 to 180.00, 633 truncate this way;
    // all are read as the whole minute.
    const CLocaleScope cLocale;  // strtod reads the decimal texts
    int shortMinute = 0;
    for (int d = 0; d <= 180; ++d) {
        for (int m = 0; m < 60; ++m) {
            if (d == 180 && m > 0) break;
            // The double nearest to the decimal text d.mm, as a reader makes it.
            char text[16];
            std::snprintf(text, sizeof text, "%d.%02d", d, m);
            const double dms = std::strtod(text, nullptr);
            const double a = std::fabs(dms);
            const double D = TruncInt32(a);
            const double M = TruncInt32(a * 100 - D * 100);
            if (M != m) {
                ++shortMinute;
                EXPECT_EQ(M, m - 1) << dms;
                EXPECT_NEAR(a * 10000 - D * 10000 - M * 100, 100.0, 1e-6) << dms;
                EXPECT_EQ(DmsToRadian(dms), fromDegrees(m * 0.016666666666666666 + d)) << text;
            }
            EXPECT_NEAR(DmsToRadian(dms), fromDegrees(m * 0.016666666666666666 + d), 1e-14) << text;
        }
    }
    EXPECT_EQ(shortMinute, 633);
}

// The truncating reading that whole minutes replaced: every double that is
// not a whole minute's keeps it to the bit.
double TruncatingReading(double x) {
    const double s = x < 0 ? -1.0 : 1.0;
    const double a = std::fabs(x);
    const double D = TruncInt32(a);
    const double M = TruncInt32(a * 100 - D * 100);
    const double S = a * 10000 - D * 10000 - M * 100;
    return ((S * 0.0002777777777777778 + M * 0.016666666666666666) + D) * s * 3.14159265358979 *
           0.005555555555555556;
}

// The double a reader makes of the text D.MM.
double WholeMinute(int d, int m) { return (d * 100.0 + m) / 100; }

TEST(PackedDms, OnlyWholeMinutesReadDifferentlyFromTheTruncation) {
    int changed = 0;
    for (int d = 0; d < 360; ++d) {
        for (int m = 0; m < 100; ++m) {
            const double minute = WholeMinute(d, m);
            const bool truncatedShort = TruncInt32(minute * 100 - d * 100.0) != m;
            EXPECT_EQ(DmsToRadian(minute) != TruncatingReading(minute), truncatedShort) << minute;
            changed += truncatedShort;
            double up = minute, down = minute;
            for (int step = 0; step < 4; ++step) {
                up = std::nextafter(up, 1e9);
                down = std::nextafter(down, -1e9);
                ASSERT_EQ(DmsToRadian(up), TruncatingReading(up)) << std::hexfloat << up;
                ASSERT_EQ(DmsToRadian(-down), TruncatingReading(-down)) << std::hexfloat << down;
            }
        }
    }
    EXPECT_EQ(changed, 2292);
    std::mt19937_64 random(21);
    std::uniform_real_distribution<double> angle(-400, 400);
    for (int i = 0; i < 1000000; ++i) {
        const double x = angle(random);
        const double a = std::fabs(x);
        const bool wholeMinute = a == WholeMinute(static_cast<int>(a), static_cast<int>(std::round(
                                                                          (a - std::trunc(a)) * 100)));
        if (!wholeMinute) {
            ASSERT_EQ(DmsToRadian(x), TruncatingReading(x)) << std::hexfloat << x;
        }
    }
}

// Texts as typed, read as a reader reads them (the nearest double), and the
// degrees, minutes and seconds they stand for.
struct TypedCase {
    const char* text;
    double degrees, minutes, seconds;
    double tolerance;  // seconds
};
const TypedCase kTyped[] = {
    {"35.30", 35, 30, 0, 0},
    {"-35.30", -35, 30, 0, 0},
    {"32.05", 32, 5, 0, 0},
    {"117.1", 117, 10, 0, 0},
    {"179.59", 179, 59, 0, 0},
    {"35.6", 35, 60, 0, 0},
    {"35.2960", 35, 29, 60, 1e-10},
    {"35.300000000001", 35, 30, 1e-8, 1e-10},
    {"35.30000000000001", 35, 30, 1e-10, 1e-10},
    {"100.30000000000001", 100, 30, 1e-10, 2e-10},
    {"35.29999999999999", 35, 29, 99.9999999999, 1e-10},
};

TEST(PackedDms, TypedTextsReadAsTheyStand) {
    const CLocaleScope cLocale;
    for (const TypedCase& c : kTyped) {
        const double dms = std::strtod(c.text, nullptr);
        const DmsReading r = ReadDms(std::fabs(dms));
        EXPECT_EQ(r.degrees, std::fabs(c.degrees)) << c.text;
        EXPECT_EQ(r.minutes, c.minutes) << c.text;
        EXPECT_NEAR(r.seconds, c.seconds, c.tolerance) << c.text;
        const double s = c.degrees < 0 ? -1 : 1;
        EXPECT_NEAR(DmsToRadian(dms),
                    ((c.seconds * 0.0002777777777777778 + c.minutes * 0.016666666666666666) +
                     std::fabs(c.degrees)) * s * 3.14159265358979 * 0.005555555555555556,
                    c.tolerance * 5e-6)
            << c.text;
    }
    // Seconds typed with 10 decimals behind each whole minute below 128°.
    char text[40];
    for (int d = 0; d < 128; ++d) {
        for (int m = 0; m < 60; ++m) {
            std::snprintf(text, sizeof text, "%d.%02d000000000001", d, m);
            const DmsReading r = ReadDms(std::strtod(text, nullptr));
            ASSERT_EQ(r.minutes, m) << text;
            ASSERT_NEAR(r.seconds, 1e-10, 2e-10) << text;
        }
    }
}

TEST(PackedDms, SecondsDigitsOtherThanZeroAreNeverShort) {
    for (int d = 0; d < 180; d += 7) {
        for (int m = 0; m < 60; ++m) {
            for (int s = 1; s < 60; s += 3) {
                const double dms = d + m / 100.0 + s / 10000.0;
                const double degrees = DmsToRadian(dms) / 3.14159265358979 * 180;
                EXPECT_NEAR(degrees, d + m / 60.0 + s / 3600.0, 1e-9) << dms;
            }
        }
    }
}

TEST(PackedDms, JustBelowAWholeDegreeComesBackAsFiftyNineFiftyNine) {
    const double oneDegree = DmsToRadian(1.0);
    const double below = std::nextafter(std::nextafter(oneDegree, 0.0), 0.0);
    const double dms = RadianToDms(below);
    EXPECT_LT(dms, 0.596);
    EXPECT_GT(dms, 0.59599999);
}

TEST(PackedDms, RoundTripsTypicalChineseAngles) {
    for (double dms : {73.4012, 135.0527, 18.1003, 53.3312, 114.3015, 30.3015, 117.0, 120.0}) {
        const double back = RadianToDms(DmsToRadian(dms));
        // Compare as angles: 120 may come back as 119.5959999...
        EXPECT_NEAR(DmsToRadian(back), DmsToRadian(dms), 1e-14) << dms;
    }
}

TEST(PackedDms, HugeAndNonFiniteValuesDoNotOverflowTheTruncation) {
    // Integer parts beyond 32 bits are truncated in double arithmetic.
    EXPECT_EQ(TruncInt32(3e9), 3e9);
    EXPECT_EQ(TruncInt32(-3.5e10), -3.5e10);
    EXPECT_EQ(TruncInt32(2147483647.9), 2147483647.0);
    EXPECT_EQ(TruncInt32(-2147483648.5), -2147483648.0);
    EXPECT_TRUE(std::isnan(DmsToRadian(std::numeric_limits<double>::quiet_NaN())));
    EXPECT_TRUE(std::isnan(DmsToRadian(std::numeric_limits<double>::infinity())));
    EXPECT_TRUE(std::isnan(RadianToDms(std::numeric_limits<double>::infinity())));
    EXPECT_TRUE(std::isfinite(DmsToRadian(1e12)));
}

}  // namespace
