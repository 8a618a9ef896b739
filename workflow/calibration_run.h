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
//   three  the same with a shift of X Y Z alone (one pair or more);
//   four   before projected, after projected or the local grid; the plane
//          similarity takes before x y to after x y, a height fit is made at
//          the before points' positions: zeta = H before - H after.
// On a geoid model the height fit is made to zeta - N, N at the same plane
// positions, and also without the model for the report's comparison; seven
// parameters are then estimated with the after heights above the model
// (H + N), so that they need not take up the undulation.
//
// A plane a fit is made in (the before and a projected after system of
// four, the after system of a height fit with seven) is one plane: when
// its system is in zones, the fit belongs to the zone of the first pair's
// point on that side, every point of that side is first brought into that
// zone, and the calibration names the zone (the report says so).
//
// Every point is judged once (latitude, longitude, meridian, zone,
// finiteness) before anything is estimated; a refused point is named by
// its file and line when the pairs came from files.
//
// Plan-only and height-only control (four parameters): a value that is not
// known is kUnknown (a '*' in a pair file or the pair table). A pair whose
// heights are both known takes part in the height fit, one whose x and y
// are known on both sides in the plane fit; x and y of a side are known
// together or not at all. A height-only pair needs a plane position for
// the fit: its before x y, or else its after x y taken back through the
// plane similarity. The counts each fit needs are checked against the
// pairs it can use, and the message says what is short. Seven and three
// parameters need every value of every pair.
//
// Nothing here talks to the user: the callers (the desktop program's
// calibration dialog, zelk-cli estimate) show the report or the problem.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <cmath>
#include <cstdint>
#include <limits>

#include "bursa/bursa_quality.h"
#include "bursa/convention.h"
#include "bursa/estimate.h"
#include "bursa/height_fit.h"
#include "bursa/seven_params.h"
#include "bursa/three_params.h"
#include "workflow/coordinate_system.h"
#include "workflow/transformation.h"

namespace zelk {

// A value not known (plan-only or height-only control): a quiet NaN.
inline constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();
inline bool IsKnown(double value) { return !std::isnan(value); }

struct CalibrationSettings {
    zelk::Crs before, after;
    Transformation::Model model = Transformation::Model::Seven;
    std::optional<HeightModel> height;  // nothing: no height fit
    // The geoid model the height fit sits on: it then fits ζ − N, N the
    // model's undulation at each point's plane position (the before plane
    // of four parameters, the after plane of seven). Needs a height fit.
    std::optional<GeoidModel> geoid;
    RotationConvention convention = RotationConvention::CoordinateFrame;
};

// One pair's residuals, after minus the transformed before, metres.
struct CalibrationResidual {
    // seven, three: along X, Y, Z; four: along x, y (the third 0).
    double r[3] = {0.0, 0.0, 0.0};
    double length = 0.0;  // 3-D (seven, three) or in the plane (four)
    // The pair took part in the fit of r (false: a height-only pair of four
    // parameters; r and length are 0 and mean nothing).
    bool planeUsed = true;
    bool heightFitted = false;  // the pair took part in the height fit
    double height = 0.0;  // of the height fit, when there is one
    // On a geoid: the residual of the same fit made without the model.
    double heightWithoutGeoid = 0.0;
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
    Transformation calibration;
    // Standard errors, geometry and blunder test of seven parameters.
    std::optional<BursaQuality> quality;
    // The span of the common points and the standard error of the shift of
    // three parameters.
    std::optional<ThreeParamEstimate> three;
    std::vector<CalibrationResidual> residuals;
    // The blunder test of the plane or 3-D residuals: the pairs it needs,
    // whether it ran, how many it marked and whether it stopped with more.
    int minimumPairs = 0;
    bool tested = false;
    std::size_t suspects = 0;
    bool tooMany = false;
    // Plane positions of the points for a residual plot: before x y (four;
    // of a height-only pair, where its after x y lie on the before plane)
    // or after x y (seven, three with a projected after system); else
    // empty.
    std::vector<GridPoint> positions;
    // The height fit sat on a geoid model: the residuals carry the fit's
    // without it too, and this is its RMS.
    bool geoidCompared = false;
    double heightRmsWithoutGeoid = 0.0;
};

// Where the pairs came from, for messages about a refused point: the line
// of each point in its file (empty when the pairs were typed); both sides
// from the lines of one pair file when oneFile.
struct PairLines {
    std::vector<std::int64_t> before, after;
    bool oneFile = false;
};

// Estimates from beforeAsRead[i] and afterAsRead[i].
CalibrationEstimate EstimateCalibration(const CalibrationSettings& settings,
                                        const std::vector<PointRecord>& beforeAsRead,
                                        const std::vector<PointRecord>& afterAsRead,
                                        const PairLines& lines = {});

// The residual rows of a seven-parameter estimate (Ok) and its quality:
// X Y Z, 3-D, the leave-one-out discrepancy and the blunder mark.
std::vector<CalibrationResidual> SevenParameterResiduals(const BursaEstimate& estimate,
                                                         const BursaQuality& quality);

// What the settings cannot do (a system's projection settings, or systems
// the model cannot join), as shown to the user; empty when they can.
std::string CalibrationSettingsProblem(const CalibrationSettings& settings);

// The comment of a saved transformation: what it was made from (its
// systems, the common-point files when given) and its report.
std::string CalibrationComment(const Transformation& transformation, const std::string& report,
                               const std::string& beforeFile, const std::string& afterFile);

}  // namespace zelk
