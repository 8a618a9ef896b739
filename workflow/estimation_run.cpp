#include "workflow/estimation_run.h"

#include <utility>

#include "bursa/estimate.h"
#include "workflow/input_file.h"
#include "workflow/point_scan.h"
#include "workflow/record_source.h"

namespace zelk {

namespace {

std::string FileName(bool after) { return after ? "转换后文件" : "转换前文件"; }

// Common points in any point-file format, as read.
class PointsOfFile {
public:
    PointsOfFile(std::FILE* in, const pointformat::InputFormat& format) : m_reader(in, format) {}
    bool AtEnd() { return m_reader.AtEnd(); }
    // False at the end or at a problem, which is then taken into result.
    bool Next(PointRecord& p, std::string* name, bool inAfter, CommonPointsResult& result) {
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
        return false;
    }
    std::int64_t Line() const { return m_reader.Line(); }

private:
    pointformat::RecordReader m_reader;
};

pointformat::InputFormat InputOf(const Crs& crs, const CommonPointFormats& formats,
                                 AngleFormat angles) {
    pointformat::InputFormat format;
    format.format = formats.format;
    format.axes = crs.form == Form::Geodetic     ? pointformat::Axes::Geodetic
                  : crs.form == Form::Geocentric ? pointformat::Axes::Geocentric
                                                 : pointformat::Axes::Plane;
    format.angles = angles;
    return format;
}

EstimationRun Refused(EstimationOutcome outcome, std::string text, const char* caption) {
    EstimationRun run;
    run.outcome = outcome;
    run.message = {std::move(text), caption, MessageIcon::Error};
    return run;
}

// The run of a read that did not go through.
EstimationRun ReadRefused(const CommonPointsResult& read) {
    using Status = CommonPointsResult::Status;
    switch (read.status) {
        case Status::Ok:
            break;
        case Status::TooManyPairs:
            return Refused(EstimationOutcome::TooManyPairs,
                           "公共点超过" + std::to_string(kMaxCommonPoints) + "对（转换前文件第" +
                               std::to_string(read.line) + "行起），请分区解算参数！",
                           kReadFileCaption);
        case Status::ReadError:
            // "读转换前文件错误！" / "读转换后文件错误！"
            return Refused(EstimationOutcome::Unreadable,
                           "读" + FileName(read.inAfterFile) + "错误！", kReadFileCaption);
        case Status::Unreadable:
        case Status::CutShort:
            break;
    }
    return Refused(EstimationOutcome::Unreadable,
                   RecordProblemText(FileName(read.inAfterFile), read.line, read.kind, read.field,
                                     read.label, read.token, "！"),
                   kReadFileCaption);
}

}  // namespace

CommonPointsResult ReadCommonPoints(std::FILE* beforeFile, std::FILE* afterFile,
                                    const Crs& beforeSystem, const Crs& afterSystem,
                                    const CommonPointFormats& formats, CommonPoints& points) {
    CommonPointsResult result;
    PointsOfFile beforeReader(beforeFile, InputOf(beforeSystem, formats, formats.beforeAngles));
    PointsOfFile afterReader(afterFile, InputOf(afterSystem, formats, formats.afterAngles));
    const bool named = formats.format != pointformat::FileFormat::Plain;
    // The before file's end ends the pairs; so does the after file's end
    // after a pair (the rest of the before file is not read). A before point
    // without a partner ends them too.
    while (!beforeReader.AtEnd()) {
        PointRecord b, a;
        std::string name;
        if (!beforeReader.Next(b, named ? &name : nullptr, false, result)) break;
        if (!afterReader.Next(a, nullptr, true, result)) break;
        if (points.before.size() == kMaxCommonPoints) {
            result.status = CommonPointsResult::Status::TooManyPairs;
            result.line = beforeReader.Line();
            break;
        }
        points.before.push_back(b);
        points.after.push_back(a);
        points.lines.before.push_back(beforeReader.Line());
        points.lines.after.push_back(afterReader.Line());
        if (named) points.names.push_back(std::move(name));
        if (afterReader.AtEnd()) break;
    }
    return result;
}

EstimationRun FinishEstimation(CalibrationEstimate estimate) {
    EstimationRun run;
    switch (estimate.status) {
        case CalibrationEstimate::Status::Estimated:
            run.outcome = EstimationOutcome::Estimated;
            break;
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
    const bool estimated = run.outcome == EstimationOutcome::Estimated;
    const bool refusedPoint = run.outcome == EstimationOutcome::Unreadable;
    const bool setting = run.outcome == EstimationOutcome::SettingRefused;
    // A report is information, unless it warns of badly spread pairs or
    // suspected blunders.
    const bool warns = estimate.suspects > 0 || estimate.tooMany ||
                       (estimate.quality && estimate.quality->Warns());
    run.message = {estimate.message,
                   refusedPoint ? kReadFileCaption : setting ? kSettingCaption : ApplicationName(),
                   estimated ? (warns ? MessageIcon::Warning : MessageIcon::Information)
                   : setting ? MessageIcon::Warning
                             : MessageIcon::Error};
    run.estimate = std::move(estimate);
    return run;
}

EstimationRun RunEstimation(const EstimationRequest& request) {
    const CalibrationSettings& settings = request.settings;
    if (const std::string problem = CalibrationSettingsProblem(settings); !problem.empty()) {
        EstimationRun run = Refused(EstimationOutcome::SettingRefused, problem, kSettingCaption);
        run.message.icon = MessageIcon::Warning;
        return run;
    }
    CInputFile beforeFile(request.beforeFile);
    if (!beforeFile.Get()) {
        return Refused(EstimationOutcome::BeforeOpenFailed, kBeforeOpenText, kReadFileCaption);
    }
    CInputFile afterFile(request.afterFile);
    if (!afterFile.Get()) {
        return Refused(EstimationOutcome::AfterOpenFailed, kAfterOpenText, kReadFileCaption);
    }
    CommonPoints points;
    const CommonPointsResult read = ReadCommonPoints(beforeFile.Get(), afterFile.Get(), settings.before,
                                                     settings.after, request.formats, points);
    afterFile.Close();
    beforeFile.Close();
    if (read.status != CommonPointsResult::Status::Ok) return ReadRefused(read);
    EstimationRun run =
        FinishEstimation(EstimateCalibration(settings, points.before, points.after, points.lines));
    run.names = std::move(points.names);
    return run;
}

}  // namespace zelk
