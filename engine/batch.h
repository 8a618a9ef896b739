// The engine's computations for several points at a time.
//
// Each point goes through the very same operations in the very same order as
// the one-point members of CEllipsoid (which are written in terms of these),
// so the results are identical to the last bit; only the instructions of
// different points are interleaved, so that the processor works on one point
// while another waits for a result. A batch holds 1 to kBatchLanes points.
#pragma once

class CEllipsoid;

inline constexpr int kBatchLanes = 4;

// Longitude of X and Y in (-pi, pi]: the arctangent of Y/X, with the engine's
// half-turn added east of 90 degrees and subtracted west of -90 degrees.
double LongitudeOf(double X, double Y);

// Earth-centred X Y Z -> B, L (packed DMS) and H on the ellipsoid of e. xyz
// holds X Y Z of each point in turn and receives B L H.
void CartesianToGeodeticBatch(const CEllipsoid& e, double* xyz, int count);

// B, L (radians) and H -> earth-centred X Y Z on the ellipsoid of e.
void GeodeticToCartesianBatch(const CEllipsoid& e, const double* B, const double* L,
                              const double* H, double* X, double* Y, double* Z, int count);

// The inverse projection series, Gauss-Kruger or UTM, on the central meridian
// stored in e: northing x and easting y (metres) -> B and L in radians.
void PlaneToGeodeticBatch(const CEllipsoid& e, bool utm, const double* x, const double* y,
                          double* B, double* L, int count);
