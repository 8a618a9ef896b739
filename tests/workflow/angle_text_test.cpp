// Angle text: every format read and written, the carries, and the exactness
// of the packed doubles made from degrees and DMS.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "engine/angle.h"
#include "platform/number_text.h"
#include "workflow/angle_text.h"
#include "workflow/point_scan.h"
#include "c_locale.h"
#include "packed_reference.h"

using namespace zelk;

namespace {

using F = AngleFormat;
using A = AngleAxis;

std::string Write(double packed, AngleFormat format) {
    char text[kAngleTextMax];
    return std::string(text, WriteAngle(text, packed, format));
}

double Number(const char* text) {
    double v = 0;
    EXPECT_TRUE(pointscan::ParseNumber(text, v)) << text;
    return v;
}

// The angle, in degrees, that packed text stands for, from its digits.
double AngleOf(const std::string& packed) {
    const std::size_t point = packed.find('.');
    std::string decimals = point == std::string::npos ? "" : packed.substr(point + 1);
    decimals.resize(std::max<std::size_t>(decimals.size(), 4), '0');
    const double d = std::fabs(Number(packed.substr(0, point).c_str()));
    const double m = std::stoi(decimals.substr(0, 2));
    const double s = Number(("0" + decimals.substr(2, 2) + "." + decimals.substr(4)).c_str());
    return (d + m / 60 + s / 3600) * (packed[0] == '-' ? -1 : 1);
}

// Reading: the packed double is the one nearest to the exact packed decimal,
// which the engine reads as the angle the text stands for ("" when the
// token is no value in the format).
struct ReadCase {
    AngleFormat format;
    AngleAxis axis;
    const char* token;
    const char* packed;
};

const ReadCase kReadCases[] = {
    {F::Packed, A::Any, "39.5430123450", "39.543012345"},
    {F::Packed, A::Any, "-1.2e1", "-12"},
    {F::Packed, A::Any, "39.5975", "39.5975"},  // 75″: the engine's business, as ever
    {F::Packed, A::Any, "39°54′", ""},
    {F::Degrees, A::Any, "39.908333333", "39.54299999988"},
    {F::Degrees, A::Any, "39.5", "39.30"},
    {F::Degrees, A::Any, "-0.5", "-0.30"},
    {F::Degrees, A::Any, "+116.390000000", "116.2324"},
    {F::Degrees, A::Any, ".25", "0.15"},
    {F::Degrees, A::Any, "7.", "7"},
    {F::Degrees, A::Any, "0.000001", "0.00000036"},
    {F::Degrees, A::Any, "1e1", ""},
    {F::Degrees, A::Any, "39°", ""},
    {F::Degrees, A::Any, "", ""},
    {F::Degrees, A::Any, ".", ""},
    {F::Degrees, A::Any, "-", ""},
    {F::Degrees, A::Any, "39.5 ", ""},
    {F::Dms, A::Any, "39°54′30.12345″", "39.543012345"},
    {F::Dms, A::Any, "39°54'30.12345\"", "39.543012345"},
    {F::Dms, A::Any, "39°54'30.12345''", "39.543012345"},
    {F::Dms, A::Any, "39\xA1\xE3" "54\xA1\xE4" "30.12345\xA1\xE5", "39.543012345"},  // GBK marks
    {F::Dms, A::Any, "39:54:30.12345", "39.543012345"},
    {F::Dms, A::Any, "-39°54′30.12345″", "-39.543012345"},
    {F::Dms, A::Any, "+39°54′30″", "39.5430"},
    {F::Dms, A::Latitude, "39°54′30.12345″S", "-39.543012345"},
    {F::Dms, A::Latitude, "39°54′30.12345″ n", "39.543012345"},
    {F::Dms, A::Longitude, "116:23:24W", "-116.2324"},
    {F::Dms, A::Latitude, "116:23:24W", ""},
    {F::Dms, A::Longitude, "39°54′30″N", ""},
    {F::Dms, A::Any, "-39°54′30″S", ""},
    {F::Dms, A::Any, "39°54′30", "39.5430"},
    {F::Dms, A::Any, "39°54′", "39.54"},
    {F::Dms, A::Any, "39°54", "39.54"},
    {F::Dms, A::Any, "39°", "39"},
    {F::Dms, A::Any, "39:54", "39.54"},
    {F::Dms, A::Any, "39°54.5′", "39.5430"},
    {F::Dms, A::Any, "39.5°", "39.30"},
    {F::Dms, A::Any, "39:54.25", "39.5415"},
    {F::Dms, A::Any, "0°00′00.000001″", "0.0000000001"},
    {F::Dms, A::Any, "-0°00′00″", "-0"},
    {F::Dms, A::Any, "39°5′3″", "39.0503"},
    {F::Dms, A::Any, "39°054′30″", "39.5430"},
    {F::Dms, A::Any, "39°60′00″", ""},
    {F::Dms, A::Any, "39°59′60″", ""},
    {F::Dms, A::Any, "39°100′", ""},
    {F::Dms, A::Any, "39.5°30′", ""},
    {F::Dms, A::Any, "39°54.5′30″", ""},
    {F::Dms, A::Any, "39:54.5:30", ""},
    {F::Dms, A::Any, "39°54′30″x", ""},
    {F::Dms, A::Any, "39°54 30", ""},
    {F::Dms, A::Any, "39", ""},
    {F::Dms, A::Any, "39.5", ""},
    {F::Dms, A::Any, "39:", ""},
    {F::Dms, A::Any, "39::30", ""},
    {F::Dms, A::Any, "°54′", ""},
    {F::Dms, A::Any, "N", ""},
    {F::Dms, A::Any, "", ""},
};

TEST(AngleTextTest, ReadingTable) {
    for (const ReadCase& c : kReadCases) {
        SCOPED_TRACE(std::string(AngleFormatName(c.format)) + " \"" + c.token + "\"");
        double packed = -999;
        const bool ok = ParseAngle(c.token, c.format, c.axis, packed);
        if (*c.packed == '\0') {
            EXPECT_FALSE(ok) << packed;
            continue;
        }
        ASSERT_TRUE(ok);
        const double nearest = Number(c.packed);
        EXPECT_EQ(packed, nearest) << std::hexfloat << packed << " " << nearest;
        EXPECT_EQ(std::signbit(packed), std::signbit(nearest));
        if (c.format != F::Packed) {
            EXPECT_NEAR(DmsToRadian(packed) * 180 / kPi, AngleOf(c.packed), 1e-12);
        }
    }
}

// Packed texts read with the engine's whole degrees and minutes equal to the
// digits' (engine/angle.h), from the nearest double or its neighbour.
struct PackedCase {
    const char* token;
    double degrees, minutes;
    bool nearest;
};
const PackedCase kPackedCases[] = {
    {"35.30", 35, 30, true},
    {"-32.05", 32, 5, true},
    {"117.1", 117, 10, true},
    {"35.2960", 35, 29, true},
    {"64.01999999999999", 64, 1, false},
    {"-64.06999999999999", 64, 6, false},
    {"35.2999999999999999999", 35, 29, false},
    {"35.9999999999999999", 35, 99, false},
    {"3.53e1", 35, 30, true},
    {"1234567890.30", 1234567890, 30, true},
};

TEST(AngleTextTest, PackedTextsKeepTheirDegreesAndMinutes) {
    for (const PackedCase& c : kPackedCases) {
        SCOPED_TRACE(c.token);
        double packed = 0;
        ASSERT_TRUE(ParsePackedAngle(c.token, packed));
        const double nearest = Number(c.token);
        EXPECT_EQ(packed == nearest, c.nearest);
        EXPECT_TRUE(packed == nearest || packed == std::nextafter(nearest, 0.0));
        const DmsReading r = ReadDms(std::fabs(packed));
        EXPECT_EQ(r.degrees, c.degrees);
        EXPECT_EQ(r.minutes, c.minutes);
    }
    double packed;
    EXPECT_FALSE(ParsePackedAngle("35.30x", packed));
    EXPECT_FALSE(ParsePackedAngle("", packed));
}

// Writing: the packed double at its decimal meaning, carried and rounded.
struct WriteCase {
    const char* packed;
    const char* degrees;
    const char* dms;
    const char* packedOut;
};

const WriteCase kWriteCases[] = {
    {"39.5430123450", "39.908367625", "39°54′30.12345″", "39.543012345"},
    {"116.2324", "116.390000000", "116°23′24.00000″", "116.232400000"},
    {"30.5959999999996", "31.000000000", "31°00′00.00000″", "31.000000000"},
    {"30.596", "31.000000000", "31°00′00.00000″", "31.000000000"},
    {"39.5959999996", "39.999999999", "40°00′00.00000″", "40.000000000"},   // seconds round to 60
    {"39.59599999999", "40.000000000", "40°00′00.00000″", "40.000000000"},  // degrees round up too
    {"89.5959999999999", "90.000000000", "90°00′00.00000″", "90.000000000"},
    {"39.549999999999997", "39.916666667", "39°55′00.00000″", "39.550000000"},  // just below 55′
    {"0.5499999999999999", "0.916666667", "0°55′00.00000″", "0.550000000"},
    {"39.5975", "40.004166667", "40°00′15.00000″", "40.001500000"},  // 75″ at their value
    {"39.9930", "40.658333333", "40°39′30.00000″", "40.393000000"},  // 99′ at their value
    {"-39.5430", "-39.908333333", "-39°54′30.00000″", "-39.543000000"},
    {"-0.0", "-0.000000000", "-0°00′00.00000″", "-0.000000000"},
    {"-0.000000000001", "-0.000000000", "-0°00′00.00000″", "-0.000000000"},
    {"0", "0.000000000", "0°00′00.00000″", "0.000000000"},
    // Exact decimal ties, to even: 30.123455″ and 1.8e-6″ (0.0000000005°).
    {"39.5430123455", "39.908367626", "39°54′30.12346″", "39.543012346"},
    {"39.5430123445", "39.908367624", "39°54′30.12344″", "39.543012344"},
    {"0.00000000018", "0.000000000", "0°00′00.00000″", "0.000000000"},
    {"0.00000000054", "0.000000002", "0°00′00.00001″", "0.000000001"},
    {"1e300", nullptr, nullptr, nullptr},
    {"inf", "inf", "inf", "inf"},
    {"-inf", "-inf", "-inf", "-inf"},
    {"nan", "nan", "nan", "nan"},
};

TEST(AngleTextTest, WritingTable) {
    for (const WriteCase& c : kWriteCases) {
        SCOPED_TRACE(c.packed);
        const double packed = std::string(c.packed) == "inf"    ? HUGE_VAL
                              : std::string(c.packed) == "-inf" ? -HUGE_VAL
                              : std::string(c.packed) == "nan"  ? std::nan("")
                                                                : Number(c.packed);
        if (!c.degrees) {
            // Whole degrees: no minutes, no seconds.
            EXPECT_EQ(Write(packed, F::Degrees), FormatFixed(packed, 9));
            EXPECT_EQ(Write(packed, F::Dms), FormatFixed(packed, 0) + "°00′00.00000″");
            EXPECT_EQ(Write(packed, F::Packed), FormatFixed(packed, 9));
            continue;
        }
        EXPECT_EQ(Write(packed, F::Degrees), c.degrees);
        EXPECT_EQ(Write(packed, F::Dms), c.dms);
        EXPECT_EQ(Write(packed, F::Packed), c.packedOut);
    }
    EXPECT_EQ(AngleFormatFromName("dms"), F::Dms);
    EXPECT_EQ(AngleFormatFromName("degrees"), F::Degrees);
    EXPECT_EQ(AngleFormatFromName(AngleFormatName(F::Packed)), F::Packed);
    EXPECT_FALSE(AngleFormatFromName("DMS").has_value());
}

// The exact references below use glibc's printf, which rounds the exact
// binary value, a tie to even: "%.12f" is the packed value at its decimal
// meaning, which the text is made from.
struct Digits {
    long long degrees, minutes, seconds;  // seconds in units of 1e-8
};
Digits Meaning(double packed) {
    const CLocaleScope cLocale;
    char text[64];
    std::snprintf(text, sizeof text, "%.12f", std::fabs(packed));
    long long d = 0, mmss = 0;
    std::sscanf(text, "%lld.%12lld", &d, &mmss);
    Digits digits{d, mmss / 10000000000LL, mmss % 10000000000LL};
    if (digits.seconds >= 6000000000LL) digits.seconds -= 6000000000LL, ++digits.minutes;
    if (digits.minutes >= 60) digits.minutes -= 60, ++digits.degrees;
    return digits;
}

TEST(AngleTextTest, EngineAnglesAgainstPrintfReferences) {
    // Packed doubles as the engine gives them, near whole minutes and
    // degrees too, where the carries happen.
    std::mt19937_64 random(1454);
    std::uniform_real_distribution<double> degrees(-180, 180);
    std::uniform_int_distribution<int> kind(0, 3), minute(0, 59);
    for (int i = 0; i < 100000; ++i) {
        double d = degrees(random);
        if (kind(random) == 0) d = std::round(d * 60) / 60 + (kind(random) - 1.5) * 1e-10;
        const double packed = RadianToDms(d * kPi / 180);
        const Digits m = Meaning(packed);
        char expected[80];
        // Degrees: one rounding of (M * 60 + S) / 3600 in units of 1e-9.
        long long numerator = m.minutes * 6000000000LL + m.seconds;
        long long q = numerator / 360, rest = numerator % 360;
        if (rest > 180 || (rest == 180 && (q & 1))) ++q;
        std::snprintf(expected, sizeof expected, "%s%lld.%09lld", std::signbit(packed) ? "-" : "",
                      m.degrees + q / 1000000000, q % 1000000000);
        ASSERT_EQ(Write(packed, F::Degrees), expected) << std::hexfloat << packed;
        // DMS: seconds to 1e-5, carried.
        q = m.seconds / 1000;
        rest = m.seconds % 1000;
        if (rest > 500 || (rest == 500 && (q & 1))) ++q;
        long long minutes = m.minutes + q / 6000000, whole = m.degrees;
        if (minutes == 60) minutes = 0, ++whole;
        std::snprintf(expected, sizeof expected, "%s%lld°%02lld′%02lld.%05lld″",
                      std::signbit(packed) ? "-" : "", whole, minutes, q % 6000000 / 100000,
                      q % 100000);
        ASSERT_EQ(Write(packed, F::Dms), expected) << std::hexfloat << packed;
        ASSERT_EQ(Write(packed, F::Packed), PackedReference(packed)) << std::hexfloat << packed;
        // Read back, both stand for the same angle to their last decimal.
        double again;
        ASSERT_TRUE(ParseAngle(Write(packed, F::Dms), F::Dms, A::Any, again));
        EXPECT_NEAR(DmsToRadian(again), DmsToRadian(packed), 0.6e-5 / 3600 * kPi / 180);
        ASSERT_TRUE(ParseAngle(Write(packed, F::Degrees), F::Degrees, A::Any, again));
        EXPECT_NEAR(DmsToRadian(again), DmsToRadian(packed), 0.6e-9 * kPi / 180);
    }
}

// Any double, minutes and seconds of 60 and more, tiny angles and the
// neighbours of 1e-9 and 1e-12 steps included: the packed text is printf's
// carried rounding, and the DMS text has the same digits.
TEST(AngleTextTest, PackedTextForAnyDouble) {
    std::mt19937_64 random(2121);
    std::uniform_real_distribution<double> any(0, 400), tiny(0, 1e-3);
    std::uniform_int_distribution<long long> step(0, 400000000000LL);
    std::uniform_int_distribution<int> ulps(-3, 3), kind(0, 2);
    for (int i = 0; i < 200000; ++i) {
        double packed = kind(random) == 0   ? any(random)
                        : kind(random) == 0 ? tiny(random)
                                            : static_cast<double>(step(random)) / 1e9;
        for (int u = ulps(random); u != 0; u += u > 0 ? -1 : 1) {
            packed = std::nextafter(packed, u > 0 ? 1e9 : -1e9);
        }
        if (i % 2) packed = -packed;
        const std::string text = Write(packed, F::Packed);
        ASSERT_EQ(text, PackedReference(packed)) << std::hexfloat << packed;
        const std::string dms = Write(packed, F::Dms);
        const std::size_t point = text.find('.');
        ASSERT_EQ(dms, text.substr(0, point) + "°" + text.substr(point + 1, 2) + "′" +
                           text.substr(point + 3, 2) + "." + text.substr(point + 5) + "″")
            << std::hexfloat << packed;
    }
}

TEST(AngleTextTest, RoundTripsOfWhatASurveyorTypes) {
    const CLocaleScope cLocale;
    std::mt19937_64 random(20240614);
    std::uniform_int_distribution<int> d(0, 359), ms(0, 59), sign(0, 1);
    std::uniform_int_distribution<long long> fraction(0, 99999), nano(0, 999999999);
    char text[80];
    for (int i = 0; i < 100000; ++i) {
        const char* minus = sign(random) ? "-" : "";
        // Packed with 9 decimals -> DMS -> the same double.
        std::snprintf(text, sizeof text, "%s%d.%02d%02d%05lld", minus, d(random), ms(random),
                      ms(random), fraction(random));
        const double packed = Number(text);
        double back;
        ASSERT_TRUE(ParseAngle(Write(packed, F::Dms), F::Dms, A::Any, back)) << text;
        ASSERT_EQ(back, packed) << text << " " << Write(packed, F::Dms);
        ASSERT_EQ(Write(packed, F::Packed), text);
        ASSERT_EQ(Write(back, F::Dms), Write(packed, F::Dms));
        ASSERT_EQ(Write(back, F::Packed), Write(packed, F::Packed));
        EXPECT_NEAR(DmsToRadian(back) * 180 / kPi, AngleOf(text), 1e-12) << text;
        // Degrees with 9 decimals -> packed -> the same text.
        std::snprintf(text, sizeof text, "%s%d.%09lld", minus, d(random), nano(random));
        ASSERT_TRUE(ParseAngle(text, F::Degrees, A::Any, back)) << text;
        ASSERT_EQ(Write(back, F::Degrees), text);
        // And as close to the true angle as doubles go.
        EXPECT_NEAR(DmsToRadian(back) * 180 / kPi, Number(text), 1e-12) << text;
    }
}

}  // namespace
