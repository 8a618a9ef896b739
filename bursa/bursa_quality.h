// How well an estimate of the seven parameters is determined: standard
// errors, the weakness of the common points' geometry, and blunders.
//
// Input: the n pairs an estimate was made from (EstimateBursa, status Ok).
// The estimation's linearised model l = A p + v (l = target - source, A
// taken at the target points) is rewritten about the centroid c of the
// target points, with the scale and the rotations expressed as the
// displacement they cause at the points' RMS distance r from c:
//   q = (T + k c + rotation of c, k r, ex r, ey r, ez r),  p = H q,
//   H = [ I  -B/r ; 0  I/r ],
// where B holds the centroid's coordinates as in the rows of A. In q the
// normal matrix is well conditioned whatever the lever arm of 6400 km, its
// inverse is accurate, and the covariance of p is
//   C_p = s0^2 H N_q^-1 H^T,  s0^2 = v'v / (3n - 7),
// with v the estimate's residuals. Standard errors are the square roots of
// its diagonal, in user units (m, ppm, arc-seconds); they are the same in
// both rotation conventions. Raw translations correlate with the rotations
// through the centroid's position vector, so their standard errors are
// metres for a field of a few kilometres: that is no fault. Accuracy: the
// covariance to about 1e-10 relative whatever the lever arm (a Monte Carlo
// test agrees to its own 3 %); the propagation of the Gauss-Markov model's
// covariance (Koch, see bursa/least_squares.h, chapter 3).
//
// Geometry. N_q / n depends on the shape of the point set only: its
// eigenvalues are the shares of the set's spread that the seven unknowns
// see. Translations see n exactly, the scale n, a rotation about an axis e
// sum |e x d|^2 / r^2. A planar field has a condition number of about 2, a
// rectangle L x W about 1 + (L/W)^2. Two rules name parameters that the
// points do not determine (`undetermined`):
//  - shape: condition > kLineLikeCondition (1000), i.e. the points lie in a
//    band narrower than about 1/30 of its length. The rotations and the
//    scale that make up the weak eigen-directions (components of at least
//    0.3) are named, whatever the noise: a set lying exactly on a line
//    with exact coordinates gives small standard errors but cannot fix the
//    rotation about that line.
//  - size: a rotation's standard error above kWeakRotationSeconds (3") or
//    the scale's above kWeakScalePpm (15 ppm, the same displacement per
//    kilometre). Such a rotation is not distinguishable from zero nor from
//    the datum rotations of a few arc-seconds it is meant to find, and
//    through the lever arm it moves the translations by more than 90 m.
//    The points cover too small an area for their accuracy.
// These bounds are this program's. Measured on fields of 4 to 12 points:
// fields of 3 km and more with up to 2 cm noise stay quiet, fields of 1 to
// 2 km warn from about 2 cm, sites of a few hundred metres and points along
// a road or railway always warn (the tests' table holds such cases).
// Whenever a rotation or the scale is named, the three translations are too:
// they are the translation at the centroid less the rotation and scaling of
// the centroid's position vector. Criteria avoided: raw translation
// standard errors (metres on every small field) and the translation at the
// centroid (s0 / sqrt(n), determined by any geometry).
//
// Blunders: the leave-one-out test of each pair's 3-D discrepancy (see
// bursa/least_squares.h), family level 1 %, s_(i) at least 0.5 mm. The
// vector test is used rather than three per-component tests: a blunder in
// a copied x, y or H shows in a mixture of X, Y and Z, the vector statistic
// does not depend on the orientation of the axes, and one test a pair keeps
// the family small. It needs four pairs or more.
#pragma once

#include <array>

#include "bursa/helmert.h"
#include "bursa/estimate.h"
#include "bursa/least_squares.h"

namespace zelk {

inline constexpr double kLineLikeCondition = 1000.0;
inline constexpr double kWeakRotationSeconds = 3.0;
inline constexpr double kWeakScalePpm = 15.0;
inline constexpr double kBlunderFamilyLevel = 0.01;
inline constexpr double kBlunderSigmaFloor = 0.0005;  // m

struct BursaQuality {
    bool available = false;  // false: the estimate was not Ok, or not finite
    int pairs = 0;
    int redundancy = 0;      // 3n - 7
    double sigma0 = 0.0;     // m
    // Standard errors in user units; all zero when precisionKnown is false
    // (the centred normal matrix is singular: the points lie on a line to
    // within rounding).
    bool precisionKnown = false;
    SevenParams standardErrors;
    // Covariance of the estimate in internal units (m, pure number, rad),
    // row-major in BursaIndex order.
    std::array<double, kBursaCount * kBursaCount> covariance{};

    double spread = 0.0;     // r, RMS distance of the target points from their centroid, m
    double condition = 0.0;  // of N_q (infinite when singular)
    bool lineLike = false;   // shape rule
    bool tooSmall = false;   // size rule
    std::array<bool, kBursaCount> undetermined{};
    bool Warns() const { return lineLike || tooSmall; }

    // Leave-one-out test of every pair (groups = pairs, three rows each).
    OutlierTest blunders;
};

// target[i], source[i], i < n: the pairs that estimate was made from.
BursaQuality AssessBursa(const PointRecord* target, const PointRecord* source, int n,
                         const BursaEstimate& estimate);

}  // namespace zelk
