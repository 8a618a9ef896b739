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
      m_series(series) {
    if (series != TmSeries::Kruger) return;
    // Karney (2011): the third flattening n = f/(2 − f); the rectifying
    // radius A = a/(1 + n) (1 + n²/4 + n⁴/64 + n⁶/256); α and β, each a
    // polynomial in n from its first power up.
    const double f = ellipsoid.Flattening();
    const double n = f / (2 - f);
    const double n2 = n * n, n3 = n2 * n, n4 = n2 * n2, n5 = n4 * n, n6 = n3 * n3;
    KrugerTerms& k = m_kruger;
    k.e2 = f * (2 - f);
    k.e = std::sqrt(k.e2);
    // The power series of SinhEAtanh hold for e < 0.1 (any earth ellipsoid).
    k.series = k.e < 0.1;
    k.k0A = k0 * ellipsoid.a() / (1 + n) * (1 + n2 / 4 + n4 / 64 + n6 / 256);
    k.alpha[0] = n / 2 - 2 * n2 / 3 + 5 * n3 / 16 + 41 * n4 / 180 - 127 * n5 / 288 +
                 7891 * n6 / 37800;
    k.alpha[1] = 13 * n2 / 48 - 3 * n3 / 5 + 557 * n4 / 1440 + 281 * n5 / 630 -
                 1983433 * n6 / 1935360;
    k.alpha[2] = 61 * n3 / 240 - 103 * n4 / 140 + 15061 * n5 / 26880 + 167603 * n6 / 181440;
    k.alpha[3] = 49561 * n4 / 161280 - 179 * n5 / 168 + 6601661 * n6 / 7257600;
    k.alpha[4] = 34729 * n5 / 80640 - 3418889 * n6 / 1995840;
    k.alpha[5] = 212378941 * n6 / 319334400;
    k.beta[0] = n / 2 - 2 * n2 / 3 + 37 * n3 / 96 - n4 / 360 - 81 * n5 / 512 +
                96199 * n6 / 604800;
    k.beta[1] = n2 / 48 + n3 / 15 - 437 * n4 / 1440 + 46 * n5 / 105 - 1118711 * n6 / 3870720;
    k.beta[2] = 17 * n3 / 480 - 37 * n4 / 840 - 209 * n5 / 4480 + 5569 * n6 / 90720;
    k.beta[3] = 4397 * n4 / 161280 - 11 * n5 / 504 - 830251 * n6 / 7257600;
    k.beta[4] = 4583 * n5 / 161280 - 108847 * n6 / 3991680;
    k.beta[5] = 20648693 * n6 / 638668800;
}

TransverseMercator TransverseMercator::Kruger(const Ellipsoid& ellipsoid, double k0,
                                              double falseEasting, double falseNorthing) {
    return TransverseMercator(ellipsoid, k0, falseEasting, falseNorthing, TmSeries::Kruger);
}

