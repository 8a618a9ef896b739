#include "bursa/bursa_quality.h"

#include "engine/angle.h"

#include <cmath>
#include <limits>

namespace zelk {

namespace {

constexpr int kSize = kBursaCount;
// The conversions of InternalToParams, as factors.
constexpr double kSecondsPerRadian = (180.0 / kPi) * 3600.0;

// The centred, scaled design of the estimation's linear model (q above).
LinearDesign CentredDesign(const PointRecord* target, const PointRecord* source, int n,
                           const double c[3], double r) {
    LinearDesign design;
    design.unknowns = kSize;
    design.rowsPerGroup = 3;
    design.rows.reserve(static_cast<std::size_t>(n) * 3 * kSize);
    design.observed.reserve(static_cast<std::size_t>(n) * 3);
    for (int i = 0; i < n; ++i) {
        const PointRecord& t = target[i];
        const double x = (t.X - c[0]) / r, y = (t.Y - c[1]) / r, z = (t.Z - c[2]) / r;
        design.AddRow({1, 0, 0, x, 0, -z, y}, t.X - source[i].X);
        design.AddRow({0, 1, 0, y, z, 0, -x}, t.Y - source[i].Y);
        design.AddRow({0, 0, 1, z, -y, x, 0}, t.Z - source[i].Z);
    }
    return design;
}

}  // namespace

BursaQuality AssessBursa(const PointRecord* target, const PointRecord* source, int n,
                         const BursaEstimate& estimate) {
    BursaQuality quality;
    if (estimate.status != BursaEstimate::Status::Ok || n < 3) return quality;
    quality.available = true;
    quality.pairs = n;
    quality.redundancy = 3 * n - kSize;
    double sum = 0.0;
    for (const BursaResidual& v : estimate.residuals) {
        sum += v.rX * v.rX + v.rY * v.rY + v.rZ * v.rZ;
    }
    quality.sigma0 = std::sqrt(sum / quality.redundancy);

    double c[3] = {0, 0, 0};
    for (int i = 0; i < n; ++i) {
        c[0] += target[i].X;
        c[1] += target[i].Y;
        c[2] += target[i].Z;
    }
    for (double& value : c) value /= n;
    double spread = 0.0;
    for (int i = 0; i < n; ++i) {
        const double dx = target[i].X - c[0], dy = target[i].Y - c[1], dz = target[i].Z - c[2];
        spread += dx * dx + dy * dy + dz * dz;
    }
    const double r = std::sqrt(spread / n);
    quality.spread = r;
    quality.condition = std::numeric_limits<double>::infinity();
    // Coordinates or residuals that are not numbers tell nothing; coincident
    // points never reach here (the estimation refuses them).
    if (!(r > 0.0) || !std::isfinite(r) || !std::isfinite(quality.sigma0)) {
        quality.available = false;
        return quality;
    }

    const LinearDesign design = CentredDesign(target, source, n, c, r);
    const LinearFit fit = FitLinear(design);

    // Shape: eigen-directions of N_q that the points hardly see.
    const SymmetricEigen eigen = DecomposeSymmetric(fit.normal, kSize);
    const double largest = eigen.values.back();
    if (eigen.values.front() > 0.0) quality.condition = largest / eigen.values.front();
    for (int k = 0; k < kSize; ++k) {
        if (!(eigen.values[k] * kLineLikeCondition < largest)) continue;
        quality.lineLike = true;
        for (int j = kScale; j < kSize; ++j) {
            if (std::fabs(eigen.vectors[j * kSize + k]) >= 0.3) quality.undetermined[j] = true;
        }
    }

    // Covariance: C_p = s0^2 H N_q^-1 H^T.
    if (fit.solved) {
        quality.precisionKnown = true;
        const double B[3][4] = {{c[0], 0, -c[2], c[1]}, {c[1], c[2], 0, -c[0]},
                                {c[2], -c[1], c[0], 0}};
        double H[kSize][kSize] = {};
        for (int i = 0; i < 3; ++i) {
            H[i][i] = 1.0;
            for (int j = 0; j < 4; ++j) H[i][3 + j] = -B[i][j] / r;
        }
        for (int j = 3; j < kSize; ++j) H[j][j] = 1.0 / r;
        const double s2 = quality.sigma0 * quality.sigma0;
        for (int a = 0; a < kSize; ++a) {
            for (int b = 0; b < kSize; ++b) {
                double value = 0.0;
                for (int i = 0; i < kSize; ++i) {
                    if (H[a][i] == 0.0) continue;
                    for (int j = 0; j < kSize; ++j) value += H[a][i] * fit.cofactor[i * kSize + j] * H[b][j];
                }
                quality.covariance[a * kSize + b] = s2 * value;
            }
        }
        const auto se = [&](int j) { return std::sqrt(quality.covariance[j * kSize + j]); };
        SevenParams& e = quality.standardErrors;
        e.dX0 = se(kTx);
        e.dY0 = se(kTy);
        e.dZ0 = se(kTz);
        e.K = se(kScale) * 1000000.0;
        e.betaX = se(kEx) * kSecondsPerRadian;
        e.betaY = se(kEy) * kSecondsPerRadian;
        e.betaZ = se(kEz) * kSecondsPerRadian;
        // Size: rotations or scale beyond what a datum change can be told by.
        const double rotation[3] = {e.betaX, e.betaY, e.betaZ};
        for (int j = 0; j < 3; ++j) {
            if (rotation[j] > kWeakRotationSeconds) {
                quality.tooSmall = true;
                quality.undetermined[kEx + j] = true;
            }
        }
        if (e.K > kWeakScalePpm) {
            quality.tooSmall = true;
            quality.undetermined[kScale] = true;
        }
    } else {
        // Singular to rounding: nothing but the translation at the centroid
        // is known.
        quality.lineLike = true;
        for (int j = kScale; j < kSize; ++j) quality.undetermined[j] = true;
    }
    bool rotationOrScale = false;
    for (int j = kScale; j < kSize; ++j) rotationOrScale = rotationOrScale || quality.undetermined[j];
    if (rotationOrScale) quality.undetermined[kTx] = quality.undetermined[kTy] = quality.undetermined[kTz] = true;

    quality.blunders = LeaveOneOutTest(design, fit, kBlunderFamilyLevel, kBlunderSigmaFloor);
    return quality;
}

}  // namespace zelk
