#include "bursa/three_params.h"

#include <algorithm>
#include <cmath>

#include "bursa/bursa_quality.h"

namespace zelk {

namespace {

double Distance(const PointRecord& a, const PointRecord& b) {
    return std::sqrt((a.X - b.X) * (a.X - b.X) + (a.Y - b.Y) * (a.Y - b.Y) + (a.Z - b.Z) * (a.Z - b.Z));
}

// The largest distance between two points; beyond kExactSpanPairs points
// the diagonal of their bounding box.
double Span(const PointRecord* points, int n) {
    if (n <= kExactSpanPairs) {
        double span = 0.0;
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < i; ++j) span = std::max(span, Distance(points[i], points[j]));
        }
        return span;
    }
    PointRecord low = points[0], high = points[0];
    for (int i = 1; i < n; ++i) {
        low = {std::min(low.X, points[i].X), std::min(low.Y, points[i].Y), std::min(low.Z, points[i].Z)};
        high = {std::max(high.X, points[i].X), std::max(high.Y, points[i].Y), std::max(high.Z, points[i].Z)};
    }
    return Distance(low, high);
}

}  // namespace

ThreeParamEstimate EstimateThreeParams(const PointRecord* before, const PointRecord* after, int n) {
    ThreeParamEstimate result;
    if (n < kThreeParamMinimumPairs) return result;
    result.status = ThreeParamEstimate::Status::Singular;

    // The differences reduced to the first one, so that the normal
    // equations hold small numbers.
    const double d0[3] = {after[0].X - before[0].X, after[0].Y - before[0].Y, after[0].Z - before[0].Z};
    LinearDesign design;
    design.unknowns = 3;
    design.rowsPerGroup = 3;
    for (int i = 0; i < n; ++i) {
        design.AddRow({1, 0, 0}, (after[i].X - before[i].X) - d0[0]);
        design.AddRow({0, 1, 0}, (after[i].Y - before[i].Y) - d0[1]);
        design.AddRow({0, 0, 1}, (after[i].Z - before[i].Z) - d0[2]);
    }
    for (double value : design.observed) {
        if (!std::isfinite(value)) return result;
    }
    const LinearFit fit = FitLinear(design);
    if (!fit.solved) return result;
    ThreeParams& p = result.params;
    p.dX = d0[0] + fit.solution[0];
    p.dY = d0[1] + fit.solution[1];
    p.dZ = d0[2] + fit.solution[2];
    result.status = ThreeParamEstimate::Status::Ok;

    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        const PointRecord v{after[i].X - (before[i].X + p.dX), after[i].Y - (before[i].Y + p.dY),
                            after[i].Z - (before[i].Z + p.dZ)};
        result.residuals.push_back(v);
        sum += v.X * v.X + v.Y * v.Y + v.Z * v.Z;
    }
    result.span = Span(before, n);
    result.spatialRms = std::sqrt(sum / n);
    result.redundancy = 3 * n - 3;
    if (result.redundancy > 0) {
        result.sigma0 = std::sqrt(sum / result.redundancy);
        result.seShift = result.sigma0 / std::sqrt(static_cast<double>(n));
    }
    result.blunders = LeaveOneOutTest(design, fit, kBlunderFamilyLevel, kBlunderSigmaFloor);
    return result;
}

}  // namespace zelk
