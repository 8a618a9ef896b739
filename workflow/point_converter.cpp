#include "workflow/point_converter.h"

#include <algorithm>
#include <cmath>

#include "engine/angle.h"
#include "engine/ellipsoid.h"
#include "workflow/conversion.h"

CPointConverter::Side CPointConverter::MakeSide(int index, double meridian) {
    Side side;
    if (index < 0 || index >= kSystemCount) return side;
    const CoordinateSystem system = SystemFromMainList(index);
    switch (system) {
        case CoordinateSystem::Wgs84Utm:
        case CoordinateSystem::Wgs84Geodetic:
            side.ellipsoid = std::make_unique<CWgs84>();
            break;
        case CoordinateSystem::Beijing54Gauss:
        case CoordinateSystem::Beijing54Geodetic:
            side.ellipsoid = std::make_unique<CBeijing54>();
            break;
        case CoordinateSystem::Xian80Gauss:
        case CoordinateSystem::Xian80Geodetic:
            side.ellipsoid = std::make_unique<CXian80>();
            break;
    }
    if (!IsProjected(system)) {
        side.form = Form::Geodetic;
        return side;
    }
    side.form = system == CoordinateSystem::Wgs84Utm ? Form::Utm : Form::Gauss;
    side.ellipsoid->SetCentralMeridian(meridian);
    return side;
}

CPointConverter::CPointConverter(int sourceIndex, int targetIndex, double sourceMeridian,
                                 double targetMeridian, const SevenParams& params)
    : m_source(MakeSide(sourceIndex, sourceMeridian)),
      m_target(MakeSide(targetIndex, targetMeridian)) {
    m_model.SetParams(params);
}

CPointConverter::~CPointConverter() = default;

void CPointConverter::SourceToTransformed(double& a, double& b, double& c) {
    // Every computation of an ellipsoid object reads only what the setters
    // of this point wrote (and the central meridian, the same for every
    // point), so one object serves all points.
    if (m_source.form != Form::None) {
        CEllipsoid& e = *m_source.ellipsoid;
        if (m_source.form != Form::Geodetic) {
            e.SetPlane(a, b, c);
            if (m_source.form == Form::Utm) {
                e.UtmInverse(a, b, c);
            } else {
                e.GaussInverse(a, b, c);
            }
        }
        e.SetGeodetic(a, b, c);
        e.GeodeticToCartesian(a, b, c);
    }
    m_model.SetInput(PointRecord{a, b, c});
    PointRecord result;
    m_model.Apply(result);
    a = result.X;
    b = result.Y;
    c = result.Z;
}

// B L H of the target datum -> the target system.
void CPointConverter::GeodeticToTarget(double& a, double& b, double& c) {
    if (m_target.form == Form::Geodetic) return;
    CEllipsoid& e = *m_target.ellipsoid;
    e.SetGeodetic(a, b, c);
    if (m_target.form == Form::Utm) {
        e.UtmForward(a, b, c);
    } else {
        e.GaussForward(a, b, c);
    }
}

void CPointConverter::Convert(double& a, double& b, double& c) {
    SourceToTransformed(a, b, c);
    if (m_target.form == Form::None) return;
    CEllipsoid& e = *m_target.ellipsoid;
    e.SetCartesian(a, b, c);
    e.CartesianToGeodetic(a, b, c);
    GeodeticToTarget(a, b, c);
}

