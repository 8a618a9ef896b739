#include "workflow/calibration_run.h"

#include <algorithm>
#include <cmath>

#include "bursa/helmert.h"
#include "bursa/bursa_quality.h"
#include "bursa/estimate.h"
#include "bursa/four_params.h"
#include "bursa/three_params.h"
#include "workflow/chain.h"
#include "workflow/conversion_run.h"
#include "workflow/estimation_report.h"

namespace zelk {

namespace {

using Status = CalibrationEstimate::Status;
using Model = Transformation::Model;

GridPoint Grid(const PointRecord& p) { return GridPoint{p.X, p.Y, p.Z}; }

const char* ModelName(Model model) {
    switch (model) {
        case Model::Seven:
            return "七参数";
        case Model::Three:
            return "三参数";
        case Model::Four:
            break;
    }
    return "四参数";
}

// "转换前文件第12行的点", "公共点文件第12行的转换前点", or for typed pairs
// "第3对公共点的转换前点".
std::string PointText(std::size_t i, bool after, const PairLines& lines) {
    const std::vector<std::int64_t>& line = after ? lines.after : lines.before;
    const char* side = after ? "转换后" : "转换前";
    if (i < line.size()) {
        if (lines.oneFile) return "公共点文件第" + std::to_string(line[i]) + "行的" + side + "点";
        return std::string(side) + "文件第" + std::to_string(line[i]) + "行的点";
    }
    return "第" + std::to_string(i + 1) + "对公共点的" + side + "点";
}

// "公共点文件第12行的点对", "转换前文件第12行与转换后文件第9行的点对",
// "第3对公共点".
std::string PairText(std::size_t i, const PairLines& lines) {
    if (i < lines.before.size() && i < lines.after.size()) {
        if (lines.oneFile) return "公共点文件第" + std::to_string(lines.before[i]) + "行的点对";
        return "转换前文件第" + std::to_string(lines.before[i]) + "行与转换后文件第" +
               std::to_string(lines.after[i]) + "行的点对";
    }
    return "第" + std::to_string(i + 1) + "对公共点";
}

bool PlaneKnown(const PointRecord& p) { return IsKnown(p.X) && IsKnown(p.Y); }

// A point with its unknown height taken as 0, for what does not depend on it.
PointRecord WithHeight(PointRecord p) {
    if (!IsKnown(p.Z)) p.Z = 0.0;
    return p;
}

// Carries every point of one side whose plane is known through chain (the
// points of that side's system, to X Y Z or into one zone), in place; an
// unknown height stays unknown. False with the estimate's problem set at
// the first point refused.
bool CarryAll(const zelk::ConversionChain& chain, std::vector<PointRecord>& points, bool after,
              const PairLines& lines, CalibrationEstimate& result) {
    for (std::size_t i = 0; i < points.size(); ++i) {
        PointRecord& p = points[i];
        if (!PlaneKnown(p)) continue;
        const bool heightKnown = IsKnown(p.Z);
        p = WithHeight(p);
        const zelk::PointProblem problem = chain.Convert(p.X, p.Y, p.Z);
        if (problem != zelk::PointProblem::None) {
            result.status = Status::PointRefused;
            result.message = PointProblemText(problem, PointText(i, after, lines));
            return false;
        }
        if (!heightKnown) p.Z = kUnknown;
    }
    return true;
}

// Judges every point of one side once: brought to X Y Z of its datum
// (geocentric receives them, when given), or for the local grid checked to
// be finite. What is not known is not judged. False with the estimate's
// problem set when one is refused.
bool Judge(const zelk::Crs& crs, const std::vector<PointRecord>& points, bool after,
           const PairLines& lines, std::vector<PointRecord>* geocentric,
           CalibrationEstimate& result) {
    if (crs.form == zelk::Form::Local) {
        for (std::size_t i = 0; i < points.size(); ++i) {
            const PointRecord& p = points[i];
            for (double v : {p.X, p.Y, p.Z}) {
                if (IsKnown(v) && !std::isfinite(v)) {
                    result.status = Status::PointRefused;
                    result.message =
                        PointProblemText(zelk::PointProblem::NotFinite, PointText(i, after, lines));
                    return false;
                }
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
// side whose plane is known, every point brought into it (as read: a point
// already in it stays to the bit). The report learns which zone it is.
// False with the problem set when a point cannot be brought there.
bool TieToZone(zelk::Crs& crs, std::vector<PointRecord>& points, bool after, const PairLines& lines,
               std::string& notes, CalibrationEstimate& result) {
    if (!crs.IsZoned() || crs.zone != 0) return true;
    const auto first = std::find_if(points.begin(), points.end(), PlaneKnown);
    if (first == points.end()) return true;
    const int zone = zelk::ZoneOfEasting(crs.zoning, first->Y);
    if (zone == 0) return true;  // judged already: cannot happen
    const zelk::Crs tied = zelk::InZone(crs, zone);
    if (!CarryAll(zelk::ConversionChain(crs, tied), points, after, lines, result)) return false;
    crs = tied;
    notes += std::string("\n") + (after ? "转换后" : "转换前") + "的公共点在" +
             zelk::ZoneText(crs.zoning, zone) + "：参数属于该带的平面，其他带的点转换时先换算到该带。";
    return true;
}

// False, with the status and message of the failure, when an estimate of
// any model had too few pairs or could not be solved.
template <class Estimate>
bool Estimated(const Estimate& estimate, const char* tooFew, const char* singular,
               CalibrationEstimate& result) {
    if (estimate.status == Estimate::Status::Ok) return true;
    const bool few = estimate.status == Estimate::Status::TooFewPoints;
    result.status = few ? Status::TooFewPoints : Status::Singular;
    result.message = few ? tooFew : singular;
    return false;
}

void Mark(CalibrationResidual& r, const OutlierTest& test, std::size_t i) {
    if (i >= test.groups.size()) return;
    const GroupTest& group = test.groups[i];
    r.suspect = r.suspect || group.suspect;
    if (group.tested && r.leftOut == 0.0) r.leftOut = group.discrepancyLength;
}

// A residual in three coordinates (X Y Z), marked by the blunder test.
CalibrationResidual SpatialRow(double x, double y, double z, const OutlierTest& test,
                               std::size_t i) {
    CalibrationResidual row;
    row.r[0] = x;
    row.r[1] = y;
    row.r[2] = z;
    row.length = std::sqrt(x * x + y * y + z * z);
    Mark(row, test, i);
    return row;
}

void TakeTest(CalibrationEstimate& result, const OutlierTest& test, int minimumPairs) {
    result.minimumPairs = minimumPairs;
    result.tested = test.performed;
    result.suspects = test.suspects.size();
    result.tooMany = test.tooMany;
}

// Which pairs each fit of four parameters can use: those with x and y known
// on both sides (plane), those with both heights known and a plane
// position (height, when a height fit is asked for). False with the
// problem set at a pair that is of no use, or whose x and y are not known
// together.
bool SortFourPairs(const CalibrationSettings& s, const std::vector<PointRecord>& before,
                   const std::vector<PointRecord>& after, const PairLines& lines,
                   std::vector<int>& plane, std::vector<int>& height, CalibrationEstimate& result) {
    for (std::size_t i = 0; i < before.size() && i < after.size(); ++i) {
        for (const bool isAfter : {false, true}) {
            const PointRecord& p = isAfter ? after[i] : before[i];
            if (IsKnown(p.X) != IsKnown(p.Y)) {
                result.status = Status::PointRefused;
                result.message = PointText(i, isAfter, lines) +
                                 "的x、y只有一个是*：平面坐标须两个都已知，或两个都是*（只用于高程拟合）！";
                return false;
            }
        }
        const bool planeBoth = PlaneKnown(before[i]) && PlaneKnown(after[i]);
        const bool heightBoth = IsKnown(before[i].Z) && IsKnown(after[i].Z);
        const bool placed = PlaneKnown(before[i]) || PlaneKnown(after[i]);
        if (planeBoth) plane.push_back(static_cast<int>(i));
        if (s.height && heightBoth && placed) height.push_back(static_cast<int>(i));
        if (planeBoth || (s.height && heightBoth && placed)) continue;
        result.status = Status::PointRefused;
        if (heightBoth && !placed) {
            result.message = PairText(i, lines) + "两侧的平面坐标都是*，高程拟合不知道它在哪里，请至少给出一侧的x、y！";
        } else if (heightBoth) {
            result.message = PairText(i, lines) + "只有高程（平面坐标有*），请选一种高程拟合，或者去掉这一对！";
        } else {
            result.message = PairText(i, lines) + "没有两侧都已知的平面坐标，也没有两侧都已知的高程，不能参加解算！";
        }
        return false;
    }
    return true;
}

// Seven and three parameters need every value.
bool AllKnown(const CalibrationSettings& s, const std::vector<PointRecord>& before,
              const std::vector<PointRecord>& after, const PairLines& lines, CalibrationEstimate& result) {
    for (std::size_t i = 0; i < before.size() && i < after.size(); ++i) {
        for (const bool isAfter : {false, true}) {
            const PointRecord& p = isAfter ? after[i] : before[i];
            if (IsKnown(p.X) && IsKnown(p.Y) && IsKnown(p.Z)) continue;
            result.status = Status::PointRefused;
            result.message = PointText(i, isAfter, lines) + "有*（未知）的坐标：" + ModelName(s.model) +
                             "需要每对公共点两侧的全部坐标，只有高程或只有平面的点只能用于四参数点校正！";
            return false;
        }
    }
    return true;
}

// "两侧平面坐标都已知的只有1对，另外2对只用于高程拟合。": what a fit that
// is short of pairs could use, when some pairs are not whole.
std::string Shortfall(std::size_t usable, std::size_t all, const char* known, const char* others) {
    if (usable == all) return {};
    return std::string(known) + "只有" + std::to_string(usable) + "对，另外" +
           std::to_string(all - usable) + "对" + others + "。";
}

// The height fit of an estimate at positions (in `plane`) of the pairs
// `used`; false with the problem set when it fails. On a geoid model, the
// fit is of zeta - N and the same fit without the model goes to the report
// beside it.
bool FitHeight(HeightModel model, const std::optional<GeoidModel>& geoid, const zelk::Crs& plane,
               const std::vector<GridPoint>& positions, const std::vector<PointRecord>& afterAsRead,
               const std::vector<int>& used, const PairLines& lines, CalibrationEstimate& result) {
    std::vector<GridPoint> at, after;
    for (const int i : used) {
        at.push_back(positions[static_cast<std::size_t>(i)]);
        after.push_back(Grid(afterAsRead[static_cast<std::size_t>(i)]));
    }
    if (static_cast<int>(used.size()) < HeightMinimumPoints(model)) {
        result.status = Status::TooFewPoints;
        result.message = HeightFitTooFewPointsText(model) +
                         Shortfall(used.size(), afterAsRead.size(), "两侧高程都已知的", "只有平面坐标");
        return false;
    }
    std::optional<GeoidComparison> comparison;
    if (geoid && geoid->grid) {
        // zeta - N = H before - (H after + N).
        std::vector<GridPoint> lifted = after;
        for (std::size_t k = 0; k < at.size() && k < lifted.size(); ++k) {
            double N = 0.0;
            const PointProblem problem = UndulationAt(plane, *geoid->grid, at[k].x, at[k].y, N);
            if (problem != PointProblem::None) {
                result.status = Status::PointRefused;
                result.message = PointProblemText(problem, PointText(static_cast<std::size_t>(used[k]), false, lines));
                return false;
            }
            lifted[k].H += N;
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
    const bool all = used.size() == afterAsRead.size();
    result.message += "\n" + HeightFitReport(fit, comparison ? &*comparison : nullptr, all ? std::vector<int>{} : used);
    for (std::size_t k = 0; k < used.size() && k < fit.residuals.size(); ++k) {
        CalibrationResidual& row = result.residuals[static_cast<std::size_t>(used[k])];
        row.heightFitted = true;
        row.height = fit.residuals[k];
        if (comparison && k < comparison->withoutModel.residuals.size()) {
            row.heightWithoutGeoid = comparison->withoutModel.residuals[k];
        }
        Mark(row, fit.blunders, k);
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

std::vector<int> AllPairs(std::size_t n) {
    std::vector<int> all(n);
    for (std::size_t i = 0; i < n; ++i) all[i] = static_cast<int>(i);
    return all;
}

// Seven or three parameters, with the height fit when asked for.
void EstimateDatumShift(CalibrationSettings s, const std::vector<PointRecord>& beforeAsRead,
                        std::vector<PointRecord> afterAsRead, const PairLines& lines,
                        CalibrationEstimate& result) {
    if (!AllKnown(s, beforeAsRead, afterAsRead, lines, result)) return;
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
    Transformation step;  // as typed: to convert the before points below
    if (s.model == Model::Seven) {
        const BursaEstimate estimate = EstimateBursa(after.data(), before.data(), n);
        if (!Estimated(estimate, kTooFewCommonPoints, kSingularNormalEquations, result)) return;
        const BursaQuality quality = AssessBursa(after.data(), before.data(), n, estimate);
        result.message = SevenParameterReport(estimate, quality);
        result.quality = quality;
        TakeTest(result, quality.blunders, MinimumGroupsForTest(kBursaCount, 3));
        result.calibration.model = Model::Seven;
        result.calibration.convention = s.convention;
        result.calibration.seven =
            ConvertConvention(estimate.params, RotationConvention::CoordinateFrame, s.convention);
        result.residuals = SevenParameterResiduals(estimate, quality);
        step = Transformation::Seven(estimate.params);
    } else {
        const ThreeParamEstimate estimate = EstimateThreeParams(before.data(), after.data(), n);
        if (!Estimated(estimate, kThreeParamTooFewPoints, kThreeParamSingular, result)) return;
        result.message = ThreeParameterReport(estimate);
        TakeTest(result, estimate.blunders, MinimumGroupsForTest(3, 3));
        result.calibration.model = Model::Three;
        result.calibration.three = estimate.params;
        for (std::size_t i = 0; i < estimate.residuals.size(); ++i) {
            const PointRecord& v = estimate.residuals[i];
            result.residuals.push_back(SpatialRow(v.X, v.Y, v.Z, estimate.blunders, i));
        }
        step.model = Model::Three;
        step.three = estimate.params;
        result.three = estimate;
    }
    std::string notes;
    // A height fit is made in the after plane: one zone of it.
    if (s.height && !TieToZone(s.after, afterAsRead, true, lines, notes, result)) return;
    result.calibration.after = s.after;
    if (s.after.IsProjected()) {
        // The before points converted with the estimate, in the after grid.
        const zelk::ConversionChain chain(s.before, s.after, {step});
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
    if (s.height && !FitHeight(*s.height, s.geoid, s.after, result.positions, afterAsRead,
                               AllPairs(afterAsRead.size()), lines, result)) {
        return;
    }
    result.message += notes;
    result.status = Status::Estimated;
}

void EstimateFour(CalibrationSettings s, std::vector<PointRecord> beforeAsRead,
                  std::vector<PointRecord> afterAsRead, const PairLines& lines,
                  CalibrationEstimate& result) {
    std::vector<int> planePairs, heightPairs;
    if (!SortFourPairs(s, beforeAsRead, afterAsRead, lines, planePairs, heightPairs, result) ||
        !Judge(s.before, beforeAsRead, false, lines, nullptr, result) ||
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
    const std::size_t n = beforeAsRead.size();
    const bool allPlane = planePairs.size() == n;
    if (planePairs.size() < static_cast<std::size_t>(kFourParamMinimumPairs)) {
        result.status = Status::TooFewPoints;
        result.message = kFourParamTooFewPoints +
                         Shortfall(planePairs.size(), n, "两侧平面坐标都已知的", "只用于高程拟合");
        return;
    }
    std::vector<GridPoint> before, after;
    for (const int i : planePairs) {
        before.push_back(Grid(beforeAsRead[static_cast<std::size_t>(i)]));
        after.push_back(Grid(afterAsRead[static_cast<std::size_t>(i)]));
    }
    const FourParamEstimate estimate =
        EstimateFourParams(before.data(), after.data(), static_cast<int>(before.size()));
    if (!Estimated(estimate, kFourParamTooFewPoints, kFourParamSingular, result)) return;
    result.message = FourParameterReport(estimate, allPlane ? std::vector<int>{} : planePairs);
    TakeTest(result, estimate.blunders, MinimumGroupsForTest(4, 2));
    result.calibration.model = Model::Four;
    result.calibration.four = estimate.params;
    result.residuals.assign(n, CalibrationResidual{});
    for (CalibrationResidual& row : result.residuals) row.planeUsed = false;
    for (std::size_t k = 0; k < estimate.residuals.size(); ++k) {
        CalibrationResidual& row = result.residuals[static_cast<std::size_t>(planePairs[k])];
        row.planeUsed = true;
        row.r[0] = estimate.residuals[k].vx;
        row.r[1] = estimate.residuals[k].vy;
        row.length = std::hypot(row.r[0], row.r[1]);
        row.plane[0] = row.r[0];
        row.plane[1] = row.r[1];
        Mark(row, estimate.blunders, k);
    }
    // Where each pair lies on the before plane: its before x y, or its after
    // x y taken back through the plane similarity.
    const FourParams& p = estimate.params;
    const double a = p.K * std::cos(p.alpha), b = p.K * std::sin(p.alpha), norm = a * a + b * b;
    for (std::size_t i = 0; i < n; ++i) {
        const PointRecord& q = beforeAsRead[i];
        const PointRecord& r = afterAsRead[i];
        if (PlaneKnown(q) || !PlaneKnown(r)) {
            result.positions.push_back(Grid(q));
        } else {
            const double u = r.X - p.dX, w = r.Y - p.dY;
            result.positions.push_back(GridPoint{(a * u + b * w) / norm, (a * w - b * u) / norm, q.Z});
        }
    }
    if (s.height &&
        !FitHeight(*s.height, s.geoid, s.before, result.positions, afterAsRead, heightPairs, lines, result)) {
        return;
    }
    if (!allPlane || heightPairs.size() != n) {
        notes += "\n平面拟合用了" + std::to_string(planePairs.size()) + "对公共点";
        if (s.height) notes += "，高程拟合用了" + std::to_string(heightPairs.size()) + "对";
        notes += "（共" + std::to_string(n) + "对，有的只有平面或只有高程）。";
    }
    result.message += notes;
    result.status = Status::Estimated;
}

}  // namespace

std::vector<CalibrationResidual> SevenParameterResiduals(const BursaEstimate& estimate,
                                                         const BursaQuality& quality) {
    std::vector<CalibrationResidual> rows;
    for (std::size_t i = 0; i < estimate.residuals.size(); ++i) {
        const BursaResidual& r = estimate.residuals[i];
        rows.push_back(SpatialRow(r.rX, r.rY, r.rZ, quality.blunders, i));
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
    if (settings.model == Transformation::Model::Four) {
        EstimateFour(settings, beforeAsRead, afterAsRead, lines, result);
    } else {
        EstimateDatumShift(settings, beforeAsRead, afterAsRead, lines, result);
    }
    return result;
}

std::string CalibrationComment(const Transformation& t, const std::string& report,
                               const std::string& beforeFile, const std::string& afterFile) {
    const bool seven = t.model == Transformation::Model::Seven;
    const bool three = t.model == Transformation::Model::Three;
    std::string text = seven   ? "Seven parameters (Bursa-Wolf)"
                       : three ? "Three parameters (a shift of X Y Z, for a small area)"
                               : "Site calibration: four parameters";
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
    text += seven   ? "dX0 dY0 dZ0 in metres, K in ppm, betaX betaY betaZ in arc-seconds."
            : three ? "dX0 dY0 dZ0 in metres."
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
