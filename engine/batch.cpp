#include "engine/batch.h"

#include <cmath>

#include "engine/angle.h"
#include "engine/ellipsoid.h"

double LongitudeOf(double X, double Y) {
    if (X > 0) return std::atan(Y / X);
    if (X < 0) {
        // East of 90 degrees the half-turn added is the engine's pi', so
        // eastern longitudes come back as they always have (120 reads
        // 119.5959999...); west of -90 it is subtracted instead of wrapping
        // every western longitude to the east.
        const double q = std::atan(Y / X);
        return Y >= 0 ? q + kEnginePi : q - kEnginePi;
    }
    // On the plane X = 0: a quarter turn by the sign of Y; 0/0 on the axis.
    return std::atan(Y / std::fabs(X));
}

void CartesianToGeodeticBatch(const CEllipsoid& e, double* xyz, int count) {
    const double a = e.m_a;
    const double b = e.m_b;
    const double e2 = e.m_e * e.m_e;
    // One arc-second in radians times 1e-5, formed at run time.
    const double heightTolerance = kEnginePi * 1.54320987654321e-11;
    double L[kBatchLanes], P[kBatchLanes], t[kBatchLanes], H[kBatchLanes], B[kBatchLanes];
    for (int j = 0; j < count; ++j) {
        const double X = xyz[3 * j], Y = xyz[3 * j + 1], Z = xyz[3 * j + 2];
        L[j] = LongitudeOf(X, Y);
        P[j] = std::sqrt(X * X + Y * Y);
        const double R = std::sqrt(Z * Z + X * X + Y * Y);
        t[j] = Z / P[j];
        // Start from the height above a sphere of radius sqrt(ab).
        H[j] = R - std::sqrt(b * a);
        B[j] = std::atan(t[j] * 1 / (1 - e2 * a / (a + H[j])));
    }
    // At most ten passes; a point stops at the first pass whose latitude
    // moved less than 0.001 rad and whose height moved less than the
    // tolerance (in practice: did not change at all).
    unsigned active = (1u << count) - 1;
    for (int k = 1; k <= 10 && active != 0; ++k) {
        double sinB[kBatchLanes], cosB[kBatchLanes];
        for (int j = 0; j < count; ++j) {
            if (active >> j & 1u) {
                sinB[j] = std::sin(B[j]);
                cosB[j] = std::cos(B[j]);
            }
        }
        for (int j = 0; j < count; ++j) {
            if (!(active >> j & 1u)) continue;
            const double N = a / std::sqrt(1 - e2 * (sinB[j] * sinB[j]));
            const double Hk = P[j] / cosB[j] - N;
            const double Bk = std::atan(t[j] * 1 / (1 - e2 * N / (N + Hk)));
            const bool done = std::fabs(Bk - B[j]) < 0.001 && std::fabs(Hk - H[j]) < heightTolerance;
            B[j] = Bk;
            H[j] = Hk;
            if (done) active &= ~(1u << j);
        }
    }
    for (int j = 0; j < count; ++j) {
        xyz[3 * j] = RadianToDms(B[j]);
        xyz[3 * j + 1] = RadianToDms(L[j]);
        xyz[3 * j + 2] = H[j];
    }
}

void GeodeticToCartesianBatch(const CEllipsoid& e, const double* B, const double* L,
                              const double* H, double* X, double* Y, double* Z, int count) {
    const double a = e.m_a;
    const double e2 = e.m_e * e.m_e;
    for (int j = 0; j < count; ++j) {
        const double sinB = std::sin(B[j]);
        const double cosB = std::cos(B[j]);
        // Radius of curvature in the prime vertical.
        const double N = a / std::sqrt(1 - e2 * (sinB * sinB));
        X[j] = (N + H[j]) * cosB * std::cos(L[j]);
        Y[j] = (N + H[j]) * cosB * std::sin(L[j]);
        Z[j] = (N * (1 - e2) + H[j]) * sinB;
    }
}

void PlaneToGeodeticBatch(const CEllipsoid& e, bool utm, const double* x, const double* y,
                          double* B, double* L, int count) {
    const double a = e.m_a;
    const double b = e.m_b;
    const double e2 = e.m_e * e.m_e;
    const double e4 = e2 * e2, e6 = e2 * e2 * e2;
    const double ep2 = e.m_ePrime * e.m_ePrime;
    // e1 from the ratio of the stored semi-axes, not from e.
    const double e1 = (1 - b / a) / (1 + b / a);
    const double e1p2 = e1 * e1;
    const double e1p3 = e1p2 * e1;
    const double e1p4 = e1p2 * e1p2;
    double phi1[kBatchLanes];
    for (int j = 0; j < count; ++j) {
        // Footpoint latitude of the meridian distance (UTM: the northing
        // times the double nearest to 1/0.9996; multiplied, never divided).
        const double northing = x[j] - e.m_falseNorthing;
        const double m = utm ? northing * 1.0004001600640255 : northing;
        const double mu = m / (a * (1 - e2 / 4 - 3 * e4 / 64 - 5 * e6 / 256));
        phi1[j] = mu + (3 * e1 / 2 - 27 * e1p3 / 32) * std::sin(2 * mu) +
                  (21 * e1p2 / 16 - 55 * e1p4 / 32) * std::sin(4 * mu) +
                  (151 * e1p3 / 96) * std::sin(6 * mu);
    }
    double N1[kBatchLanes], R1[kBatchLanes], t1[kBatchLanes], T1[kBatchLanes], C1[kBatchLanes],
        cosPhi1[kBatchLanes];
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
        if (utm) {
            const double D = (y[j] - e.m_falseEasting) / (N1[j] * 0.9996);
            const double D2 = D * D, D3 = D2 * D, D4 = D2 * D2, D5 = D4 * D, D6 = D4 * D2;
            B[j] = phi1[j] -
                   (N1[j] * t1[j] / R1[j]) *
                       (D2 / 2 - (5 + 3 * T + 10 * C - 4 * (C * C) - 9 * ep2) * D4 / 24 +
                        (61 + 90 * T + 298 * C + 45 * (T * T) - 252 * ep2 - 3 * (C * C)) * D6 / 720);
            L[j] = e.m_L0 + (D - (1 + 2 * T + C) * D3 / 6 +
                             (5 - 2 * C + 28 * T - 3 * (C * C) + 8 * ep2 + 24 * (T * T)) * D5 / 120) /
                                cosPhi1[j];
        } else {
            const double D = (y[j] - e.m_falseEasting) / N1[j];
            const double D2 = D * D, D3 = D2 * D, D4 = D2 * D2, D5 = D4 * D, D6 = D4 * D2;
            B[j] = phi1[j] - (N1[j] * t1[j] / R1[j]) *
                                 (D2 / 2 - (5 + 3 * T + C - 9 * T * C) * D4 / 24 +
                                  (61 + 90 * T + 45 * (T * T)) * D6 / 720);
            L[j] = e.m_L0 + (D - (1 + 2 * T + C) * D3 / 6 +
                             (5 + 28 * T + 24 * (T * T) + 6 * C + 8 * C * T) * D5 / 120) /
                                cosPhi1[j];
        }
    }
}
