// The transverse Mercator projection by series: Gauss-Kruger, UTM and
// Krüger's series in n.
//
// Forward: geodetic latitude B and longitude L (radians) on the ellipsoid,
// with the central meridian L0 (radians) given per call, to the northing x
// and the easting y in metres. y includes the false easting and carries no
// zone number; x includes the false northing (0 in the northern
// hemisphere, 10,000,000 m for UTM south). Reverse: the other way.
//
// One object is built from an ellipsoid, the scale k0 on the central
// meridian, the false easting and northing and the series variant, and
// never changes; Forward and Reverse are const, so one object serves any
// number of points and threads. The variants:
//
//   GaussKruger  the traditional Gauss-Kruger terms (k0 = 1 in China);
//   Utm          the UTM terms in e'² (k0 = 0.9996).
//     The power series of the transverse Mercator in A = (L − L0) cos B and
//     of its inverse in D = (y − FE)/(N1 k0), as in J. P. Snyder, Map
//     Projections: A Working Manual, USGS Professional Paper 1395 (1987),
//     pp. 60-64 (the Utm variant term for term), with the meridian arc to
//     e⁶. The six original systems use them and keep them term for term, so
//     their results stay the same to the bit. Against an exact transverse
//     Mercator on the same ellipsoid (tests/data/tmerc_reference.txt,
//     PROJ's tmerc): within 3° of the central meridian at latitudes 18° to
//     54° to 0.55 mm forward and back (the worst at 54°N, the meridian arc
//     truncated after e⁶); from 4.5° to 6° to 6 mm forward and 48 mm back.
//     Beyond 6° they mean nothing, and callers refuse such points.
//
//   Kruger       Krüger's series in the third flattening n to n⁶, as
//     C. F. F. Karney, Transverse Mercator with an accuracy of a few
//     nanometers, J. Geodesy 85:475-485 (2011), gives it: the conformal
//     latitude in closed form (sinh(e atanh(e sin φ)) by the power series
//     of both, to below 1e-18), the rectifying radius A and the
//     coefficients α and β in n, summed by Clenshaw's recurrence on the
//     complex angle, the reverse latitude by Newton's method on tan. Built
//     from a and the defining flattening of the ellipsoid. Against PROJ's
//     tmerc to 0.1 µm (the file's last digit) within 6° of the central
//     meridian, forward and back, on either hemisphere (tested to 0.1 mm);
//     the series itself, by that paper, to 5 nm within 3900 km of the
//     central meridian. For CGCS2000
//     and every system added from now on, and for UTM south (false
//     northing 10,000,000 m).
//
// Longitude differences are taken the short way round, so a point across
// the antimeridian from L0 projects as a neighbour of L0.
//
// Squares and higher powers are written as products: a library pow differs
// from the product in the last bit now and then, and every result of the
// engine is reproducible to the bit.
#pragma once

#include "engine/ellipsoid.h"

namespace zelk {

enum class TmSeries { GaussKruger, Utm, Kruger };

class TransverseMercator {
public:
    // Points a lane call takes at most.
    static constexpr int kLanes = 4;

    TransverseMercator(const Ellipsoid& ellipsoid, double k0, double falseEasting,
                       TmSeries series);
    TransverseMercator(const Ellipsoid& ellipsoid, double k0, double falseEasting,
                       double falseNorthing, TmSeries series);

    // Gauss-Kruger: scale 1, false easting 500000 m.
    static TransverseMercator GaussKruger(const Ellipsoid& ellipsoid);
    // UTM: scale 0.9996, false easting 500000 m (northern hemisphere).
    static TransverseMercator Utm(const Ellipsoid& ellipsoid);
    // Krüger's series with the given scale and false easting and northing
    // (UTM south: 0.9996, 500000, 10000000).
    static TransverseMercator Kruger(const Ellipsoid& ellipsoid, double k0, double falseEasting,
                                     double falseNorthing);

    // B, L, L0 in radians -> x, y in metres.
    void Forward(double L0, double B, double L, double& x, double& y) const;
    // Forward for count points (at most kLanes), their steps interleaved:
    // the same doubles as Forward on each point.
    void ForwardLanes(const double* L0, const double* B, const double* L, double* x, double* y,
                      int count) const;
    // x, y in metres -> B, L in radians, L in (−π', π'] where the short way
    // round from L0 crosses the antimeridian.
    void Reverse(double L0, double x, double y, double& B, double& L) const;
    // Reverse for count points (at most kLanes), their steps interleaved:
    // the same doubles as Reverse on each point.
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
    void KrugerForwardLanes(const double* L0, const double* B, const double* L, double* x,
                            double* y, int count) const;
    void KrugerReverseLanes(const double* L0, const double* x, const double* y, double* B,
                            double* L, int count) const;
    // tan of the conformal latitude, and √(1 + τ²).
    double ConformalTan(double tau, double& root) const;

    // Krüger's series: k0 times the rectifying radius, the eccentricity
    // and its square, and the coefficients α (forward) and β (reverse) of
    // sin 2jζ, j = 1..6.
    struct KrugerTerms {
        double k0A = 0, e = 0, e2 = 0;
        bool series = false;  // e small enough for SinhEAtanh's power series
        double alpha[6] = {}, beta[6] = {};
    };

    Ellipsoid m_ellipsoid;
    double m_k0;
    double m_inverseK0;  // 1/k0, multiplied, never divided by
    double m_falseEasting;
    double m_falseNorthing;
    TmSeries m_series;
    KrugerTerms m_kruger;
};

// L − L0 taken the short way round: a difference beyond a half turn (by the
// engine's pi') is brought back by a whole turn. Smaller differences pass
// unchanged, to the bit.
double LongitudeDifference(double L, double L0);
// L brought into (−pi', pi'] by a whole turn where it lies beyond.
double WrapLongitude(double L);

}  // namespace zelk
