// An estimation as a request, and the one path every estimation takes: the
// seven-parameter dialog's and the calibration dialog's compute buttons and
// zelk-cli estimate.
//
//   request -> CalibrationSettingsProblem -> read the common points as read:
//   one file of named pairs (workflow/pair_file.h), or two files paired by
//   name (dat, csv) or in step (plain) (ReadCommonPoints) -> EstimateCalibration
//   (workflow/calibration_run.h: every point judged once, the model
//   estimated, the report written) -> EstimationRun, with the message the
//   programs show.
//
// Pairs typed into a table skip the reading and go to EstimateCalibration
// directly. Nothing here talks to the user.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bursa/seven_params.h"
#include "workflow/calibration_run.h"
#include "workflow/chain.h"
#include "workflow/conversion_run.h"
#include "workflow/coordinate_system.h"
#include "workflow/point_formats.h"

namespace zelk {

// The format of both common-point files (plain, dat, csv) or of a pair file
// (plain, csv), and the angle format of B and L on each side (geodetic
// systems).
struct CommonPointFormats {
    pointformat::FileFormat format = pointformat::FileFormat::Plain;
    AngleFormat beforeAngles = AngleFormat::Packed;
    AngleFormat afterAngles = AngleFormat::Packed;
};

struct CommonPointsResult {
    enum class Status {
        Ok,
        Unreadable,
        CutShort,
        ReadError,
        TooManyPairs,  // more than kMaxCommonPoints: line is the first pair not taken
        DuplicateName,  // a name twice in one dat or csv file: line, firstLine, token
        NamesTooLong,   // the names of two dat or csv files beyond kMaxNameBytes: line
        NoCommonName,   // two dat or csv files without a name in common
    } status = Status::Ok;
    bool inAfterFile = false;  // which file the problem is in
    bool inPairFile = false;   // the problem is in a pair file
    std::int64_t firstLine = 0;  // DuplicateName: the name's first line
    std::int64_t line = 0;
    std::string token;  // as pointscan::QuoteToken quotes it
    // Unreadable in a dat or csv file: what is wrong, the field and its label.
    pointformat::ProblemKind kind = pointformat::ProblemKind::Unreadable;
    int field = 0;
    std::string label;
};

// A point of a dat or csv file whose name the other file does not have.
struct UnmatchedName {
    bool inAfterFile = false;
    std::int64_t line = 0;
    std::string name;  // as pointscan::QuoteToken shows it
};

// The pairs read, as read (x y H, B L H or X Y Z of each side's system),
// with the line of each point and, when the files have names (dat, csv, a
// pair file), each pair's name as pointscan::QuoteToken shows it. Two dat
// or csv files are paired by name, in the order of the before file; the
// points of either file whose name the other lacks are listed, in file
// order, and take no part.
struct CommonPoints {
    std::vector<PointRecord> before, after;
    PairLines lines;
    std::vector<std::string> names;
    std::vector<UnmatchedName> unmatched;
};

// The most pairs one estimation takes. The pairs and the estimation's own
// arrays cost some 750 bytes a pair, so memory stays near 150 MB for any
// pair of files; no sound estimation needs more common points than this.
inline constexpr std::size_t kMaxCommonPoints = 200000;
// The most bytes of names two files paired by name may hold together.
inline constexpr std::size_t kMaxNameBytes = 64u << 20;

// Two plain files: reads pairs until either file ends (the longer file's
// rest is ignored). Two dat or csv files: reads both whole (at most
// kMaxCommonPoints points each) and pairs them by name; a name twice in
// one file is refused. Appends each pair as read; nothing is converted or
// judged here.
CommonPointsResult ReadCommonPoints(std::FILE* beforeFile, std::FILE* afterFile,
                                    const Crs& beforeSystem, const Crs& afterSystem,
                                    const CommonPointFormats& formats, CommonPoints& points);

enum class EstimationOutcome {
    BeforeOpenFailed,  // "打开转换前文件错误！" (or "打开公共点文件错误！" for a pair file)
    AfterOpenFailed,   // "打开转换后文件错误！"
    Unreadable,        // bad token, point cut short or point refused in one of the files
    TooManyPairs,      // more than kMaxCommonPoints pairs
    SettingRefused,    // a setting that cannot be used, or systems the model cannot join
    TooFewPoints,      // fewer pairs than the model needs
    Singular,          // the pairs cannot fix the model
    Estimated,         // the report is the message
};

struct EstimationRequest {
    CalibrationSettings settings;
    CommonPointFormats formats;
    // A pair file, or else the two files.
    std::filesystem::path pairFile;
    std::filesystem::path beforeFile, afterFile;
};

struct EstimationRun {
    EstimationOutcome outcome = EstimationOutcome::SettingRefused;
    // The report when Estimated (information), else the problem.
    UserMessage message;
    CalibrationEstimate estimate;
    std::vector<std::string> names;  // of the pairs, from names in the files
};

// Checks the settings, reads both files and estimates.
EstimationRun RunEstimation(const EstimationRequest& request);

// The message and outcome of an estimate made from pairs however they came.
EstimationRun FinishEstimation(CalibrationEstimate estimate);

// What the message of an estimation from two files paired by name adds:
// how many pairs, and the points without a partner with their lines (the
// first kListedNames of each file); empty when every name paired.
std::string UnmatchedNamesText(const CommonPoints& points);
inline constexpr std::size_t kListedNames = 20;

inline constexpr const char* kBeforeOpenText = "打开转换前文件错误！";
inline constexpr const char* kAfterOpenText = "打开转换后文件错误！";
inline constexpr const char* kPairsOpenText = "打开公共点文件错误！";

}  // namespace zelk
