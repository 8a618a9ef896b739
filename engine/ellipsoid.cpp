#include "engine/ellipsoid.h"

#include "engine/angle.h"
#include "engine/datum.h"

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
