#include "workflow/chain.h"

#include <algorithm>
#include <cmath>

#include "bursa/helmert.h"
#include "engine/angle.h"
#include "engine/geocentric.h"
#include "engine/transverse_mercator.h"
#include "grids/geoid_grid.h"
#include "platform/number_text.h"

namespace zelk {

namespace {

constexpr int kLanes = kBatchLanes;
static_assert(kLanes == TransverseMercator::kLanes);

// Limits in radians, from the same packed DMS arithmetic as the points.
struct Limits {
    double quarterTurn = DmsToRadian(90.0);
    double halfTurn = DmsToRadian(180.0);
    double zoneHalfWidth = DmsToRadian(6.0);  // the farthest a point may lie from its meridian
};
const Limits& Limit() {
    static const Limits limits;
    return limits;
}

void Mark(PointProblem& mark, PointProblem problem) {
    if (mark == PointProblem::None) mark = problem;
}

// Calls body(first, lanes) for each group of at most kLanes points.
template <typename Body>
void InLanes(std::size_t count, Body&& body) {
    for (std::size_t i = 0; i < count; i += kLanes) {
        body(i, static_cast<int>(std::min<std::size_t>(kLanes, count - i)));
    }
}

// The projection of a system. The grid of its datum with the series of its
// datum: the original datums' series, every double as it always was;
// Krüger's for CGCS2000. A grid of its own (a system of the user's own, UTM
// south): Krüger's series with the grid's constants, its projection plane
// folded in. Krüger's series is accurate to 0.1 mm at 6° from the meridian,
// whatever meridian a published definition chose.
TransverseMercator ProjectionOf(const Crs& crs) {
    if (crs.HasDatumGrid()) {
        const Datum& datum = DatumOf(crs.datum);
        switch (datum.series) {
            case TmSeries::Utm: return TransverseMercator::Utm(datum.ellipsoid);
            case TmSeries::GaussKruger: return TransverseMercator::GaussKruger(datum.ellipsoid);
            case TmSeries::Kruger: break;
        }
    }
    const GridConstants grid = ProjectionConstants(crs);
    return TransverseMercator::Kruger(EllipsoidOf(crs), grid.scale, grid.falseEasting, grid.falseNorthing);
}

// The grid x y of a group of lanes (triples of v from first) to B L in
// radians through the inverse projection, each on its own central meridian
// L0: the system's, or in zones the zone's (fixedZone, else the easting's
// prefix, which is taken off y). Marks a point without a usable zone
// (SourceZone) and one farther from its meridian than a zone reaches
// (SourceMeridian).
void GridToGeodeticLanes(const TransverseMercator& projection, Zoning zoning, int fixedZone,
                         double meridian, const double* v, PointProblem* problems, std::size_t first,
                         int lanes, double* L0, double* B, double* L) {
    double x[kLanes] = {}, y[kLanes] = {};
    for (int j = 0; j < lanes; ++j) {
        const double* p = v + 3 * (first + j);
        x[j] = p[0];
        y[j] = p[1];
        L0[j] = meridian;
        if (zoning != Zoning::Meridian) {
            const int zone = fixedZone != 0 ? fixedZone : ZoneOfEasting(zoning, p[1]);
            if (zone != 0) {
                L0[j] = DmsToRadian(ZoneMeridian(zoning, zone));
                y[j] = p[1] - zone * 1e6;
            } else {
                Mark(problems[first + j], PointProblem::SourceZone);
            }
        }
    }
    projection.ReverseLanes(L0, x, y, B, L, lanes);
    for (int j = 0; j < lanes; ++j) {
        if (!(std::fabs(LongitudeDifference(L[j], L0[j])) <= Limit().zoneHalfWidth)) {
            Mark(problems[first + j], PointProblem::SourceMeridian);
        }
    }
}

// Projected x y H -> B L H in packed DMS. With zones, each easting carries
// its zone number in front.
class PlaneToGeodetic final : public ChainStep {
public:
    explicit PlaneToGeodetic(const Crs& crs)
        : m_projection(ProjectionOf(crs)),
          m_zoning(crs.zoning),
          m_meridian(DmsToRadian(crs.meridian)) {}

    void Apply(double* v, PointProblem* problems, std::size_t count) const override {
        InLanes(count, [&](std::size_t first, int lanes) {
            double L0[kLanes] = {}, B[kLanes], L[kLanes];
            GridToGeodeticLanes(m_projection, m_zoning, 0, m_meridian, v, problems, first, lanes, L0, B, L);
            const Limits& limit = Limit();
            for (int j = 0; j < lanes; ++j) {
                // After a meridian problem this marks nothing (the first stays).
                if (!(std::fabs(B[j]) <= limit.quarterTurn)) {
                    Mark(problems[first + j], PointProblem::LatitudeRange);
                }
                double* p = v + 3 * (first + j);
                p[0] = RadianToDms(B[j]);
                p[1] = RadianToDms(L[j]);
            }
        });
    }

private:
    TransverseMercator m_projection;
    Zoning m_zoning;
    double m_meridian;  // rad
};

// B L H (packed DMS) -> X Y Z. The source side judges the angles it is given.
class GeodeticToGeocentric final : public ChainStep {
public:
    GeodeticToGeocentric(const Ellipsoid& ellipsoid, bool judge)
        : m_ellipsoid(ellipsoid), m_judge(judge) {}

