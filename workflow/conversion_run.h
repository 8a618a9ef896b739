// A conversion as a request, and the one path every conversion takes.
//
// Both programs build a ConversionRequest from their own inputs (zelk-cli
// from names and options, the dialogs from their lists and fields), check
// it with RequestProblemText, build its chain with ChainFor and run it:
// a typed point through ConvertTypedPoint, a file (or standard input, or a
// descriptor) through ConvertFiles. Nothing here talks to the user: every
// result carries the message the programs show (MessageFor), text, caption
// and icon alike.
//
//   request -> RequestProblemText (systems, zones and meridians, formats,
//              every transformation step against the systems on either
//              side of it) -> ChainFor -> ConvertFiles: open the input (a
//              path, or "-" for standard input; a file in a format outside
//              the core through the request's ExternalFormats), open the
//              output (platform/output_file.h: beside its target, or through
//              a descriptor; or the ExternalFormats' sink), ConvertPointFile
//              (workflow/file_conversion.h) chunk by chunk on worker
//              threads, commit the output only when the whole input
//              converted -> FileRun -> MessageFor.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/message_box.h"
#include "workflow/chain.h"
#include "workflow/coordinate_system.h"
#include "workflow/file_conversion.h"
#include "workflow/geoid_model.h"
#include "workflow/point_stream.h"
#include "workflow/transformation.h"

namespace zelk {

// Where the points of a file conversion come from: a file, or standard
// input ("-").
struct PointInput {
    std::filesystem::path path;
    bool IsStandardInput() const { return path == "-"; }
};

// Where they go: a file (replaced only when the whole input converted), or
// a descriptor this program has open (descriptor >= 0: standard output for
// "-", or the descriptor a name like /dev/stdout leads to).
struct PointOutput {
    std::filesystem::path path;
    int descriptor = -1;
};

struct ConversionRequest {
    Crs from, to;
    // The heights of each side: above the ellipsoid (nothing, as GNSS gives
    // them) or above a geoid model (H = h − N), opened when the request is
    // made (OpenGeoidModel).
    std::optional<GeoidModel> fromGeoid, toGeoid;
    // Applied in order; a typed set of seven parameters is a step like a
    // parameters file. Without steps both systems must be on one datum.
    std::vector<Transformation> steps;
    FileFormats formats;
    // Both set for a file conversion.
    std::optional<PointInput> input;
    std::optional<PointOutput> output;
    // The GIS, CAD and spreadsheet formats, when the program has them (it
    // keeps them alive for the request's run); without them those formats
    // are refused.
    const ExternalFormats* external = nullptr;
};

// The one check of a request, as shown to the user (caption
// kSettingCaption); the empty text when it can run. The same request is
// refused with the same message by both programs. A geoid model that did
// not open is refused here, with its name, before anything is converted;
// so is a geoid on a geocentric or local side.
std::string RequestProblemText(const ConversionRequest& request);

// The chain of a request RequestProblemText accepts.
ConversionChain ChainFor(const ConversionRequest& request);

// Converts a typed point in place; the message for a refused point (caption
// kSettingCaption), or the empty text.
std::string ConvertTypedPoint(const ConversionChain& chain, double& a, double& b, double& c);

// How a file conversion went.
struct FileRun {
    enum class Stage {
        InputOpenFailed,   // the input did not open; nothing else done
        OutputOpenFailed,  // the output did not open; nothing else done
        Converted,         // see result; committed when the output landed
    } stage = Stage::Converted;
    FileConversionResult result;
    bool committed = false;
    std::string inputProblem;   // why the input did not open, when there is more to say
    std::string outputProblem;  // why the output did not land, when there is more to say
    // The output is a pipe whose reader stopped early (`| head`): the run
    // ended there, through no fault of the data.
    bool readerGone = false;
};

// Opens the request's input and output, converts and commits the output
// only when the whole input converted; otherwise an existing output stays
// as it was and no temporary file is left. Shows nothing, so it may run on
// any thread.
FileRun ConvertFiles(const ConversionRequest& request, const ConversionChain& chain,
                     const FileConversionOptions& options = {});

// A message for the user: the text and how a box shows it.
struct UserMessage {
    std::string text;
    std::string caption;
    MessageIcon icon = MessageIcon::Warning;
};

// The message a file run ends with: the completion message when it
// committed, else what stopped it.
UserMessage MessageFor(const FileRun& run);

// What is wrong with the file formats of a conversion to target, as shown
// to the user (the empty text when nothing is): KML is written, never read;
// KML and GeoJSON hold WGS84 or CGCS2000 geodetic points only.
std::string FormatProblemText(const FileFormats& formats, const Crs& target);

// What keeps the files of a request in formats outside the core from being
// read or written (the empty text when nothing does): a program without
// them (built without GDAL), or standard input or output, which those
// formats cannot be read from or written to.
std::string ExternalFormatProblemText(const ConversionRequest& request);

// The message for a problem of an input file's text at a line: file is
// "转换前文件" or "转换后文件", tail ends the message ("，文件未转换！" or
// "！"). Plain files name the token ("第N行有无法读取的数据“T”"), dat and
// csv files also the field and what is wrong with it.
std::string RecordProblemText(std::string_view file, std::int64_t line,
                              pointformat::ProblemKind kind, int field, std::string_view label,
                              std::string_view quotedToken, std::string_view tail);

// The message for a refused point. where names the point, e.g.
// "转换前文件第12行的点" or "键入的点".
std::string PointProblemText(PointProblem problem, std::string_view where);

// Message texts and captions of conversions.
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

}  // namespace zelk
