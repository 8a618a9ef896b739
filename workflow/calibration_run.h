// A site calibration from common points, without any user interface: the
// seven parameters or the four-parameter plane similarity, each with an
// optional height fit, estimated from pairs of points given as they were
// read (x y H, B L H or X Y Z of each side's system), with the report the
// user reads and a residual row per pair.
//
//   seven  X Y Z of both sides on their own datums (any systems but the
//          local grid); a height fit needs a projected after system and is
//          made at the converted points' plane positions: zeta = H of a
//          before point converted with the seven parameters - H after;
//   four   before projected, after projected or the local grid; the plane
//          similarity takes before x y to after x y, a height fit is made at
//          the before points' positions: zeta = H before - H after.
//
// Nothing here talks to the user: the callers (the desktop program's
// calibration dialog, zelk-cli estimate) show the report or the problem.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "bursa/bursa_quality.h"
#include "bursa/convention.h"
#include "bursa/estimate.h"
#include "bursa/height_fit.h"
#include "bursa/seven_params.h"
#include "workflow/coordinate_system.h"
#include "workflow/parameter_file.h"

namespace zelk {

struct CalibrationSettings {
    zelk::Crs before, after;
    Calibration::Model model = Calibration::Model::Seven;
    std::optional<HeightModel> height;  // nothing: no height fit
    RotationConvention convention = RotationConvention::CoordinateFrame;
};

// One pair's residuals, after minus the transformed before, metres.
struct CalibrationResidual {
    // seven: along X, Y, Z; four: along x, y (the third 0).
    double r[3] = {0.0, 0.0, 0.0};
    double length = 0.0;  // 3-D (seven) or in the plane (four)
    bool heightFitted = false;
    double height = 0.0;  // of the height fit, when there is one
    bool suspect = false;  // marked by a blunder test (plane, 3-D or height)
    double leftOut = 0.0;  // discrepancy when fitted without this pair, when tested
    // The residual in the plane of the estimate's positions (x north, y
    // east), for a residual plot: four, the plane residual; seven, after x y
    // minus the before point converted into the after grid. Zero without
    // positions.
    double plane[2] = {0.0, 0.0};
};

struct CalibrationEstimate {
    enum class Status {
        Estimated,
        SystemsRefused,  // the model cannot join these systems (message)
        PointRefused,    // a pair the systems refuse (message names the pair)
        TooFewPoints,    // fewer pairs than the model needs (message)
        Singular,        // the pairs cannot fix the model (message)
    } status = Status::SystemsRefused;
    std::string message;  // the report when Estimated, else the problem
    Calibration calibration;
    std::vector<CalibrationResidual> residuals;
    // The blunder test of the plane or 3-D residuals: the pairs it needs,
    // whether it ran, how many it marked and whether it stopped with more.
    int minimumPairs = 0;
    bool tested = false;
    std::size_t suspects = 0;
    bool tooMany = false;
    // Plane positions of the points for a residual plot: before x y (four)
    // or after x y (seven with a projected after system); else empty.
    std::vector<GridPoint> positions;
};

// Estimates from beforeAsRead[i] and afterAsRead[i].
CalibrationEstimate EstimateCalibration(const CalibrationSettings& settings,
                                        const std::vector<PointRecord>& beforeAsRead,
                                        const std::vector<PointRecord>& afterAsRead);

// The residual rows of a seven-parameter estimate (Ok) and its quality:
// X Y Z, 3-D, the leave-one-out discrepancy and the blunder mark.
std::vector<CalibrationResidual> SevenParameterResiduals(const BursaEstimate& estimate,
                                                         const BursaQuality& quality);

// What the settings cannot do, as shown to the user; empty when they can.
std::string CalibrationSettingsProblem(const CalibrationSettings& settings);

// The comment of a saved calibration: what it was made from and its report.
std::string CalibrationComment(const CalibrationSettings& settings, const std::string& report,
                               const std::string& beforeFile, const std::string& afterFile);

}  // namespace zelk
