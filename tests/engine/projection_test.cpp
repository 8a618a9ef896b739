#include <gtest/gtest.h>

#include <cmath>

#include "engine/angle.h"
#include "engine/datum.h"
#include "engine/transverse_mercator.h"

using namespace zelk;

namespace {

constexpr double kTenthMm = 1e-4;
constexpr double kArcSecond = 3.14159265358979 / 648000;

struct Plane {
    double x, y, H;
};

enum class Projection { Gauss, Utm };

constexpr DatumId kWgs84 = DatumId::Wgs84;
constexpr DatumId kBeijing54 = DatumId::Beijing54;
constexpr DatumId kXian80 = DatumId::Xian80;

TransverseMercator Tm(DatumId datum, Projection p) {
    const Ellipsoid& e = DatumOf(datum).ellipsoid;
    return p == Projection::Gauss ? TransverseMercator::GaussKruger(e) : TransverseMercator::Utm(e);
}

// L0, B, L packed DMS; the height passes through.
template <DatumId D>
Plane Forward(Projection p, double L0, double B, double L, double H = 0.0) {
    Plane out{0.0, 0.0, H};
    Tm(D, p).Forward(DmsToRadian(L0), DmsToRadian(B), DmsToRadian(L), out.x, out.y);
    return out;
}

// B, L packed DMS in x, y.
template <DatumId D>
Plane Inverse(Projection p, double L0, double x, double y, double H = 0.0) {
    Plane out{0.0, 0.0, H};  // B, L, H
    Tm(D, p).Reverse(DmsToRadian(L0), x, y, out.x, out.y);
    out.x = RadianToDms(out.x);
    out.y = RadianToDms(out.y);
    return out;
}

struct Case {
    double L0, B, L, x, y;
};

template <DatumId E>
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
    ExpectCases<kBeijing54>(Projection::Gauss, {
                                                   {117, 30, 117, 3320172.4068, 500000.0},
                                                   {114, 30.3015, 114.3015, 3376171.7317, 548398.5147},
                                                   {117, 40, 120, 4433921.0037, 756206.4162},
                                                   {117, -30, 117, -3320172.4068, 500000.0},
                                               });
    ExpectCases<kXian80>(Projection::Gauss, {
                                                {117, 30, 117, 3320114.9451, 500000.0},
                                                {114, 30.3015, 114.3015, 3376113.3144, 548397.7239},
                                                {117, 40, 120, 4433844.6622, 756202.2496},
                                            });
}

TEST(Utm, KnownPointsOnWgs84) {
    ExpectCases<kWgs84>(Projection::Utm, {
                                             {117, 30, 117, 3318785.3526, 500000.0},
                                             {114, 30.3015, 114.3015, 3374761.2964, 548378.3421},
                                             {117, 40, 120, 4432069.0570, 756099.6480},
                                             {117, -30, 117, -3318785.3526, 500000.0},
                                         });
}

TEST(Projections, OnTheCentralMeridianTheEastingIsExactlyTheFalseEasting) {
    EXPECT_EQ(Forward<kBeijing54>(Projection::Gauss, 117, 30, 117).y, 500000.0);
    EXPECT_EQ(Forward<kWgs84>(Projection::Utm, 117, 30, 117).y, 500000.0);
    // ... and the UTM northing is 0.9996 times the meridian arc.
    EXPECT_NEAR(Forward<kWgs84>(Projection::Utm, 117, 30, 117).x,
                0.9996 * Forward<kWgs84>(Projection::Gauss, 117, 30, 117).x, 1e-9);
}

TEST(Projections, OriginInvertsToTheCentralMeridianOnTheEquator) {
    for (const Projection p : {Projection::Gauss, Projection::Utm}) {
        const Plane g = Inverse<kXian80>(p, 111, 0, 500000);
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
                const Plane f = Forward<kBeijing54>(p, 114, Bd, L);
                const Plane g = Inverse<kBeijing54>(p, 114, f.x, f.y);
                EXPECT_NEAR(DmsToRadian(g.x), DmsToRadian(Bd), 0.00001 * kArcSecond) << B << " " << dL;
                EXPECT_NEAR(DmsToRadian(g.y), DmsToRadian(L), 0.00002 * kArcSecond) << B << " " << dL;
            }
        }
    }
}

TEST(Projections, InverseGivesRadians) {
    double B, L;
    Tm(kBeijing54, Projection::Gauss).Reverse(DmsToRadian(114), 3376171.7317, 548398.5147, B, L);
    const Plane packed = Inverse<kBeijing54>(Projection::Gauss, 114, 3376171.7317, 548398.5147);
    EXPECT_EQ(RadianToDms(B), packed.x);
    EXPECT_EQ(RadianToDms(L), packed.y);
    EXPECT_NEAR(B, DmsToRadian(30.3015), 1e-10);
}

}  // namespace
