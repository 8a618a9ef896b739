// Transverse Mercator: Gauss-Kruger (scale 1.0) and UTM (scale 0.9996).
//
// x is the northing, y the easting with the false easting of 500000 m and no
// zone number; the central meridian is whatever SetCentralMeridian stored.
// Both use the same meridian arc and footpoint latitude; they differ in the
// scale and in a few series coefficients. The inverse series, shared with
// the conversion of many points at a time, are in batch.cpp. Squares are
// written as products (a library pow differs from the product in the last
// bit now and then).
#include <cmath>

#include "engine/angle.h"
#include "engine/batch.h"
#include "engine/ellipsoid.h"

namespace {
struct Powers {
    double e2, e4, e6;
};
Powers EccentricityPowers(double e) {
    const double e2 = e * e;
    return {e2, e2 * e2, e2 * e2 * e2};
}
}  // namespace

double CEllipsoid::MeridianArc(double B) const {
    const double a = m_a;
    const auto [e2, e4, e6] = EccentricityPowers(m_e);
    return a * ((1 - e2 / 4 - 3 * e4 / 64 - 5 * e6 / 256) * B -
                (3 * e2 / 8 + 3 * e4 / 32 + 45 * e6 / 1024) * std::sin(2 * B) +
                (15 * e4 / 256 + 45 * e6 / 1024) * std::sin(4 * B) -
                (35 * e6 / 3072) * std::sin(6 * B));
}

namespace {
// Quantities at the latitude B shared by both forward series.
struct ForwardTerms {
    double t, T, C, A, N, A2, A3, A4, A5, A6;
};
ForwardTerms Forward(double a, double e2, double ep2, double B, double L, double L0) {
    ForwardTerms f{};
    const double sinB = std::sin(B);
    const double cosB = std::cos(B);
    f.t = std::tan(B);
    f.T = f.t * f.t;
    f.C = ep2 * (cosB * cosB);
    f.A = (L - L0) * cosB;
    f.N = a / std::sqrt(1 - e2 * (sinB * sinB));
    f.A2 = f.A * f.A;
    f.A3 = f.A2 * f.A;
    f.A4 = f.A2 * f.A2;
    f.A5 = f.A4 * f.A;
    f.A6 = f.A4 * f.A2;
    return f;
}

}  // namespace

void CEllipsoid::GaussForward(double& xOut, double& yOut, double& HOut) {
    m_k0 = 1.0;
    const double e2 = m_e * m_e;
    const double ep2 = m_ePrime * m_ePrime;
    const ForwardTerms f = Forward(m_a, e2, ep2, m_B, m_L, m_L0);
    const double M = MeridianArc(m_B);
    const double T = f.T, C = f.C;
    const double x = M +
                     f.N * f.t *
                         (f.A2 / 2 + (5 - T + 9 * C + 4 * (C * C)) * f.A4 / 24 +
                          (61 - 58 * T + T * T + 270 * C - 330 * C * T) * f.A6 / 720) +
                     m_falseNorthing;
    const double y = m_falseEasting +
                     f.N * (f.A + (1 - T + C) * f.A3 / 6 +
                            (5 - 18 * T + T * T + 14 * C - 58 * C * T) * f.A5 / 120);
    m_x = x;
    m_y = y;
    xOut = x;
    yOut = y;
    HOut = m_H;
}

void CEllipsoid::GaussInverse(double& BOut, double& LOut, double& HOut) {
    m_k0 = 1.0;
    PlaneToGeodeticBatch(*this, false, &m_x, &m_y, &m_B, &m_L, 1);
    BOut = RadianToDms(m_B);
    LOut = RadianToDms(m_L);
    HOut = m_H;
}

void CEllipsoid::UtmForward(double& xOut, double& yOut, double& HOut) {
    m_k0 = 0.9996;
    const double e2 = m_e * m_e;
    const double ep2 = m_ePrime * m_ePrime;
    const ForwardTerms f = Forward(m_a, e2, ep2, m_B, m_L, m_L0);
    const double M = MeridianArc(m_B);
    const double T = f.T, C = f.C;
    const double x = 0.9996 * (M + f.N * f.t *
                                       (f.A2 / 2 + (5 - T + 9 * C + 4 * (C * C)) * f.A4 / 24 +
                                        (61 - 58 * T + T * T + 600 * C - 330 * ep2) * f.A6 / 720)) +
                     m_falseNorthing;
    const double y = m_falseEasting +
                     0.9996 * f.N *
                         (f.A + (1 - T + C) * f.A3 / 6 +
                          (5 - 18 * T + T * T + 72 * C - 58 * ep2) * f.A5 / 120);
    m_x = x;
    m_y = y;
    xOut = x;
    yOut = y;
    HOut = m_H;
}

void CEllipsoid::UtmInverse(double& BOut, double& LOut, double& HOut) {
    m_k0 = 0.9996;
    PlaneToGeodeticBatch(*this, true, &m_x, &m_y, &m_B, &m_L, 1);
    BOut = RadianToDms(m_B);
    LOut = RadianToDms(m_L);
    HOut = m_H;
}
