// The transverse Mercator projection by series: Gauss-Kruger and UTM.
//
// Forward: geodetic latitude B and longitude L (radians) on the ellipsoid,
// with the central meridian L0 (radians) given per call, to the northing x
// and the easting y in metres. y includes the false easting and carries no
// zone number; x includes the false northing (0 for both kinds in use).
// Reverse: the other way, through the footpoint latitude.
//
// One object is built from an ellipsoid, the scale k0 on the central
// meridian, the false easting and the series variant, and never changes;
// Forward and Reverse are const, so one object serves any number of points
// and threads. Two variants of the sixth-order series are in use and are
// kept as they always were, term for term:
//   GaussKruger  the traditional Gauss-Kruger terms (k0 = 1 in China);
//   Utm          the UTM terms in e'² (k0 = 0.9996).
// Source: the power series of the transverse Mercator in A = (L − L0) cos B
// and of its inverse in D = (y − FE)/(N1 k0), as in J. P. Snyder, Map
// Projections: A Working Manual, USGS Professional Paper 1395 (1987),
// pp. 60-64 (the Utm variant term for term), with the meridian arc to e⁶.
//
// Range and accuracy: within 3° of the central meridian, at latitudes of
// China (18° to 54°), a forward-then-reverse round trip holds to 1 mm,
// and the series agree with an exact transverse Mercator to 0.4 mm (the
// points of tests/data/reference_points.txt; most of it is the meridian arc
// truncated after e⁶). Up to 6° they degrade to centimetres; beyond 6° they
// mean nothing, and callers refuse such points. Longitude differences are taken the short way round, so a
// point across the antimeridian from L0 projects as a neighbour of L0.
//
// Squares and higher powers are written as products: a library pow differs
// from the product in the last bit now and then, and every result of the
// engine is reproducible to the bit.
#pragma once

#include "engine/ellipsoid.h"

namespace zelk {

enum class TmSeries { GaussKruger, Utm };

class TransverseMercator {
public:
    TransverseMercator(const Ellipsoid& ellipsoid, double k0, double falseEasting,
                       TmSeries series);
    // With a false northing (added to every x).
    TransverseMercator(const Ellipsoid& ellipsoid, double k0, double falseEasting,
                       double falseNorthing, TmSeries series);

    // Gauss-Kruger: scale 1, false easting 500000 m.
    static TransverseMercator GaussKruger(const Ellipsoid& ellipsoid);
    // UTM: scale 0.9996, false easting 500000 m (northern hemisphere).
    static TransverseMercator Utm(const Ellipsoid& ellipsoid);

    // B, L, L0 in radians -> x, y in metres.
    void Forward(double L0, double B, double L, double& x, double& y) const;
    // x, y in metres -> B, L in radians, L in (−π', π'] where the short way
    // round from L0 crosses the antimeridian.
    void Reverse(double L0, double x, double y, double& B, double& L) const;
    // Reverse for count points (at most kLanes), their steps interleaved:
    // the same doubles as Reverse on each point.
    static constexpr int kLanes = 4;
    void ReverseLanes(const double* L0, const double* x, const double* y, double* B, double* L,
                      int count) const;

    const Ellipsoid& Shape() const { return m_ellipsoid; }
    double ScaleFactor() const { return m_k0; }
    double FalseEasting() const { return m_falseEasting; }
    double FalseNorthing() const { return m_falseNorthing; }
    TmSeries Series() const { return m_series; }

private:
    // Distance along the central meridian from the equator to latitude B.
    double MeridianArc(double B) const;

    Ellipsoid m_ellipsoid;
    double m_k0;
    double m_inverseK0;  // 1/k0, multiplied, never divided by
    double m_falseEasting;
    double m_falseNorthing;
    TmSeries m_series;
};

// L − L0 taken the short way round: a difference beyond a half turn (by the
// engine's pi') is brought back by a whole turn. Smaller differences pass
// unchanged, to the bit.
double LongitudeDifference(double L, double L0);
// L brought into (−pi', pi'] by a whole turn where it lies beyond.
double WrapLongitude(double L);

}  // namespace zelk
