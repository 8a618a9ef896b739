// Geodetic <-> earth-centred cartesian coordinates, for several points at a
// time.
//
// B L H (latitude, longitude, ellipsoidal height) on an ellipsoid <-> X Y Z
// in metres in the ellipsoid's earth-centred frame. The forward direction
// is closed-form. The reverse direction iterates latitude and height from a
// start on a sphere of radius sqrt(ab), at most ten passes, stopping once
// the height no longer changes; for points near the earth's surface a round
// trip holds to well under a millimetre. On the polar axis the longitude is
// 0/0.
//
// Each point goes through the very same operations in the very same order as
// the one-point members of CEllipsoid (which are written in terms of these),
// so the results are identical to the last bit; only the instructions of
// different points are interleaved, so that the processor works on one point
// while another waits for a result. A batch holds 1 to kBatchLanes points.
#pragma once

#include "engine/ellipsoid.h"

namespace zelk {

inline constexpr int kBatchLanes = 4;

// Longitude of X and Y in (-pi, pi]: the arctangent of Y/X, with the engine's
// half-turn added east of 90 degrees and subtracted west of -90 degrees.
double LongitudeOf(double X, double Y);

// Earth-centred X Y Z -> B, L (packed DMS) and H on the ellipsoid e. xyz
// holds X Y Z of each point in turn and receives B L H.
void CartesianToGeodeticBatch(const zelk::Ellipsoid& e, double* xyz, int count);

// B, L (radians) and H -> earth-centred X Y Z on the ellipsoid e.
void GeodeticToCartesianBatch(const zelk::Ellipsoid& e, const double* B, const double* L,
                              const double* H, double* X, double* Y, double* Z, int count);

}  // namespace zelk