    void Apply(double* v, PointProblem* problems, std::size_t count) const override {
        InLanes(count, [&](std::size_t first, int lanes) {
            double B[kLanes], L[kLanes], H[kLanes], X[kLanes], Y[kLanes], Z[kLanes];
            for (int j = 0; j < lanes; ++j) {
                const double* p = v + 3 * (first + j);
                B[j] = DmsToRadian(p[0]);
                L[j] = DmsToRadian(p[1]);
                H[j] = p[2];
            }
            if (m_judge) {
                const Limits& limit = Limit();
                for (int j = 0; j < lanes; ++j) {
                    if (!(std::fabs(B[j]) <= limit.quarterTurn)) {
                        Mark(problems[first + j], PointProblem::LatitudeRange);
                    } else if (!(std::fabs(L[j]) <= limit.halfTurn)) {
                        Mark(problems[first + j], PointProblem::LongitudeRange);
                    }
                }
            }
            GeodeticToCartesianBatch(m_ellipsoid, B, L, H, X, Y, Z, lanes);
            for (int j = 0; j < lanes; ++j) {
                double* p = v + 3 * (first + j);
                p[0] = X[j];
                p[1] = Y[j];
                p[2] = Z[j];
            }
        });
    }

private:
    Ellipsoid m_ellipsoid;
    bool m_judge;
};

// The seven-parameter step, in the engine's coordinate-frame arithmetic
// (a position-vector set is turned into the same transformation written in
// coordinate frame first); backwards, its exact inverse.
class Helmert final : public ChainStep {
public:
    // inverse: the exact inverse of the step (from its after X Y Z back to
    // its before), never the step with its parameters negated.
    Helmert(const SevenParams& params, RotationConvention convention, bool inverse = false)
        : m_inverse(inverse) {
        ParamsToInternal(
            ConvertConvention(params, convention, RotationConvention::CoordinateFrame),
            m_internal);
    }

    void Apply(double* v, PointProblem*, std::size_t count) const override {
        for (std::size_t i = 0; i < count; ++i) {
            double* p = v + 3 * i;
            const PointRecord in{p[0], p[1], p[2]};
            const PointRecord out = m_inverse ? ApplyBursaInverse(m_internal, in) : ApplyBursa(m_internal, in);
            p[0] = out.X;
            p[1] = out.Y;
            p[2] = out.Z;
        }
    }

private:
    bool m_inverse;
    double m_internal[kBursaCount];
};

// X Y Z -> B L H in packed DMS.
class GeocentricToGeodetic final : public ChainStep {
public:
    explicit GeocentricToGeodetic(const Ellipsoid& ellipsoid) : m_ellipsoid(ellipsoid) {}

    void Apply(double* v, PointProblem*, std::size_t count) const override {
        InLanes(count, [&](std::size_t first, int lanes) {
            CartesianToGeodeticBatch(m_ellipsoid, v + 3 * first, lanes);
        });
    }

private:
    Ellipsoid m_ellipsoid;
};

// B L H in packed DMS -> projected x y H; with zones, each point in the zone
// of its own longitude (or in the system's one zone), the zone number in
// front of its easting. A point too far from its meridian is marked with
// `far`.
class GeodeticToPlane final : public ChainStep {
public:
    GeodeticToPlane(const Crs& crs, PointProblem far)
        : m_projection(ProjectionOf(crs)),
          m_zoning(crs.zoning),
          m_zone(crs.zone),
          m_meridian(DmsToRadian(crs.meridian)),
          m_far(far) {}

    void Apply(double* v, PointProblem* problems, std::size_t count) const override {
        const Limits& limit = Limit();
        InLanes(count, [&](std::size_t first, int lanes) {
            double L0[kLanes], B[kLanes], L[kLanes], x[kLanes], y[kLanes];
            int zone[kLanes];
            for (int j = 0; j < lanes; ++j) {
                const double* p = v + 3 * (first + j);
                PointProblem& problem = problems[first + j];
                B[j] = DmsToRadian(p[0]);
                L[j] = DmsToRadian(p[1]);
                L0[j] = m_meridian;
                zone[j] = 0;
                if (m_zoning != Zoning::Meridian) {
                    zone[j] = m_zone != 0 ? m_zone : ZoneOf(m_zoning, L[j] * 180 / kPi);
                    if (zone[j] == 0) {
                        Mark(problem, PointProblem::TargetZone);
                    } else {
                        L0[j] = DmsToRadian(ZoneMeridian(m_zoning, zone[j]));
                    }
                }
                if (!(std::fabs(LongitudeDifference(L[j], L0[j])) <= limit.zoneHalfWidth)) {
                    Mark(problem, m_far);
                }
            }
            m_projection.ForwardLanes(L0, B, L, x, y, lanes);
            for (int j = 0; j < lanes; ++j) {
                double* p = v + 3 * (first + j);
                p[0] = x[j];
                p[1] = zone[j] == 0 ? y[j] : zone[j] * 1e6 + y[j];
            }
        });
    }

private:
    TransverseMercator m_projection;
    Zoning m_zoning;
    int m_zone;         // the one zone, or 0
    double m_meridian;  // rad
    PointProblem m_far;
};

// Between two zoned systems of one datum and zone width: a point whose
// easting already names the zone it is to be in passes untouched, to the
// bit; any other goes from its zone to that one (inverse projection on the
// zone it came in, forward on the new one). The zone it is to be in is the
// target's one zone, or the zone of the point's own longitude.
class Rezone final : public ChainStep {
public:
    Rezone(const Crs& from, const Crs& to, PointProblem far)
        : m_projection(ProjectionOf(to)), m_zoning(to.zoning), m_zone(to.zone), m_far(far) {}

