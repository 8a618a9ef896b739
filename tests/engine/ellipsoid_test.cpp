#include <gtest/gtest.h>

#include "engine/angle.h"
#include "engine/datum.h"
#include "engine/transverse_mercator.h"

using namespace zelk;

namespace {

void ExpectConstants(DatumId id, double a, double b, double e, double ePrime) {
    const Ellipsoid& ellipsoid = DatumOf(id).ellipsoid;
    EXPECT_EQ(ellipsoid.a(), a);
    EXPECT_EQ(ellipsoid.b(), b);
    EXPECT_EQ(ellipsoid.e(), e);
    EXPECT_EQ(ellipsoid.ePrime(), ePrime);
    // Both projections start from the same false origin.
    for (const TransverseMercator& tm :
         {TransverseMercator::GaussKruger(ellipsoid), TransverseMercator::Utm(ellipsoid)}) {
        EXPECT_EQ(tm.FalseNorthing(), 0.0);
        EXPECT_EQ(tm.FalseEasting(), 500000.0);
    }
}

TEST(Ellipsoid, TheDatumsHoldTheLiteralConstants) {
    ExpectConstants(DatumId::Wgs84, 6378137.0, 6356752.3142, 0.081819190928907, 0.082094438036855);
    ExpectConstants(DatumId::Beijing54, 6378245.0, 6356863.0188, 0.081813333965454, 0.082088521768553);
    ExpectConstants(DatumId::Xian80, 6378140.0, 6356755.2882, 0.081819221374409, 0.082094468790657);
}

TEST(Ellipsoid, DatumsAreFoundByIdAndByName) {
    for (const Datum& datum : Datums()) {
        EXPECT_EQ(&DatumOf(datum.id), &datum);
        EXPECT_EQ(FindDatum(datum.name), &datum);
    }
    EXPECT_EQ(FindDatum("xian80")->ellipsoid.a(), 6378140.0);
    EXPECT_EQ(FindDatum("krassovsky"), nullptr);
}

TEST(Ellipsoid, PackedAnglesBecomeRadians) {
    EXPECT_EQ(DmsToRadian(30.3015), 0.5323981439104365);
    EXPECT_EQ(DmsToRadian(114.3015), 1.9984747155856717);
}

TEST(Ellipsoid, EachProjectionHasItsScale) {
    const Ellipsoid& wgs84 = DatumOf(DatumId::Wgs84).ellipsoid;
    EXPECT_EQ(TransverseMercator::GaussKruger(wgs84).ScaleFactor(), 1.0);
    EXPECT_EQ(TransverseMercator::GaussKruger(wgs84).Series(), TmSeries::GaussKruger);
    EXPECT_EQ(TransverseMercator::Utm(wgs84).ScaleFactor(), 0.9996);
    EXPECT_EQ(TransverseMercator::Utm(wgs84).Series(), TmSeries::Utm);
    // The datums' own projections: UTM for WGS84, Gauss-Kruger for the others.
    EXPECT_EQ(DatumOf(DatumId::Wgs84).projection, Projection::Utm);
    EXPECT_EQ(DatumOf(DatumId::Beijing54).projection, Projection::GaussKruger);
}

TEST(Ellipsoid, OutputsMayBeTheInputVariables) {
    const TransverseMercator tm =
        TransverseMercator::GaussKruger(DatumOf(DatumId::Beijing54).ellipsoid);
    double a = DmsToRadian(40), b = DmsToRadian(120);
    tm.Forward(DmsToRadian(117), a, b, a, b);
    EXPECT_NEAR(a, 4433921.0037, 1e-4);
    EXPECT_NEAR(b, 756206.4162, 1e-4);
}

}  // namespace