namespace {

constexpr int kLanes = 4;

// Longitude from X and Y in (-pi, pi], as the engine forms it.
double LongitudeOf(double X, double Y) {
    if (X > 0) return std::atan(Y / X);
    if (X < 0) {
        const double q = std::atan(Y / X);
        return Y >= 0 ? q + kEnginePi : q - kEnginePi;
    }
    return std::atan(Y / std::fabs(X));
}

// CEllipsoid::CartesianToGeodetic for up to kLanes points at once: each
// point goes through the very same operations in the very same order, only
// the instructions of different points are interleaved, so that the
// processor works on one while another waits for a result. xyz holds X Y Z
// of each point in turn and receives B L H.
void CartesianToGeodeticLanes(const CEllipsoid& e, double* xyz, int count) {
    const double a = e.m_a;
    const double b = e.m_b;
    const double e2 = e.m_e * e.m_e;
    const double heightTolerance = kEnginePi * 1.54320987654321e-11;
    double L[kLanes], P[kLanes], t[kLanes], H[kLanes], B[kLanes];
    for (int j = 0; j < count; ++j) {
        const double X = xyz[3 * j], Y = xyz[3 * j + 1], Z = xyz[3 * j + 2];
        L[j] = LongitudeOf(X, Y);
        P[j] = std::sqrt(X * X + Y * Y);
        const double R = std::sqrt(Z * Z + X * X + Y * Y);
        t[j] = Z / P[j];
        H[j] = R - std::sqrt(b * a);
        B[j] = std::atan(t[j] * 1 / (1 - e2 * a / (a + H[j])));
    }
    unsigned active = (1u << count) - 1;
    for (int k = 1; k <= 10 && active != 0; ++k) {
        double sinB[kLanes], cosB[kLanes];
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

// The source half of the chain, up to the cartesian step, for up to kLanes
// points at once, in the manner of CartesianToGeodeticLanes: the inverse
// projection when there is one (CEllipsoid::GaussInverse or UtmInverse, with
// the footpoint latitude), the passage of B and L through packed DMS, then
// CEllipsoid::GeodeticToCartesian. Each point goes through the very same
// operations in the very same order. v holds the triple of each point in
// turn and receives X Y Z.
void SourceToCartesianLanes(const CEllipsoid& e, bool projected, bool utm, double* v,
                            int count) {
    const double a = e.m_a;
    const double e2 = e.m_e * e.m_e;
    double B[kLanes], L[kLanes], H[kLanes];
    for (int j = 0; j < count; ++j) {
        B[j] = v[3 * j];
        L[j] = v[3 * j + 1];
        H[j] = v[3 * j + 2];
    }
    if (projected) {
        const double b = e.m_b;
        const double ep2 = e.m_ePrime * e.m_ePrime;
        const double e4 = e2 * e2, e6 = e2 * e2 * e2;
        const double e1 = (1 - b / a) / (1 + b / a);
        const double e1p2 = e1 * e1;
        const double e1p3 = e1p2 * e1;
        const double e1p4 = e1p2 * e1p2;
        double phi1[kLanes];
        for (int j = 0; j < count; ++j) {
            const double northing = B[j] - e.m_falseNorthing;
            const double m = utm ? northing * 1.0004001600640255 : northing;
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
            const double t = T1[j], c = C1[j];
            double latitude, longitude;
            if (utm) {
                const double D = (L[j] - e.m_falseEasting) / (N1[j] * 0.9996);
                const double D2 = D * D, D3 = D2 * D, D4 = D2 * D2, D5 = D4 * D, D6 = D4 * D2;
                latitude = phi1[j] - (N1[j] * t1[j] / R1[j]) *
                                         (D2 / 2 - (5 + 3 * t + 10 * c - 4 * (c * c) - 9 * ep2) * D4 / 24 +
                                          (61 + 90 * t + 298 * c + 45 * (t * t) - 252 * ep2 - 3 * (c * c)) *
                                              D6 / 720);
                longitude = e.m_L0 + (D - (1 + 2 * t + c) * D3 / 6 +
                                      (5 - 2 * c + 28 * t - 3 * (c * c) + 8 * ep2 + 24 * (t * t)) * D5 / 120) /
                                         cosPhi1[j];
            } else {
                const double D = (L[j] - e.m_falseEasting) / N1[j];
                const double D2 = D * D, D3 = D2 * D, D4 = D2 * D2, D5 = D4 * D, D6 = D4 * D2;
                latitude = phi1[j] - (N1[j] * t1[j] / R1[j]) *
                                         (D2 / 2 - (5 + 3 * t + c - 9 * t * c) * D4 / 24 +
                                          (61 + 90 * t + 45 * (t * t)) * D6 / 720);
                longitude = e.m_L0 + (D - (1 + 2 * t + c) * D3 / 6 +
                                      (5 + 28 * t + 24 * (t * t) + 6 * c + 8 * c * t) * D5 / 120) /
                                         cosPhi1[j];
            }
            B[j] = RadianToDms(latitude);
            L[j] = RadianToDms(longitude);
        }
    }
    double Br[kLanes], Lr[kLanes];
    for (int j = 0; j < count; ++j) {
        Br[j] = DmsToRadian(B[j]);
        Lr[j] = DmsToRadian(L[j]);
    }
    for (int j = 0; j < count; ++j) {
        const double sinB = std::sin(Br[j]);
        const double N = a / std::sqrt(1 - e2 * (sinB * sinB));
        v[3 * j] = (N + H[j]) * std::cos(Br[j]) * std::cos(Lr[j]);
        v[3 * j + 1] = (N + H[j]) * std::cos(Br[j]) * std::sin(Lr[j]);
        v[3 * j + 2] = (N * (1 - e2) + H[j]) * sinB;
    }
}

}  // namespace

void CPointConverter::ConvertMany(double* values, std::size_t count) {
    if (m_source.form != Form::None) {
        const bool projected = m_source.form != Form::Geodetic;
        const bool utm = m_source.form == Form::Utm;
        for (std::size_t i = 0; i < count; i += kLanes) {
            const int lanes = static_cast<int>(std::min<std::size_t>(kLanes, count - i));
            SourceToCartesianLanes(*m_source.ellipsoid, projected, utm, values + 3 * i, lanes);
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        m_model.SetInput(PointRecord{values[3 * i], values[3 * i + 1], values[3 * i + 2]});
        PointRecord result;
        m_model.Apply(result);
        values[3 * i] = result.X;
        values[3 * i + 1] = result.Y;
        values[3 * i + 2] = result.Z;
    }
    if (m_target.form == Form::None) return;
    for (std::size_t i = 0; i < count; i += kLanes) {
        const int lanes = static_cast<int>(std::min<std::size_t>(kLanes, count - i));
        CartesianToGeodeticLanes(*m_target.ellipsoid, values + 3 * i, lanes);
    }
    if (m_target.form == Form::Geodetic) return;
    for (std::size_t i = 0; i < count; ++i) {
        GeodeticToTarget(values[3 * i], values[3 * i + 1], values[3 * i + 2]);
    }
}
