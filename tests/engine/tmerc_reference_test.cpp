// The three transverse Mercator series against PROJ's exact one, both ways,
// at the tolerances tests/data/tmerc_reference.txt gives each line.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <locale>
#include <map>
#include <sstream>
#include <string>

#include "engine/angle.h"
#include "engine/datum.h"
#include "engine/transverse_mercator.h"

using namespace zelk;

namespace {

using zelk::TmSeries;
using zelk::TransverseMercator;

constexpr double kDegree = kPi / 180;

const zelk::Ellipsoid& EllipsoidNamed(const std::string& name) {
    static const std::map<std::string, zelk::DatumId> kNames = {
        {"wgs84", zelk::DatumId::Wgs84},
        {"krass", zelk::DatumId::Beijing54},
        {"iag75", zelk::DatumId::Xian80},
        {"cgcs2000", zelk::DatumId::Cgcs2000}};
    return zelk::DatumOf(kNames.at(name)).ellipsoid;
}

TmSeries SeriesNamed(const std::string& name) {
    return name == "kruger" ? TmSeries::Kruger
           : name == "utm"  ? TmSeries::Utm
                            : TmSeries::GaussKruger;
}

struct Worst {
    double forward = 0, reverse = 0, farForward = 0, farReverse = 0;
    int lines = 0;
};

TEST(TransverseMercatorReference, EveryLineBothWays) {
    std::ifstream file(ZELK_TEST_DATA_DIR "/tmerc_reference.txt");
    ASSERT_TRUE(file);
    std::map<std::string, Worst> worst;
    std::string text;
    for (int number = 1; std::getline(file, text); ++number) {
        if (text.empty() || text[0] == '#') continue;
        std::istringstream in(text);
        in.imbue(std::locale::classic());
        std::string series, ellipsoid;
        double L0, k0, fe, fn, B, L, northing, easting, forwardTolerance, reverseTolerance;
        in >> series >> ellipsoid >> L0 >> k0 >> fe >> fn >> B >> L >> northing >> easting >>
            forwardTolerance >> reverseTolerance;
        ASSERT_TRUE(in) << "line " << number;
        SCOPED_TRACE("tmerc_reference.txt line " + std::to_string(number));
        const TransverseMercator tm(EllipsoidNamed(ellipsoid), k0, fe, fn, SeriesNamed(series));
        double x, y;
        tm.Forward(L0 * kDegree, B * kDegree, L * kDegree, x, y);
        const double forward = std::hypot(x - northing, y - easting);
        EXPECT_LE(forward, forwardTolerance) << x << " " << y;
        double backB, backL;
        tm.Reverse(L0 * kDegree, northing, easting, backB, backL);
        const double radius = tm.Shape().a();
        const double reverse = std::hypot((backB - B * kDegree) * radius,
                                          (backL - L * kDegree) * radius * std::cos(B * kDegree));
        EXPECT_LE(reverse, reverseTolerance) << backB / kDegree << " " << backL / kDegree;
        Worst& w = worst[series];
        const bool far = std::fabs(L - L0) > 3.0001;
        (far ? w.farForward : w.forward) = std::fmax(far ? w.farForward : w.forward, forward);
        (far ? w.farReverse : w.reverse) = std::fmax(far ? w.farReverse : w.reverse, reverse);
        ++w.lines;
    }
    EXPECT_EQ(worst.size(), 3u);
    for (const auto& [series, w] : worst) {
        std::printf("%-7s %3d lines, worst within 3 deg: forward %.2e m, reverse %.2e m; "
                    "beyond 3 deg: forward %.2e m, reverse %.2e m\n",
                    series.c_str(), w.lines, w.forward, w.reverse, w.farForward, w.farReverse);
    }
}

// Krüger's series: forward and back to the latitude's last bits up to the
// pole, both hemispheres; the central meridian and the equator map onto the
// false easting and northing exactly; a lane group goes forward and back as
// each point alone.
TEST(TransverseMercatorReference, KrugerRoundTripsAxesAndLanes) {
    const TransverseMercator south = TransverseMercator::Kruger(
        zelk::DatumOf(zelk::DatumId::Wgs84).ellipsoid, 0.9996, 500000, 10000000);
    const double L0 = 117 * kDegree;
    double x, y, B, L;
    for (int i = -9000; i <= 9000; ++i) {
        const double lat = i * 0.01 * kDegree;
        for (double dl : {0.0, 1.0, 3.0, 6.0}) {
            south.Forward(L0, lat, L0 + dl * kDegree, x, y);
            if (dl == 0) {
                ASSERT_EQ(y, 500000.0) << i;
            }
            if (i == 0) {
                ASSERT_EQ(x, 10000000.0) << dl;
            }
            south.Reverse(L0, x, y, B, L);
            ASSERT_NEAR(B, lat, 1e-14) << i << " " << dl;
            ASSERT_NEAR((L - (L0 + dl * kDegree)) * std::cos(lat), 0.0, 1e-14) << i << " " << dl;
        }
    }
    const double xs[] = {6248711.2, 9999000.0, 2000000.0, 4000000.0};
    const double ys[] = {435280.3, 800000.0, 300000.0, 510000.0};
    const double L0s[] = {L0, -75 * kDegree, 15 * kDegree, 179 * kDegree};
    double laneB[4], laneL[4];
    south.ReverseLanes(L0s, xs, ys, laneB, laneL, 4);
    double laneX[4], laneY[4];
    south.ForwardLanes(L0s, laneB, laneL, laneX, laneY, 4);
    for (int j = 0; j < 4; ++j) {
        south.Reverse(L0s[j], xs[j], ys[j], B, L);
        EXPECT_EQ(laneB[j], B);
        EXPECT_EQ(laneL[j], L);
        south.Forward(L0s[j], B, L, x, y);
        EXPECT_EQ(laneX[j], x);
        EXPECT_EQ(laneY[j], y);
    }
}

}  // namespace
