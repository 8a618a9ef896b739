// Report texts of the estimations from common points, as the user reads
// them in a message box and on zelk-cli's standard output: the seven
// parameters (the original report grown by the standard errors, a warning
// on weak geometry and the blunder test), the four parameters and the
// height fit. Chinese, numbers locale-independent (platform/number_text.h),
// metres with four to six decimals, angles in arc-seconds with four.
// Nothing here computes; the numbers come from bursa/.
#pragma once

#include <string>
#include <vector>

#include "bursa/bursa_quality.h"
#include "bursa/estimate.h"
#include "bursa/four_params.h"
#include "bursa/height_fit.h"
#include "bursa/three_params.h"

namespace zelk {

// The seven-parameter report: BursaReportText's two lines unchanged, then
//   单位权中误差为 0.010782 m,多余观测数为 23 .
//   平移中误差为 ΔX0 ±… m,ΔY0 ±… m,ΔZ0 ±… m .
//   尺度中误差为 Κ ±… ppm,旋转中误差为 βx ±…″,βy ±…″,βz ±…″ .
//   警告：公共点分布不良（…），…不能确定，…       (only when quality.Warns())
//   粗差检验（逐对剔除，显著水平1%）：…
// Without quality.available, BursaReportText alone.
std::string SevenParameterReport(const BursaEstimate& estimate, const BursaQuality& quality);

// The warning line alone, empty when the geometry is sound.
std::string WeakGeometryWarning(const BursaQuality& quality);

// The blunder-test line of any estimation: pairs numbered from 1. A fit
// that took some of the pairs gives the pair of each of its groups in
// numbers (empty: group i is pair i); so do the reports below.
std::string BlunderTestLine(const OutlierTest& test, int pairs, int minimumPairs,
                            const std::vector<int>& numbers = {});

// The four-parameter report: the parameters (α in degrees, minutes and
// seconds and in arc-seconds; K and its change in ppm), their standard
// errors when there is redundancy, one residual line a pair (pairs
// suspected by the blunder test end with " *"), the plane RMS and the
// blunder-test line. Only for status Ok.
std::string FourParameterReport(const FourParamEstimate& estimate, const std::vector<int>& pairs = {});

// A height fit on a geoid model beside the same fit without it.
struct GeoidComparison {
    std::string label;     // the model as reports name it ("EGM96")
    HeightFit withoutModel;  // the same model fitted to ζ alone (status Ok)
};

// The height-fit report: the model and its centroid, the coefficients with
// their standard errors, a residual line a point, the height RMS and the
// blunder-test line. Only for status Ok. On a geoid model (geoid given) the
// fit is of ζ − N, and each residual line and the RMS also show the same
// fit's without the model, so that the surveyor sees what the model bought.
std::string HeightFitReport(const HeightFit& fit, const GeoidComparison* geoid = nullptr,
                            const std::vector<int>& pairs = {});

// The three-parameter report: the shift, how many pairs and how far apart
// they lie, the standard errors and a residual line a pair (two pairs or
// more; suspects end with " *"), the 3-D RMS, a warning that three
// parameters hold only over a small area with the distance over which the
// residuals were measured, and the blunder-test line. Only for status Ok.
std::string ThreeParameterReport(const ThreeParamEstimate& estimate);

// "固定差", "平面", "二次曲面".
const char* HeightModelName(HeightModel model);

// α as [-]D°MM′SS.SSSS″ from radians, rounded to 0.0001″.
std::string FormatDms(double radians);

// Messages of the failed estimations.
inline constexpr const char* kFourParamTooFewPoints = "公共点不足2个，无法解算四参数！";
inline constexpr const char* kFourParamSingular = "公共点重合，无法解算四参数！";
inline constexpr const char* kThreeParamTooFewPoints = "没有公共点，无法解算三参数！";
inline constexpr const char* kThreeParamSingular = "公共点的坐标不是有限的数，无法解算三参数！";
// "高程拟合（二次曲面）至少需要6个公共点！"
std::string HeightFitTooFewPointsText(HeightModel model);
// "公共点分布不良，无法进行高程拟合（二次曲面）！"
std::string HeightFitSingularText(HeightModel model);

}  // namespace zelk
