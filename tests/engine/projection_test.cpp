#include <gtest/gtest.h>

#include <cmath>

#include "engine/angle.h"
#include "adapters/ellipsoid.h"

using namespace zelk;

namespace {

constexpr double kTenthMm = 1e-4;
constexpr double kArcSecond = 3.14159265358979 / 648000;

struct Plane {
    double x, y, H;
};

enum class Projection { Gauss, Utm };

template <typename E>
Plane Forward(Projection p, double L0, double B, double L, double H = 0.0) {
    E e;
    e.SetCentralMeridian(L0);
    e.SetGeodetic(B, L, H);
    Plane out{};
    if (p == Projection::Gauss) {
        e.GaussForward(out.x, out.y, out.H);
    } else {
        e.UtmForward(out.x, out.y, out.H);
    }
    return out;
}

template <typename E>
Plane Inverse(Projection p, double L0, double x, double y, double H = 0.0) {
    E e;
    e.SetCentralMeridian(L0);
    e.SetPlane(x, y, H);
    Plane out{};  // B, L, H
    if (p == Projection::Gauss) {
        e.GaussInverse(out.x, out.y, out.H);
    } else {
        e.UtmInverse(out.x, out.y, out.H);
    }
    return out;
}

struct Case {
    double L0, B, L, x, y;
};

template <typename E>
void ExpectCases(Projection p, std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        const Plane f = Forward<E>(p, c.L0, c.B, c.L, 12.5);
        EXPECT_NEAR(f.x, c.x, kTenthMm) << c.B << " " << c.L;
        EXPECT_NEAR(f.y, c.y, kTenthMm) << c.B << " " << c.L;
        EXPECT_EQ(f.H, 12.5);
        const Plane g = Inverse<E>(p, c.L0, f.x, f.y, 12.5);
        EXPECT_NEAR(DmsToRadian(g.x), DmsToRadian(c.B), 0.00001 * kArcSecond) << c.B;
        EXPECT_NEAR(DmsToRadian(g.y), DmsToRadian(c.L), 0.00002 * kArcSecond) << c.L;
        EXPECT_EQ(g.H, 12.5);
    }
}

TEST(GaussKruger, KnownPointsOnBothDatums) {
    ExpectCases<CBeijing54>(Projection::Gauss, {
                                                   {117, 30, 117, 3320172.4068, 500000.0},
                                                   {114, 30.3015, 114.3015, 3376171.7317, 548398.5147},
                                                   {117, 40, 120, 4433921.0037, 756206.4162},
                                                   {117, -30, 117, -3320172.4068, 500000.0},
                                               });
    ExpectCases<CXian80>(Projection::Gauss, {
                                                {117, 30, 117, 3320114.9451, 500000.0},
                                                {114, 30.3015, 114.3015, 3376113.3144, 548397.7239},
                                                {117, 40, 120, 4433844.6622, 756202.2496},
                                            });
}

TEST(Utm, KnownPointsOnWgs84) {
    ExpectCases<CWgs84>(Projection::Utm, {
                                             {117, 30, 117, 3318785.3526, 500000.0},
                                             {114, 30.3015, 114.3015, 3374761.2964, 548378.3421},
                                             {117, 40, 120, 4432069.0570, 756099.6480},
                                             {117, -30, 117, -3318785.3526, 500000.0},
                                         });
}

TEST(Projections, OnTheCentralMeridianTheEastingIsExactlyTheFalseEasting) {
    EXPECT_EQ(Forward<CBeijing54>(Projection::Gauss, 117, 30, 117).y, 500000.0);
    EXPECT_EQ(Forward<CWgs84>(Projection::Utm, 117, 30, 117).y, 500000.0);
    // ... and the UTM northing is 0.9996 times the meridian arc.
    EXPECT_NEAR(Forward<CWgs84>(Projection::Utm, 117, 30, 117).x,
                0.9996 * Forward<CWgs84>(Projection::Gauss, 117, 30, 117).x, 1e-9);
}

TEST(Projections, OriginInvertsToTheCentralMeridianOnTheEquator) {
    for (const Projection p : {Projection::Gauss, Projection::Utm}) {
        const Plane g = Inverse<CXian80>(p, 111, 0, 500000);
        EXPECT_EQ(g.x, 0.0);
        EXPECT_NEAR(DmsToRadian(g.y), DmsToRadian(111), 1e-15);
    }
}

TEST(Projections, RoundTripsUpToThreeDegreesFromTheMeridian) {
    // Up to 50 degrees north the series keep the longitude within 0.00002";
    // further north, three degrees out, they leave slightly more.
    for (double B = 18.0; B <= 50.0; B += 2.0) {
        for (double dL = -3.0; dL <= 3.0; dL += 0.75) {
            const double L = RadianToDms(DmsToRadian(114) + dL * 3.14159265358979 / 180);
            const double Bd = RadianToDms(B * 3.14159265358979 / 180);
            for (const Projection p : {Projection::Gauss, Projection::Utm}) {
                const Plane f = Forward<CBeijing54>(p, 114, Bd, L);
                const Plane g = Inverse<CBeijing54>(p, 114, f.x, f.y);
                EXPECT_NEAR(DmsToRadian(g.x), DmsToRadian(Bd), 0.00001 * kArcSecond) << B << " " << dL;
                EXPECT_NEAR(DmsToRadian(g.y), DmsToRadian(L), 0.00002 * kArcSecond) << B << " " << dL;
            }
        }
    }
}

TEST(Projections, InverseStoresRadiansInTheObject) {
    CBeijing54 e;
    e.SetCentralMeridian(114);
    e.SetPlane(3376171.7317, 548398.5147, 0);
    double B, L, H;
    e.GaussInverse(B, L, H);
    EXPECT_EQ(RadianToDms(e.m_B), B);
    EXPECT_EQ(RadianToDms(e.m_L), L);
    EXPECT_NEAR(e.m_B, DmsToRadian(30.3015), 1e-10);
}

}  // namespace
