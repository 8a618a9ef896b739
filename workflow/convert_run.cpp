#include "workflow/convert_run.h"

#include <cstdio>
#include <string>

#include "platform/message_box.h"
#include "workflow/chain.h"
#include "workflow/input_file.h"

std::optional<zelk::Crs> MainListCrs(int index, zelk::Zoning zoning, double meridian) {
    const auto systems = zelk::Systems();
    if (index < 0 || static_cast<std::size_t>(index) >= systems.size()) return std::nullopt;
    return zelk::MakeCrs(systems[static_cast<std::size_t>(index)], zoning, meridian);
}

std::string SettingProblemText(const zelk::Crs& crs, std::string_view side) {
    if (!crs.IsProjected()) return {};
    if (crs.zoning != zelk::Zoning::Meridian) {
        if (crs.IsUtm()) return std::string(side) + "的UTM投影不分3度带或6度带，请键入中央子午线！";
        return {};
    }
    if (!zelk::MeridianInRange(crs.meridian)) {
        return std::string(side) + "中央子午线超出±180度，请检查中央子午线！";
    }
    return {};
}

std::string FormatProblemText(const FileFormats& formats, const zelk::Crs& target) {
    using pointformat::FileFormat;
    if (formats.input == FileFormat::Kml) return "KML格式只能写，不能读！";
    if (formats.output == FileFormat::Kml &&
        !(target.form == zelk::Form::Geodetic &&
          (target.datum == zelk::DatumId::Wgs84 || target.datum == zelk::DatumId::Cgcs2000))) {
        return "KML文件只能写WGS84或CGCS2000大地坐标，请选择这样的转换后坐标系统！";
    }
    return {};
}

std::string RecordProblemText(std::string_view file, std::int64_t line,
                              pointformat::ProblemKind kind, int field, std::string_view label,
                              std::string_view quotedToken, std::string_view tail) {
    using pointformat::ProblemKind;
    std::string text = std::string(file) + "第" + std::to_string(line) + "行";
    std::string item;  // "第F项（L）"
    if (field > 0) {
        item = "第" + std::to_string(field) + "项";
        if (!label.empty()) item += "（" + std::string(label) + "）";
    }
    switch (kind) {
        case ProblemKind::Unreadable:
            text += item + "有无法读取的数据“" + std::string(quotedToken) + "”";
            break;
        case ProblemKind::CutShort:
            text += "有无法读取的数据“”";
            break;
        case ProblemKind::EmptyField:
            text += item + "是空的";
            break;
        case ProblemKind::MissingField:
            text += "缺少" + item;
            break;
        case ProblemKind::ExtraField:
            text += "多出" + item + "“" + std::string(quotedToken) + "”";
            break;
        case ProblemKind::BadQuote:
            text += item + "的引号不成对";
            break;
        case ProblemKind::LineTooLong:
            text += "太长（超过64 KB）";
            break;
        case ProblemKind::MissingColumn:
            text += "的表头缺少“" + std::string(label) + "”列";
            break;
        case ProblemKind::DuplicateColumn:
            text += "的表头有两个“" + std::string(label) + "”列";
            break;
    }
    return text + std::string(tail);
}

std::string PointProblemText(zelk::PointProblem problem, std::string_view where) {
    using zelk::PointProblem;
    const std::string w(where);
    switch (problem) {
        case PointProblem::None:
            break;
        case PointProblem::LatitudeRange:
            return w + "纬度超出±90度，请检查数据！";
        case PointProblem::LongitudeRange:
            return w + "经度超出±180度，请检查数据！";
        case PointProblem::SourceMeridian:
            return w + "离中央子午线超过6度，请检查中央子午线！";
        case PointProblem::TargetMeridian:
            return w + "转换后离转换后的中央子午线超过6度，请检查转换后的中央子午线！";
        case PointProblem::SourceZone:
            return w + "东坐标前没有可用的带号（3度带1～120，6度带1～60），请检查带号！";
        case PointProblem::TargetZone:
            return w + "转换后的经度不在任何带内，无法分带！";
        case PointProblem::NotFinite:
            return w + "转换结果不是有限的数，请检查数据和转换参数！";
    }
    return {};
}

void ReportFileConversionProblem(const FileConversionResult& result) {
    using Status = FileConversionResult::Status;
    switch (result.status) {
        case Status::Ok:
            return;
        case Status::Unreadable:
        case Status::CutShort:
            // "转换前文件第%d行有无法读取的数据“%s”，文件未转换！"
            ShowMessage(RecordProblemText("转换前文件", result.line, result.kind, result.field,
                                          result.label, result.token, "，文件未转换！"),
                        kReadFileCaption, MessageIcon::Error);
            return;
        case Status::PointRefused:
            ShowMessage(PointProblemText(result.problem,
                                         "转换前文件第" + std::to_string(result.line) + "行的点"),
                        kReadFileCaption, MessageIcon::Error);
            return;
        case Status::ReadError:
            ShowMessage(kInputOpenText, kReadFileCaption, MessageIcon::Error);
            return;
        case Status::WriteError:
            ShowMessage(kOutputOpenText, kWriteFileCaption, MessageIcon::Error);
            return;
        case Status::OutOfMemory:
            ShowMessage(kOutOfMemoryText, ApplicationName(), MessageIcon::Error);
            return;
        case Status::Cancelled:
            ShowMessage(kCancelledText, ApplicationName(), MessageIcon::Warning);
            return;
    }
}

