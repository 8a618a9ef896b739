// Three parameters: a shift of earth-centred X Y Z between two datums, and
// its estimation from common points.
//
// Model, metres: X2 = X1 + dX, Y2 = Y1 + dY, Z2 = Z1 + dZ. It ignores the
// rotation and the scale between the two frames, so it holds only near the
// common points: over a few kilometres the rotations and scale that seven
// parameters would carry stay below a centimetre, over tens of kilometres
// they do not.
//
// Estimation from one pair or more: the mean of after minus before,
// component by component (the least-squares fit of three unknowns with
// equal weights, one group of three rows a pair). Residuals are after
// minus shifted before. With two pairs or more s0^2 = sum(v'v) / (3n - 3)
// and the standard error of each shift is s0 / sqrt(n). With three pairs or
// more the leave-one-out test of each pair's 3-D discrepancy
// (bursa/least_squares.h), F(3, 3n - 6), family level 1 %: left out, a
// pair differs from the mean of the others by n / (n - 1) times its
// residual.
#pragma once

#include <vector>

#include "bursa/least_squares.h"
#include "bursa/seven_params.h"

namespace zelk {

struct ThreeParams {
    double dX = 0.0, dY = 0.0, dZ = 0.0;  // m
};

struct ThreeParamEstimate {
    enum class Status {
        Ok,
        TooFewPoints,  // no pair
        Singular,      // a coordinate that is not a finite number
    } status = Status::TooFewPoints;
    ThreeParams params;
    std::vector<PointRecord> residuals;  // rX rY rZ a pair, m
    double spatialRms = 0.0;             // sqrt(sum(v'v) / n), m
    int redundancy = 0;                  // 3n - 3
    double sigma0 = 0.0;                 // m, with two pairs or more
    double seShift = 0.0;                // of each of dX dY dZ, m
    // The largest distance between two common points (before side), m:
    // how far apart the residuals were measured. Beyond kExactSpanPairs
    // pairs, the diagonal of the points' bounding box (at most √3 times as
    // long).
    double span = 0.0;
    OutlierTest blunders;                // groups = pairs
};

inline constexpr int kThreeParamMinimumPairs = 1;
inline constexpr int kExactSpanPairs = 5000;

// Estimates the shift taking before[i] to after[i], i < n.
ThreeParamEstimate EstimateThreeParams(const PointRecord* before, const PointRecord* after, int n);

}  // namespace zelk
