#include "workflow/convert_run.h"

#include <cstdio>
#include <string>

#include "platform/message_box.h"
#include "workflow/conversion.h"
#include "workflow/input_file.h"

namespace {

ConvertOutcome ConvertFiles(const ConvertDialogValues& values,
                            const FileConversionOptions& options) {
    CInputFile input(values.inputPath);
    if (!input.Get()) {
        ShowMessage(kInputOpenText, kReadFileCaption, MessageIcon::Error);
        return ConvertOutcome::InputOpenFailed;
    }
    AtomicOutputFile output;
    if (!output.Open(values.outputPath)) {
        ShowMessage(kOutputOpenText, kWriteFileCaption, MessageIcon::Error);
        return ConvertOutcome::OutputOpenFailed;
    }
    const FileConversionResult result = ConvertPointFile(
        input.Get(), output.Stream(), values.withNames != 0, values.srcSystem, values.tgtSystem,
        values.srcMeridian, values.tgtMeridian, values.params, options);
    // Both files are closed (the output committed or dropped) before any
    // message is shown.
    const bool converted = result.status == FileConversionResult::Status::Ok;
    const bool committed = converted && output.Commit();
    if (!committed) output.Abandon();
    input.Close();
    if (committed) {
        ShowMessage(kConversionDoneText, ApplicationName(), MessageIcon::Warning);
        return ConvertOutcome::Done;
    }
    if (converted) {  // the conversion ran through, the output did not land
        FileConversionResult notLanded;
        notLanded.status = FileConversionResult::Status::WriteError;
        ReportFileConversionProblem(notLanded);
        return ConvertOutcome::WriteFailed;
    }
    ReportFileConversionProblem(result);
    switch (result.status) {
        case FileConversionResult::Status::Unreadable:
        case FileConversionResult::Status::CutShort:
            return ConvertOutcome::Unreadable;
        case FileConversionResult::Status::ReadError:
            return ConvertOutcome::InputOpenFailed;
        case FileConversionResult::Status::OutOfMemory:
            return ConvertOutcome::OutOfMemory;
        default:
            return ConvertOutcome::WriteFailed;
    }
}

}  // namespace

void ReportFileConversionProblem(const FileConversionResult& result) {
    using Status = FileConversionResult::Status;
    switch (result.status) {
        case Status::Ok:
            return;
        case Status::Unreadable:
        case Status::CutShort:
            // "转换前文件第%d行有无法读取的数据“%s”，文件未转换！"
            ShowMessage("转换前文件第" + std::to_string(result.line) + "行有无法读取的数据“" +
                            result.token + "”，文件未转换！",
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
    }
}

ConvertOutcome RunConvert(ConvertDialogValues& values, const FileConversionOptions& options) {
    if (values.srcSystem == -1 || values.tgtSystem == -1) {
        ShowMessage(kIncompleteText, kIncompleteCaption, MessageIcon::Warning);
        return ConvertOutcome::Incomplete;
    }
    // Exact comparisons: a point with x or y exactly 0 is no point.
    if (values.srcX != 0.0 && values.srcY != 0.0) {
        values.tgtX = values.srcX;
        values.tgtY = values.srcY;
        values.tgtZ = values.srcZ;
        ConvertPoint(values.srcSystem, values.tgtSystem, values.srcMeridian, values.tgtMeridian,
                     values.params, values.tgtX, values.tgtY, values.tgtZ);
    }
    if (values.outputPath.empty() || values.inputPath.empty()) return ConvertOutcome::Done;
    return ConvertFiles(values, options);
}
