#include "bursa/estimate.h"

#include <cmath>
#include <string>

#include "bursa/helmert.h"
#include "bursa/linear_solver.h"
#include "platform/number_text.h"

namespace zelk {

namespace {
constexpr int kSize = kBursaCount;

// Zeroes N and u and adds the three observations of every pair, the observed
// values being the residuals at p.
void BuildNormalEquations(const double* p, const PointRecord* target, const PointRecord* source,
                          int n, double* N, double* u) {
    for (int i = 0; i < kSize * kSize; ++i) N[i] = 0.0;
    for (int i = 0; i < kSize; ++i) u[i] = 0.0;
    for (int i = 0; i < n; ++i) {
        const PointRecord& t = target[i];
        const BursaResidual r = ResidualAt(p, t, source[i]);
        const double rowX[kSize] = {1, 0, 0, t.X, 0, -t.Z, t.Y};
        const double rowY[kSize] = {0, 1, 0, t.Y, t.Z, 0, -t.X};
        const double rowZ[kSize] = {0, 0, 1, t.Z, -t.Y, t.X, 0};
        AddObservation(rowX, kSize, r.rX, N, u, 1.0);
        AddObservation(rowY, kSize, r.rY, N, u, 1.0);
        AddObservation(rowZ, kSize, r.rZ, N, u, 1.0);
    }
}

// True when the points lie on one straight line (coincident points
// included). The coefficients of the equations come from these points, and
// for such a set the rotation about the line is undetermined: the normal
// equations are singular. Rounding keeps their pivots above the solver's
// absolute threshold, so the geometry is checked here. "On the line" means
// within a millimetre plus one part in a million of the set's extent.
bool Collinear(const PointRecord* points, int n) {
    double cx = 0, cy = 0, cz = 0;
    for (int i = 0; i < n; ++i) {
        cx += points[i].X;
        cy += points[i].Y;
        cz += points[i].Z;
    }
    cx /= n;
    cy /= n;
    cz /= n;
    // Non-finite coordinates are left to the arithmetic, as everywhere.
    if (!std::isfinite(cx + cy + cz)) return false;
    // The point farthest from the centroid gives the line's direction.
    double far = 0, ux = 0, uy = 0, uz = 0;
    for (int i = 0; i < n; ++i) {
        const double dx = points[i].X - cx, dy = points[i].Y - cy, dz = points[i].Z - cz;
        const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
        if (d > far) {
            far = d;
            ux = dx;
            uy = dy;
            uz = dz;
        }
    }
    const double tolerance = 0.001 + 1e-6 * far;
    if (!(far > tolerance)) return true;
    ux /= far;
    uy /= far;
    uz /= far;
    for (int i = 0; i < n; ++i) {
        const double dx = points[i].X - cx, dy = points[i].Y - cy, dz = points[i].Z - cz;
        const double along = dx * ux + dy * uy + dz * uz;
        const double px = dx - along * ux, py = dy - along * uy, pz = dz - along * uz;
        if (!(std::sqrt(px * px + py * py + pz * pz) <= tolerance)) return false;
    }
    return true;
}

std::string FormatReport(int count, double plane, double height, double spatial) {
    // "叠带进行了%d次.\n平面中误差为 %lf m,高程中误差为 %lf m,三维中误差为%lf m ."
    std::string text = "叠带进行了" + std::to_string(count) + "次.\n平面中误差为 ";
    AppendFixed(text, plane, 6);
    text += " m,高程中误差为 ";
    AppendFixed(text, height, 6);
    text += " m,三维中误差为";
    AppendFixed(text, spatial, 6);
    text += " m .";
    return text;
}
}  // namespace

BursaResidual ResidualAt(const double p[kBursaCount], const PointRecord& t, const PointRecord& s) {
    const double X = t.X, Y = t.Y, Z = t.Z;
    const double k = p[kScale], ex = p[kEx], ey = p[kEy], ez = p[kEz];
    return {
        (X - s.X) - (((k * X + p[kTx]) - ey * Z) + ez * Y),
        (Y - s.Y) - (((ex * Z + k * Y) + p[kTy]) - ez * X),
        (Z - s.Z) - (((k * Z + p[kTz]) - ex * Y) + ey * X),
    };
}

BursaEstimate EstimateBursa(const PointRecord* target, const PointRecord* source, int n) {
    BursaEstimate result;
    // Seven unknowns need at least three points; fewer would "solve" a
    // singular system and report rubbish as parameters.
    if (n < 3) {
        result.status = BursaEstimate::Status::TooFewPoints;
        return result;
    }
    result.status = BursaEstimate::Status::Singular;
    if (Collinear(target, n)) return result;
    double N[kSize * kSize];
    double u[kSize];
    double* p = result.internal.data();

    const double zero[kSize] = {};
    BuildNormalEquations(zero, target, source, n, N, u);
    if (SolveLinearSystem(N, u, kSize) != 1) return result;
    for (int j = 0; j < kSize; ++j) p[j] = u[j];

    int counter = 0;
    double Sprev = 1e21;
    double S = 0.0, Splane = 0.0, Sheight = 0.0;
    while (true) {
        BuildNormalEquations(p, target, source, n, N, u);
        // The coefficients are those of the first pass, so this solve cannot
        // fail where the first succeeded; checked all the same.
        if (SolveLinearSystem(N, u, kSize) != 1) return result;
        S = 0.0;
        Splane = 0.0;
        Sheight = 0.0;
        for (int i = 0; i < n; ++i) {
            const BursaResidual r = ResidualAt(p, target[i], source[i]);
            // Squares as products: pow(r, 2.0) is what this means, and the
            // product is the one form that is the same in every build.
            S += r.rX * r.rX;
            Splane += r.rX * r.rX;
            S += r.rY * r.rY;
            Splane += r.rY * r.rY;
            S += r.rZ * r.rZ;
            Sheight += r.rZ * r.rZ;
        }
        if (S >= Sprev) break;  // not better: the correction is discarded
        for (int j = 0; j < kSize; ++j) p[j] = u[j] + p[j];
        Sprev = S;
        ++counter;
        if (counter >= 100) break;
    }

    const double count = static_cast<double>(n);
    result.status = BursaEstimate::Status::Ok;
    result.iterations = counter;
    result.planeError = std::sqrt(Splane / count);
    result.heightError = std::sqrt(Sheight / count);
    result.spatialError = std::sqrt(S / count);
    result.params = InternalToParams(p);
    result.residuals.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) result.residuals.push_back(ResidualAt(p, target[i], source[i]));
    return result;
}

std::string BursaReportText(const BursaEstimate& e) {
    return FormatReport(e.iterations, e.planeError, e.heightError, e.spatialError);
}

}  // namespace zelk
