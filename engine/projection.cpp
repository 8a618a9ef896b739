// Transverse Mercator: Gauss-Kruger (scale 1.0) and UTM (scale 0.9996).
//
// x is the northing, y the easting with the false easting of 500000 m and no
// zone number; the central meridian is whatever SetCentralMeridian stored.
// Both use the same meridian arc and footpoint latitude; they differ in the
// scale and in a few series coefficients. Squares are written as products
// (a library pow differs from the product in the last bit now and then).
#include <cmath>

#include "engine/angle.h"
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

double CEllipsoid::FootpointLatitude(double m) const {
    const double a = m_a;
    const double b = m_b;
    const auto [e2, e4, e6] = EccentricityPowers(m_e);
    const double mu = m / (a * (1 - e2 / 4 - 3 * e4 / 64 - 5 * e6 / 256));
    // e1 from the ratio of the stored semi-axes, not from e.
    const double e1 = (1 - b / a) / (1 + b / a);
    const double e1p2 = e1 * e1;
    const double e1p3 = e1p2 * e1;
    const double e1p4 = e1p2 * e1p2;
    return mu + (3 * e1 / 2 - 27 * e1p3 / 32) * std::sin(2 * mu) +
           (21 * e1p2 / 16 - 55 * e1p4 / 32) * std::sin(4 * mu) +
           (151 * e1p3 / 96) * std::sin(6 * mu);
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

// Quantities at the footpoint latitude shared by both inverse series.
struct InverseTerms {
    double N1, R1, t1, T1, C1, cosPhi1;
};
InverseTerms Inverse(double a, double e2, double ep2, double phi1) {
    InverseTerms v{};
    const double sinPhi = std::sin(phi1);
    v.cosPhi1 = std::cos(phi1);
    const double W = 1 - e2 * (sinPhi * sinPhi);
    v.N1 = a / std::sqrt(W);
    v.R1 = a * (1 - e2) / std::pow(W, 1.5);
    v.t1 = std::tan(phi1);
    v.T1 = v.t1 * v.t1;
    v.C1 = ep2 * (v.cosPhi1 * v.cosPhi1);
    return v;
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
    const double e2 = m_e * m_e;
    const double ep2 = m_ePrime * m_ePrime;
    const double phi1 = FootpointLatitude(m_x - m_falseNorthing);
    const InverseTerms v = Inverse(m_a, e2, ep2, phi1);
    const double T1 = v.T1, C1 = v.C1;
    const double D = (m_y - m_falseEasting) / v.N1;
    const double D2 = D * D, D3 = D2 * D, D4 = D2 * D2, D5 = D4 * D, D6 = D4 * D2;
    const double B = phi1 - (v.N1 * v.t1 / v.R1) *
                                (D2 / 2 - (5 + 3 * T1 + C1 - 9 * T1 * C1) * D4 / 24 +
                                 (61 + 90 * T1 + 45 * (T1 * T1)) * D6 / 720);
    m_B = B;
    const double L = m_L0 + (D - (1 + 2 * T1 + C1) * D3 / 6 +
                             (5 + 28 * T1 + 24 * (T1 * T1) + 6 * C1 + 8 * C1 * T1) * D5 / 120) /
                                v.cosPhi1;
    m_L = L;
    BOut = RadianToDms(B);
    LOut = RadianToDms(L);
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
    const double e2 = m_e * m_e;
    const double ep2 = m_ePrime * m_ePrime;
    // 1.0004001600640255 is the double nearest to 1/0.9996; multiply, never divide.
    const double phi1 = FootpointLatitude((m_x - m_falseNorthing) * 1.0004001600640255);
    const InverseTerms v = Inverse(m_a, e2, ep2, phi1);
    const double T1 = v.T1, C1 = v.C1;
    const double D = (m_y - m_falseEasting) / (v.N1 * 0.9996);
    const double D2 = D * D, D3 = D2 * D, D4 = D2 * D2, D5 = D4 * D, D6 = D4 * D2;
    const double B =
        phi1 - (v.N1 * v.t1 / v.R1) *
                   (D2 / 2 - (5 + 3 * T1 + 10 * C1 - 4 * (C1 * C1) - 9 * ep2) * D4 / 24 +
                    (61 + 90 * T1 + 298 * C1 + 45 * (T1 * T1) - 252 * ep2 - 3 * (C1 * C1)) * D6 /
                        720);
    m_B = B;
    const double L =
        m_L0 + (D - (1 + 2 * T1 + C1) * D3 / 6 +
                (5 - 2 * C1 + 28 * T1 - 3 * (C1 * C1) + 8 * ep2 + 24 * (T1 * T1)) * D5 / 120) /
                   v.cosPhi1;
    m_L = L;
    BOut = RadianToDms(B);
    LOut = RadianToDms(L);
    HOut = m_H;
}
