#include "workflow/convert_run.h"

#include <cstdio>
#include <string>

#include "platform/message_box.h"
#include "workflow/conversion.h"
#include "workflow/input_file.h"

namespace {

// "转换前文件第%d行有无法读取的数据“%s”，文件未转换！"
std::string UnreadableText(int line, const std::string& token) {
    return "转换前文件第" + std::to_string(line) + "行有无法读取的数据“" + token +
           "”，文件未转换！";
}


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
    switch (result.status) {
        case FileConversionResult::Status::Ok:
            if (!committed) break;
            ShowMessage(kConversionDoneText, ApplicationName(), MessageIcon::Warning);
            return ConvertOutcome::Done;
        case FileConversionResult::Status::Unreadable:
        case FileConversionResult::Status::CutShort:
            ShowMessage(UnreadableText(result.line, result.token), kReadFileCaption,
                        MessageIcon::Error);
            return ConvertOutcome::Unreadable;
        case FileConversionResult::Status::ReadError:
            ShowMessage(kInputOpenText, kReadFileCaption, MessageIcon::Error);
            return ConvertOutcome::InputOpenFailed;
        case FileConversionResult::Status::WriteError:
            break;
    }
    ShowMessage(kOutputOpenText, kWriteFileCaption, MessageIcon::Error);
    return ConvertOutcome::WriteFailed;
}

}  // namespace

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
