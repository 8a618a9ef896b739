#include "workflow/estimation_run.h"

#include <string_view>
#include <unordered_map>
#include <utility>

#include "bursa/estimate.h"
#include "workflow/input_file.h"
#include "workflow/pair_file.h"
#include "workflow/point_scan.h"
#include "workflow/record_source.h"

namespace zelk {

namespace {

std::string FileName(bool after) { return after ? "转换后文件" : "转换前文件"; }

std::string FileName(const CommonPointsResult& read) {
    return read.inPairFile ? "公共点文件" : FileName(read.inAfterFile);
}

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
                if (name) {
                    *name = pointscan::QuoteToken(record.name);
                    m_lastName.assign(record.name);
                }
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
    // The same, with the name as read (bytes unchanged, for pairing).
    bool NextNamed(PointRecord& p, std::string& name, bool inAfter, CommonPointsResult& result) {
        std::string shown;
        if (!Next(p, &shown, inAfter, result)) return false;
        name.assign(m_lastName);
        return true;
    }
    std::int64_t Line() const { return m_reader.Line(); }

private:
    pointformat::RecordReader m_reader;
    std::string m_lastName;
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
                           "公共点超过" + std::to_string(kMaxCommonPoints) + "对（" + FileName(read) + "第" +
                               std::to_string(read.line) + "行起），请分区解算参数！",
                           kReadFileCaption);
        case Status::ReadError:
            // "读转换前文件错误！" / "读转换后文件错误！"
            return Refused(EstimationOutcome::Unreadable, "读" + FileName(read) + "错误！",
                           kReadFileCaption);
        case Status::DuplicateName:
            return Refused(EstimationOutcome::Unreadable,
                           FileName(read) + "第" + std::to_string(read.line) + "行的点名“" + read.token +
                               "”与第" + std::to_string(read.firstLine) +
                               "行重复，无法按点名配对，请改正点名！",
                           kReadFileCaption);
        case Status::NamesTooLong:
            return Refused(EstimationOutcome::Unreadable,
                           "两个文件的点名合计超过" + std::to_string(kMaxNameBytes >> 20) + " MB（" +
                               FileName(read) + "第" + std::to_string(read.line) +
                               "行起），无法按点名配对！",
                           kReadFileCaption);
        case Status::NoCommonName:
            return Refused(EstimationOutcome::TooFewPoints,
                           "转换前文件与转换后文件没有同名的点：dat和csv文件的公共点按点名配对，"
                           "请检查两个文件的点名是否一致！",
                           ApplicationName().c_str());
        case Status::Unreadable:
        case Status::CutShort:
            break;
    }
    return Refused(EstimationOutcome::Unreadable,
                   RecordProblemText(FileName(read), read.line, read.kind, read.field, read.label,
                                     read.token, "！"),
                   kReadFileCaption);
}

// A point of a dat or csv file, with its name as read.
struct NamedPoint {
    std::string name;
    PointRecord point;
    std::int64_t line = 0;
};

// Every point of a named file, at most kMaxCommonPoints; the bytes of names
// count against budget. False with the problem in result.
bool ReadNamedPoints(PointsOfFile& reader, bool after, std::size_t& budget,
                     std::vector<NamedPoint>& points, CommonPointsResult& result) {
    while (!reader.AtEnd()) {
        NamedPoint p;
        if (!reader.NextNamed(p.point, p.name, after, result)) return result.status == CommonPointsResult::Status::Ok;
        if (points.size() == kMaxCommonPoints) {
            result.status = CommonPointsResult::Status::TooManyPairs;
            result.inAfterFile = after;
            result.line = reader.Line();
            return false;
        }
        if (p.name.size() > budget) {
            result.status = CommonPointsResult::Status::NamesTooLong;
            result.inAfterFile = after;
            result.line = reader.Line();
            return false;
        }
        budget -= p.name.size();
        p.line = reader.Line();
        points.push_back(std::move(p));
    }
    return true;
}

// Each name once: false with the second line of a name given twice.
bool IndexNames(const std::vector<NamedPoint>& points, bool after,
                std::unordered_map<std::string_view, std::size_t>& index, CommonPointsResult& result) {
    for (std::size_t i = 0; i < points.size(); ++i) {
        const auto [at, added] = index.emplace(points[i].name, i);
        if (added) continue;
        result.status = CommonPointsResult::Status::DuplicateName;
        result.inAfterFile = after;
        result.line = points[i].line;
        result.firstLine = points[at->second].line;
        result.token = pointscan::QuoteToken(points[i].name);
        return false;
    }
    return true;
}

