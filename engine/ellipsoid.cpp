#include "engine/ellipsoid.h"

#include "engine/angle.h"

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

// The constants are literal values; e and e' are not derived from a and b
// (derived values differ from these in the last digits).
CWgs84::CWgs84() {
    m_a = 6378137.0;
    m_b = 6356752.3142;
    m_e = 0.081819190928907;
    m_ePrime = 0.082094438036855;
}
CWgs84::~CWgs84() = default;

CBeijing54::CBeijing54() {
    m_a = 6378245.0;
    m_b = 6356863.0188;
    m_e = 0.081813333965454;
    m_ePrime = 0.082088521768553;
}
CBeijing54::~CBeijing54() = default;

CXian80::CXian80() {
    m_a = 6378140.0;
    m_b = 6356755.2882;
    m_e = 0.081819221374409;
    m_ePrime = 0.082094468790657;
}
CXian80::~CXian80() = default;
