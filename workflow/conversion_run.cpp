#include "workflow/conversion_run.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "platform/files.h"
#include "platform/interrupt_cleanup.h"
#include "workflow/input_file.h"

namespace zelk {

namespace {

ChainHeights HeightsOf(const ConversionRequest& request) {
    ChainHeights heights;
    if (request.fromGeoid) heights.from = request.fromGeoid->grid;
    if (request.toGeoid) heights.to = request.toGeoid->grid;
    return heights;
}

// A side's geoid: on a side that has such heights, and open.
std::string GeoidProblemOf(const std::optional<GeoidModel>& geoid, const Crs& crs, const char* side) {
    if (!geoid) return {};
    if (std::string problem = GeoidSideProblemText(crs, side); !problem.empty()) return problem;
    if (!geoid->IsOpen()) return GeoidProblemText(*geoid, std::string(side) + "的高程");
    return {};
}

}  // namespace

std::string RequestProblemText(const ConversionRequest& request) {
    for (const std::string& problem :
         {CrsProblemText(request.from, "转换前"), CrsProblemText(request.to, "转换后"),
          GeoidProblemOf(request.fromGeoid, request.from, "转换前"),
          GeoidProblemOf(request.toGeoid, request.to, "转换后")}) {
        if (!problem.empty()) return problem;
    }
    if (request.input || request.output) {
        if (const std::string problem = FormatProblemText(request.formats, request.to); !problem.empty()) {
            return problem;
        }
        if (const std::string problem = ExternalFormatProblemText(request); !problem.empty()) {
            return problem;
        }
    }
    return ChainProblemText(request.from, request.to, request.steps, HeightsOf(request));
}

ConversionChain ChainFor(const ConversionRequest& request) {
    return ConversionChain(request.from, request.to, request.steps, HeightsOf(request));
}

std::string ConvertTypedPoint(const ConversionChain& chain, double& a, double& b, double& c) {
    const double height = c;
    const PointProblem problem = chain.Convert(a, b, c);
    if (chain.KeepsHeight()) c = height;
    return problem == PointProblem::None ? std::string() : PointProblemText(problem, kTypedPoint);
}

std::string FormatProblemText(const FileFormats& formats, const Crs& target) {
    using pointformat::FileFormat;
    if (formats.input == FileFormat::Kml) return "KML格式只能写，不能读！";
    const bool wgs84Degrees = target.form == Form::Geodetic && !target.ellipsoid &&
                              (target.datum == DatumId::Wgs84 || target.datum == DatumId::Cgcs2000);
    if (formats.output == FileFormat::Kml && !wgs84Degrees) {
        return "KML文件只能写WGS84或CGCS2000大地坐标，请选择这样的转换后坐标系统！";
    }
    if (formats.output == FileFormat::GeoJson && !wgs84Degrees) {
        // RFC 7946 holds WGS84 longitude and latitude in degrees, nothing else.
        return "GeoJSON文件（RFC 7946）只能存放WGS84经纬度，投影坐标、地心坐标和别的基准都不能写，请选择WGS84或CGCS2000大地坐标作为转换后坐标系统！";
    }
    return {};
}

std::string ExternalFormatProblemText(const ConversionRequest& request) {
    using pointformat::FileFormat;
    const auto label = [](FileFormat format) { return std::string(pointformat::FileFormatLabel(format)); };
    for (const bool input : {true, false}) {
        const FileFormat format = input ? request.formats.input : request.formats.output;
        if (!pointformat::IsExternalFormat(format)) continue;
        if (!request.external || !request.external->Has(format)) {
            return "这个版本的ZELK不能" + std::string(input ? "读" : "写") + label(format) +
                   "文件（编译时没有GDAL），请选择" +
                   (input ? "普通格式、CASS数据或CSV" : "普通格式、CASS数据、CSV或KML") + "！";
        }
        if (input && request.input && request.input->IsStandardInput()) {
            return label(format) + "格式的转换前文件不能从标准输入读，请给出文件名！";
        }
        if (!input && request.output &&
            (request.output->descriptor >= 0 || request.output->path == "-")) {
            return label(format) + "格式的转换后文件不能写到标准输出，请给出文件名！";
        }
    }
    return {};
}

std::string RecordProblemText(std::string_view file, std::int64_t line,
                              pointformat::ProblemKind kind, int field, std::string_view label,
                              std::string_view quotedToken, std::string_view tail) {
    using pointformat::ProblemKind;
    if (kind == ProblemKind::Utf16) {
        return std::string(file) + "是UTF-16编码的，请另存为UTF-8或GBK编码" + std::string(tail);
    }
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
        case ProblemKind::QuoteNotClosed:
            text += item + "的引号到行尾没有闭合（csv文件的字段里不能有换行）";
            break;
        case ProblemKind::MinuteRange:
            text += item + "“" + std::string(quotedToken) + "”的分不小于60′，不是有效的角度";
            break;
        case ProblemKind::SecondRange:
            text += item + "“" + std::string(quotedToken) + "”的秒不小于60″，不是有效的角度";
            break;
        case ProblemKind::Utf16:
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

std::string NameProblemText(std::int64_t line, pointformat::FileFormat format, bool code,
                            std::string_view quotedName) {
    using pointformat::FileFormat;
    const std::string what = code ? "编码" : "点名";
    std::string text = "转换前文件第" + std::to_string(line) + "行的" + what + "“" +
                       std::string(quotedName) + "”";
    switch (format) {
        case FileFormat::Plain:
            text += "无法写入点文件：点文件的点名不能是空的，不能含空格、制表符等空白，请改用csv格式";
            break;
        case FileFormat::Dat:
            text += code ? "无法写入dat文件：dat文件的编码不能含逗号或换行，开头和结尾不能有空格或制表符"
                         : "无法写入dat文件：dat文件的点名不能含逗号或换行，不能以#开头，"
                           "开头和结尾不能有空格或制表符，请改用csv格式";
            break;
        case FileFormat::Csv:
            text += "无法写入csv文件：csv文件的点名不能含换行";
            break;
        case FileFormat::Kml:
            text += "无法写入KML文件：KML文件的点名须是UTF-8或GBK编码的文字，不能含控制字符";
            break;
    }
    return text + "，文件未转换！";
}

std::string PointProblemText(PointProblem problem, std::string_view where) {
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
            return w + "转换后的经度不在任何带内（6度带从东经0°起，3度带从东经1°30′起，都到东经180°），无法分带！";
        case PointProblem::NotFinite:
            return w + "转换结果不是有限的数，请检查数据和转换参数！";
        case PointProblem::HeightRange:
            return w + "高程超出±10000公里，请检查数据！";
        case PointProblem::FittedPlane:
            return w + "离转换参数所在平面的中央子午线超过6度，无法换算到该平面，请检查数据和转换参数！";
        case PointProblem::GeoidOutside:
            return w + "在大地水准面模型范围之外，无法换算高程，请检查数据或换用覆盖该处的模型！";
        case PointProblem::GeoidNoData:
            return w + "在大地水准面模型范围之外（模型在该处的格网没有数据），无法换算高程！";
        case PointProblem::GeoidUnreadable:
            return w + "所需的大地水准面模型数据读不出来，模型文件可能已损坏或被移走，请检查模型文件！";
    }
    return {};
}

namespace {
pointformat::Axes AxesOf(const Crs& crs) {
    switch (crs.form) {
        case Form::Geodetic: return pointformat::Axes::Geodetic;
        case Form::Geocentric: return pointformat::Axes::Geocentric;
        case Form::Projected:
        case Form::Local: break;
    }
    return pointformat::Axes::Plane;
}
}  // namespace

FileRun ConvertFiles(const ConversionRequest& request, const ConversionChain& chain,
                     const FileConversionOptions& options) {
    FileRun run;
    const FileFormats& formats = request.formats;
    // The input: a text stream, or a source of a format outside the core.
    PointFileInput in;
    std::optional<CInputFile> opened;
    std::unique_ptr<PointSource> source;
    if (pointformat::IsExternalFormat(formats.input)) {
        ExternalInput what{request.input->path, formats.input, AxesOf(chain.From()),
                           formats.inputAngles, formats.inputLayer};
        source = request.external ? request.external->OpenSource(what, run.inputProblem) : nullptr;
        if (!source) {
            run.stage = FileRun::Stage::InputOpenFailed;
            return run;
        }
        in.source = source.get();
    } else if (request.input->IsStandardInput()) {
        in.text = stdin;
    } else {
        in.text = opened.emplace(request.input->path).Get();
        if (in.text == nullptr) {
            run.stage = FileRun::Stage::InputOpenFailed;
            return run;
        }
    }
    // A run withdrawn while its input was opening (a named pipe waits for
    // its writer) writes nothing.
    RunWithdrawal* const withdrawal = options.withdrawal;
    const auto withdrawn = [&run] {
        run.result.status = FileConversionResult::Status::Cancelled;
        return run;
    };
    if (withdrawal && withdrawal->Withdrawn()) return withdrawn();
    const PointOutput& target = *request.output;
    // Never read and written at once, whatever its names.
    const auto inputIdentity = request.input->IsStandardInput()
                                   ? platform::IdentityOfDescriptor(0)
                                   : platform::IdentityOf(request.input->path);
    const auto outputIdentity = target.descriptor >= 0 ? platform::IdentityOfDescriptor(target.descriptor)
                                                       : platform::IdentityOf(target.path);
    if (inputIdentity && inputIdentity == outputIdentity) {
        run.stage = FileRun::Stage::OutputIsInput;
        return run;
    }
    if (pointformat::IsExternalFormat(formats.output)) {
        ExternalOutput what{target.path, formats.output, chain.To()};
        std::unique_ptr<PointSink> sink =
            request.external ? request.external->OpenSink(what, run.outputProblem) : nullptr;
        if (!sink) {
            run.stage = FileRun::Stage::OutputOpenFailed;
            return run;
        }
        run.result = ConvertPointFile(in, PointFileOutput{nullptr, sink.get()}, chain, formats, options);
        if (run.result.status == FileConversionResult::Status::Ok && withdrawal && !withdrawal->BeginCommit()) {
            run.result.status = FileConversionResult::Status::Cancelled;
        }
        if (run.result.status == FileConversionResult::Status::Ok) {
            run.committed = sink->Commit();
            if (!run.committed) run.outputProblem = sink->Message();
        } else {
            sink->Abandon();
        }
        return run;
    }
    AtomicOutputFile output;
    if (target.descriptor >= 0 ? !output.OpenDescriptor(target.descriptor) : !output.Open(target.path)) {
        run.stage = FileRun::Stage::OutputOpenFailed;
        return run;
    }
    if (withdrawal && !withdrawal->Track(output.TemporaryPath())) return withdrawn();
    run.result = ConvertPointFile(in, PointFileOutput{output.Stream(), nullptr}, chain, formats, options);
    if (run.result.status == FileConversionResult::Status::Ok && withdrawal && !withdrawal->BeginCommit()) {
        run.result.status = FileConversionResult::Status::Cancelled;
    }
    if (run.result.status == FileConversionResult::Status::Ok) {
        // An interruption waits while the output takes its place; after it,
        // when that was all, it changes nothing.
        std::optional<interruptcleanup::HoldSignals> hold;
        if (options.completesRun) hold.emplace();
        run.committed = output.Commit();
        if (run.committed && options.completesRun) interruptcleanup::RunComplete();
        if (!run.committed) {
            run.readerGone = output.ReaderGone();
            run.outputProblem = output.Problem();
        }
    } else {
        run.readerGone =
            run.result.status == FileConversionResult::Status::WriteError && output.ReaderGone();
        output.Abandon();
    }
    return run;
}

UserMessage MessageFor(const FileRun& run) {
    using Status = FileConversionResult::Status;
    switch (run.stage) {
        case FileRun::Stage::InputOpenFailed:
            return {run.inputProblem.empty() ? std::string(kInputOpenText) : run.inputProblem,
                    kReadFileCaption, MessageIcon::Error};
        case FileRun::Stage::OutputIsInput:
            return {kOutputIsInputText, kWriteFileCaption, MessageIcon::Error};
        case FileRun::Stage::OutputOpenFailed:
            return {run.outputProblem.empty() ? std::string(kOutputOpenText) : run.outputProblem,
                    kWriteFileCaption, MessageIcon::Error};
        case FileRun::Stage::Converted:
            break;
    }
    if (run.committed) return {kConversionDoneText, ApplicationName(), MessageIcon::Information};
    const FileConversionResult& result = run.result;
    if (result.status == Status::Ok && !run.outputProblem.empty()) {
        // The conversion ran through, the output did not land.
        return {run.outputProblem, kWriteFileCaption, MessageIcon::Error};
    }
    switch (result.status) {
        case Status::Ok:
        case Status::WriteError:
            return {result.message.empty() ? std::string(kOutputOpenText) : result.message,
                    kWriteFileCaption, MessageIcon::Error};
        case Status::InputProblem:
            return {result.message, kReadFileCaption, MessageIcon::Error};
        case Status::Unreadable:
        case Status::CutShort:
            // "转换前文件第%d行有无法读取的数据“%s”，文件未转换！"
            return {RecordProblemText("转换前文件", result.line, result.kind, result.field,
                                      result.label, result.token, "，文件未转换！"),
                    kReadFileCaption, MessageIcon::Error};
        case Status::PointRefused:
            return {PointProblemText(result.problem,
                                     "转换前文件" +
                                         (result.place.empty()
                                              ? "第" + std::to_string(result.line) + "行"
                                              : result.place) +
                                         "的点"),
                    kReadFileCaption, MessageIcon::Error};
        case Status::ReadError:
            return {kInputOpenText, kReadFileCaption, MessageIcon::Error};
        case Status::OutOfMemory:
            return {kOutOfMemoryText, ApplicationName(), MessageIcon::Error};
        case Status::Cancelled:
            return {kCancelledText, ApplicationName(), MessageIcon::Warning};
        case Status::NameRefused:
            return {NameProblemText(result.line, result.nameFormat, result.codeRefused, result.token),
                    kReadFileCaption, MessageIcon::Error};
    }
    return {kOutputOpenText, kWriteFileCaption, MessageIcon::Error};
}

}  // namespace zelk