namespace {

// Σ c_j sin 2jζ for the complex angle ζ = ξ + iη, given sin 2ξ, cos 2ξ,
// sinh 2η and cosh 2η, by Clenshaw's recurrence b_j = c_j + 2 cos 2ζ b_{j+1}
// − b_{j+2}, the sum being b_1 sin 2ζ. Complex products written out.
void KrugerSum(const double c[6], double s2, double c2, double sh2, double ch2, double& re,
               double& im) {
    // 2 cos 2ζ = 2 (cos 2ξ cosh 2η − i sin 2ξ sinh 2η).
    const double yr = 2 * c2 * ch2, yi = -2 * s2 * sh2;
    double b1r = 0, b1i = 0, b2r = 0, b2i = 0;  // b_{j+1}, b_{j+2}
    for (int j = 5; j >= 0; --j) {
        const double br = c[j] + (yr * b1r - yi * b1i) - b2r;
        const double bi = (yr * b1i + yi * b1r) - b2i;
        b2r = b1r;
        b2i = b1i;
        b1r = br;
        b1i = bi;
    }
    // sin 2ζ = sin 2ξ cosh 2η + i cos 2ξ sinh 2η.
    const double sr = s2 * ch2, si = c2 * sh2;
    re = b1r * sr - b1i * si;
    im = b1r * si + b1i * sr;
}

// sinh(e atanh(s)) for |s| <= e < 0.1 by the power series of atanh and sinh,
// each summed to below 1e-18 of its value (|s| <= 0.082 for the earth): the same to a few units in the
// last place as the library functions, at a fraction of their cost.
double SinhEAtanh(double e, double s) {
    const double s2 = s * s;  // <= 0.01
    const double atanh =
        s * (1 + s2 * (1.0 / 3 + s2 * (1.0 / 5 + s2 * (1.0 / 7 + s2 * (1.0 / 9 + s2 * (1.0 / 11 +
             s2 * (1.0 / 13 + s2 * (1.0 / 15 + s2 / 17))))))));
    const double y = e * atanh, y2 = y * y;  // y2 <= 1e-4
    return y * (1 + y2 / 6 * (1 + y2 / 20 * (1 + y2 / 42 * (1 + y2 / 72))));
}

// sin d, cos d and exp d of a small correction |d| <= 0.01 by their power
// series (to below 1e-20), else by the library.
constexpr double kSmall = 0.01;
void SinCosSmall(double d, double& sinD, double& cosD) {
    if (!(std::fabs(d) <= kSmall)) {
        sinD = std::sin(d);
        cosD = std::cos(d);
        return;
    }
    const double d2 = d * d;
    sinD = d * (1 - d2 / 6 * (1 - d2 / 20 * (1 - d2 / 42 * (1 - d2 / 72))));
    cosD = 1 - d2 / 2 * (1 - d2 / 12 * (1 - d2 / 30 * (1 - d2 / 56)));
}
double ExpSmall(double d) {
    if (!(std::fabs(d) <= kSmall)) return std::exp(d);
    return 1 + d * (1 + d / 2 * (1 + d / 3 * (1 + d / 4 * (1 + d / 5 * (1 + d / 6 * (1 + d / 7 *
               (1 + d / 8 * (1 + d / 9))))))));
}

}  // namespace

// tan of the conformal latitude from tan of the geodetic latitude:
// τ' = τ √(1 + σ²) − σ √(1 + τ²), σ = sinh(e atanh(e τ/√(1 + τ²))).
double TransverseMercator::ConformalTan(double tau, double& root) const {
    const KrugerTerms& k = m_kruger;
    root = std::sqrt(1 + tau * tau);
    const double s = k.e * tau / root;
    const double sigma = k.series ? SinhEAtanh(k.e, s) : std::sinh(k.e * std::atanh(s));
    return tau * std::sqrt(1 + sigma * sigma) - sigma * root;
}

// Karney (2011), equations (7)-(11). The complex angle ζ' = ξ' + iη' comes
// from τ' and λ: tan ξ' = τ'/cos λ, sinh η' = sin λ / r with
// r = √(τ'² + cos² λ); the sines and cosines of 2ξ' and the hyperbolic ones
// of 2η' the sum needs follow from these by algebra alone. Stage by stage
// over the lanes, as KrugerReverseLanes.
void TransverseMercator::KrugerForwardLanes(const double* L0, const double* B, const double* L,
                                            double* x, double* y, int count) const {
    const KrugerTerms& k = m_kruger;
    double tau[kLanes], sinLambda[kLanes], cosLambda[kLanes];
    for (int j = 0; j < count; ++j) {
        const double lambda = LongitudeDifference(L[j], L0[j]);
        tau[j] = std::tan(B[j]);
        sinLambda[j] = std::sin(lambda);
        cosLambda[j] = std::cos(lambda);
    }
    double tauPrime[kLanes], r2[kLanes], z[kLanes], q[kLanes];
    for (int j = 0; j < count; ++j) {
        double root;
        tauPrime[j] = ConformalTan(tau[j], root);
        r2[j] = tauPrime[j] * tauPrime[j] + cosLambda[j] * cosLambda[j];
        z[j] = sinLambda[j] / std::sqrt(r2[j]);  // sinh η'
        q[j] = std::sqrt(1 + z[j] * z[j]);       // cosh η'
    }
    double xiPrime[kLanes], etaPrime[kLanes];
    for (int j = 0; j < count; ++j) {
        xiPrime[j] = std::atan2(tauPrime[j], cosLambda[j]);
        // asinh z, without the cancellation of log(z + q) for z < 0.
        etaPrime[j] = std::copysign(std::log1p(std::fabs(z[j]) + z[j] * z[j] / (1 + q[j])), z[j]);
    }
    for (int j = 0; j < count; ++j) {
        const double t = tauPrime[j], c = cosLambda[j];
        double re, im;
        KrugerSum(k.alpha, 2 * t * c / r2[j], (c - t) * (c + t) / r2[j], 2 * z[j] * q[j],
                  1 + 2 * (z[j] * z[j]), re, im);
        x[j] = k.k0A * (xiPrime[j] + re) + m_falseNorthing;
        y[j] = k.k0A * (etaPrime[j] + im) + m_falseEasting;
    }
}

