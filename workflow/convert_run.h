// The convert button of the main dialog, without any user interface: the
// dialog copies its controls into ConvertDialogValues, calls RunConvert and,
// when told to, shows the values again.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "bursa/seven_params.h"
#include "workflow/coordinate_system.h"
#include "workflow/file_conversion.h"

struct ConvertDialogValues {
    int srcSystem = -1;  // main-list index, -1 = none selected
    int tgtSystem = -1;
    double srcMeridian = 0.0;  // packed DMS
    double tgtMeridian = 0.0;
    // Central meridian from the fields above, or from 3- or 6-degree zones.
    zelk::Zoning srcZoning = zelk::Zoning::Meridian;
    zelk::Zoning tgtZoning = zelk::Zoning::Meridian;
    double srcX = 0.0, srcY = 0.0, srcZ = 0.0;
    double tgtX = 0.0, tgtY = 0.0, tgtZ = 0.0;
    int withNames = 0;
    // The files' formats (plain by default) and angle formats of B and L;
    // withNames is the plain input's, copied in here.
    FileFormats formats;
    std::filesystem::path inputPath;   // empty = not chosen
    std::filesystem::path outputPath;  // empty = not chosen
    SevenParams params;
    // A calibration (from a parameters file) replaces the seven parameters.
    std::optional<zelk::Transformation> calibration;
};

enum class ConvertOutcome {
    Incomplete,        // a system not selected: warning shown, nothing done
    Done,              // single point and/or file converted (or nothing to do)
    InputOpenFailed,   // "读转换前文件错误！"
    OutputOpenFailed,  // "写转换后文件错误！"
    Unreadable,        // bad token or point cut short; output untouched
    PointRefused,      // the typed point or a point of the file refused; output untouched
    SettingRefused,    // a central meridian or zone setting that cannot be used
    WriteFailed,       // write error; output untouched
    OutOfMemory,       // "内存不足，文件未转换！"; output untouched
    Cancelled,         // the file conversion was cancelled; output untouched
};

// Steps of the convert button after the dialog has been read: the system
// check, the single point (skipped when srcX or srcY is exactly 0), then the
// file conversion when both paths are set, with every message shown through
// the message service. The dialog refreshes its controls only on Done.
ConvertOutcome RunConvert(ConvertDialogValues& values, const FileConversionOptions& options = {});

// RunConvert in three steps, for a caller that converts the files on
// another thread: everything before the files (messages included), the
// files without a word, then the message for how they went. RunConvert is
// ReportFileRun(ConvertFilesQuietly(...)) after PrepareConvert.
struct PreparedConvert {
    // Done when the steps before the files went through (the typed point,
    // when there is one, converted into values.tgtX/Y/Z); otherwise what
    // stopped them, its message shown.
    ConvertOutcome outcome = ConvertOutcome::Done;
    // Set when both files are to be converted, through this chain.
    std::optional<zelk::ConversionChain> chain;
};
PreparedConvert PrepareConvert(ConvertDialogValues& values);

// How a file conversion went, before anything is said about it.
struct FileRun {
    enum class Stage {
        InputOpenFailed,   // the input did not open; nothing else done
        OutputOpenFailed,  // the output did not open; nothing else done
        Converted,         // see result; committed when the output landed
    } stage = Stage::Converted;
    FileConversionResult result;
    bool committed = false;
    std::string outputProblem;  // why the output did not land, when there is more to say
};
// Opens both files, converts and commits the output only when the whole
// file converted; otherwise the old output stays as it was and the
// temporary file is gone. Both files are closed on return. Shows nothing,
// so it may run on any thread.
FileRun ConvertFilesQuietly(const ConvertDialogValues& values, const zelk::ConversionChain& chain,
                            const FileConversionOptions& options = {});
// Shows the message for a file run (the completion message when it
// committed) and returns its outcome.
ConvertOutcome ReportFileRun(const FileRun& run);

// The system of a main-list index (any entry of the catalogue) with its
// projection settings; nothing for an index outside the list.
std::optional<zelk::Crs> MainListCrs(int index, zelk::Zoning zoning, double meridian);

// What is wrong with a system's projection settings, as shown to the user
// (the empty text when nothing is): a central meridian beyond ±180 degrees,
// or zones asked of UTM. side is "转换前" or "转换后".
std::string SettingProblemText(const zelk::Crs& crs, std::string_view side);

// What is wrong with the file formats of a conversion to target, as shown
// to the user (the empty text when nothing is): KML is written, never read,
// and holds WGS84 or CGCS2000 geodetic points only.
std::string FormatProblemText(const FileFormats& formats, const zelk::Crs& target);

// The message for a problem of an input file's text at a line: file is
// "转换前文件" or "转换后文件", tail ends the message ("，文件未转换！" or
// "！"). Plain files name the token ("第N行有无法读取的数据“T”"), dat and
// csv files also the field and what is wrong with it.
std::string RecordProblemText(std::string_view file, std::int64_t line,
                              pointformat::ProblemKind kind, int field, std::string_view label,
                              std::string_view quotedToken, std::string_view tail);

// The message for a refused point. where names the point, e.g.
// "转换前文件第12行的点" or "键入的点".
std::string PointProblemText(zelk::PointProblem problem, std::string_view where);

// Shows the convert button's message for what stopped a file conversion (a
// result other than Ok): the unreadable line, a read error, a write error,
// a lack of memory or a cancellation. For callers that convert streams themselves, with the
// same texts.
void ReportFileConversionProblem(const FileConversionResult& result);

// Message texts and captions of the convert button.
inline constexpr const char* kIncompleteText = "请检查输入数据是否完整";
inline constexpr const char* kIncompleteCaption = "输入不完整";
inline constexpr const char* kReadFileCaption = "读文件出错";
inline constexpr const char* kWriteFileCaption = "写文件出错";
inline constexpr const char* kInputOpenText = "读转换前文件错误！";
inline constexpr const char* kOutputOpenText = "写转换后文件错误！";
inline constexpr const char* kConversionDoneText = "文件转换完成!";
inline constexpr const char* kSettingCaption = "输入错误";
inline constexpr const char* kTypedPoint = "键入的点";
inline constexpr const char* kOutOfMemoryText = "内存不足，文件未转换！";
inline constexpr const char* kCancelledText = "文件转换已取消，转换后文件没有改动。";
