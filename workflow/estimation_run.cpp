#include "workflow/estimation_run.h"

#include <algorithm>

#include "bursa/bursa_model.h"
#include "bursa/estimate.h"
#include "platform/message_box.h"
#include "workflow/conversion.h"
#include "workflow/input_file.h"
#include "workflow/convert_run.h"
#include "workflow/estimation_report.h"
#include "workflow/point_file.h"

namespace {


// Takes a reader's problem into result; false when there is none.
bool Problem(PointReader::Status status, const PointReader& reader, bool inAfterFile,
             CommonPointsResult& result) {
    switch (status) {
        case PointReader::Status::Point:
        case PointReader::Status::End:
            return false;
        case PointReader::Status::Unreadable:
            result.status = CommonPointsResult::Status::Unreadable;
            break;
        case PointReader::Status::CutShort:
            result.status = CommonPointsResult::Status::CutShort;
            break;
        case PointReader::Status::ReadError:
            result.status = CommonPointsResult::Status::ReadError;
            break;
    }
    result.inAfterFile = inAfterFile;
    result.line = reader.ProblemLine();
    result.token = reader.ProblemToken();
    return true;
}

std::string FileName(bool after) { return after ? "转换后文件" : "转换前文件"; }

}  // namespace

namespace {

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

class ByParamList final : public PointToGeocentric {
public:
    ByParamList(int index, double meridian) : m_index(index), m_meridian(meridian) {}
    zelk::PointProblem Convert(PointRecord& p) const override {
        PointToCartesian(m_index, m_meridian, p.X, p.Y, p.Z);
        return zelk::PointProblem::None;
    }

private:
    int m_index;
    double m_meridian;
};

CommonPointsResult ReadPairs(std::FILE* beforeFile, std::FILE* afterFile,
                             const PointToGeocentric& beforeSide,
                             const PointToGeocentric& afterSide, std::vector<PointRecord>& before,
                             std::vector<PointRecord>& after) {
    CommonPointsResult result;
    PointReader beforeReader(beforeFile, false);
    PointReader afterReader(afterFile, false);
    std::string_view name;
    const auto refused = [&](zelk::PointProblem problem, const PointReader& reader, bool inAfter) {
        if (problem == zelk::PointProblem::None) return false;
        result.status = CommonPointsResult::Status::PointRefused;
        result.problem = problem;
        result.inAfterFile = inAfter;
        result.line = reader.PointLine();
        return true;
    };
    for (;;) {
        // The before file's end ends the pairs.
        if (beforeReader.AtEnd()) break;
        PointRecord b;
        PointReader::Status status = beforeReader.Next(name, b.X, b.Y, b.Z);
        if (Problem(status, beforeReader, false, result)) return result;
        if (status == PointReader::Status::End) break;
        PointRecord a;
        status = afterReader.Next(name, a.X, a.Y, a.Z);
        if (Problem(status, afterReader, true, result)) return result;
        // The after file ended first: the before point has no partner.
        if (status == PointReader::Status::End) break;
        if (refused(beforeSide.Convert(b), beforeReader, false)) return result;
        if (refused(afterSide.Convert(a), afterReader, true)) return result;
        before.push_back(b);
        after.push_back(a);
        // So does the after file's end after a pair: the rest of the before
        // file is not read.
        if (afterReader.AtEnd()) break;
    }
    return result;
}

}  // namespace

CommonPointsResult ReadCommonPoints(std::FILE* beforeFile, std::FILE* afterFile,
                                    const zelk::Crs& beforeSystem, const zelk::Crs& afterSystem,
                                    std::vector<PointRecord>& before,
                                    std::vector<PointRecord>& after) {
    return ReadPairs(beforeFile, afterFile, JudgedChain(beforeSystem), JudgedChain(afterSystem),
                     before, after);
}

