// The four-parameter plane similarity of a site calibration, and its
// least-squares estimation from common points.
//
// Model, x north and y east, metres:
//   x2 = dX + K (x1 cos(alpha) - y1 sin(alpha))
//   y2 = dY + K (x1 sin(alpha) + y1 cos(alpha))
// alpha in radians (counter-clockwise from x towards y), K a pure scale
// factor near 1.
//
// The plane similarity (two-dimensional conformal, or Helmert,
// transformation) of Ghilani, Adjustment Computations, 6th ed., chapter 18.
//
// Estimation (two or more pairs): the model is linear in a = K cos(alpha)
// and b = K sin(alpha). Both point sets are reduced to their centroids and
// the before coordinates divided by their RMS distance r from the centroid,
// so the normal matrix is diag(n, n, n, n) up to rounding; the fit then
// gives a, b and the translation at the centroid, and
//   K = hypot(a, b), alpha = atan2(b, a),
//   dX = x2c - a x1c + b y1c,  dY = y2c - b x1c - a y1c.
// The result is exact to rounding (about 1e-9 m for coordinates of 1e7 m)
// for any alpha and any K > 0; sites of any size.
//
// Residuals are after minus transformed before (ApplyFourParams at the final
// parameters). Plane RMS = sqrt(sum(vx^2 + vy^2) / n), as the seven-parameter
// error figures. With three or more pairs s0^2 = sum(vx^2 + vy^2) / (2n - 4)
// gives the standard errors: var(a) = var(b) = s0^2 / sum(d^2), so
//   se(K) = s0 / sqrt(sum(d^2)),  se(alpha) = se(K) / K,
//   se(dX)^2 = s0^2 (1/n + (x1c^2 + y1c^2) / sum(d^2)), and so for dY,
// d the before points' distances from their centroid: the translations
// carry the rotation through the lever arm of the coordinates' origin.
// With four or more pairs, the leave-one-out test of each pair's 2-D
// discrepancy (bursa/least_squares.h), F(2, 2n - 6), family level 1 %.
// Three pairs are too few for it: without one of them the other two fit
// exactly and leave no spread to compare with.
#pragma once

#include <vector>

#include "bursa/least_squares.h"

namespace zelk {

// One point of a plane grid with its height, metres: x north, y east.
struct GridPoint {
    double x = 0.0;
    double y = 0.0;
    double H = 0.0;
};

struct FourParams {
    double dX = 0.0;     // m
    double dY = 0.0;     // m
    double alpha = 0.0;  // rad
    double K = 1.0;      // scale factor
};

struct PlaneResidual {
    double vx = 0.0, vy = 0.0;  // after minus transformed before, m
};

struct FourParamEstimate {
    enum class Status {
        Ok,
        TooFewPoints,  // fewer than two pairs
        Singular,      // the before points coincide (or are not finite)
    } status = Status::TooFewPoints;
    FourParams params;
    std::vector<PlaneResidual> residuals;
    double planeRms = 0.0;  // m
    // Standard errors when redundancy > 0 (three pairs or more), else 0.
    int redundancy = 0;     // 2n - 4
    double sigma0 = 0.0;    // m
    double seDX = 0.0, seDY = 0.0;  // m
    double seAlpha = 0.0;           // rad
    double seK = 0.0;               // pure number
    OutlierTest blunders;           // groups = pairs
};

inline constexpr int kFourParamMinimumPairs = 2;

// Estimates the parameters taking before[i] to after[i] (x and y; heights
// are not used), i < n.
FourParamEstimate EstimateFourParams(const GridPoint* before, const GridPoint* after, int n);

// Transforms x and y; H is kept.
GridPoint ApplyFourParams(const FourParams& params, const GridPoint& point);

}  // namespace zelk