// Karney (2011), equations (11) and (15)-(19). ζ' = ζ − Σ β_j sin 2jζ; its
// sine, cosine and hyperbolic sine are those of ζ turned by the small
// correction (at most a few thousandths within 6° of the meridian). Each
// stage runs over the lanes in turn, so that the arithmetic of the points
// overlaps; every point's doubles are those it gets alone.
void TransverseMercator::KrugerReverseLanes(const double* L0, const double* x, const double* y,
                                            double* B, double* L, int count) const {
    const KrugerTerms& k = m_kruger;
    double sinXi[kLanes], cosXi[kLanes], grow[kLanes];
    for (int j = 0; j < count; ++j) {
        const double xi = (x[j] - m_falseNorthing) / k.k0A;
        sinXi[j] = std::sin(xi);
        cosXi[j] = std::cos(xi);
        // sinh and cosh from one exponential (exact zero on the meridian).
        grow[j] = std::exp((y[j] - m_falseEasting) / k.k0A);
    }
    double re[kLanes], im[kLanes];
    for (int j = 0; j < count; ++j) {
        const double shrink = 1 / grow[j];
        const double sh = (grow[j] - shrink) / 2, ch = (grow[j] + shrink) / 2;
        KrugerSum(k.beta, 2 * sinXi[j] * cosXi[j], (cosXi[j] - sinXi[j]) * (cosXi[j] + sinXi[j]),
                  2 * sh * ch, sh * sh + ch * ch, re[j], im[j]);
    }
    double sinhEta[kLanes], cosXiPrime[kLanes], tauPrime[kLanes];
    for (int j = 0; j < count; ++j) {
        double sinD, cosD;
        SinCosSmall(-re[j], sinD, cosD);
        const double sinXiPrime = sinXi[j] * cosD + cosXi[j] * sinD;
        cosXiPrime[j] = cosXi[j] * cosD - sinXi[j] * sinD;
        const double growPrime = grow[j] * ExpSmall(-im[j]);
        sinhEta[j] = (growPrime - 1 / growPrime) / 2;
        tauPrime[j] =
            sinXiPrime / std::sqrt(sinhEta[j] * sinhEta[j] + cosXiPrime[j] * cosXiPrime[j]);
    }
    // Newton's method for τ with τ'(τ) = tauPrime, from τ'/(1 − e²); the
    // derivative is (1 − e²) √(1 + τ'²) √(1 + τ²) / (1 + (1 − e²) τ²). From
    // that start a single step lands within 3.4e-16 rad (2 nm) of the
    // converged latitude at every latitude for the flattening of the earth
    // (checked from 0° to 90° in steps of 1e-4°; a second step moves it by
    // no more than that), so one step it is, the same for every point.
    const double oneMinusE2 = 1 - k.e2;
    double tau[kLanes];
    for (int j = 0; j < count; ++j) {
        tau[j] = tauPrime[j] / oneMinusE2;
        double root;
        const double t = ConformalTan(tau[j], root);
        tau[j] += (tauPrime[j] - t) * (1 + oneMinusE2 * tau[j] * tau[j]) /
                  (oneMinusE2 * std::sqrt(1 + t * t) * root);
    }
    for (int j = 0; j < count; ++j) {
        B[j] = std::atan(tau[j]);
        L[j] = WrapLongitude(L0[j] + std::atan2(sinhEta[j], cosXiPrime[j]));
    }
}

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
    if (m_series == TmSeries::Kruger) return KrugerForwardLanes(&L0, &B, &L, &xOut, &yOut, 1);
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

void TransverseMercator::ForwardLanes(const double* L0, const double* B, const double* L,
                                      double* x, double* y, int count) const {
    if (m_series == TmSeries::Kruger) return KrugerForwardLanes(L0, B, L, x, y, count);
    for (int j = 0; j < count; ++j) Forward(L0[j], B[j], L[j], x[j], y[j]);
}

void TransverseMercator::Reverse(double L0, double x, double y, double& B, double& L) const {
    ReverseLanes(&L0, &x, &y, &B, &L, 1);
}

void TransverseMercator::ReverseLanes(const double* L0, const double* x, const double* y,
                                      double* B, double* L, int count) const {
    if (m_series == TmSeries::Kruger) return KrugerReverseLanes(L0, x, y, B, L, count);
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
