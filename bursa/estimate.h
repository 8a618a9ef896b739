// Least-squares estimation of the seven Bursa-Wolf parameters from common
// points, as a result: nothing here talks to the user.
//
// Input: n pairs of earth-centred X Y Z in metres, the same ground points on
// the source datum and on the target datum. Output: the parameters that take
// source to target (coordinate-frame rotations, the engine's convention),
// the number of accepted corrections, the three error figures and every
// pair's residual at the final parameters.
//
// Method: equal weights on the linearised equations with the coefficients
// taken at the target point; a first solution from zero parameters, then
// correction passes until the sum of squared residuals stops decreasing or
// 100 corrections have been applied. Residual brackets are evaluated in a
// fixed order, so the number of passes is the same in every build.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "bursa/helmert.h"
#include "bursa/seven_params.h"

namespace zelk {

struct BursaEstimate {
    enum class Status {
        Ok,
        TooFewPoints,  // fewer than three pairs
        Singular,      // the points lie on a line, or the normal equations are singular
    } status = Status::TooFewPoints;
    int iterations = 0;  // accepted corrections
    // Root mean square residuals per pair: in the plane (X and Y), in height
    // (Z) and in space, metres.
    double planeError = 0.0;
    double heightError = 0.0;
    double spatialError = 0.0;
    // The estimate in internal units (translations m, scale as a pure
    // number, rotations rad), and in user units.
    std::array<double, kBursaCount> internal{};
    SevenParams params;
    // Each pair's residual at the final parameters (ResidualAt).
    std::vector<BursaResidual> residuals;
};

// Estimates the parameters taking source[i] to target[i], i < n.
BursaEstimate EstimateBursa(const PointRecord* target, const PointRecord* source, int n);

// The estimation report as shown to the user:
// "叠带进行了%d次.\n平面中误差为 %lf m,高程中误差为 %lf m,三维中误差为%lf m ."
std::string BursaReportText(const BursaEstimate& estimate);

// Texts of the estimation's messages.
inline constexpr const char* kEstimateReportFormat =
    "叠带进行了%d次.\n平面中误差为 %lf m,高程中误差为 %lf m,三维中误差为%lf m .";
inline constexpr const char* kTooFewCommonPoints = "公共点不足3个，无法解算七参数！";
inline constexpr const char* kSingularNormalEquations =
    "公共点分布不良，法方程奇异，无法解算七参数！";

}  // namespace zelk
