// Sign conventions of the three rotations of a seven-parameter set.
//
// The engine applies X' = (1 + K) R X + T with the small-angle matrix
//   R = [ 1   bz -by ;  -bz  1   bx ;  by -bx  1 ]
// (angles in radians, K a pure number; the user's units are arc-seconds and
// ppm), which is the coordinate-frame rotation (the axes turn, the point
// stays; EPSG method 9607, IOGP Guidance Note 7-2). The position-vector
// convention (the point turns, the axes stay; EPSG method 9606) uses R^T,
// which for this linearised matrix is the same matrix with the three angles
// negated. The conversion between the two is therefore exact, for any
// values: the translations and the scale stay, the rotations change sign.
// Standard errors are the same in both. Applied to points, both agree with
// an independent implementation of either convention to 1e-6 m (test data
// in tests/data).
//
// Estimating in the position-vector convention is estimating in the
// coordinate frame and converting; applying a position-vector set is
// converting it and applying the result.
#pragma once

#include <optional>
#include <string_view>

#include "bursa/seven_params.h"

namespace zelk {

enum class RotationConvention {
    CoordinateFrame,  // the engine's, and the default
    PositionVector,
};

// "coordinate-frame" or "position-vector", as on the command line and in
// parameter files.
const char* ConventionName(RotationConvention convention);
std::optional<RotationConvention> ConventionFromName(std::string_view name);

// The same transformation written in convention `to`.
SevenParams ConvertConvention(const SevenParams& params, RotationConvention from,
                              RotationConvention to);

// Applies params, written in `convention`, to one earth-centred point
// through the engine's arithmetic (ApplyBursa), so the result is bit for
// bit the engine's for the coordinate-frame equivalent.
PointRecord ApplySevenParams(const SevenParams& params, RotationConvention convention,
                             const PointRecord& point);
// The exact inverse of ApplySevenParams (ApplyBursaInverse): the point that
// params, written in `convention`, take to point.
PointRecord ApplySevenParamsInverse(const SevenParams& params, RotationConvention convention,
                                    const PointRecord& point);

}  // namespace zelk