// Two dat or csv files paired by name.
CommonPointsResult ReadByName(PointsOfFile& beforeReader, PointsOfFile& afterReader, CommonPoints& points) {
    CommonPointsResult result;
    std::size_t budget = kMaxNameBytes;
    std::vector<NamedPoint> before, after;
    if (!ReadNamedPoints(beforeReader, false, budget, before, result) ||
        !ReadNamedPoints(afterReader, true, budget, after, result)) {
        return result;
    }
    std::unordered_map<std::string_view, std::size_t> beforeIndex, afterIndex;
    if (!IndexNames(before, false, beforeIndex, result) || !IndexNames(after, true, afterIndex, result)) {
        return result;
    }
    std::vector<bool> paired(after.size(), false);
    for (const NamedPoint& b : before) {
        const auto found = afterIndex.find(b.name);
        if (found == afterIndex.end()) {
            points.unmatched.push_back(UnmatchedName{false, b.line, pointscan::QuoteToken(b.name)});
            continue;
        }
        const NamedPoint& a = after[found->second];
        paired[found->second] = true;
        points.before.push_back(b.point);
        points.after.push_back(a.point);
        points.lines.before.push_back(b.line);
        points.lines.after.push_back(a.line);
        points.names.push_back(pointscan::QuoteToken(b.name));
    }
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (!paired[i]) points.unmatched.push_back(UnmatchedName{true, after[i].line, pointscan::QuoteToken(after[i].name)});
    }
    if (points.before.empty() && !before.empty() && !after.empty()) {
        result.status = CommonPointsResult::Status::NoCommonName;
    }
    return result;
}

}  // namespace

std::string UnmatchedNamesText(const CommonPoints& points) {
    if (points.unmatched.empty()) return {};
    std::string text = "按点名配对了" + std::to_string(points.before.size()) +
                       "对公共点；下列点只在一个文件中，没有参加解算：";
    for (const bool after : {false, true}) {
        std::size_t count = 0;
        std::string list;
        for (const UnmatchedName& u : points.unmatched) {
            if (u.inAfterFile != after) continue;
            if (count < kListedNames) {
                if (count > 0) list += "、";
                list += u.name + "（第" + std::to_string(u.line) + "行）";
            }
            ++count;
        }
        if (count == 0) continue;
        text += "\n" + FileName(after) + "：" + list;
        if (count > kListedNames) text += " 等共" + std::to_string(count) + "个";
    }
    return text;
}

CommonPointsResult ReadCommonPoints(std::FILE* beforeFile, std::FILE* afterFile,
                                    const Crs& beforeSystem, const Crs& afterSystem,
                                    const CommonPointFormats& formats, CommonPoints& points) {
    CommonPointsResult result;
    PointsOfFile beforeReader(beforeFile, InputOf(beforeSystem, formats, formats.beforeAngles));
    PointsOfFile afterReader(afterFile, InputOf(afterSystem, formats, formats.afterAngles));
    if (formats.format != pointformat::FileFormat::Plain) return ReadByName(beforeReader, afterReader, points);
    // The before file's end ends the pairs; so does the after file's end
    // after a pair (the rest of the before file is not read). A before point
    // without a partner ends them too.
    while (!beforeReader.AtEnd()) {
        PointRecord b, a;
        if (!beforeReader.Next(b, nullptr, false, result)) break;
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
        if (afterReader.AtEnd()) break;
    }
    return result;
}

EstimationRun FinishEstimation(CalibrationEstimate estimate) {
    // In the order of CalibrationEstimate::Status: estimated, the systems
    // refused, a pair refused, too few pairs, singular.
    static constexpr EstimationOutcome kOutcomes[] = {
        EstimationOutcome::Estimated, EstimationOutcome::SettingRefused,
        EstimationOutcome::Unreadable, EstimationOutcome::TooFewPoints,
        EstimationOutcome::Singular};
    EstimationRun run;
    run.outcome = kOutcomes[static_cast<int>(estimate.status)];
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
    CommonPoints points;
    CommonPointsResult read;
    if (!request.pairFile.empty()) {
        CInputFile pairFile(request.pairFile);
        if (!pairFile.Get()) {
            return Refused(EstimationOutcome::BeforeOpenFailed, kPairsOpenText, kReadFileCaption);
        }
        read = ReadPairFile(pairFile.Get(), settings.before, settings.after, request.formats, points);
    } else {
        CInputFile beforeFile(request.beforeFile);
        if (!beforeFile.Get()) {
            return Refused(EstimationOutcome::BeforeOpenFailed, kBeforeOpenText, kReadFileCaption);
        }
        CInputFile afterFile(request.afterFile);
        if (!afterFile.Get()) {
            return Refused(EstimationOutcome::AfterOpenFailed, kAfterOpenText, kReadFileCaption);
        }
        read = ReadCommonPoints(beforeFile.Get(), afterFile.Get(), settings.before, settings.after,
                                request.formats, points);
    }
    if (read.status != CommonPointsResult::Status::Ok) return ReadRefused(read);
    EstimationRun run =
        FinishEstimation(EstimateCalibration(settings, points.before, points.after, points.lines));
    // The points without a partner belong to the report, and to the
    // problem when they leave too few.
    if (const std::string unmatched = UnmatchedNamesText(points); !unmatched.empty()) {
        run.message.text += "\n" + unmatched;
    }
    run.names = std::move(points.names);
    return run;
}

}  // namespace zelk
