// The compute button of the seven-parameter dialog, without any user
// interface: read two common-point files in step, bring every point to X Y Z
// of its own datum and estimate the parameters.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bursa/bursa_quality.h"
#include "bursa/seven_params.h"
#include "workflow/calibration_run.h"
#include "workflow/chain.h"
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

struct BursaDialogValues {
    int beforeSystem = -1;  // seven-parameter-list index, -1 = none selected
    int afterSystem = -1;
    double beforeMeridian = 0.0;  // packed DMS
    double afterMeridian = 0.0;
    // Central meridian from the fields above, or from 3- or 6-degree zones.
    zelk::Zoning beforeZoning = zelk::Zoning::Meridian;
    zelk::Zoning afterZoning = zelk::Zoning::Meridian;
    CommonPointFormats formats;
    std::filesystem::path beforeFile;  // empty = not chosen
    std::filesystem::path afterFile;
    double dX0 = 0.0, dY0 = 0.0, dZ0 = 0.0;  // metres
    double K = 0.0;                          // ppm
    double betaX = 0.0, betaY = 0.0, betaZ = 0.0;  // arc-seconds
};

struct CommonPointsResult {
    enum class Status {
        Ok,
        Unreadable,
        CutShort,
        PointRefused,
        ReadError,
        TooManyPairs,  // more than kMaxCommonPoints: line is the first pair not taken
    } status = Status::Ok;
    bool inAfterFile = false;  // which file the problem is in
    std::int64_t line = 0;
    std::string token;  // as pointscan::QuoteToken quotes it
    zelk::PointProblem problem = zelk::PointProblem::None;  // PointRefused
    // Unreadable in a dat or csv file: what is wrong, the field and its label.
    pointformat::ProblemKind kind = pointformat::ProblemKind::Unreadable;
    int field = 0;
    std::string label;
};

// The pairs read: X Y Z of each point on its own datum, and optionally the
// values as they were read (x y H, B L H or X Y Z of its system).
struct CommonPoints {
    std::vector<PointRecord> before, after;
    std::vector<PointRecord>* beforeAsRead = nullptr;
    std::vector<PointRecord>* afterAsRead = nullptr;
    // The before file's point names, as pointscan::QuoteToken shows them
    // (empty in plain files, which have none).
    std::vector<std::string>* names = nullptr;
};

// The most pairs one estimation takes. The pairs and the estimation's own
// arrays cost some 750 bytes a pair, so memory stays near 150 MB for any
// pair of files; no sound estimation needs more common points than this.
inline constexpr std::size_t kMaxCommonPoints = 200000;

// Reads pairs until either file ends (the longer file's rest is ignored),
// appending X Y Z of each before point and after point on its own datum.
// A point the conversion refuses (see zelk::PointProblem) stops the reading.
// The buffers grow as needed.
CommonPointsResult ReadCommonPoints(std::FILE* beforeFile, std::FILE* afterFile,
                                    const zelk::Crs& beforeSystem, const zelk::Crs& afterSystem,
                                    const CommonPointFormats& formats, CommonPoints& points);
// The same for plain files.
CommonPointsResult ReadCommonPoints(std::FILE* beforeFile, std::FILE* afterFile,
                                    const zelk::Crs& beforeSystem, const zelk::Crs& afterSystem,
                                    std::vector<PointRecord>& before,
                                    std::vector<PointRecord>& after);

// The system of a seven-parameter-list index (any entry of the catalogue)
// with its projection settings; nothing for an index outside the list.
std::optional<zelk::Crs> ParamListCrs(int index, zelk::Zoning zoning, double meridian);

enum class EstimationOutcome {
    Incomplete,        // a system or a file missing: warning shown
    BeforeOpenFailed,  // "打开转换前文件错误！"
    AfterOpenFailed,   // "打开转换后文件错误！"
    Unreadable,        // bad token, point cut short or point refused in one of the files
    TooManyPairs,      // more than kMaxCommonPoints pairs
    SettingRefused,    // a central meridian or zone setting that cannot be used
    TooFewPoints,      // fewer than three pairs: "公共点不足3个，无法解算七参数！"
    Singular,          // singular normal equations (reported by the estimation)
    Estimated,         // report shown (SevenParameterReport), the seven values replaced
};

struct EstimationRunResult {
    EstimationOutcome outcome = EstimationOutcome::Incomplete;
    int iterations = 0;  // the estimation's counter when Estimated
    // The final estimate in internal units (translations in metres, scale as
    // a pure number, rotations in radians) when Estimated.
    std::array<double, 7> internal{};
    // The pairs as X Y Z, kept for callers that look at residuals.
    std::vector<PointRecord> before, after;
    // Standard errors, geometry and the blunder test of the estimate, when
    // Estimated.
    BursaQuality quality;
    // Each pair's residual row (SevenParameterResiduals) and the report
    // shown, when Estimated.
    std::vector<CalibrationResidual> residuals;
    std::string report;
};

// Steps of the compute button after the dialog has been read. On Estimated
// the seven values of `values` hold the estimate; otherwise they are
// unchanged. Every message goes through the message service. The dialog
// refreshes its controls only on Estimated.
EstimationRunResult RunEstimation(BursaDialogValues& values);

// The same steps for a site calibration of any model (the settings' systems
// are the dialog's): the report or the problem is shown through the message
// service; outcome Estimated when the estimate is there.
struct CalibrationRunResult {
    EstimationOutcome outcome = EstimationOutcome::Incomplete;
    CalibrationEstimate estimate;
    std::vector<std::string> names;  // of the pairs, from a dat or csv before file
};
CalibrationRunResult RunCalibration(const BursaDialogValues& values,
                                    CalibrationSettings settings);

inline constexpr const char* kBeforeOpenText = "打开转换前文件错误！";
inline constexpr const char* kAfterOpenText = "打开转换后文件错误！";

}  // namespace zelk