    void Apply(double* v, PointProblem* problems, std::size_t count) const override {
        const Limits& limit = Limit();
        for (std::size_t i = 0; i < count; ++i) {
            double* p = v + 3 * i;
            const int from = ZoneOfEasting(m_zoning, p[1]);
            if (from == 0) {
                Mark(problems[i], PointProblem::SourceZone);
                continue;
            }
            if (from == m_zone) continue;
            const double L0 = DmsToRadian(ZoneMeridian(m_zoning, from));
            double B, L;
            m_projection.Reverse(L0, p[0], p[1] - from * 1e6, B, L);
            if (!(std::fabs(LongitudeDifference(L, L0)) <= limit.zoneHalfWidth)) {
                Mark(problems[i], PointProblem::SourceMeridian);
            }
            const int zone = m_zone != 0 ? m_zone : ZoneOf(m_zoning, L * 180 / kPi);
            if (zone == 0) {
                Mark(problems[i], PointProblem::TargetZone);
                continue;
            }
            if (zone == from) continue;
            const double L1 = DmsToRadian(ZoneMeridian(m_zoning, zone));
            if (!(std::fabs(LongitudeDifference(L, L1)) <= limit.zoneHalfWidth)) {
                Mark(problems[i], m_far);
            }
            double x, y;
            m_projection.Forward(L1, B, L, x, y);
            p[0] = x;
            p[1] = zone * 1e6 + y;
        }
    }

private:
    TransverseMercator m_projection;
    Zoning m_zoning;
    int m_zone;  // the one zone, or 0
    PointProblem m_far;
};

// The plane similarity of a site calibration, on x and y; H is kept.
class PlaneSimilarity final : public ChainStep {
public:
    PlaneSimilarity(const FourParams& params, bool inverse)
        : m_params(params), m_inverse(inverse) {
        // x2 - dX = a x1 - b y1, y2 - dY = b x1 + a y1.
        m_a = params.K * std::cos(params.alpha);
        m_b = params.K * std::sin(params.alpha);
        m_norm = m_a * m_a + m_b * m_b;
    }

    void Apply(double* v, PointProblem*, std::size_t count) const override {
        for (std::size_t i = 0; i < count; ++i) {
            double* p = v + 3 * i;
            if (!m_inverse) {
                const GridPoint g = ApplyFourParams(m_params, GridPoint{p[0], p[1], p[2]});
                p[0] = g.x;
                p[1] = g.y;
            } else {
                const double u = p[0] - m_params.dX, w = p[1] - m_params.dY;
                p[0] = (m_a * u + m_b * w) / m_norm;
                p[1] = (m_a * w - m_b * u) / m_norm;
            }
        }
    }

private:
    FourParams m_params;
    bool m_inverse;
    double m_a, m_b, m_norm;
};

// The undulation N of the points of a system: a geodetic point at its B L
// (packed DMS), a projected one at the B L of its inverse projection (on
// the meridian of its zone when zoned), its x y untouched. A point already
// marked is passed over (its values mean nothing); one that cannot be
// placed is marked as the projection or the range check would mark it, one
// the grid does not cover as the grid says. `judge`: a geodetic source,
// whose angles nothing has judged yet.
class Undulations {
public:
    Undulations(const Crs& crs, std::shared_ptr<const grids::GeoidGrid> grid, bool judge)
        : m_grid(std::move(grid)),
          m_projected(crs.IsProjected()),
          m_projection(ProjectionOf(crs)),
          m_zoning(crs.zoning),
          m_zone(crs.zone),
          m_meridian(DmsToRadian(crs.meridian)),
          m_judge(judge) {}

    // N of count triples of v into N (0 where a point is marked).
    void Find(const double* v, PointProblem* problems, std::size_t count, double* N) const {
        constexpr double kDegrees = 180.0 / kPi;
        const Limits& limit = Limit();
        InLanes(count, [&](std::size_t first, int lanes) {
            double B[kLanes], L[kLanes];
            if (m_projected) {
                double L0[kLanes] = {};
                GridToGeodeticLanes(m_projection, m_zoning, m_zone, m_meridian, v, problems, first, lanes, L0,
                                    B, L);
            } else {
                for (int j = 0; j < lanes; ++j) {
                    const double* p = v + 3 * (first + j);
                    B[j] = DmsToRadian(p[0]);
                    L[j] = DmsToRadian(p[1]);
                    if (!m_judge) continue;
                    if (!(std::fabs(B[j]) <= limit.quarterTurn)) {
                        Mark(problems[first + j], PointProblem::LatitudeRange);
                    } else if (!(std::fabs(L[j]) <= limit.halfTurn)) {
                        Mark(problems[first + j], PointProblem::LongitudeRange);
                    }
                }
            }
            for (int j = 0; j < lanes; ++j) {
                double& n = N[first + j];
                n = 0.0;
                PointProblem& problem = problems[first + j];
                if (problem != PointProblem::None) continue;
                double found = 0.0;
                const grids::Sample sample = m_grid->Lookup(B[j] * kDegrees, L[j] * kDegrees, found);
                if (sample == grids::Sample::Ok) {
                    n = found;
                } else {
                    problem = GeoidProblem(sample);
                }
            }
        });
    }

private:
    std::shared_ptr<const grids::GeoidGrid> m_grid;
    bool m_projected;
    TransverseMercator m_projection;
    Zoning m_zoning;
    int m_zone;         // the one zone, or 0
    double m_meridian;  // rad
    bool m_judge;
};

// Heights above a geoid at an end of the chain: h = H + N at the source
// (toEllipsoid), H = h − N at the target.
class GeoidHeights final : public ChainStep {
public:
    GeoidHeights(const Crs& crs, std::shared_ptr<const grids::GeoidGrid> grid, bool toEllipsoid)
        : m_undulations(crs, std::move(grid), toEllipsoid && crs.form == Form::Geodetic),
          m_sign(toEllipsoid ? 1.0 : -1.0) {}

