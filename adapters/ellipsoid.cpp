// The ellipsoid classes as thin adapters over the model: each member reads
// or writes the object's fields and runs the model's arithmetic
// (engine/geocentric.h, engine/transverse_mercator.h) on them.
#include "adapters/ellipsoid.h"

#include "engine/angle.h"
#include "engine/datum.h"
#include "engine/geocentric.h"
#include "engine/transverse_mercator.h"

using namespace zelk;

CEllipsoid::CEllipsoid() : m_falseNorthing(0.0), m_falseEasting(500000.0) {}
CEllipsoid::~CEllipsoid() = default;

void CEllipsoid::SetCentralMeridian(double L0) { m_L0 = DmsToRadian(L0); }

void CEllipsoid::SetGeodetic(double B, double L, double H) {
    m_B = DmsToRadian(B);
    m_L = DmsToRadian(L);
    m_H = H;
}

void CEllipsoid::SetPlane(double x, double y, double H) {
    m_x = x;
    m_y = y;
    m_H = H;
}

void CEllipsoid::SetCartesian(double X, double Y, double Z) {
    m_X = X;
    m_Y = Y;
    m_Z = Z;
}

void CEllipsoid::SetShape(const zelk::Ellipsoid& e) {
    m_a = e.a();
    m_b = e.b();
    m_e = e.e();
    m_ePrime = e.ePrime();
}

// The constants are those of the datum table: published literal values, not
// derived from one another.
CWgs84::CWgs84() { SetShape(zelk::DatumOf(zelk::DatumId::Wgs84).ellipsoid); }
CWgs84::~CWgs84() = default;

CBeijing54::CBeijing54() { SetShape(zelk::DatumOf(zelk::DatumId::Beijing54).ellipsoid); }
CBeijing54::~CBeijing54() = default;

CXian80::CXian80() { SetShape(zelk::DatumOf(zelk::DatumId::Xian80).ellipsoid); }
CXian80::~CXian80() = default;

// Geodetic <-> earth-centred cartesian coordinates, one point at a time.

void CEllipsoid::GeodeticToCartesian(double& X, double& Y, double& Z) const {
    double x, y, z;
    GeodeticToCartesianBatch(Shape(), &m_B, &m_L, &m_H, &x, &y, &z, 1);
    X = x;
    Y = y;
    Z = z;
}

void CEllipsoid::CartesianToGeodetic(double& B, double& L, double& H) const {
    double v[3] = {m_X, m_Y, m_Z};
    CartesianToGeodeticBatch(Shape(), v, 1);
    B = v[0];
    L = v[1];
    H = v[2];
}

// Gauss-Kruger and UTM on the object's fields: the central meridian stored
// by SetCentralMeridian, the point by SetGeodetic or SetPlane.

namespace {
// The object's projection with scale k0 and series: forward from its B L to
// its x y, or reverse from its x y to its B L (kept in radians, handed back
// in packed DMS).
void Project(CEllipsoid& e, double k0, zelk::TmSeries series, bool forward, double& a, double& b,
             double& H) {
    e.m_k0 = k0;
    const zelk::TransverseMercator tm(e.Shape(), k0, e.m_falseEasting, series);
    if (forward) {
        tm.Forward(e.m_L0, e.m_B, e.m_L, e.m_x, e.m_y);
        a = e.m_x;
        b = e.m_y;
    } else {
        tm.Reverse(e.m_L0, e.m_x, e.m_y, e.m_B, e.m_L);
        a = RadianToDms(e.m_B);
        b = RadianToDms(e.m_L);
    }
    H = e.m_H;
}
}  // namespace

void CEllipsoid::GaussForward(double& x, double& y, double& H) {
    Project(*this, 1.0, zelk::TmSeries::GaussKruger, true, x, y, H);
}

void CEllipsoid::GaussInverse(double& B, double& L, double& H) {
    Project(*this, 1.0, zelk::TmSeries::GaussKruger, false, B, L, H);
}

void CEllipsoid::UtmForward(double& x, double& y, double& H) {
    Project(*this, 0.9996, zelk::TmSeries::Utm, true, x, y, H);
}

void CEllipsoid::UtmInverse(double& B, double& L, double& H) {
    Project(*this, 0.9996, zelk::TmSeries::Utm, false, B, L, H);
}
