// Gauss-Kruger and UTM on the object's fields: the central meridian stored
// by SetCentralMeridian, the point by SetGeodetic or SetPlane. The series
// are those of zelk::TransverseMercator.
#include "engine/angle.h"
#include "engine/ellipsoid.h"
#include "engine/transverse_mercator.h"

namespace {
zelk::TransverseMercator Projection(const CEllipsoid& e, double k0, zelk::TmSeries series) {
    return zelk::TransverseMercator(e.Shape(), k0, e.m_falseEasting, series);
}
}  // namespace

void CEllipsoid::GaussForward(double& xOut, double& yOut, double& HOut) {
    m_k0 = 1.0;
    Projection(*this, m_k0, zelk::TmSeries::GaussKruger).Forward(m_L0, m_B, m_L, m_x, m_y);
    xOut = m_x;
    yOut = m_y;
    HOut = m_H;
}

void CEllipsoid::GaussInverse(double& BOut, double& LOut, double& HOut) {
    m_k0 = 1.0;
    Projection(*this, m_k0, zelk::TmSeries::GaussKruger).Reverse(m_L0, m_x, m_y, m_B, m_L);
    BOut = RadianToDms(m_B);
    LOut = RadianToDms(m_L);
    HOut = m_H;
}

void CEllipsoid::UtmForward(double& xOut, double& yOut, double& HOut) {
    m_k0 = 0.9996;
    Projection(*this, m_k0, zelk::TmSeries::Utm).Forward(m_L0, m_B, m_L, m_x, m_y);
    xOut = m_x;
    yOut = m_y;
    HOut = m_H;
}

void CEllipsoid::UtmInverse(double& BOut, double& LOut, double& HOut) {
    m_k0 = 0.9996;
    Projection(*this, m_k0, zelk::TmSeries::Utm).Reverse(m_L0, m_x, m_y, m_B, m_L);
    BOut = RadianToDms(m_B);
    LOut = RadianToDms(m_L);
    HOut = m_H;
}