    void Apply(double* v, PointProblem* problems, std::size_t count) const override {
        for (std::size_t i = 0; i < count; i += kBlock) {
            const std::size_t n = std::min(kBlock, count - i);
            double N[kBlock];
            m_undulations.Find(v + 3 * i, problems + i, n, N);
            for (std::size_t j = 0; j < n; ++j) v[3 * (i + j) + 2] += m_sign * N[j];
        }
    }

private:
    static constexpr std::size_t kBlock = 64;
    Undulations m_undulations;
    double m_sign;
};

// The height fit: H_after = H_before - zeta(x, y) at the plane position the
// fit was made in; backwards H_before = H_after + zeta. On a geoid, zeta
// also holds N at that position.
class HeightCorrection final : public ChainStep {
public:
    HeightCorrection(const HeightFit& fit, bool inverse, std::optional<Undulations> geoid = std::nullopt)
        : m_fit(fit), m_inverse(inverse), m_geoid(std::move(geoid)) {}

    void Apply(double* v, PointProblem* problems, std::size_t count) const override {
        if (!m_geoid) {
            for (std::size_t i = 0; i < count; ++i) {
                double* p = v + 3 * i;
                const double zeta = HeightDifference(m_fit, p[0], p[1]);
                p[2] = m_inverse ? p[2] + zeta : p[2] - zeta;
            }
            return;
        }
        constexpr std::size_t kBlock = 64;
        double N[kBlock];
        for (std::size_t i = 0; i < count; i += kBlock) {
            const std::size_t n = std::min(kBlock, count - i);
            m_geoid->Find(v + 3 * i, problems + i, n, N);
            for (std::size_t j = 0; j < n; ++j) {
                double* p = v + 3 * (i + j);
                const double zeta = HeightDifference(m_fit, p[0], p[1]) + N[j];
                p[2] = m_inverse ? p[2] + zeta : p[2] - zeta;
            }
        }
    }

private:
    HeightFit m_fit;
    bool m_inverse;
    std::optional<Undulations> m_geoid;
};

// Three parameters: a shift of X Y Z; backwards the opposite shift.
class Translation final : public ChainStep {
public:
    Translation(const ThreeParams& params, bool inverse)
        : m_d{inverse ? -params.dX : params.dX, inverse ? -params.dY : params.dY,
              inverse ? -params.dZ : params.dZ} {}

