#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

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

TEST(PackedDms, WholeMinutesJustBelowAWholeNumberLoseAMinute) {
    // 0.58 * 100 is 57.99999...: read as 57 minutes and 100 seconds.
    // The degrees are multiplied by the sign, pi' and 1/180 in that order.
    const auto fromDegrees = [](double deg) { return deg * 3.14159265358979 * 0.005555555555555556; };
    EXPECT_EQ(DmsToRadian(0.58), 0.01706544157505565);
    EXPECT_EQ(DmsToRadian(0.58), fromDegrees(0.9777777777777777));
    EXPECT_EQ(DmsToRadian(1.13), fromDegrees(1.2277777777777772));

    // Of the whole-minute values 0.00 to 180.00, 633 are read this way.
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
            }
        }
    }
    EXPECT_EQ(shortMinute, 633);
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
