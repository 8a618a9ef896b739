#include "engine/transverse_mercator.h"

#include <cmath>

#include "engine/angle.h"

namespace zelk {

namespace {
constexpr double kTurn = 2 * kPi;
}  // namespace

double LongitudeDifference(double L, double L0) {
    const double d = L - L0;
    if (d > kPi) return d - kTurn;
    if (d < -kPi) return d + kTurn;
    return d;
}

double WrapLongitude(double L) {
    if (L > kPi) return L - kTurn;
    if (L <= -kPi) return L + kTurn;
    return L;
}

TransverseMercator::TransverseMercator(const Ellipsoid& ellipsoid, double k0, double falseEasting,
                                       TmSeries series)
    : TransverseMercator(ellipsoid, k0, falseEasting, 0.0, series) {}

TransverseMercator::TransverseMercator(const Ellipsoid& ellipsoid, double k0, double falseEasting,
                                       double falseNorthing, TmSeries series)
    : m_ellipsoid(ellipsoid),
      m_k0(k0),
      m_inverseK0(1 / k0),
      m_falseEasting(falseEasting),
      m_falseNorthing(falseNorthing),
      m_series(series) {}

TransverseMercator TransverseMercator::GaussKruger(const Ellipsoid& ellipsoid) {
    return TransverseMercator(ellipsoid, 1.0, 500000.0, TmSeries::GaussKruger);
}

TransverseMercator TransverseMercator::Utm(const Ellipsoid& ellipsoid) {
    return TransverseMercator(ellipsoid, 0.9996, 500000.0, TmSeries::Utm);
}

double TransverseMercator::MeridianArc(double B) const {
    const double a = m_ellipsoid.a();
    const double e2 = m_ellipsoid.e() * m_ellipsoid.e();
    const double e4 = e2 * e2, e6 = e2 * e2 * e2;
    return a * ((1 - e2 / 4 - 3 * e4 / 64 - 5 * e6 / 256) * B -
                (3 * e2 / 8 + 3 * e4 / 32 + 45 * e6 / 1024) * std::sin(2 * B) +
                (15 * e4 / 256 + 45 * e6 / 1024) * std::sin(4 * B) -
                (35 * e6 / 3072) * std::sin(6 * B));
}

void TransverseMercator::Forward(double L0, double B, double L, double& xOut,
                                 double& yOut) const {
    const double a = m_ellipsoid.a();
    const double e2 = m_ellipsoid.e() * m_ellipsoid.e();
    const double ep2 = m_ellipsoid.ePrime() * m_ellipsoid.ePrime();
    const double sinB = std::sin(B);
    const double cosB = std::cos(B);
    const double t = std::tan(B);
    const double T = t * t;
    const double C = ep2 * (cosB * cosB);
    const double A = LongitudeDifference(L, L0) * cosB;
    const double N = a / std::sqrt(1 - e2 * (sinB * sinB));
    const double A2 = A * A, A3 = A2 * A, A4 = A2 * A2, A5 = A4 * A, A6 = A4 * A2;
    const double M = MeridianArc(B);
    // With k0 = 1 the products by k0 are exact, so both variants share them.
    if (m_series == TmSeries::GaussKruger) {
        xOut = m_k0 * (M + N * t *
                               (A2 / 2 + (5 - T + 9 * C + 4 * (C * C)) * A4 / 24 +
                                (61 - 58 * T + T * T + 270 * C - 330 * C * T) * A6 / 720)) +
               m_falseNorthing;
        yOut = m_falseEasting + m_k0 * N *
                                    (A + (1 - T + C) * A3 / 6 +
                                     (5 - 18 * T + T * T + 14 * C - 58 * C * T) * A5 / 120);
    } else {
        xOut = m_k0 * (M + N * t *
                               (A2 / 2 + (5 - T + 9 * C + 4 * (C * C)) * A4 / 24 +
                                (61 - 58 * T + T * T + 600 * C - 330 * ep2) * A6 / 720)) +
               m_falseNorthing;
        yOut = m_falseEasting + m_k0 * N *
                                    (A + (1 - T + C) * A3 / 6 +
                                     (5 - 18 * T + T * T + 72 * C - 58 * ep2) * A5 / 120);
    }
}

void TransverseMercator::Reverse(double L0, double x, double y, double& B, double& L) const {
    ReverseLanes(&L0, &x, &y, &B, &L, 1);
}

void TransverseMercator::ReverseLanes(const double* L0, const double* x, const double* y,
                                      double* B, double* L, int count) const {
    const double a = m_ellipsoid.a();
    const double b = m_ellipsoid.b();
    const double e2 = m_ellipsoid.e() * m_ellipsoid.e();
    const double e4 = e2 * e2, e6 = e2 * e2 * e2;
    const double ep2 = m_ellipsoid.ePrime() * m_ellipsoid.ePrime();
    // e1 from the ratio of the semi-axes, not from e.
    const double e1 = (1 - b / a) / (1 + b / a);
    const double e1p2 = e1 * e1;
    const double e1p3 = e1p2 * e1;
    const double e1p4 = e1p2 * e1p2;
    const bool gauss = m_series == TmSeries::GaussKruger;
    double phi1[kLanes];
    for (int j = 0; j < count; ++j) {
        // Footpoint latitude of the meridian distance x/k0 (multiplied by
        // 1/k0, never divided; exact for k0 = 1).
        const double m = (x[j] - m_falseNorthing) * m_inverseK0;
        const double mu = m / (a * (1 - e2 / 4 - 3 * e4 / 64 - 5 * e6 / 256));
        phi1[j] = mu + (3 * e1 / 2 - 27 * e1p3 / 32) * std::sin(2 * mu) +
                  (21 * e1p2 / 16 - 55 * e1p4 / 32) * std::sin(4 * mu) +
                  (151 * e1p3 / 96) * std::sin(6 * mu);
    }
    double N1[kLanes], R1[kLanes], t1[kLanes], T1[kLanes], C1[kLanes], cosPhi1[kLanes];
    for (int j = 0; j < count; ++j) {
        const double sinPhi = std::sin(phi1[j]);
        cosPhi1[j] = std::cos(phi1[j]);
        const double W = 1 - e2 * (sinPhi * sinPhi);
        N1[j] = a / std::sqrt(W);
        R1[j] = a * (1 - e2) / std::pow(W, 1.5);
        t1[j] = std::tan(phi1[j]);
        T1[j] = t1[j] * t1[j];
        C1[j] = ep2 * (cosPhi1[j] * cosPhi1[j]);
    }
    for (int j = 0; j < count; ++j) {
        const double T = T1[j], C = C1[j];
        const double D = (y[j] - m_falseEasting) / (N1[j] * m_k0);
        const double D2 = D * D, D3 = D2 * D, D4 = D2 * D2, D5 = D4 * D, D6 = D4 * D2;
        double dL;
        if (gauss) {
            B[j] = phi1[j] - (N1[j] * t1[j] / R1[j]) *
                                 (D2 / 2 - (5 + 3 * T + C - 9 * T * C) * D4 / 24 +
                                  (61 + 90 * T + 45 * (T * T)) * D6 / 720);
            dL = (D - (1 + 2 * T + C) * D3 / 6 +
                  (5 + 28 * T + 24 * (T * T) + 6 * C + 8 * C * T) * D5 / 120) /
                 cosPhi1[j];
        } else {
            B[j] = phi1[j] -
                   (N1[j] * t1[j] / R1[j]) *
                       (D2 / 2 - (5 + 3 * T + 10 * C - 4 * (C * C) - 9 * ep2) * D4 / 24 +
                        (61 + 90 * T + 298 * C + 45 * (T * T) - 252 * ep2 - 3 * (C * C)) * D6 /
                            720);
            dL = (D - (1 + 2 * T + C) * D3 / 6 +
                  (5 - 2 * C + 28 * T - 3 * (C * C) + 8 * ep2 + 24 * (T * T)) * D5 / 120) /
                 cosPhi1[j];
        }
        L[j] = WrapLongitude(L0[j] + dL);
    }
}

}  // namespace zelk