    void Apply(double* v, PointProblem*, std::size_t count) const override {
        for (std::size_t i = 0; i < count; ++i) {
            double* p = v + 3 * i;
            p[0] += m_d[0];
            p[1] += m_d[1];
            p[2] += m_d[2];
        }
    }

private:
    double m_d[3];
};

using Operations = std::vector<std::unique_ptr<const ChainStep>>;

// Operations taking a point of `from` to X Y Z of its datum.
void AppendToGeocentric(Operations& ops, const Crs& from) {
    const Ellipsoid ellipsoid = EllipsoidOf(from);
    switch (from.form) {
        case Form::Projected:
            ops.push_back(std::make_unique<PlaneToGeodetic>(from));
            ops.push_back(std::make_unique<GeodeticToGeocentric>(ellipsoid, false));
            break;
        case Form::Geodetic:
            ops.push_back(std::make_unique<GeodeticToGeocentric>(ellipsoid, true));
            break;
        case Form::Geocentric:
        case Form::Local:
            break;
    }
}

// Operations taking X Y Z of the datum of `to` to a point of `to`.
void AppendFromGeocentric(Operations& ops, const Crs& to, PointProblem far) {
    if (to.form == Form::Geocentric || to.form == Form::Local) return;
    ops.push_back(std::make_unique<GeocentricToGeodetic>(EllipsoidOf(to)));
    if (to.form == Form::Projected) ops.push_back(std::make_unique<GeodeticToPlane>(to, far));
}

// A bridge between two systems of one datum (nothing when they are the
// same system).
void AppendBridge(Operations& ops, const Crs& from, const Crs& to, PointProblem far) {
    if (SameSystem(from, to)) return;
    if (from.IsZoned() && to.IsZoned() && from.zoning == to.zoning) {
        ops.push_back(std::make_unique<Rezone>(from, to, far));
        return;
    }
    AppendToGeocentric(ops, from);
    AppendFromGeocentric(ops, to, far);
}

// The label of a system's datum and form, or a system's own name.
std::string Label(const Crs& crs) {
    if (!crs.name.empty()) return crs.name;
    if (crs.ellipsoid) {
        switch (crs.form) {
            case Form::Projected:
                return "自定义椭球-高斯-xyH";
            case Form::Geodetic:
                return "自定义椭球-大地坐标";
            default:
                return "自定义椭球-地心-XYZ";
        }
    }
    const SystemEntry* entry = FindSystem(crs.datum, crs.form);
    return entry ? entry->mainLabel : "?";
}

bool IsLocal(const Crs& crs) { return crs.form == Form::Local; }

}  // namespace

std::string SystemText(const Crs& crs) {
    std::string text = Label(crs);
    if (!crs.IsProjected()) return text;
    if (crs.zoning == Zoning::Meridian) {
        text += "（中央子午线" + FormatGeneral(crs.meridian, 15);
        if (!crs.name.empty() || crs.ellipsoid) return text + "）";
        const GridConstants own = DatumGrid(crs.datum);
        if (crs.scale != own.scale) text += "，k0=" + FormatGeneral(crs.scale, 15);
        if (crs.falseEasting != own.falseEasting) text += "，假东" + FormatGeneral(crs.falseEasting, 15);
        if (crs.falseNorthing != own.falseNorthing) text += "，假北" + FormatGeneral(crs.falseNorthing, 15);
        if (crs.plane.height != 0.0) text += "，投影面" + FormatGeneral(crs.plane.height, 15) + "米";
        return text + "）";
    }
    if (crs.zone != 0) return text + "（" + ZoneText(crs.zoning, crs.zone) + "）";
    return text + (crs.zoning == Zoning::Zone3 ? "（3度带）" : "（6度带）");
}

// Builds the operations of a chain step by step, or finds what stops it.
//
// Each step has an entry, the system it starts in, and an exit, the system
// it leaves the points in. A step applied backwards swaps the two and takes
// the inverse of each of its operations, in reverse order: any step marked
// inverse (a chain reversed whole), and four parameters on their own when a
// conversion starts in their after system. A gap
// between where the points are and the entry of the next step (or the
// target) is bridged within one datum; a gap between two datums is refused,
// naming both systems.
class ChainBuilder {
public:
    ChainBuilder(const Crs& from, const Crs& to, const std::vector<Transformation>& steps,
                 const ChainHeights& heights)
        : m_chain(from, to, ConversionChain::Empty{}),
          m_to(to),
          m_steps(steps),
          m_heights(heights),
          m_at(from) {
        // Heights above a geoid at either end change with the model.
        m_chain.m_keepsHeight = from.form != Form::Geocentric && to.form != Form::Geocentric &&
                                !heights.from && !heights.to;
    }

    // False, with the problem, at the first step that does not fit; the
    // chain holds the operations up to there.
    bool Build(std::string& problem) {
        const Crs from = m_at;
        if (m_heights.from) problem = GeoidSideProblemText(from, "转换前");
        if (problem.empty() && m_heights.to) problem = GeoidSideProblemText(m_to, "转换后");
        if (!problem.empty()) return false;
        for (std::size_t i = 0; i < m_steps.size(); ++i) {
            if (!Step(i, problem)) return false;
        }
        if (!Finish(problem)) return false;
        AddGeoidEnds(from);
        return true;
    }

    // The geoid operations of the two ends. A projected end whose bridge
    // passes through B L takes N there, where the bridge has the angles
    // anyway (between plane -> B L and B L -> X Y Z at the source, between
    // X Y Z -> B L and B L -> plane at the target); otherwise N is taken
    // at the end's own coordinates.
    void AddGeoidEnds(const Crs& from) {
        Operations& ops = Ops();
        if (m_heights.from) {
            if (from.IsProjected() && !ops.empty() && dynamic_cast<const PlaneToGeodetic*>(ops.front().get())) {
                ops.insert(ops.begin() + 1, std::make_unique<GeoidHeights>(GeodeticOf(from), m_heights.from, true));
            } else {
                ops.insert(ops.begin(), std::make_unique<GeoidHeights>(from, m_heights.from, true));
            }
        }
        if (m_heights.to) {
            if (m_to.IsProjected() && !ops.empty() && dynamic_cast<const GeodeticToPlane*>(ops.back().get())) {
                ops.insert(ops.end() - 1, std::make_unique<GeoidHeights>(GeodeticOf(m_to), m_heights.to, false));
            } else {
                ops.push_back(std::make_unique<GeoidHeights>(m_to, m_heights.to, false));
            }
        }
    }

    static Crs GeodeticOf(const Crs& crs) {
        Crs geodetic = Crs::GeocentricOf(crs);
        geodetic.form = Form::Geodetic;
        return geodetic;
    }

    ConversionChain Take() { return std::move(m_chain); }

private:
    Operations& Ops() { return m_chain.m_steps; }
    bool Several() const { return m_steps.size() > 1; }
    bool Last(std::size_t i) const { return i + 1 == m_steps.size(); }

