#include "workflow/calibration_run.h"

#include <cmath>

#include "bursa/helmert.h"
#include "bursa/bursa_quality.h"
#include "bursa/estimate.h"
#include "bursa/four_params.h"
#include "workflow/chain.h"
#include "workflow/convert_run.h"
#include "workflow/estimation_report.h"

namespace zelk {

namespace {

using Status = CalibrationEstimate::Status;

zelk::Crs GeocentricOf(const zelk::Crs& crs) {
    zelk::Crs geocentric;
    geocentric.datum = crs.datum;
    geocentric.form = zelk::Form::Geocentric;
    return geocentric;
}

GridPoint Grid(const PointRecord& p) { return GridPoint{p.X, p.Y, p.Z}; }

std::string PairText(std::size_t i, bool after) {
    return "第" + std::to_string(i + 1) + "对公共点的" + (after ? "转换后" : "转换前") + "点";
}

// Judges every point of one side (and brings it to X Y Z when geocentric is
// given); false with the estimate's problem set when one is refused.
bool Judge(const zelk::Crs& crs, const std::vector<PointRecord>& points, bool after,
           std::vector<PointRecord>* geocentric, CalibrationEstimate& result) {
    if (crs.form == zelk::Form::Local) {
        for (std::size_t i = 0; i < points.size(); ++i) {
            const PointRecord& p = points[i];
            if (!(std::isfinite(p.X) && std::isfinite(p.Y) && std::isfinite(p.Z))) {
                result.status = Status::PointRefused;
                result.message = PointProblemText(zelk::PointProblem::NotFinite, PairText(i, after));
                return false;
            }
        }
        return true;
    }
    const zelk::ConversionChain chain(crs, GeocentricOf(crs), zelk::Transformation::Identity());
    for (std::size_t i = 0; i < points.size(); ++i) {
        PointRecord p = points[i];
        const zelk::PointProblem problem = chain.Convert(p.X, p.Y, p.Z);
        if (problem != zelk::PointProblem::None) {
            result.status = Status::PointRefused;
            result.message = PointProblemText(problem, PairText(i, after));
            return false;
        }
        if (geocentric) geocentric->push_back(p);
    }
    return true;
}

void Mark(CalibrationResidual& r, const OutlierTest& test, std::size_t i) {
    if (i >= test.groups.size()) return;
    const GroupTest& group = test.groups[i];
    r.suspect = r.suspect || group.suspect;
    if (group.tested && r.leftOut == 0.0) r.leftOut = group.discrepancyLength;
}

void TakeTest(CalibrationEstimate& result, const OutlierTest& test, int minimumPairs) {
    result.minimumPairs = minimumPairs;
    result.tested = test.performed;
    result.suspects = test.suspects.size();
    result.tooMany = test.tooMany;
}

// The height fit of an estimate; false with the problem set when it fails.
bool FitHeight(HeightModel model, const std::vector<GridPoint>& at,
               const std::vector<PointRecord>& afterAsRead, CalibrationEstimate& result) {
    std::vector<GridPoint> after;
    for (const PointRecord& p : afterAsRead) after.push_back(Grid(p));
    HeightFit fit = FitHeights(model, at.data(), after.data(), static_cast<int>(at.size()));
    switch (fit.status) {
        case HeightFit::Status::TooFewPoints:
            result.status = Status::TooFewPoints;
            result.message = HeightFitTooFewPointsText(model);
            return false;
        case HeightFit::Status::Singular:
            result.status = Status::Singular;
            result.message = HeightFitSingularText(model);
            return false;
        case HeightFit::Status::Ok:
            break;
    }
    result.message += "\n" + HeightFitReport(fit);
    for (std::size_t i = 0; i < result.residuals.size() && i < fit.residuals.size(); ++i) {
        result.residuals[i].heightFitted = true;
        result.residuals[i].height = fit.residuals[i];
        Mark(result.residuals[i], fit.blunders, i);
    }
    // The file keeps the surface; residuals and tests belong to the report.
    fit.residuals.clear();
    fit.blunders = OutlierTest{};
    result.calibration.height = fit;
    return true;
}

void EstimateSeven(const CalibrationSettings& s, const std::vector<PointRecord>& beforeAsRead,
                   const std::vector<PointRecord>& afterAsRead, CalibrationEstimate& result) {
    std::vector<PointRecord> before, after;
    if (!Judge(s.before, beforeAsRead, false, &before, result) ||
        !Judge(s.after, afterAsRead, true, &after, result)) {
        return;
    }
    const int n = static_cast<int>(before.size());
    const BursaEstimate estimate = EstimateBursa(after.data(), before.data(), n);
    switch (estimate.status) {
        case BursaEstimate::Status::TooFewPoints:
            result.status = Status::TooFewPoints;
            result.message = kTooFewCommonPoints;
            return;
        case BursaEstimate::Status::Singular:
            result.status = Status::Singular;
            result.message = kSingularNormalEquations;
            return;
        case BursaEstimate::Status::Ok:
            break;
    }
    const BursaQuality quality = AssessBursa(after.data(), before.data(), n, estimate);
    result.message = SevenParameterReport(estimate, quality);
    TakeTest(result, quality.blunders, MinimumGroupsForTest(kBursaCount, 3));
    result.calibration.model = Calibration::Model::Seven;
    result.calibration.convention = s.convention;
    result.calibration.seven =
        ConvertConvention(estimate.params, RotationConvention::CoordinateFrame, s.convention);
    result.residuals = SevenParameterResiduals(estimate, quality);
    if (s.after.IsProjected()) {
        // The before points converted with the estimate, in the after grid.
        const zelk::ConversionChain chain(s.before, s.after,
                                          zelk::Transformation::Seven(estimate.params));
        for (std::size_t i = 0; i < beforeAsRead.size(); ++i) {
            PointRecord c = beforeAsRead[i];
            chain.Convert(c.X, c.Y, c.Z);
            result.positions.push_back(Grid(c));
            if (i < result.residuals.size() && i < afterAsRead.size()) {
                result.residuals[i].plane[0] = afterAsRead[i].X - c.X;
                result.residuals[i].plane[1] = afterAsRead[i].Y - c.Y;
            }
        }
    }
    if (s.height && !FitHeight(*s.height, result.positions, afterAsRead, result)) return;
    result.status = Status::Estimated;
}

void EstimateFour(const CalibrationSettings& s, const std::vector<PointRecord>& beforeAsRead,
                  const std::vector<PointRecord>& afterAsRead, CalibrationEstimate& result) {
    if (!Judge(s.before, beforeAsRead, false, nullptr, result) ||
        !Judge(s.after, afterAsRead, true, nullptr, result)) {
        return;
    }
    std::vector<GridPoint> before, after;
    for (const PointRecord& p : beforeAsRead) before.push_back(Grid(p));
    for (const PointRecord& p : afterAsRead) after.push_back(Grid(p));
    const FourParamEstimate estimate =
        EstimateFourParams(before.data(), after.data(), static_cast<int>(before.size()));
    switch (estimate.status) {
        case FourParamEstimate::Status::TooFewPoints:
            result.status = Status::TooFewPoints;
            result.message = kFourParamTooFewPoints;
            return;
        case FourParamEstimate::Status::Singular:
            result.status = Status::Singular;
            result.message = kFourParamSingular;
            return;
        case FourParamEstimate::Status::Ok:
            break;
    }
    result.message = FourParameterReport(estimate);
    TakeTest(result, estimate.blunders, MinimumGroupsForTest(4, 2));
    result.calibration.model = Calibration::Model::Four;
    result.calibration.four = estimate.params;
    for (std::size_t i = 0; i < estimate.residuals.size(); ++i) {
        CalibrationResidual row;
        row.r[0] = estimate.residuals[i].vx;
        row.r[1] = estimate.residuals[i].vy;
        row.length = std::hypot(row.r[0], row.r[1]);
        row.plane[0] = row.r[0];
        row.plane[1] = row.r[1];
        Mark(row, estimate.blunders, i);
        result.residuals.push_back(row);
    }
    result.positions = before;
    if (s.height && !FitHeight(*s.height, before, afterAsRead, result)) return;
    result.status = Status::Estimated;
}

}  // namespace

std::vector<CalibrationResidual> SevenParameterResiduals(const BursaEstimate& estimate,
                                                         const BursaQuality& quality) {
    std::vector<CalibrationResidual> rows;
    for (std::size_t i = 0; i < estimate.residuals.size(); ++i) {
        const BursaResidual& r = estimate.residuals[i];
        CalibrationResidual row;
        row.r[0] = r.rX;
        row.r[1] = r.rY;
        row.r[2] = r.rZ;
        row.length = std::sqrt(r.rX * r.rX + r.rY * r.rY + r.rZ * r.rZ);
        Mark(row, quality.blunders, i);
        rows.push_back(row);
    }
    return rows;
}

std::string CalibrationSettingsProblem(const CalibrationSettings& s) {
    const bool local = s.before.form == zelk::Form::Local || s.after.form == zelk::Form::Local;
    if (s.model == Calibration::Model::Seven) {
        if (local) return "七参数连接两个基准，地方坐标只能用四参数点校正！";
        if (s.height && !s.after.IsProjected()) {
            return "七参数加高程拟合时，转换后坐标系统须是投影坐标（高程拟合在其平面上进行）！";
        }
        return {};
    }
    if (!s.before.IsProjected()) return "四参数点校正的转换前坐标系统须是投影坐标（高斯或UTM）！";
    if (!s.after.IsProjected() && s.after.form != zelk::Form::Local) {
        return "四参数点校正的转换后坐标系统须是投影坐标或地方坐标！";
    }
    return {};
}

CalibrationEstimate EstimateCalibration(const CalibrationSettings& settings,
                                        const std::vector<PointRecord>& beforeAsRead,
                                        const std::vector<PointRecord>& afterAsRead) {
    CalibrationEstimate result;
    result.message = CalibrationSettingsProblem(settings);
    if (!result.message.empty()) return result;
    result.calibration.before = settings.before;
    result.calibration.after = settings.after;
    if (settings.model == Calibration::Model::Seven) {
        EstimateSeven(settings, beforeAsRead, afterAsRead, result);
    } else {
        EstimateFour(settings, beforeAsRead, afterAsRead, result);
    }
    return result;
}

std::string CalibrationComment(const CalibrationSettings& settings, const std::string& report,
                               const std::string& beforeFile, const std::string& afterFile) {
    const bool seven = settings.model == Calibration::Model::Seven;
    std::string text = seven ? "Seven parameters (Bursa-Wolf)" : "Site calibration: four parameters";
    if (settings.height) {
        const HeightModel m = *settings.height;
        text += m == HeightModel::Fixed ? " and a fixed height difference"
                : m == HeightModel::Plane ? " and a plane height fit"
                                          : " and a quadratic height fit";
    }
    text += ", estimated from common points.\n";
    text += "before: " + DescribeSystem(settings.before) +
            (beforeFile.empty() ? "" : " (" + beforeFile + ")") + "\n";
    text += "after:  " + DescribeSystem(settings.after) +
            (afterFile.empty() ? "" : " (" + afterFile + ")") + "\n";
    text += "They convert from the before system to the after system.\n";
    text += report + "\n";
    text += "One \"name = value\" line per value; lines starting with # are ignored.\n";
    text += seven ? "dX0 dY0 dZ0 in metres, K in ppm, betaX betaY betaZ in arc-seconds."
                  : "dX dY in metres, alpha in radians (the report gives it in degrees), scale"
                    " the factor K.";
    if (settings.height) {
        text += "\nheight-x0 height-y0: the centroid (m); zeta = H before - H after = a0 + a1 dx"
                " + a2 dy + a3 dx^2 + a4 dx dy + a5 dy^2, dx dy in km from the centroid.";
    }
    return text;
}

}  // namespace zelk
