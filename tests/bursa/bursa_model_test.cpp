#include <gtest/gtest.h>

#include <cmath>

#include "bursa/helmert.h"

using namespace zelk;

namespace {

PointRecord Transform(const SevenParams& params, PointRecord in) {
    double internal[kBursaCount];
    ParamsToInternal(params, internal);
    return ApplyBursa(internal, in);
}

TEST(BursaApply, ZeroParametersLeaveThePoint) {
    const PointRecord p = Transform({}, {-2281253.5485, 5004789.5165, 3218703.3015});
    EXPECT_EQ(p.X, -2281253.5485);
    EXPECT_EQ(p.Y, 5004789.5165);
    EXPECT_EQ(p.Z, 3218703.3015);
}

TEST(BursaApply, TranslationScaleAndRotation) {
    SevenParams t;
    t.dX0 = 10;
    t.dY0 = -20;
    t.dZ0 = 30;
    PointRecord p = Transform(t, {1, 2, 3});
    EXPECT_EQ(p.X, 11.0);
    EXPECT_EQ(p.Y, -18.0);
    EXPECT_EQ(p.Z, 33.0);

    SevenParams k;
    k.K = 1;
    p = Transform(k, {6378137, 0, 0});
    EXPECT_EQ(p.X, 6378143.378137);
    EXPECT_EQ(p.Y, 0.0);
    EXPECT_EQ(p.Z, 0.0);

    // Coordinate-frame convention: a positive rotation about Z moves a point
    // on the Y axis towards positive X.
    SevenParams r;
    r.betaZ = 1;
    p = Transform(r, {0, 6378137, 0});
    EXPECT_EQ(p.X, 30.922080775909297);
    EXPECT_EQ(p.Y, 6378137.0);
    EXPECT_EQ(p.Z, 0.0);
    r.betaZ = -1;
    EXPECT_EQ(Transform(r, {0, 6378137, 0}).X, -30.922080775909297);
}

TEST(BursaApply, RotationsFollowTheSmallAngleMatrix) {
    SevenParams r;
    r.betaX = 2;
    r.betaY = -3;
    const double ex = (3.14159265358979 * 2) * 1.54320987654321e-6;
    const double ey = (3.14159265358979 * -3) * 1.54320987654321e-6;
    const PointRecord p = Transform(r, {1000, 2000, 3000});
    EXPECT_EQ(p.X, (1000 - ey * 3000) * 1.0);
    EXPECT_EQ(p.Y, (ex * 3000 + 2000) * 1.0);
    EXPECT_EQ(p.Z, (ey * 1000 - ex * 2000) + 3000);
}

TEST(BursaApply, ApplyIsRepeatable) {
    SevenParams all{1.5, -2.5, 3.5, 4.5, 0.5, -0.25, 0.125};
    double internal[kBursaCount];
    ParamsToInternal(all, internal);
    const PointRecord point{-2281253.5485, 5004789.5165, 3218703.3015};
    const PointRecord first = ApplyBursa(internal, point);
    const PointRecord second = ApplyBursa(internal, point);
    EXPECT_EQ(first.X, second.X);
    EXPECT_EQ(first.Y, second.Y);
    EXPECT_EQ(first.Z, second.Z);
}

TEST(BursaUnits, ArcSecondsAndPpmInternally) {
    SevenParams p;
    p.K = 1;
    p.betaX = 1;
    p.betaY = 1;
    p.betaZ = 1;
    double v[kBursaCount];
    ParamsToInternal(p, v);
    EXPECT_EQ(v[kScale], 0.000001);
    EXPECT_EQ(v[kEx], 4.848136811095356e-06);
    // In and out again is not exact in the last bit.
    const SevenParams back = InternalToParams(v);
    EXPECT_EQ(back.betaX, 1.0000000000000002);
    EXPECT_EQ(back.K, 1.0);
}

}  // namespace
