#include "bursa/helmert.h"

#include "engine/angle.h"

namespace zelk {

namespace {
constexpr double kOverArcSeconds = 1.54320987654321e-6;  // 1/648000 to 15 digits
}  // namespace

void ParamsToInternal(const SevenParams& p, double v[kBursaCount]) {
    v[kTx] = p.dX0;
    v[kTy] = p.dY0;
    v[kTz] = p.dZ0;
    v[kScale] = p.K * 1e-6;
    v[kEx] = (kPi * p.betaX) * kOverArcSeconds;
    v[kEy] = (kPi * p.betaY) * kOverArcSeconds;
    v[kEz] = (kPi * p.betaZ) * kOverArcSeconds;
}

SevenParams InternalToParams(const double v[kBursaCount]) {
    SevenParams p;
    p.dX0 = v[kTx];
    p.dY0 = v[kTy];
    p.dZ0 = v[kTz];
    p.K = v[kScale] * 1000000.0;
    p.betaX = ((v[kEx] * 180.0) / kPi) * 3600.0;
    p.betaY = ((v[kEy] * 180.0) / kPi) * 3600.0;
    p.betaZ = ((v[kEz] * 180.0) / kPi) * 3600.0;
    return p;
}

PointRecord ApplyBursa(const double p[kBursaCount], const PointRecord& point) {
    const double X = point.X, Y = point.Y, Z = point.Z;
    const double scale = p[kScale] + 1.0;
    PointRecord out;
    out.X = ((p[kEz] * Y + X) - p[kEy] * Z) * scale + p[kTx];
    out.Y = ((p[kEx] * Z - p[kEz] * X) + Y) * scale + p[kTy];
    out.Z = ((p[kEy] * X - p[kEx] * Y) + Z) * scale + p[kTz];
    return out;
}

PointRecord ApplyBursaInverse(const double p[kBursaCount], const PointRecord& point) {
    const double scale = p[kScale] + 1.0;
    const double ux = (point.X - p[kTx]) / scale;
    const double uy = (point.Y - p[kTy]) / scale;
    const double uz = (point.Z - p[kTz]) / scale;
    const double wx = p[kEx], wy = p[kEy], wz = p[kEz];
    // W u = u × w, and w (w · u).
    const double cx = uy * wz - uz * wy, cy = uz * wx - ux * wz, cz = ux * wy - uy * wx;
    const double dot = wx * ux + wy * uy + wz * uz;
    const double norm = 1.0 + (wx * wx + wy * wy + wz * wz);
    PointRecord out;
    out.X = ((ux - cx) + wx * dot) / norm;
    out.Y = ((uy - cy) + wy * dot) / norm;
    out.Z = ((uz - cz) + wz * dot) / norm;
    return out;
}

}  // namespace zelk