    // "第2步（site.params）", or "第2步" for a step typed or estimated here.
    std::string StepLabel(std::size_t i) const {
        std::string label = "第" + std::to_string(i + 1) + "步";
        const Transformation& t = m_steps[i];
        if (!t.source.empty()) label += "（" + t.source + (t.inverse ? "，反向）" : "）");
        else if (t.inverse) label += "（反向）";
        return label;
    }

    // Where the points are before step i, as a message names it.
    std::string Here(std::size_t i) const {
        if (i == 0) return "转换前坐标系统" + SystemText(m_at);
        return StepLabel(i - 1) + "之后的" + SystemText(m_at);
    }

    // A system on the datum the step after step i starts on, where it can
    // be told.
    std::optional<Crs> NextDatum(std::size_t i) const {
        if (Last(i)) {
            if (IsLocal(m_to)) return std::nullopt;
            return m_to;
        }
        const Transformation& next = m_steps[i + 1];
        if (next.before && !IsLocal(*next.before)) return next.before;
        return std::nullopt;
    }

    // Where the conversion goes after step i: the target, or the next
    // step's before system.
    std::optional<Crs> NextAnchor(std::size_t i) const {
        if (Last(i)) return m_to;
        return m_steps[i + 1].before;
    }

    // A fitted plane in zones must say its zone.
    bool PlaneKnown(const Crs& plane, std::string& problem) const {
        if (!plane.IsZoned() || plane.zone != 0) return true;
        problem = "参数是在" + SystemText(plane) +
                  "上求得的，但没有写明公共点所在的带号，无法确定其平面，请重新解算参数！";
        return false;
    }

    bool Step(std::size_t i, std::string& problem) {
        const Transformation& t = m_steps[i];
        problem = GeoidFitProblemText(t.geoid, t.height.has_value());
        if (problem.empty() && (t.ChangesDatum() ? DatumStep(i, problem) : Four(i, problem))) return true;
        Name(i, problem);
        return false;
    }

    // The undulations of the plane a step's height fit was made in, when
    // the fit sits on a geoid.
    static std::optional<Undulations> GeoidOf(const Transformation& t, const Crs& plane) {
        if (!t.geoid || !t.geoid->grid) return std::nullopt;
        return Undulations(plane, t.geoid->grid, false);
    }

    // A problem of a step: with several steps it names the step; else a
    // step read from a file names the file.
    void Name(std::size_t i, std::string& problem) const {
        if (problem.empty() || m_named) return;
        m_named = true;
        if (Several()) {
            problem = StepLabel(i) + "：" + problem;
        } else if (!m_steps[i].source.empty()) {
            problem = m_steps[i].source + ": " + problem;
        }
    }

    // A gap between two datums before step i, where the step starts in
    // `entry`: refused, naming both systems.
    void DatumGap(std::size_t i, const Crs& entry, std::string& problem) const {
        problem = Here(i) + "与" + StepLabel(i) + "的起点" + SystemText(entry) +
                  "不在同一基准上，中间换基准需要七参数或三参数，请在它前面加上这一步！";
        m_named = true;
    }

    // Whether a step from datum `in` to datum `out` fits where the
    // conversion stands before step i.
    bool Fits(std::size_t i, const Crs& in, const Crs& out) const {
        const std::optional<Crs> next = NextDatum(i);
        return SameDatum(m_at, in) && (!next || SameDatum(*next, out));
    }

