// Height fitting of a site calibration: the difference between the heights
// of the two systems as a smooth surface over the site.
//
// The fitted quantity is zeta = H_before - H_after (for GNSS heights against
// normal heights, the height anomaly), a function of the plane position
// measured from the common points' centroid (x0, y0) in kilometres,
//   dx = (x - x0) / 1000,  dy = (y - y0) / 1000,
// x north and y east in the before system's plane coordinates, since a
// conversion applies it to source points:
//   fixed      zeta = a0                                   (1 point or more)
//   plane      zeta = a0 + a1 dx + a2 dy                   (3 or more)
//   quadratic  zeta = plane + a3 dx^2 + a4 dx dy + a5 dy^2 (6 or more)
// a0 in m, a1 and a2 in m/km, a3 to a5 in m/km^2: the polynomial surfaces
// of GNSS height fitting, adjusted as in Koch (see bursa/least_squares.h),
// chapter 3. Least squares with equal weights; the design is centred by
// construction and its columns are scaled before the normal matrix is
// inverted, so even a quadratic over a few hundred metres or a hundred
// kilometres solves to rounding (1e-9 m). Points that cannot fix the
// surface (three on a line for the plane, six on one conic for the
// quadratic) give Singular. Outside the common points a quadratic
// extrapolates its errors quickly: the points should surround the site.
//
// Residuals are after minus fitted after, H_after - (H_before - zeta(x, y)),
// and the height RMS is sqrt(sum(v^2) / n). With redundancy (n above the
// coefficients) s0 and the coefficients' standard errors follow, and with
// two points more than coefficients the leave-one-out test of each height
// (the t test as F(1, n - u - 1), family level 1 %, bursa/least_squares.h).
#pragma once

#include <array>
#include <vector>

#include "bursa/four_params.h"
#include "bursa/least_squares.h"

namespace zelk {

enum class HeightModel { Fixed, Plane, Quadratic };

// Coefficients of a model, and the points it needs: 1, 3, 6.
int HeightCoefficients(HeightModel model);
int HeightMinimumPoints(HeightModel model);

struct HeightFit {
    enum class Status {
        Ok,
        TooFewPoints,  // fewer points than HeightMinimumPoints
        Singular,      // the points cannot fix the surface
    } status = Status::TooFewPoints;
    HeightModel model = HeightModel::Fixed;
    double x0 = 0.0, y0 = 0.0;     // centroid of the before plane positions, m
    std::array<double, 6> a{};     // a0 .. a5 (unused ones zero)
    std::array<double, 6> se{};    // their standard errors when redundancy > 0
    std::vector<double> residuals; // m, a point each
    double rms = 0.0;              // m
    int redundancy = 0;            // n - coefficients
    double sigma0 = 0.0;           // m, when redundancy > 0
    OutlierTest blunders;
};

// Fits zeta = before[i].H - after[i].H at (before[i].x, before[i].y), i < n.
HeightFit FitHeights(HeightModel model, const GridPoint* before, const GridPoint* after, int n);

// zeta at a before-system plane position.
double HeightDifference(const HeightFit& fit, double x, double y);

// The after-system height of a before point: H - zeta(x, y).
double ApplyHeightFit(const HeightFit& fit, const GridPoint& before);

}  // namespace zelk