CommonPointsResult ReadCommonPoints(std::FILE* beforeFile, std::FILE* afterFile, int beforeSystem,
                                    int afterSystem, double beforeMeridian, double afterMeridian,
                                    std::vector<PointRecord>& before,
                                    std::vector<PointRecord>& after) {
    return ReadPairs(beforeFile, afterFile, ByParamList(beforeSystem, beforeMeridian),
                     ByParamList(afterSystem, afterMeridian), before, after);
}

std::optional<zelk::Crs> ParamListCrs(int index, zelk::Zoning zoning, double meridian) {
    if (index < 0 || static_cast<std::size_t>(index) >= zelk::Systems().size()) {
        return std::nullopt;
    }
    return zelk::MakeCrs(zelk::ParamListEntry(index), zoning, meridian);
}

EstimationRunResult RunEstimation(BursaDialogValues& values) {
    EstimationRunResult run;
    if (values.beforeSystem == -1 || values.afterSystem == -1 || values.afterFile.empty() ||
        values.beforeFile.empty()) {
        ShowMessage(kIncompleteText, kIncompleteCaption, MessageIcon::Warning);
        run.outcome = EstimationOutcome::Incomplete;
        return run;
    }
    const std::optional<zelk::Crs> beforeCrs =
        ParamListCrs(values.beforeSystem, values.beforeZoning, values.beforeMeridian);
    const std::optional<zelk::Crs> afterCrs =
        ParamListCrs(values.afterSystem, values.afterZoning, values.afterMeridian);
    if (!beforeCrs || !afterCrs) {
        ShowMessage(kIncompleteText, kIncompleteCaption, MessageIcon::Warning);
        run.outcome = EstimationOutcome::Incomplete;
        return run;
    }
    for (const std::string& problem : {SettingProblemText(*beforeCrs, "转换前"),
                                       SettingProblemText(*afterCrs, "转换后")}) {
        if (!problem.empty()) {
            ShowMessage(problem, kSettingCaption, MessageIcon::Warning);
            run.outcome = EstimationOutcome::SettingRefused;
            return run;
        }
    }
    CInputFile beforeFile(values.beforeFile);
    if (!beforeFile.Get()) {
        ShowMessage(kBeforeOpenText, kReadFileCaption, MessageIcon::Error);
        run.outcome = EstimationOutcome::BeforeOpenFailed;
        return run;
    }
    CInputFile afterFile(values.afterFile);
    if (!afterFile.Get()) {
        beforeFile.Close();
        ShowMessage(kAfterOpenText, kReadFileCaption, MessageIcon::Error);
        run.outcome = EstimationOutcome::AfterOpenFailed;
        return run;
    }
    const CommonPointsResult read =
        ReadCommonPoints(beforeFile.Get(), afterFile.Get(), *beforeCrs, *afterCrs, run.before,
                         run.after);
    afterFile.Close();
    beforeFile.Close();

    if (read.status != CommonPointsResult::Status::Ok) {
        run.outcome = EstimationOutcome::Unreadable;
        if (read.status == CommonPointsResult::Status::ReadError) {
            // "读转换前文件错误！" / "读转换后文件错误！"
            ShowMessage("读" + FileName(read.inAfterFile) + "错误！", kReadFileCaption,
                        MessageIcon::Error);
        } else if (read.status == CommonPointsResult::Status::PointRefused) {
            ShowMessage(PointProblemText(read.problem, FileName(read.inAfterFile) + "第" +
                                                           std::to_string(read.line) + "行的点"),
                        kReadFileCaption, MessageIcon::Error);
        } else {
            ShowMessage(FileName(read.inAfterFile) + "第" + std::to_string(read.line) +
                            "行有无法读取的数据“" + read.token + "”！",
                        kReadFileCaption, MessageIcon::Error);
        }
        return run;
    }
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
    ShowMessage(SevenParameterReport(estimate, run.quality), ApplicationName(),
                MessageIcon::Warning);
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