    // Seven or three parameters: X Y Z of one datum to X Y Z of another,
    // then a height fit in the after plane when there is one. Backwards the
    // inverse of each in reverse order. A step naming its systems goes
    // backwards by itself where only that fits: a file made for the
    // opposite direction of the conversion.
    bool DatumStep(std::size_t i, std::string& problem) {
        const Transformation& t = m_steps[i];
        const bool seven = t.model == Transformation::Model::Seven;
        const std::string name = seven ? "七参数" : "三参数";
        if (IsLocal(m_at) || (Last(i) && IsLocal(m_to))) {
            problem = "地方坐标只能通过四参数点校正到达，请打开点校正参数文件！";
            return false;
        }
        // Where the step starts and ends as the chain goes: backwards, from
        // its after system to its before.
        bool inverse = t.inverse;
        if (!inverse && t.before && t.after) {
            inverse = !Fits(i, *t.before, *t.after) && Fits(i, *t.after, *t.before);
        }
        const std::optional<Crs>& entry = inverse ? t.after : t.before;
        const std::optional<Crs>& exit = inverse ? t.before : t.after;
        const std::optional<Crs> next = NextDatum(i);
        const Crs in = entry ? *entry : m_at;
        const std::optional<Crs> out = exit ? exit : next;
        if (Several()) {
            // Each end of the step against its neighbour; the gap after it is
            // the next step's (or the target's) to name.
            if (!SameDatum(m_at, in)) {
                DatumGap(i, *entry, problem);
                return false;
            }
            if (!out) {
                problem = name + "没有写明转换前、后坐标系统，它后面的" + StepLabel(i + 1) +
                          "也没有写明从哪个基准出发，无法确定它转换到哪个基准！";
                return false;
            }
        } else if (!SameDatum(m_at, in) || (out && next && !SameDatum(*out, *next)) || !out) {
            if (t.before && t.after) {
                problem = "参数文件的" + name + "从" + DescribeSystem(*t.before) + "转换到" +
                          DescribeSystem(*t.after) + (t.inverse ? "（反向使用）" : "") +
                          "，转换前、后坐标系统的基准与之不符！";
            } else {
                problem = name + "没有写明转换前、后坐标系统，在转换链中无法确定它连接的基准！";
            }
            return false;
        }
        if (t.height) {
            // The fit was made in the after plane: corrected there, after
            // the shift, or before it when the step goes backwards.
            if (!t.after || !t.after->IsProjected()) {
                problem = name + "加高程拟合时，转换后坐标系统须是投影坐标（高程拟合在其平面上进行）！";
                return false;
            }
            if (!PlaneKnown(*t.after, problem)) return false;
        }
        if (inverse && t.height) {
            AppendBridge(Ops(), m_at, *t.after, PointProblem::FittedPlane);
            Ops().push_back(std::make_unique<HeightCorrection>(*t.height, true, GeoidOf(t, *t.after)));
            m_at = *t.after;
        }
        // A height stays the one typed only through a step that changes
        // nothing: the same datum, all parameters zero, no height fit.
        const SevenParams& p = t.seven;
        const ThreeParams& d = t.three;
        const bool identity =
            seven ? p.dX0 == 0 && p.dY0 == 0 && p.dZ0 == 0 && p.K == 0 && p.betaX == 0 &&
                        p.betaY == 0 && p.betaZ == 0
                  : d.dX == 0 && d.dY == 0 && d.dZ == 0;
        if (!SameDatum(in, *out) || t.height || !identity) m_chain.m_keepsHeight = false;
        AppendBridge(Ops(), m_at, Crs::GeocentricOf(in), PointProblem::FittedPlane);
        if (seven) {
            Ops().push_back(std::make_unique<Helmert>(t.seven, t.convention, inverse));
        } else {
            Ops().push_back(std::make_unique<Translation>(t.three, inverse));
        }
        m_at = Crs::GeocentricOf(*out);
        if (t.height && !inverse) {
            AppendBridge(Ops(), m_at, *t.after, Far(*t.after, i));
            Ops().push_back(std::make_unique<HeightCorrection>(*t.height, false, GeoidOf(t, *t.after)));
            m_at = *t.after;
        }
        return true;
    }

    bool Four(std::size_t i, std::string& problem) {
        const Transformation& t = m_steps[i];
        if (!t.before || !t.after) {
            problem = "点校正参数文件没有写明转换前、后坐标系统，无法使用！";
            return false;
        }
        const Crs& plane = *t.before;
        const Crs& grid = *t.after;
        const bool forward = !IsLocal(m_at) && SameDatum(m_at, plane);
        const bool backward = IsLocal(grid) ? IsLocal(m_at) : !IsLocal(m_at) && SameDatum(m_at, grid);
        bool inverse = backward && !forward;
        if (t.inverse) {
            // Reversed on purpose (--inverse): backwards or not at all.
            if (!backward) {
                if (Several() && !IsLocal(m_at) && !IsLocal(grid)) {
                    DatumGap(i, grid, problem);
                } else {
                    problem = "反向使用的点校正参数从" + Label(grid) + "出发，转换前坐标系统应与之相同！";
                }
                return false;
            }
            inverse = true;
        } else if (forward && backward) {
            // Both sides on one datum: backwards when the conversion starts
            // in the calibration's grid and does not stay there.
            const std::optional<Crs> next = NextAnchor(i);
            inverse = SameSystem(m_at, grid) && !(next && SameSystem(*next, grid));
        }
        if (!forward && !backward) {
            if (Several() && !IsLocal(m_at)) {
                DatumGap(i, plane, problem);
            } else {
                // Both systems named: the one the points are in, the one the
                // calibration starts from.
                problem = "点校正参数从" + Label(plane) + "出发，转换前坐标系统" + SystemText(m_at) +
                          "应与之在同一基准上！";
            }
            return false;
        }
        if (!PlaneKnown(plane, problem) || !PlaneKnown(grid, problem)) return false;
        if (t.height) m_chain.m_keepsHeight = false;
        if (!inverse) {
            AppendBridge(Ops(), m_at, plane, PointProblem::FittedPlane);
            if (t.height) {
                Ops().push_back(std::make_unique<HeightCorrection>(*t.height, false, GeoidOf(t, plane)));
            }
            Ops().push_back(std::make_unique<PlaneSimilarity>(t.four, false));
            m_at = grid;
        } else {
            if (!IsLocal(grid)) AppendBridge(Ops(), m_at, grid, PointProblem::FittedPlane);
            Ops().push_back(std::make_unique<PlaneSimilarity>(t.four, true));
            if (t.height) {
                Ops().push_back(std::make_unique<HeightCorrection>(*t.height, true, GeoidOf(t, plane)));
            }
            m_at = plane;
        }
        m_lastFour = i;
        m_lastInverse = inverse;
        return true;
    }

    // A bridge into a plane that is the conversion's target marks points
    // far from its meridian as the target's; into a fitted plane, as that
    // plane's.
    PointProblem Far(const Crs& plane, std::size_t i) const {
        return Last(i) && SameSystem(plane, m_to) ? PointProblem::TargetMeridian : PointProblem::FittedPlane;
    }

