#include "bursa/four_params.h"

#include <cmath>

#include "bursa/bursa_quality.h"

namespace zelk {

GridPoint ApplyFourParams(const FourParams& p, const GridPoint& point) {
    const double a = p.K * std::cos(p.alpha), b = p.K * std::sin(p.alpha);
    GridPoint out = point;
    out.x = p.dX + (a * point.x - b * point.y);
    out.y = p.dY + (b * point.x + a * point.y);
    return out;
}

FourParamEstimate EstimateFourParams(const GridPoint* before, const GridPoint* after, int n) {
    FourParamEstimate result;
    if (n < kFourParamMinimumPairs) return result;
    result.status = FourParamEstimate::Status::Singular;

    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    for (int i = 0; i < n; ++i) {
        x1 += before[i].x;
        y1 += before[i].y;
        x2 += after[i].x;
        y2 += after[i].y;
    }
    x1 /= n;
    y1 /= n;
    x2 /= n;
    y2 /= n;
    double spread = 0.0;
    for (int i = 0; i < n; ++i) {
        const double dx = before[i].x - x1, dy = before[i].y - y1;
        spread += dx * dx + dy * dy;
    }
    const double r = std::sqrt(spread / n);
    if (!(r > 0.0) || !std::isfinite(r) || !std::isfinite(x2 + y2)) return result;

    // Unknowns: translation at the centroid (2), a r, b r.
    LinearDesign design;
    design.unknowns = 4;
    design.rowsPerGroup = 2;
    for (int i = 0; i < n; ++i) {
        const double dx = (before[i].x - x1) / r, dy = (before[i].y - y1) / r;
        design.AddRow({1, 0, dx, -dy}, after[i].x - x2);
        design.AddRow({0, 1, dy, dx}, after[i].y - y2);
    }
    const LinearFit fit = FitLinear(design);
    if (!fit.solved) return result;
    const double a = fit.solution[2] / r, b = fit.solution[3] / r;
    FourParams& p = result.params;
    p.K = std::hypot(a, b);
    p.alpha = std::atan2(b, a);
    p.dX = (x2 + fit.solution[0]) - (a * x1 - b * y1);
    p.dY = (y2 + fit.solution[1]) - (b * x1 + a * y1);
    result.status = FourParamEstimate::Status::Ok;

    double sum = 0.0;
    result.residuals.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const GridPoint t = ApplyFourParams(p, before[i]);
        const PlaneResidual v{after[i].x - t.x, after[i].y - t.y};
        result.residuals.push_back(v);
        sum += v.vx * v.vx + v.vy * v.vy;
    }
    result.planeRms = std::sqrt(sum / n);
    result.redundancy = 2 * n - 4;
    if (result.redundancy > 0) {
        result.sigma0 = std::sqrt(sum / result.redundancy);
        const double s2 = result.sigma0 * result.sigma0;
        // In the scaled unknowns var(a r) = s2 N^-1[2][2]; back to a.
        const double varA = s2 * fit.cofactor[2 * 4 + 2] / (r * r);
        const double varB = s2 * fit.cofactor[3 * 4 + 3] / (r * r);
        result.seK = std::sqrt((a * a * varA + b * b * varB) / (p.K * p.K));
        result.seAlpha = std::sqrt((b * b * varA + a * a * varB) / (p.K * p.K)) / p.K;
        // dX = Xc + x2c - a x1c + b y1c: cofactors of the scaled unknowns.
        const auto& Q = fit.cofactor;
        const double gx[4] = {1, 0, -x1 / r, y1 / r};
        const double gy[4] = {0, 1, -y1 / r, -x1 / r};
        double vx = 0.0, vy = 0.0;
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 4; ++j) {
                vx += gx[i] * Q[i * 4 + j] * gx[j];
                vy += gy[i] * Q[i * 4 + j] * gy[j];
            }
        }
        result.seDX = std::sqrt(s2 * vx);
        result.seDY = std::sqrt(s2 * vy);
    }
    result.blunders = LeaveOneOutTest(design, fit, kBlunderFamilyLevel, kBlunderSigmaFloor);
    return result;
}

}  // namespace zelk
