// The Bursa-Wolf seven-parameter similarity transformation of earth-centred
// X Y Z (coordinate-frame rotation convention, small-angle matrix), and its
// least-squares estimation from common points.
#pragma once

#include "bursa/seven_params.h"

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

// Result codes of CBursaModel::Estimate besides the (non-negative) count.
inline constexpr int kEstimateTooFewPoints = -1;  // fewer than three pairs
inline constexpr int kEstimateSingular = -2;      // normal equations singular

class CBursaModel {
public:
    CBursaModel();
    virtual ~CBursaModel();
    CBursaModel(const CBursaModel&) = delete;
    CBursaModel& operator=(const CBursaModel&) = delete;

    void SetParams(const SevenParams& params);
    void SetInput(PointRecord point);
    // Transforms the input point into out; neither input nor parameters change.
    void Apply(PointRecord& out) const;

    // Least-squares estimate of the parameters that take source to target.
    // Shows the report through the message service, then writes out (user
    // units) and returns the number of accepted corrections. With fewer than
    // three pairs, or singular normal equations, shows an error instead,
    // leaves out untouched and returns kEstimateTooFewPoints or
    // kEstimateSingular.
    int Estimate(const PointRecord* target, const PointRecord* source, int n, SevenParams& out);

    // The parameter vector in internal units (read only).
    const double* Internal() const { return m_params; }

private:
    double m_X = 0.0;
    double m_Y = 0.0;
    double m_Z = 0.0;
    double* m_params;
};

// Texts of the estimation's messages.
inline constexpr const char* kEstimateReportFormat =
    "叠带进行了%d次.\n平面中误差为 %lf m,高程中误差为 %lf m,三维中误差为%lf m .";
inline constexpr const char* kTooFewCommonPoints = "公共点不足3个，无法解算七参数！";
inline constexpr const char* kSingularNormalEquations =
    "公共点分布不良，法方程奇异，无法解算七参数！";
