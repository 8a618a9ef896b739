// An estimation as a request, and the one path every estimation takes: the
// seven-parameter dialog's and the calibration dialog's compute buttons and
// zelk-cli estimate.
//
//   request -> CalibrationSettingsProblem -> read the two common-point files
//   in step, as read (ReadCommonPoints) -> EstimateCalibration
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

// The format of both common-point files, and the angle format of B and L
// in each (geodetic systems).
struct CommonPointFormats {
    pointformat::FileFormat format = pointformat::FileFormat::Plain;  // plain, dat, csv
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
    } status = Status::Ok;
    bool inAfterFile = false;  // which file the problem is in
    std::int64_t line = 0;
    std::string token;  // as pointscan::QuoteToken quotes it
    // Unreadable in a dat or csv file: what is wrong, the field and its label.
    pointformat::ProblemKind kind = pointformat::ProblemKind::Unreadable;
    int field = 0;
    std::string label;
};

// The pairs read, as read (x y H, B L H or X Y Z of each side's system),
// with the line of each point and, when the before file has names (dat,
// csv), each pair's name as pointscan::QuoteToken shows it.
struct CommonPoints {
    std::vector<PointRecord> before, after;
    PairLines lines;
    std::vector<std::string> names;
};

// The most pairs one estimation takes. The pairs and the estimation's own
// arrays cost some 750 bytes a pair, so memory stays near 150 MB for any
// pair of files; no sound estimation needs more common points than this.
inline constexpr std::size_t kMaxCommonPoints = 200000;

// Reads pairs until either file ends (the longer file's rest is ignored),
// appending each point as read. Nothing is converted or judged here.
CommonPointsResult ReadCommonPoints(std::FILE* beforeFile, std::FILE* afterFile,
                                    const Crs& beforeSystem, const Crs& afterSystem,
                                    const CommonPointFormats& formats, CommonPoints& points);

enum class EstimationOutcome {
    BeforeOpenFailed,  // "打开转换前文件错误！"
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
    std::filesystem::path beforeFile, afterFile;
};

struct EstimationRun {
    EstimationOutcome outcome = EstimationOutcome::SettingRefused;
    // The report when Estimated (information), else the problem.
    UserMessage message;
    CalibrationEstimate estimate;
    std::vector<std::string> names;  // of the pairs, from a dat or csv before file
};

// Checks the settings, reads both files and estimates.
EstimationRun RunEstimation(const EstimationRequest& request);

// The message and outcome of an estimate made from pairs however they came.
EstimationRun FinishEstimation(CalibrationEstimate estimate);

inline constexpr const char* kBeforeOpenText = "打开转换前文件错误！";
inline constexpr const char* kAfterOpenText = "打开转换后文件错误！";

}  // namespace zelk
