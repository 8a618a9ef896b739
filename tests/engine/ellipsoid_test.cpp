#include <gtest/gtest.h>

#include <type_traits>

#include "engine/angle.h"
#include "adapters/ellipsoid.h"

using namespace zelk;

namespace {

template <typename E>
void ExpectConstants(double a, double b, double e, double ePrime) {
    E ellipsoid;
    EXPECT_EQ(ellipsoid.m_a, a);
    EXPECT_EQ(ellipsoid.m_b, b);
    EXPECT_EQ(ellipsoid.m_e, e);
    EXPECT_EQ(ellipsoid.m_ePrime, ePrime);
    EXPECT_EQ(ellipsoid.m_falseNorthing, 0.0);
    EXPECT_EQ(ellipsoid.m_falseEasting, 500000.0);
}

TEST(Ellipsoid, NewObjectsHoldTheLiteralConstants) {
    ExpectConstants<CWgs84>(6378137.0, 6356752.3142, 0.081819190928907, 0.082094438036855);
    ExpectConstants<CBeijing54>(6378245.0, 6356863.0188, 0.081813333965454, 0.082088521768553);
    ExpectConstants<CXian80>(6378140.0, 6356755.2882, 0.081819221374409, 0.082094468790657);
}

TEST(Ellipsoid, DerivedClassesShareOneVirtualBase) {
    static_assert(std::has_virtual_destructor_v<CEllipsoid>);
    static_assert(std::is_base_of_v<CEllipsoid, CWgs84>);
    static_assert(std::is_base_of_v<CEllipsoid, CBeijing54>);
    static_assert(std::is_base_of_v<CEllipsoid, CXian80>);
    CXian80 xian;
    CEllipsoid& base = xian;
    EXPECT_EQ(base.m_a, 6378140.0);
}

TEST(Ellipsoid, SettersStoreAnglesInRadiansAndLengthsUnchanged) {
    CBeijing54 e;
    e.SetGeodetic(30.3015, 114.3015, 123.456);
    EXPECT_EQ(e.m_B, 0.5323981439104365);
    EXPECT_EQ(e.m_L, 1.9984747155856717);
    EXPECT_EQ(e.m_H, 123.456);
    e.SetCentralMeridian(114.3015);
    EXPECT_EQ(e.m_L0, 1.9984747155856717);
    e.SetPlane(3376171.7317, 548398.5147, -5.5);
    EXPECT_EQ(e.m_x, 3376171.7317);
    EXPECT_EQ(e.m_y, 548398.5147);
    EXPECT_EQ(e.m_H, -5.5);
    e.SetCartesian(-1.0, 2.0, 3.5);
    EXPECT_EQ(e.m_X, -1.0);
    EXPECT_EQ(e.m_Y, 2.0);
    EXPECT_EQ(e.m_Z, 3.5);
}

TEST(Ellipsoid, ProjectionsRecordTheirScale) {
    CWgs84 w;
    w.SetCentralMeridian(117);
    w.SetGeodetic(30, 117, 0);
    double x, y, h;
    w.GaussForward(x, y, h);
    EXPECT_EQ(w.m_k0, 1.0);
    w.UtmForward(x, y, h);
    EXPECT_EQ(w.m_k0, 0.9996);
    w.SetPlane(x, y, 7);
    w.GaussInverse(x, y, h);
    EXPECT_EQ(w.m_k0, 1.0);
    w.SetPlane(3318785.3526, 500000, 7);
    w.UtmInverse(x, y, h);
    EXPECT_EQ(w.m_k0, 0.9996);
    EXPECT_EQ(h, 7.0);
}

TEST(Ellipsoid, OutputsMayBeTheInputVariables) {
    CBeijing54 e;
    double a = 40, b = 120, c = 55;
    e.SetCentralMeridian(117);
    e.SetGeodetic(a, b, c);
    e.GaussForward(a, b, c);
    EXPECT_NEAR(a, 4433921.0037, 1e-4);
    EXPECT_NEAR(b, 756206.4162, 1e-4);
    EXPECT_EQ(c, 55.0);
}

}  // namespace
