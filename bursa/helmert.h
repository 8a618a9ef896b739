// The Bursa-Wolf seven-parameter similarity transformation (a Helmert
// transformation) of earth-centred X Y Z: coordinate-frame rotation
// convention, small-angle matrix. The least-squares estimation of its
// parameters is in bursa/estimate.h.
#pragma once

#include "bursa/seven_params.h"

namespace zelk {

// Internal parameter vector, in the order tx, ty, tz, k, ex, ey, ez:
// translations in metres, scale as a pure number, rotations in radians.
enum BursaIndex { kTx = 0, kTy, kTz, kScale, kEx, kEy, kEz, kBursaCount };

// User units -> internal units: k = K * 1e-6; e = (pi' * beta) * 1.54320987654321e-6.
void ParamsToInternal(const SevenParams& params, double internal[kBursaCount]);
// Internal units -> user units: K = k * 1e6; beta = ((e * 180) / pi') * 3600.
SevenParams InternalToParams(const double internal[kBursaCount]);

// The transformation of one point by an internal parameter vector
// (coordinate-frame rotations, small-angle matrix):
//   X' = ((ez·Y + X) − ey·Z)·(1 + k) + tx, and so on, in this bracket order.
PointRecord ApplyBursa(const double internal[kBursaCount], const PointRecord& point);

// The exact inverse of ApplyBursa with the same parameters: the X that
// ApplyBursa takes to point. With R = I + W the small-angle matrix above
// (W v = v × w, w = (ex, ey, ez)), X = R⁻¹ (X' − T)/(1 + k), where the 3×3
// system is solved in closed form, R⁻¹ = (I − W + w wᵀ)/(1 + |w|²). Not the
// step with negated parameters, nor the transposed matrix I − W: both are
// off by |w|²|X|, 0.75 m for rotations of 30-50″ and 1 mm for 2.6″.
// ApplyBursa(ApplyBursaInverse(p)) is p to a few nanometres.
PointRecord ApplyBursaInverse(const double internal[kBursaCount], const PointRecord& point);

// Residuals of one common-point pair at an internal parameter vector: the
// target minus the source less the linearised transformation, evaluated in
// the estimation's fixed bracket order (the error figures are made of these).
struct BursaResidual {
    double rX, rY, rZ;
};
BursaResidual ResidualAt(const double internal[kBursaCount], const PointRecord& target,
                         const PointRecord& source);

}  // namespace zelk
