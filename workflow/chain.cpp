#include "workflow/chain.h"

#include <algorithm>
#include <cmath>

#include "bursa/helmert.h"
#include "engine/angle.h"
#include "engine/geocentric.h"
#include "engine/transverse_mercator.h"

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

TransverseMercator ProjectionOf(const Crs& crs) {
    const Datum& datum = DatumOf(crs.datum);
    return datum.projection == Projection::Utm ? TransverseMercator::Utm(datum.ellipsoid)
                                               : TransverseMercator::GaussKruger(datum.ellipsoid);
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
            double L0[kLanes], x[kLanes], y[kLanes], B[kLanes], L[kLanes];
            for (int j = 0; j < lanes; ++j) {
                const double* p = v + 3 * (first + j);
                x[j] = p[0];
                y[j] = p[1];
                L0[j] = m_meridian;
                if (m_zoning != Zoning::Meridian) {
                    const double zone = std::floor(p[1] / 1e6);
                    if (zone >= 1 && zone <= ZoneCount(m_zoning)) {
                        const int n = static_cast<int>(zone);
                        L0[j] = DmsToRadian(ZoneMeridian(m_zoning, n));
                        y[j] = p[1] - zone * 1e6;
                    } else {
                        Mark(problems[first + j], PointProblem::SourceZone);
                    }
                }
            }
            m_projection.ReverseLanes(L0, x, y, B, L, lanes);
            const Limits& limit = Limit();
            for (int j = 0; j < lanes; ++j) {
                if (!(std::fabs(LongitudeDifference(L[j], L0[j])) <= limit.zoneHalfWidth)) {
                    Mark(problems[first + j], PointProblem::SourceMeridian);
                } else if (!(std::fabs(B[j]) <= limit.quarterTurn)) {
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
// coordinate frame first).
class Helmert final : public ChainStep {
public:
    Helmert(const SevenParams& params, RotationConvention convention) {
        ParamsToInternal(
            ConvertConvention(params, convention, RotationConvention::CoordinateFrame),
            m_internal);
    }

    void Apply(double* v, PointProblem*, std::size_t count) const override {
        for (std::size_t i = 0; i < count; ++i) {
            double* p = v + 3 * i;
            const PointRecord out = ApplyBursa(m_internal, PointRecord{p[0], p[1], p[2]});
            p[0] = out.X;
            p[1] = out.Y;
            p[2] = out.Z;
        }
    }

private:
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
// of its own longitude, the zone number in front of its easting.
class GeodeticToPlane final : public ChainStep {
public:
    explicit GeodeticToPlane(const Crs& crs)
        : m_projection(ProjectionOf(crs)),
          m_zoning(crs.zoning),
          m_meridian(DmsToRadian(crs.meridian)) {}

    void Apply(double* v, PointProblem* problems, std::size_t count) const override {
        const Limits& limit = Limit();
        for (std::size_t i = 0; i < count; ++i) {
            double* p = v + 3 * i;
            const double B = DmsToRadian(p[0]);
            const double L = DmsToRadian(p[1]);
            double L0 = m_meridian;
            int zone = 0;
            if (m_zoning != Zoning::Meridian) {
                zone = ZoneOf(m_zoning, L * 180 / kPi);
                if (zone == 0) {
                    Mark(problems[i], PointProblem::TargetZone);
                } else {
                    L0 = DmsToRadian(ZoneMeridian(m_zoning, zone));
                }
            }
            if (!(std::fabs(LongitudeDifference(L, L0)) <= limit.zoneHalfWidth)) {
                Mark(problems[i], PointProblem::TargetMeridian);
            }
            double x, y;
            m_projection.Forward(L0, B, L, x, y);
            p[0] = x;
            p[1] = zone == 0 ? y : zone * 1e6 + y;
        }
    }

private:
    TransverseMercator m_projection;
    Zoning m_zoning;
    double m_meridian;  // rad
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

// The height fit: H_after = H_before - zeta(x, y) at the plane position the
// fit was made in; backwards H_before = H_after + zeta.
class HeightCorrection final : public ChainStep {
public:
    HeightCorrection(const HeightFit& fit, bool inverse) : m_fit(fit), m_inverse(inverse) {}

    void Apply(double* v, PointProblem*, std::size_t count) const override {
        for (std::size_t i = 0; i < count; ++i) {
            double* p = v + 3 * i;
            const double zeta = HeightDifference(m_fit, p[0], p[1]);
            p[2] = m_inverse ? p[2] + zeta : p[2] - zeta;
        }
    }

private:
    HeightFit m_fit;
    bool m_inverse;
};

// Steps taking a point of `from` to X Y Z of its datum.
void AppendToGeocentric(std::vector<std::unique_ptr<const ChainStep>>& steps, const Crs& from) {
    const Ellipsoid& ellipsoid = DatumOf(from.datum).ellipsoid;
    switch (from.form) {
        case Form::Projected:
            steps.push_back(std::make_unique<PlaneToGeodetic>(from));
            steps.push_back(std::make_unique<GeodeticToGeocentric>(ellipsoid, false));
            break;
        case Form::Geodetic:
            steps.push_back(std::make_unique<GeodeticToGeocentric>(ellipsoid, true));
            break;
        case Form::Geocentric:
        case Form::Local:
            break;
    }
}

// Steps taking X Y Z of the datum of `to` to a point of `to`.
void AppendFromGeocentric(std::vector<std::unique_ptr<const ChainStep>>& steps, const Crs& to) {
    if (to.form == Form::Geocentric || to.form == Form::Local) return;
    steps.push_back(std::make_unique<GeocentricToGeodetic>(DatumOf(to.datum).ellipsoid));
    if (to.form == Form::Projected) steps.push_back(std::make_unique<GeodeticToPlane>(to));
}

// Steps between two systems of one datum (none when they are the same).
void AppendWithinDatum(std::vector<std::unique_ptr<const ChainStep>>& steps, const Crs& from,
                       const Crs& to) {
    if (SameSystem(from, to)) return;
    AppendToGeocentric(steps, from);
    AppendFromGeocentric(steps, to);
}

std::string SystemName(const Crs& crs) {
    const SystemEntry* entry = FindSystem(crs.datum, crs.form);
    return entry ? entry->mainLabel : "?";
}

}  // namespace

std::string TransformationProblemText(const Crs& from, const Crs& to,
                                      const Transformation& t) {
    const bool local = from.form == Form::Local || to.form == Form::Local;
    if (t.kind != Transformation::Kind::FourParameters) {
        if (local) return "地方坐标只能通过四参数点校正到达，请打开点校正参数文件！";
        if (t.height && !SameSystem(to, t.grid)) {
            return "高程拟合是在" + SystemName(t.grid) +
                   "上做的，转换后坐标系统应与之相同（含中央子午线或分带）！";
        }
        return {};
    }
    const Crs& start = t.inverse ? to : from;
    const Crs& end = t.inverse ? from : to;
    if (start.form == Form::Local || start.datum != t.plane.datum) {
        return "点校正参数从" + SystemName(t.plane) + "出发，" + (t.inverse ? "转换后" : "转换前") +
               "坐标系统应在同一基准上！";
    }
    if (!SameSystem(end, t.grid)) {
        return "点校正参数转换到" + SystemName(t.grid) + "，" + (t.inverse ? "转换前" : "转换后") +
               "坐标系统应与之相同（含中央子午线或分带）！";
    }
    return {};
}

ConversionChain::ConversionChain(const Crs& from, const Crs& to,
                                 const Transformation& transformation)
    : m_from(from), m_to(to) {
    if (transformation.kind == Transformation::Kind::FourParameters) {
        const bool inverse = transformation.inverse;
        if (!inverse) AppendWithinDatum(m_steps, from, transformation.plane);
        if (transformation.height && !inverse) {
            m_steps.push_back(std::make_unique<HeightCorrection>(*transformation.height, false));
        }
        m_steps.push_back(std::make_unique<PlaneSimilarity>(transformation.four, inverse));
        if (transformation.height && inverse) {
            m_steps.push_back(std::make_unique<HeightCorrection>(*transformation.height, true));
        }
        if (inverse) AppendWithinDatum(m_steps, transformation.plane, to);
        return;
    }
    AppendToGeocentric(m_steps, from);
    if (transformation.kind == Transformation::Kind::SevenParameters) {
        m_steps.push_back(std::make_unique<Helmert>(transformation.seven, transformation.convention));
    }
    AppendFromGeocentric(m_steps, to);
    if (transformation.height) {
        m_steps.push_back(std::make_unique<HeightCorrection>(*transformation.height, false));
    }
}

ConversionChain::~ConversionChain() = default;
ConversionChain::ConversionChain(ConversionChain&&) noexcept = default;
ConversionChain& ConversionChain::operator=(ConversionChain&&) noexcept = default;

void ConversionChain::Convert(double* values, PointProblem* problems, std::size_t count) const {
    std::fill(problems, problems + count, PointProblem::None);
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
