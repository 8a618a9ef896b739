#include "workflow/estimation_run.h"

#include <algorithm>
#include <utility>

#include "bursa/helmert.h"
#include "bursa/estimate.h"
#include "platform/message_box.h"
#include "workflow/calibration_run.h"
#include "workflow/input_file.h"
#include "workflow/convert_run.h"
#include "workflow/estimation_report.h"
#include "workflow/point_file.h"
#include "workflow/point_scan.h"
#include "workflow/record_source.h"

namespace zelk {

namespace {

std::string FileName(bool after) { return after ? "转换后文件" : "转换前文件"; }

// Brings a point to X Y Z of its datum; the judging chain refuses bad points.
class PointToGeocentric {
public:
    virtual ~PointToGeocentric() = default;
    virtual zelk::PointProblem Convert(PointRecord& p) const = 0;
};

class JudgedChain final : public PointToGeocentric {
public:
    explicit JudgedChain(const zelk::Crs& crs)
        : m_chain(crs, Geocentric(crs), zelk::Transformation::Identity()) {}
    zelk::PointProblem Convert(PointRecord& p) const override {
        return m_chain.Convert(p.X, p.Y, p.Z);
    }

private:
    static zelk::Crs Geocentric(const zelk::Crs& crs) {
        zelk::Crs geocentric;
        geocentric.datum = crs.datum;
        geocentric.form = zelk::Form::Geocentric;
        return geocentric;
    }
    zelk::ConversionChain m_chain;
};

// Common points in any point-file format.
class FormattedPoints {
public:
    FormattedPoints(std::FILE* in, const pointformat::InputFormat& format) : m_reader(in, format) {}
    bool AtEnd() { return m_reader.AtEnd(); }
    bool Next(PointRecord& p, std::string* name, bool inAfter, CommonPointsResult& result, bool& problem) {
        pointformat::PointRecord record{};
        switch (m_reader.Next(record)) {
            case pointformat::RecordReader::Status::Point:
                p = PointRecord{record.values[0], record.values[1], record.values[2]};
                // Cut short and made safe to show, so that names never
                // cost more than a few bytes a pair.
                if (name) *name = pointscan::QuoteToken(record.name);
                return true;
            case pointformat::RecordReader::Status::End:
                return false;
            case pointformat::RecordReader::Status::Problem: {
                const pointformat::RecordProblem& what = m_reader.Problem();
                result.status = what.kind == pointformat::ProblemKind::CutShort
                                    ? CommonPointsResult::Status::CutShort
                                    : CommonPointsResult::Status::Unreadable;
                result.kind = what.kind;
                result.field = what.field;
                result.label = std::string(what.label);
                result.token = m_reader.QuotedToken();
                break;
            }
            case pointformat::RecordReader::Status::ReadError:
                result.status = CommonPointsResult::Status::ReadError;
                break;
        }
        result.inAfterFile = inAfter;
        result.line = m_reader.Line();
        problem = true;
        return false;
    }
    std::int64_t PointLine() const { return m_reader.Line(); }

private:
    pointformat::RecordReader m_reader;
};

template <typename Reader>
CommonPointsResult ReadPairs(Reader& beforeReader, Reader& afterReader,
                             const PointToGeocentric& beforeSide,
                             const PointToGeocentric& afterSide, CommonPoints& points) {
    CommonPointsResult result;
    const auto refused = [&](zelk::PointProblem problem, const Reader& reader, bool inAfter) {
        if (problem == zelk::PointProblem::None) return false;
        result.status = CommonPointsResult::Status::PointRefused;
        result.problem = problem;
        result.inAfterFile = inAfter;
        result.line = reader.PointLine();
        return true;
    };
    bool problem = false;
    for (;;) {
        // The before file's end ends the pairs.
        if (beforeReader.AtEnd()) break;
        PointRecord b;
        std::string name;
        if (!beforeReader.Next(b, points.names ? &name : nullptr, false, result, problem)) break;
        PointRecord a;
        // The after file ended first: the before point has no partner.
        if (!afterReader.Next(a, nullptr, true, result, problem)) break;
        if (points.before.size() == kMaxCommonPoints) {
            result.status = CommonPointsResult::Status::TooManyPairs;
            result.line = beforeReader.PointLine();
            return result;
        }
        if (points.beforeAsRead) points.beforeAsRead->push_back(b);
        if (points.afterAsRead) points.afterAsRead->push_back(a);
        if (refused(beforeSide.Convert(b), beforeReader, false)) return result;
        if (refused(afterSide.Convert(a), afterReader, true)) return result;
        points.before.push_back(b);
        points.after.push_back(a);
        if (points.names) points.names->push_back(std::move(name));
        // So does the after file's end after a pair: the rest of the before
        // file is not read.
        if (afterReader.AtEnd()) break;
    }
    if (points.beforeAsRead) points.beforeAsRead->resize(points.before.size());
    if (points.afterAsRead) points.afterAsRead->resize(points.after.size());
    return result;
}

}  // namespace

CommonPointsResult ReadCommonPoints(std::FILE* beforeFile, std::FILE* afterFile,
                                    const zelk::Crs& beforeSystem, const zelk::Crs& afterSystem,
                                    const CommonPointFormats& formats, CommonPoints& points) {
    const auto input = [&](const zelk::Crs& crs, AngleFormat angles) {
        pointformat::InputFormat format;
        format.format = formats.format;
        format.axes = crs.form == zelk::Form::Geodetic     ? pointformat::Axes::Geodetic
                      : crs.form == zelk::Form::Geocentric ? pointformat::Axes::Geocentric
                                                           : pointformat::Axes::Plane;
        format.angles = angles;
        return format;
    };
    FormattedPoints beforeReader(beforeFile, input(beforeSystem, formats.beforeAngles));
    FormattedPoints afterReader(afterFile, input(afterSystem, formats.afterAngles));
    return ReadPairs(beforeReader, afterReader, JudgedChain(beforeSystem), JudgedChain(afterSystem),
                     points);
}

CommonPointsResult ReadCommonPoints(std::FILE* beforeFile, std::FILE* afterFile,
                                    const zelk::Crs& beforeSystem, const zelk::Crs& afterSystem,
                                    std::vector<PointRecord>& before,
                                    std::vector<PointRecord>& after) {
    CommonPoints points;
    const CommonPointsResult result =
        ReadCommonPoints(beforeFile, afterFile, beforeSystem, afterSystem, {}, points);
    before.insert(before.end(), points.before.begin(), points.before.end());
    after.insert(after.end(), points.after.begin(), points.after.end());
    return result;
}

std::optional<zelk::Crs> ParamListCrs(int index, zelk::Zoning zoning, double meridian) {
    if (index < 0 || static_cast<std::size_t>(index) >= zelk::Systems().size()) {
        return std::nullopt;
    }
    return zelk::MakeCrs(zelk::ParamListEntry(index), zoning, meridian);
}

namespace {

// The steps of the compute button up to the pairs read: the choices, the
// settings, the two files; every problem shown. Estimated when the pairs
// are there.
EstimationOutcome ReadCommonPointFiles(const BursaDialogValues& values, CommonPoints& points,
                                       zelk::Crs& before, zelk::Crs& after) {
    if (values.beforeSystem == -1 || values.afterSystem == -1 || values.afterFile.empty() ||
        values.beforeFile.empty()) {
        ShowMessage(kIncompleteText, kIncompleteCaption, MessageIcon::Warning);
        return EstimationOutcome::Incomplete;
    }
    const std::optional<zelk::Crs> beforeCrs =
        ParamListCrs(values.beforeSystem, values.beforeZoning, values.beforeMeridian);
    const std::optional<zelk::Crs> afterCrs =
        ParamListCrs(values.afterSystem, values.afterZoning, values.afterMeridian);
    if (!beforeCrs || !afterCrs) {
        ShowMessage(kIncompleteText, kIncompleteCaption, MessageIcon::Warning);
        return EstimationOutcome::Incomplete;
    }
    for (const std::string& problem : {SettingProblemText(*beforeCrs, "转换前"),
                                       SettingProblemText(*afterCrs, "转换后")}) {
        if (!problem.empty()) {
            ShowMessage(problem, kSettingCaption, MessageIcon::Warning);
            return EstimationOutcome::SettingRefused;
        }
    }
    before = *beforeCrs;
    after = *afterCrs;
    CInputFile beforeFile(values.beforeFile);
    if (!beforeFile.Get()) {
        ShowMessage(kBeforeOpenText, kReadFileCaption, MessageIcon::Error);
        return EstimationOutcome::BeforeOpenFailed;
    }
    CInputFile afterFile(values.afterFile);
    if (!afterFile.Get()) {
        beforeFile.Close();
        ShowMessage(kAfterOpenText, kReadFileCaption, MessageIcon::Error);
        return EstimationOutcome::AfterOpenFailed;
    }
    const CommonPointsResult read = ReadCommonPoints(beforeFile.Get(), afterFile.Get(), before,
                                                     after, values.formats, points);
    afterFile.Close();
    beforeFile.Close();
    if (read.status == CommonPointsResult::Status::Ok) return EstimationOutcome::Estimated;
    if (read.status == CommonPointsResult::Status::TooManyPairs) {
        ShowMessage("公共点超过" + std::to_string(kMaxCommonPoints) + "对（转换前文件第" +
                        std::to_string(read.line) + "行起），请分区解算参数！",
                    kReadFileCaption, MessageIcon::Error);
        return EstimationOutcome::TooManyPairs;
    }
    if (read.status == CommonPointsResult::Status::ReadError) {
        // "读转换前文件错误！" / "读转换后文件错误！"
        ShowMessage("读" + FileName(read.inAfterFile) + "错误！", kReadFileCaption,
                    MessageIcon::Error);
    } else if (read.status == CommonPointsResult::Status::PointRefused) {
        ShowMessage(PointProblemText(read.problem, FileName(read.inAfterFile) + "第" +
                                                       std::to_string(read.line) + "行的点"),
                    kReadFileCaption, MessageIcon::Error);
    } else {
        ShowMessage(RecordProblemText(FileName(read.inAfterFile), read.line, read.kind, read.field,
                                      read.label, read.token, "！"),
                    kReadFileCaption, MessageIcon::Error);
    }
    return EstimationOutcome::Unreadable;
}

}  // namespace

CalibrationRunResult RunCalibration(const BursaDialogValues& values,
                                    CalibrationSettings settings) {
    CalibrationRunResult run;
    std::vector<PointRecord> beforeAsRead, afterAsRead;
    CommonPoints points;
    points.beforeAsRead = &beforeAsRead;
    points.afterAsRead = &afterAsRead;
    points.names = &run.names;
    run.outcome = ReadCommonPointFiles(values, points, settings.before, settings.after);
    if (run.outcome != EstimationOutcome::Estimated) return run;
    run.estimate = EstimateCalibration(settings, beforeAsRead, afterAsRead);
    switch (run.estimate.status) {
        case CalibrationEstimate::Status::Estimated:
            ShowMessage(run.estimate.message, ApplicationName(), MessageIcon::Warning);
            return run;
        case CalibrationEstimate::Status::SystemsRefused:
            run.outcome = EstimationOutcome::SettingRefused;
            break;
        case CalibrationEstimate::Status::PointRefused:
            run.outcome = EstimationOutcome::Unreadable;
            break;
        case CalibrationEstimate::Status::TooFewPoints:
            run.outcome = EstimationOutcome::TooFewPoints;
            break;
        case CalibrationEstimate::Status::Singular:
            run.outcome = EstimationOutcome::Singular;
            break;
    }
    ShowMessage(run.estimate.message, ApplicationName(), MessageIcon::Error);
    return run;
}

EstimationRunResult RunEstimation(BursaDialogValues& values) {
    EstimationRunResult run;
    CommonPoints points;
    zelk::Crs before, after;
    run.outcome = ReadCommonPointFiles(values, points, before, after);
    run.before = std::move(points.before);
    run.after = std::move(points.after);
    if (run.outcome != EstimationOutcome::Estimated) return run;
    if (run.before.size() < 3) {
        ShowMessage(kTooFewCommonPoints, ApplicationName(), MessageIcon::Error);
        run.outcome = EstimationOutcome::TooFewPoints;
        return run;
    }
    const BursaEstimate estimate = EstimateBursa(run.after.data(), run.before.data(),
                                                 static_cast<int>(run.before.size()));
    switch (estimate.status) {
        case BursaEstimate::Status::TooFewPoints:
            ShowMessage(kTooFewCommonPoints, ApplicationName(), MessageIcon::Error);
            run.outcome = EstimationOutcome::TooFewPoints;
            return run;
        case BursaEstimate::Status::Singular:
            ShowMessage(kSingularNormalEquations, ApplicationName(), MessageIcon::Error);
            run.outcome = EstimationOutcome::Singular;
            return run;
        case BursaEstimate::Status::Ok:
            break;
    }
    run.quality = AssessBursa(run.after.data(), run.before.data(),
                              static_cast<int>(run.before.size()), estimate);
    run.residuals = SevenParameterResiduals(estimate, run.quality);
    run.report = SevenParameterReport(estimate, run.quality);
    ShowMessage(run.report, ApplicationName(), MessageIcon::Warning);
    values.dX0 = estimate.params.dX0;
    values.dY0 = estimate.params.dY0;
    values.dZ0 = estimate.params.dZ0;
    values.K = estimate.params.K;
    values.betaX = estimate.params.betaX;
    values.betaY = estimate.params.betaY;
    values.betaZ = estimate.params.betaZ;
    run.iterations = estimate.iterations;
    run.internal = estimate.internal;
    run.outcome = EstimationOutcome::Estimated;
    return run;
}

}  // namespace zelk
