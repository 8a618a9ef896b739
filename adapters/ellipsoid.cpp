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
zelk::TransverseMercator TmOf(const CEllipsoid& e, double k0, zelk::TmSeries series) {
    return zelk::TransverseMercator(e.Shape(), k0, e.m_falseEasting, series);
}
}  // namespace

void CEllipsoid::GaussForward(double& xOut, double& yOut, double& HOut) {
    m_k0 = 1.0;
    TmOf(*this, m_k0, zelk::TmSeries::GaussKruger).Forward(m_L0, m_B, m_L, m_x, m_y);
    xOut = m_x;
    yOut = m_y;
    HOut = m_H;
}

void CEllipsoid::GaussInverse(double& BOut, double& LOut, double& HOut) {
    m_k0 = 1.0;
    TmOf(*this, m_k0, zelk::TmSeries::GaussKruger).Reverse(m_L0, m_x, m_y, m_B, m_L);
    BOut = RadianToDms(m_B);
    LOut = RadianToDms(m_L);
    HOut = m_H;
}

void CEllipsoid::UtmForward(double& xOut, double& yOut, double& HOut) {
    m_k0 = 0.9996;
    TmOf(*this, m_k0, zelk::TmSeries::Utm).Forward(m_L0, m_B, m_L, m_x, m_y);
    xOut = m_x;
    yOut = m_y;
    HOut = m_H;
}

void CEllipsoid::UtmInverse(double& BOut, double& LOut, double& HOut) {
    m_k0 = 0.9996;
    TmOf(*this, m_k0, zelk::TmSeries::Utm).Reverse(m_L0, m_x, m_y, m_B, m_L);
    BOut = RadianToDms(m_B);
    LOut = RadianToDms(m_L);
    HOut = m_H;
}
