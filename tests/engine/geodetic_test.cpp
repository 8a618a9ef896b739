#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "engine/angle.h"
#include "adapters/ellipsoid.h"

using namespace zelk;

namespace {

struct Geodetic {
    double B, L, H;
};
struct Cartesian {
    double X, Y, Z;
};

template <typename E>
Cartesian ToCartesian(double B, double L, double H) {
    E e;
    e.SetGeodetic(B, L, H);
    Cartesian c{};
    e.GeodeticToCartesian(c.X, c.Y, c.Z);
    return c;
}

template <typename E>
Geodetic ToGeodetic(Cartesian c) {
    E e;
    e.SetCartesian(c.X, c.Y, c.Z);
    Geodetic g{};
    e.CartesianToGeodetic(g.B, g.L, g.H);
    return g;
}

TEST(GeodeticCartesian, Wgs84ThereAndBack) {
    const Cartesian c = ToCartesian<CWgs84>(30.3015, 114.3015, 100);
    EXPECT_NEAR(c.X, -2281253.5485, 1e-4);
    EXPECT_NEAR(c.Y, 5004789.5165, 1e-4);
    EXPECT_NEAR(c.Z, 3218703.3015, 1e-4);
    const Geodetic g = ToGeodetic<CWgs84>(c);
    EXPECT_NEAR(g.B, 30.3015, 1e-13);
    EXPECT_NEAR(g.L, 114.3015, 1e-13);
    EXPECT_NEAR(g.H, 100.0, 1e-8);
}

TEST(GeodeticCartesian, EastOfNinetyDegreesLosesTheDifferenceOfThePis) {
    // atan is exact and the added half-turn is pi' = 3.14159265358979.
    const Geodetic g = ToGeodetic<CBeijing54>(ToCartesian<CBeijing54>(35, 120, 50));
    EXPECT_LT(g.L, 120.0);
    EXPECT_GT(g.L, 119.59599999);
    EXPECT_NEAR(DmsToRadian(g.L), DmsToRadian(120) - (M_PI - 3.14159265358979), 2e-15);
}

TEST(GeodeticCartesian, WesternLongitudesStayWestern) {
    // A half-turn is subtracted (X < 0, Y < 0) or nothing added (X > 0, Y < 0),
    // instead of wrapping every western longitude to the east.
    for (double L : {-30.0, -120.0, -75.3015, -179.0, -0.0001}) {
        const Geodetic g = ToGeodetic<CWgs84>(ToCartesian<CWgs84>(45, L, 10));
        EXPECT_NEAR(DmsToRadian(g.L), DmsToRadian(L), 1e-14) << L;
        EXPECT_NEAR(g.B, 45.0, 1e-12) << L;
        EXPECT_NEAR(g.H, 10.0, 1e-7) << L;
    }
}

TEST(GeodeticCartesian, LongitudesOnTheAxesPlanes) {
    // X = 0: a quarter turn by the sign of Y.
    Geodetic g = ToGeodetic<CWgs84>({0.0, 6378137.0, 0.0});
    EXPECT_NEAR(DmsToRadian(g.L), M_PI / 2, 1e-15);
    g = ToGeodetic<CWgs84>({-0.0, -6378137.0, 0.0});
    EXPECT_NEAR(DmsToRadian(g.L), -M_PI / 2, 1e-15);
    // Y = 0 west of the prime meridian: 180 degrees.
    g = ToGeodetic<CWgs84>({-6378137.0, 0.0, 0.0});
    EXPECT_NEAR(DmsToRadian(g.L), 3.14159265358979, 1e-15);
    // On the rotation axis the longitude is 0/0 and the routine still returns.
    g = ToGeodetic<CWgs84>({0.0, 0.0, 6356752.3142});
    EXPECT_TRUE(std::isnan(g.L));
}

TEST(GeodeticCartesian, ComputationsLeaveTheOtherFieldsAlone) {
    CXian80 e;
    e.SetGeodetic(30.3015, 114.3015, 100);
    e.SetCartesian(1, 2, 3);
    double X, Y, Z;
    e.GeodeticToCartesian(X, Y, Z);
    EXPECT_EQ(e.m_X, 1.0);
    EXPECT_EQ(e.m_Y, 2.0);
    EXPECT_EQ(e.m_Z, 3.0);
    e.SetCartesian(X, Y, Z);
    const double B = e.m_B, L = e.m_L, H = e.m_H;
    double b, l, h;
    e.CartesianToGeodetic(b, l, h);
    EXPECT_EQ(e.m_B, B);
    EXPECT_EQ(e.m_L, L);
    EXPECT_EQ(e.m_H, H);
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
        const Geodetic w = ToGeodetic<CWgs84>(ToCartesian<CWgs84>(B, L, H));
        const Geodetic k = ToGeodetic<CBeijing54>(ToCartesian<CBeijing54>(B, L, H));
        const Geodetic x = ToGeodetic<CXian80>(ToCartesian<CXian80>(B, L, H));
        for (const Geodetic& g : {w, k, x}) {
            ASSERT_NEAR(DmsToRadian(g.B), DmsToRadian(B), 1e-14);
            ASSERT_NEAR(DmsToRadian(g.L), DmsToRadian(L), 1e-14);
            ASSERT_NEAR(g.H, H, 1e-7);
        }
    }
}

}  // namespace