    bool Finish(std::string& problem) {
        if (IsLocal(m_at) != IsLocal(m_to) || (!IsLocal(m_at) && !SameDatum(m_at, m_to))) {
            if (Several()) {
                const std::string here = StepLabel(m_steps.size() - 1) + "之后的" + SystemText(m_at);
                problem = IsLocal(m_at) || IsLocal(m_to)
                              ? here + "与转换后坐标系统" + SystemText(m_to) +
                                    "不同：地方坐标只能通过四参数点校正到达或离开！"
                              : here + "与转换后坐标系统" + SystemText(m_to) +
                                    "不在同一基准上，最后换基准需要七参数或三参数，请在最后加上这一步！";
            } else if (m_lastFour) {
                const Transformation& four = m_steps[*m_lastFour];
                const Crs& end = m_lastInverse ? *four.before : *four.after;
                problem = "点校正参数转换到" + Label(end) + "，" +
                          (m_lastInverse ? "转换前" : "转换后") +
                          (IsLocal(end) || IsLocal(m_to) ? "坐标系统应与之相同！"
                                                         : "坐标系统应在同一基准上！");
                Name(*m_lastFour, problem);
            } else if (IsLocal(m_at) || IsLocal(m_to)) {
                problem = "地方坐标只能通过四参数点校正到达，请打开点校正参数文件！";
            } else {
                problem = SystemText(m_at) + "与" + SystemText(m_to) +
                          "不在同一基准上，换基准需要七参数！";
            }
            return false;
        }
        AppendBridge(Ops(), m_at, m_to, PointProblem::TargetMeridian);
        return true;
    }

    ConversionChain m_chain;
    Crs m_to;
    const std::vector<Transformation>& m_steps;
    ChainHeights m_heights;
    Crs m_at;  // the system the points are in after the operations so far
    std::optional<std::size_t> m_lastFour;
    bool m_lastInverse = false;
    mutable bool m_named = false;  // the problem already names its step
};

std::optional<ConversionChain> ConversionChain::Make(const Crs& from, const Crs& to,
                                                     const std::vector<Transformation>& steps,
                                                     std::string& problem, const ChainHeights& heights) {
    ChainBuilder builder(from, to, steps, heights);
    problem.clear();
    if (!builder.Build(problem)) return std::nullopt;
    return builder.Take();
}

ConversionChain::ConversionChain(const Crs& from, const Crs& to,
                                 const std::vector<Transformation>& steps, const ChainHeights& heights)
    : m_from(from), m_to(to) {
    ChainBuilder builder(from, to, steps, heights);
    std::string problem;
    builder.Build(problem);
    *this = builder.Take();
}

std::string ChainProblemText(const Crs& from, const Crs& to,
                             const std::vector<Transformation>& steps, const ChainHeights& heights) {
    std::string problem;
    ChainBuilder(from, to, steps, heights).Build(problem);
    return problem;
}

std::string GeoidSideProblemText(const Crs& crs, std::string_view side) {
    switch (crs.form) {
        case Form::Geodetic:
        case Form::Projected:
            return {};
        case Form::Geocentric:
            return std::string(side) + "坐标系统是地心坐标XYZ，没有大地水准面之上的高程，不能选择大地水准面模型！";
        case Form::Local:
            return std::string(side) +
                   "的地方坐标没有经纬度，不能直接选择大地水准面模型：请在点校正中选择大地水准面模型！";
    }
    return {};
}

PointProblem GeoidProblem(grids::Sample sample) {
    switch (sample) {
        case grids::Sample::Ok:
            return PointProblem::None;
        case grids::Sample::Outside:
            return PointProblem::GeoidOutside;
        case grids::Sample::NoData:
            return PointProblem::GeoidNoData;
        case grids::Sample::ReadFailed:
            break;
    }
    return PointProblem::GeoidUnreadable;
}

PointProblem UndulationAt(const Crs& crs, const grids::GeoidGrid& grid, double a, double b, double& N) {
    // The chain's own search, over a grid that is not shared.
    const Undulations undulations(crs, std::shared_ptr<const grids::GeoidGrid>(&grid, [](auto*) {}),
                                  crs.form == Form::Geodetic);
    const double v[3] = {a, b, 0.0};
    PointProblem problem = PointProblem::None;
    undulations.Find(v, &problem, 1, &N);
    return problem;
}

ConversionChain::~ConversionChain() = default;
ConversionChain::ConversionChain(ConversionChain&&) noexcept = default;
ConversionChain& ConversionChain::operator=(ConversionChain&&) noexcept = default;

void ConversionChain::Convert(double* values, PointProblem* problems, std::size_t count) const {
    std::fill(problems, problems + count, PointProblem::None);
    if (m_from.form != Form::Geocentric) {
        for (std::size_t i = 0; i < count; ++i) {
            if (!(std::fabs(values[3 * i + 2]) <= kMaxHeight)) problems[i] = PointProblem::HeightRange;
        }
    }
    for (const auto& step : m_steps) step->Apply(values, problems, count);
    for (std::size_t i = 0; i < count; ++i) {
        const double* p = values + 3 * i;
        if (!(std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]))) {
            Mark(problems[i], PointProblem::NotFinite);
        }
    }
}

PointProblem ConversionChain::Convert(double& a, double& b, double& c) const {
    double v[3] = {a, b, c};
    PointProblem problem;
    Convert(v, &problem, 1);
    a = v[0];
    b = v[1];
    c = v[2];
    return problem;
}

}  // namespace zelk
