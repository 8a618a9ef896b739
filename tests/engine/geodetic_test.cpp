#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "engine/angle.h"
#include "engine/datum.h"
#include "engine/geocentric.h"

using namespace zelk;

namespace {

struct Geodetic {
    double B, L, H;
};
struct Cartesian {
    double X, Y, Z;
};

constexpr DatumId kWgs84 = DatumId::Wgs84;
constexpr DatumId kBeijing54 = DatumId::Beijing54;
constexpr DatumId kXian80 = DatumId::Xian80;

// B and L packed DMS.
template <DatumId D>
Cartesian ToCartesian(double B, double L, double H) {
    const double b = DmsToRadian(B), l = DmsToRadian(L);
    Cartesian c{};
    GeodeticToCartesianBatch(DatumOf(D).ellipsoid, &b, &l, &H, &c.X, &c.Y, &c.Z, 1);
    return c;
}

template <DatumId D>
Geodetic ToGeodetic(Cartesian c) {
    double v[3] = {c.X, c.Y, c.Z};
    CartesianToGeodeticBatch(DatumOf(D).ellipsoid, v, 1);
    return {v[0], v[1], v[2]};
}

TEST(GeodeticCartesian, Wgs84ThereAndBack) {
    const Cartesian c = ToCartesian<kWgs84>(30.3015, 114.3015, 100);
    EXPECT_NEAR(c.X, -2281253.5485, 1e-4);
    EXPECT_NEAR(c.Y, 5004789.5165, 1e-4);
    EXPECT_NEAR(c.Z, 3218703.3015, 1e-4);
    const Geodetic g = ToGeodetic<kWgs84>(c);
    EXPECT_NEAR(g.B, 30.3015, 1e-13);
    EXPECT_NEAR(g.L, 114.3015, 1e-13);
    EXPECT_NEAR(g.H, 100.0, 1e-8);
}

TEST(GeodeticCartesian, EastOfNinetyDegreesLosesTheDifferenceOfThePis) {
    // atan is exact and the added half-turn is pi' = 3.14159265358979.
    const Geodetic g = ToGeodetic<kBeijing54>(ToCartesian<kBeijing54>(35, 120, 50));
    EXPECT_LT(g.L, 120.0);
    EXPECT_GT(g.L, 119.59599999);
    EXPECT_NEAR(DmsToRadian(g.L), DmsToRadian(120) - (M_PI - 3.14159265358979), 2e-15);
}

TEST(GeodeticCartesian, WesternLongitudesStayWestern) {
    // A half-turn is subtracted (X < 0, Y < 0) or nothing added (X > 0, Y < 0),
    // instead of wrapping every western longitude to the east.
    for (double L : {-30.0, -120.0, -75.3015, -179.0, -0.0001}) {
        const Geodetic g = ToGeodetic<kWgs84>(ToCartesian<kWgs84>(45, L, 10));
        EXPECT_NEAR(DmsToRadian(g.L), DmsToRadian(L), 1e-14) << L;
        EXPECT_NEAR(g.B, 45.0, 1e-12) << L;
        EXPECT_NEAR(g.H, 10.0, 1e-7) << L;
    }
}

TEST(GeodeticCartesian, LongitudesOnTheAxesPlanes) {
    // X = 0: a quarter turn by the sign of Y.
    Geodetic g = ToGeodetic<kWgs84>({0.0, 6378137.0, 0.0});
    EXPECT_NEAR(DmsToRadian(g.L), M_PI / 2, 1e-15);
    g = ToGeodetic<kWgs84>({-0.0, -6378137.0, 0.0});
    EXPECT_NEAR(DmsToRadian(g.L), -M_PI / 2, 1e-15);
    // Y = 0 west of the prime meridian: 180 degrees.
    g = ToGeodetic<kWgs84>({-6378137.0, 0.0, 0.0});
    EXPECT_NEAR(DmsToRadian(g.L), 3.14159265358979, 1e-15);
    // On the rotation axis the longitude is 0/0 and the routine still returns.
    g = ToGeodetic<kWgs84>({0.0, 0.0, 6356752.3142});
    EXPECT_TRUE(std::isnan(g.L));
}

TEST(GeodeticCartesian, BatchesGiveTheDoublesOfSinglePoints) {
    // Up to kBatchLanes points interleaved, each the same as on its own.
    const double B[4] = {DmsToRadian(30.3015), DmsToRadian(-12.3), DmsToRadian(53.2959), 0.0};
    const double L[4] = {DmsToRadian(114.3015), DmsToRadian(-45.153), DmsToRadian(135.0001), 0.0};
    const double H[4] = {100.0, -10.0, 8000.0, 0.0};
    const Ellipsoid& e = DatumOf(kXian80).ellipsoid;
    double X[4], Y[4], Z[4];
    GeodeticToCartesianBatch(e, B, L, H, X, Y, Z, kBatchLanes);
    double xyz[12];
    for (int i = 0; i < 4; ++i) {
        double x, y, z;
        GeodeticToCartesianBatch(e, &B[i], &L[i], &H[i], &x, &y, &z, 1);
        EXPECT_EQ(x, X[i]);
        EXPECT_EQ(y, Y[i]);
        EXPECT_EQ(z, Z[i]);
        xyz[3 * i] = x;
        xyz[3 * i + 1] = y;
        xyz[3 * i + 2] = z;
    }
    CartesianToGeodeticBatch(e, xyz, kBatchLanes);
    for (int i = 0; i < 4; ++i) {
        double one[3] = {X[i], Y[i], Z[i]};
        CartesianToGeodeticBatch(e, one, 1);
        EXPECT_EQ(one[0], xyz[3 * i]);
        EXPECT_EQ(one[1], xyz[3 * i + 1]);
        EXPECT_EQ(one[2], xyz[3 * i + 2]);
    }
}

TEST(GeodeticCartesian, IterationConvergesOverChinaOnAllThreeEllipsoids) {
    // Includes the few points whose height alternates in its last bit until
    // the ten-pass cap: their result is still the converged one.
    std::mt19937_64 random(20261207);
    std::uniform_real_distribution<double> lat(18.0, 53.5), lon(73.0, 135.0), hgt(-100.0, 8000.0);
    for (int i = 0; i < 3000; ++i) {
        const double Bdeg = lat(random), Ldeg = lon(random), H = hgt(random);
        const double B = RadianToDms(Bdeg * 3.14159265358979 / 180);
        const double L = RadianToDms(Ldeg * 3.14159265358979 / 180);
        const Geodetic w = ToGeodetic<kWgs84>(ToCartesian<kWgs84>(B, L, H));
        const Geodetic k = ToGeodetic<kBeijing54>(ToCartesian<kBeijing54>(B, L, H));
        const Geodetic x = ToGeodetic<kXian80>(ToCartesian<kXian80>(B, L, H));
        for (const Geodetic& g : {w, k, x}) {
            ASSERT_NEAR(DmsToRadian(g.B), DmsToRadian(B), 1e-14);
            ASSERT_NEAR(DmsToRadian(g.L), DmsToRadian(L), 1e-14);
            ASSERT_NEAR(g.H, H, 1e-7);
        }
    }
}

}  // namespace
