#include "bursa/height_fit.h"

#include <cmath>

#include "bursa/bursa_quality.h"

namespace zelk {

namespace {

// The model's terms at (dx, dy) km.
std::array<double, 6> Terms(double dx, double dy) {
    return {1.0, dx, dy, dx * dx, dx * dy, dy * dy};
}

}  // namespace

int HeightCoefficients(HeightModel model) {
    static constexpr int kCoefficients[] = {1, 3, 6};
    return kCoefficients[static_cast<int>(model)];
}

int HeightMinimumPoints(HeightModel model) { return HeightCoefficients(model); }

double HeightDifference(const HeightFit& fit, double x, double y) {
    const std::array<double, 6> t = Terms((x - fit.x0) / 1000.0, (y - fit.y0) / 1000.0);
    double zeta = 0.0;
    for (int j = 0; j < HeightCoefficients(fit.model); ++j) zeta += fit.a[j] * t[j];
    return zeta;
}

double ApplyHeightFit(const HeightFit& fit, const GridPoint& before) {
    return before.H - HeightDifference(fit, before.x, before.y);
}

HeightFit FitHeights(HeightModel model, const GridPoint* before, const GridPoint* after, int n) {
    HeightFit fit;
    fit.model = model;
    const int u = HeightCoefficients(model);
    if (n < HeightMinimumPoints(model)) return fit;
    fit.status = HeightFit::Status::Singular;
    for (int i = 0; i < n; ++i) {
        fit.x0 += before[i].x;
        fit.y0 += before[i].y;
    }
    fit.x0 /= n;
    fit.y0 /= n;

    LinearDesign design;
    design.unknowns = u;
    design.rowsPerGroup = 1;
    for (int i = 0; i < n; ++i) {
        const std::array<double, 6> t =
            Terms((before[i].x - fit.x0) / 1000.0, (before[i].y - fit.y0) / 1000.0);
        design.rows.insert(design.rows.end(), t.begin(), t.begin() + u);
        design.observed.push_back(before[i].H - after[i].H);
    }
    const LinearFit solved = FitLinear(design);
    if (!solved.solved) return fit;
    fit.status = HeightFit::Status::Ok;
    for (int j = 0; j < u; ++j) fit.a[j] = solved.solution[j];

    double sum = 0.0;
    fit.residuals.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double v = after[i].H - ApplyHeightFit(fit, before[i]);
        fit.residuals.push_back(v);
        sum += v * v;
    }
    fit.rms = std::sqrt(sum / n);
    fit.redundancy = n - u;
    if (fit.redundancy > 0) {
        fit.sigma0 = std::sqrt(sum / fit.redundancy);
        for (int j = 0; j < u; ++j) fit.se[j] = fit.sigma0 * std::sqrt(solved.cofactor[j * u + j]);
    }
    fit.blunders = LeaveOneOutTest(design, solved, kBlunderFamilyLevel, kBlunderSigmaFloor);
    return fit;
}

}  // namespace zelk
