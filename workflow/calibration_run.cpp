#include "workflow/calibration_run.h"

#include <cmath>

#include "bursa/helmert.h"
#include "bursa/bursa_quality.h"
#include "bursa/estimate.h"
#include "bursa/four_params.h"
#include "workflow/chain.h"
#include "workflow/conversion_run.h"
#include "workflow/estimation_report.h"

namespace zelk {

namespace {

using Status = CalibrationEstimate::Status;

GridPoint Grid(const PointRecord& p) { return GridPoint{p.X, p.Y, p.Z}; }

// "转换前文件第12行的点", or for typed pairs "第3对公共点的转换前点".
std::string PointText(std::size_t i, bool after, const PairLines& lines) {
    const std::vector<std::int64_t>& line = after ? lines.after : lines.before;
    if (i < line.size()) {
        return std::string(after ? "转换后" : "转换前") + "文件第" + std::to_string(line[i]) + "行的点";
    }
    return "第" + std::to_string(i + 1) + "对公共点的" + (after ? "转换后" : "转换前") + "点";
}

// Carries every point of one side through chain (the points of that side's
// system, to X Y Z or into one zone), in place; false with the estimate's
// problem set at the first point refused.
bool CarryAll(const zelk::ConversionChain& chain, std::vector<PointRecord>& points, bool after,
              const PairLines& lines, CalibrationEstimate& result) {
    for (std::size_t i = 0; i < points.size(); ++i) {
        PointRecord& p = points[i];
        const zelk::PointProblem problem = chain.Convert(p.X, p.Y, p.Z);
        if (problem != zelk::PointProblem::None) {
            result.status = Status::PointRefused;
            result.message = PointProblemText(problem, PointText(i, after, lines));
            return false;
        }
    }
    return true;
}

// Judges every point of one side once: brought to X Y Z of its datum
// (geocentric receives them, when given), or for the local grid checked to
// be finite. False with the estimate's problem set when one is refused.
bool Judge(const zelk::Crs& crs, const std::vector<PointRecord>& points, bool after,
           const PairLines& lines, std::vector<PointRecord>* geocentric,
           CalibrationEstimate& result) {
    if (crs.form == zelk::Form::Local) {
        for (std::size_t i = 0; i < points.size(); ++i) {
            const PointRecord& p = points[i];
            if (!(std::isfinite(p.X) && std::isfinite(p.Y) && std::isfinite(p.Z))) {
                result.status = Status::PointRefused;
                result.message = PointProblemText(zelk::PointProblem::NotFinite, PointText(i, after, lines));
                return false;
            }
        }
        return true;
    }
    std::vector<PointRecord> carried = points;
    if (!CarryAll(zelk::ConversionChain(crs, zelk::Crs::GeocentricOf(crs)), carried, after, lines,
                  result)) {
        return false;
    }
    if (geocentric) *geocentric = std::move(carried);
    return true;
}

// A plane a fit is made in, in zones: the zone of the first point on that
// side, every point brought into it (as read: a point already in it stays to
// the bit). The report learns which zone it is. False with the problem set
// when a point cannot be brought there.
bool TieToZone(zelk::Crs& crs, std::vector<PointRecord>& points, bool after, const PairLines& lines,
               std::string& notes, CalibrationEstimate& result) {
    if (!crs.IsZoned() || crs.zone != 0 || points.empty()) return true;
    const int zone = zelk::ZoneOfEasting(crs.zoning, points.front().Y);
    if (zone == 0) return true;  // judged already: cannot happen
    const zelk::Crs tied = zelk::InZone(crs, zone);
    if (!CarryAll(zelk::ConversionChain(crs, tied), points, after, lines, result)) return false;
    crs = tied;
    notes += std::string("\n") + (after ? "转换后" : "转换前") + "的公共点在" +
             zelk::ZoneText(crs.zoning, zone) + "：参数属于该带的平面，其他带的点转换时先换算到该带。";
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

// The height fit of an estimate, at positions `at` in `plane`; false with
// the problem set when it fails. On a geoid model, the fit is of zeta - N
// and the same fit without the model goes to the report beside it.
bool FitHeight(HeightModel model, const std::optional<GeoidModel>& geoid, const zelk::Crs& plane,
               const std::vector<GridPoint>& at, const std::vector<PointRecord>& afterAsRead,
               const PairLines& lines, CalibrationEstimate& result) {
    std::vector<GridPoint> after;
    for (const PointRecord& p : afterAsRead) after.push_back(Grid(p));
    std::optional<GeoidComparison> comparison;
    if (geoid && geoid->grid) {
        // zeta - N = H before - (H after + N).
        std::vector<GridPoint> lifted = after;
        for (std::size_t i = 0; i < at.size() && i < lifted.size(); ++i) {
            double N = 0.0;
            const PointProblem problem = UndulationAt(plane, *geoid->grid, at[i].x, at[i].y, N);
            if (problem != PointProblem::None) {
                result.status = Status::PointRefused;
                result.message = PointProblemText(problem, PointText(i, false, lines));
                return false;
            }
            lifted[i].H += N;
        }
        comparison = GeoidComparison{GeoidLabel(geoid->name),
                                     FitHeights(model, at.data(), after.data(), static_cast<int>(at.size()))};
        after = std::move(lifted);
    }
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
    result.message += "\n" + HeightFitReport(fit, comparison ? &*comparison : nullptr);
    for (std::size_t i = 0; i < result.residuals.size() && i < fit.residuals.size(); ++i) {
        result.residuals[i].heightFitted = true;
        result.residuals[i].height = fit.residuals[i];
        if (comparison && i < comparison->withoutModel.residuals.size()) {
            result.residuals[i].heightWithoutGeoid = comparison->withoutModel.residuals[i];
        }
        Mark(result.residuals[i], fit.blunders, i);
    }
    if (comparison) {
        result.geoidCompared = true;
        result.heightRmsWithoutGeoid = comparison->withoutModel.rms;
        result.calibration.geoid = geoid;
    }
    // The file keeps the surface; residuals and tests belong to the report.
    fit.residuals.clear();
    fit.blunders = OutlierTest{};
    result.calibration.height = fit;
    return true;
}

void EstimateSeven(CalibrationSettings s, const std::vector<PointRecord>& beforeAsRead,
                   std::vector<PointRecord> afterAsRead, const PairLines& lines,
                   CalibrationEstimate& result) {
    std::vector<PointRecord> before, after;
    // On a geoid, the after heights are taken above it for the X Y Z of the
    // estimate (H + N, near the after datum's ellipsoidal heights), so that
    // the seven parameters do not bend to take up the undulation; the
    // height fit then models what is left.
    std::vector<PointRecord> afterLifted = afterAsRead;
    if (s.height && s.geoid && s.geoid->grid && s.after.IsProjected()) {
        for (std::size_t i = 0; i < afterLifted.size(); ++i) {
            double N = 0.0;
            const PointProblem problem = UndulationAt(s.after, *s.geoid->grid, afterLifted[i].X, afterLifted[i].Y, N);
            if (problem != PointProblem::None) {
                result.status = Status::PointRefused;
                result.message = PointProblemText(problem, PointText(i, true, lines));
                return;
            }
            afterLifted[i].Z += N;
        }
    }
    if (!Judge(s.before, beforeAsRead, false, lines, &before, result) ||
        !Judge(s.after, afterLifted, true, lines, &after, result)) {
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
    result.quality = quality;
    TakeTest(result, quality.blunders, MinimumGroupsForTest(kBursaCount, 3));
    result.calibration.model = Transformation::Model::Seven;
    result.calibration.convention = s.convention;
    result.calibration.seven =
        ConvertConvention(estimate.params, RotationConvention::CoordinateFrame, s.convention);
    result.residuals = SevenParameterResiduals(estimate, quality);
    std::string notes;
    // A height fit is made in the after plane: one zone of it.
    if (s.height && !TieToZone(s.after, afterAsRead, true, lines, notes, result)) return;
    result.calibration.after = s.after;
    if (s.after.IsProjected()) {
        // The before points converted with the estimate, in the after grid.
        const zelk::ConversionChain chain(s.before, s.after,
                                          {Transformation::Seven(estimate.params)});
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
    if (s.height && !FitHeight(*s.height, s.geoid, s.after, result.positions, afterAsRead, lines, result)) {
        return;
    }
    result.message += notes;
    result.status = Status::Estimated;
}

void EstimateFour(CalibrationSettings s, std::vector<PointRecord> beforeAsRead,
                  std::vector<PointRecord> afterAsRead, const PairLines& lines,
                  CalibrationEstimate& result) {
    if (!Judge(s.before, beforeAsRead, false, lines, nullptr, result) ||
        !Judge(s.after, afterAsRead, true, lines, nullptr, result)) {
        return;
    }
    std::string notes;
    if (!TieToZone(s.before, beforeAsRead, false, lines, notes, result) ||
        !TieToZone(s.after, afterAsRead, true, lines, notes, result)) {
        return;
    }
    result.calibration.before = s.before;
    result.calibration.after = s.after;
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
    result.calibration.model = Transformation::Model::Four;
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
    if (s.height && !FitHeight(*s.height, s.geoid, s.before, before, afterAsRead, lines, result)) return;
    result.message += notes;
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
    for (const std::string& problem :
         {zelk::CrsProblemText(s.before, "转换前"), zelk::CrsProblemText(s.after, "转换后"),
          zelk::ModelProblemText(s.model, s.height.has_value(), s.before, s.after),
          zelk::GeoidFitProblemText(s.geoid, s.height.has_value())}) {
        if (!problem.empty()) return problem;
    }
    return {};
}

CalibrationEstimate EstimateCalibration(const CalibrationSettings& settings,
                                        const std::vector<PointRecord>& beforeAsRead,
                                        const std::vector<PointRecord>& afterAsRead,
                                        const PairLines& lines) {
    CalibrationEstimate result;
    result.message = CalibrationSettingsProblem(settings);
    if (!result.message.empty()) return result;
    result.calibration.before = settings.before;
    result.calibration.after = settings.after;
    if (settings.model == Transformation::Model::Seven) {
        EstimateSeven(settings, beforeAsRead, afterAsRead, lines, result);
    } else {
        EstimateFour(settings, beforeAsRead, afterAsRead, lines, result);
    }
    return result;
}

std::string CalibrationComment(const Transformation& t, const std::string& report,
                               const std::string& beforeFile, const std::string& afterFile) {
    const bool seven = t.model == Transformation::Model::Seven;
    std::string text = seven ? "Seven parameters (Bursa-Wolf)" : "Site calibration: four parameters";
    if (t.height) {
        const HeightModel m = t.height->model;
        text += m == HeightModel::Fixed ? " and a fixed height difference"
                : m == HeightModel::Plane ? " and a plane height fit"
                                          : " and a quadratic height fit";
        if (t.geoid) text += " on the geoid model " + GeoidLabel(t.geoid->name);
    }
    text += ", estimated from common points.\n";
    if (t.before && t.after) {
        text += "before: " + DescribeSystem(*t.before) +
                (beforeFile.empty() ? "" : " (" + beforeFile + ")") + "\n";
        text += "after:  " + DescribeSystem(*t.after) +
                (afterFile.empty() ? "" : " (" + afterFile + ")") + "\n";
    }
    text += "They convert from the before system to the after system.\n";
    text += report + "\n";
    text += "One \"name = value\" line per value; lines starting with # are ignored.\n";
    text += seven ? "dX0 dY0 dZ0 in metres, K in ppm, betaX betaY betaZ in arc-seconds."
                  : "dX dY in metres, alpha in radians (the report gives it in degrees), scale"
                    " the factor K.";
    if (t.height) {
        text += "\nheight-x0 height-y0: the centroid (m); zeta = H before - H after = a0 + a1 dx"
                " + a2 dy + a3 dx^2 + a4 dx dy + a5 dy^2, dx dy in km from the centroid.";
        if (t.geoid) {
            text += "\ngeoid: the model the fit sits on; the fit is of zeta - N, N the model's"
                    " undulation, and conversions apply both.";
        }
    }
    return text;
}

}  // namespace zelk