PreparedConvert PrepareConvert(ConvertDialogValues& values) {
    PreparedConvert prepared;
    const auto stop = [&prepared](const std::string& text, const char* caption,
                                  ConvertOutcome outcome) {
        ShowMessage(text, caption, MessageIcon::Warning);
        prepared.outcome = outcome;
        return std::move(prepared);
    };
    if (values.srcSystem == -1 || values.tgtSystem == -1) {
        return stop(kIncompleteText, kIncompleteCaption, ConvertOutcome::Incomplete);
    }
    const std::optional<zelk::Crs> from =
        MainListCrs(values.srcSystem, values.srcZoning, values.srcMeridian);
    const std::optional<zelk::Crs> to =
        MainListCrs(values.tgtSystem, values.tgtZoning, values.tgtMeridian);
    if (!from || !to) return stop(kIncompleteText, kIncompleteCaption, ConvertOutcome::Incomplete);
    for (const std::string& problem :
         {SettingProblemText(*from, "转换前"), SettingProblemText(*to, "转换后")}) {
        if (!problem.empty()) return stop(problem, kSettingCaption, ConvertOutcome::SettingRefused);
    }
    if (const std::string problem = FormatProblemText(values.formats, *to); !problem.empty()) {
        return stop(problem, kSettingCaption, ConvertOutcome::SettingRefused);
    }
    const zelk::Transformation transformation =
        values.calibration ? *values.calibration : zelk::Transformation::Seven(values.params);
    if (const std::string problem = zelk::TransformationProblemText(*from, *to, transformation);
        !problem.empty()) {
        return stop(problem, kSettingCaption, ConvertOutcome::SettingRefused);
    }
    zelk::ConversionChain chain(*from, *to, transformation);
    // Exact comparisons: a point with x or y exactly 0 is no point.
    if (values.srcX != 0.0 && values.srcY != 0.0) {
        double a = values.srcX, b = values.srcY, c = values.srcZ;
        const zelk::PointProblem problem = chain.Convert(a, b, c);
        if (problem != zelk::PointProblem::None) {
            return stop(PointProblemText(problem, kTypedPoint), kSettingCaption,
                        ConvertOutcome::PointRefused);
        }
        values.tgtX = a;
        values.tgtY = b;
        values.tgtZ = c;
    }
    if (!values.outputPath.empty() && !values.inputPath.empty()) prepared.chain.emplace(std::move(chain));
    return prepared;
}

FileRun ConvertFilesQuietly(const ConvertDialogValues& values, const zelk::ConversionChain& chain,
                            const FileConversionOptions& options) {
    FileRun run;
    CInputFile input(values.inputPath);
    if (!input.Get()) {
        run.stage = FileRun::Stage::InputOpenFailed;
        return run;
    }
    AtomicOutputFile output;
    if (!output.Open(values.outputPath)) {
        run.stage = FileRun::Stage::OutputOpenFailed;
        return run;
    }
    FileFormats formats = values.formats;
    formats.withNames = values.withNames != 0;
    run.result = ConvertPointFile(input.Get(), output.Stream(), chain, formats, options);
    run.committed = run.result.status == FileConversionResult::Status::Ok && output.Commit();
    if (!run.committed) {
        run.outputProblem = output.Problem();
        output.Abandon();
    }
    input.Close();
    return run;
}

ConvertOutcome ReportFileRun(const FileRun& run) {
    using Status = FileConversionResult::Status;
    switch (run.stage) {
        case FileRun::Stage::InputOpenFailed:
            ShowMessage(kInputOpenText, kReadFileCaption, MessageIcon::Error);
            return ConvertOutcome::InputOpenFailed;
        case FileRun::Stage::OutputOpenFailed:
            ShowMessage(kOutputOpenText, kWriteFileCaption, MessageIcon::Error);
            return ConvertOutcome::OutputOpenFailed;
        case FileRun::Stage::Converted:
            break;
    }
    if (run.committed) {
        ShowMessage(kConversionDoneText, ApplicationName(), MessageIcon::Warning);
        return ConvertOutcome::Done;
    }
    if (run.result.status == Status::Ok) {  // the conversion ran through, the output did not land
        if (!run.outputProblem.empty()) {
            ShowMessage(run.outputProblem, kWriteFileCaption, MessageIcon::Error);
            return ConvertOutcome::WriteFailed;
        }
        FileConversionResult notLanded;
        notLanded.status = Status::WriteError;
        ReportFileConversionProblem(notLanded);
        return ConvertOutcome::WriteFailed;
    }
    ReportFileConversionProblem(run.result);
    switch (run.result.status) {
        case Status::Unreadable:
        case Status::CutShort:
            return ConvertOutcome::Unreadable;
        case Status::ReadError:
            return ConvertOutcome::InputOpenFailed;
        case Status::PointRefused:
            return ConvertOutcome::PointRefused;
        case Status::OutOfMemory:
            return ConvertOutcome::OutOfMemory;
        case Status::Cancelled:
            return ConvertOutcome::Cancelled;
        default:
            return ConvertOutcome::WriteFailed;
    }
}

ConvertOutcome RunConvert(ConvertDialogValues& values, const FileConversionOptions& options) {
    PreparedConvert prepared = PrepareConvert(values);
    if (!prepared.chain) return prepared.outcome;
    return ReportFileRun(ConvertFilesQuietly(values, *prepared.chain, options));
}
