#include "workflow/chain.h"

#include <algorithm>
#include <cmath>

#include "bursa/bursa_model.h"
#include "engine/angle.h"
#include "engine/batch.h"
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

// The seven-parameter step.
class Helmert final : public ChainStep {
public:
    explicit Helmert(const SevenParams& params) { ParamsToInternal(params, m_internal); }

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
                zone = ZoneOf(m_zoning, L * 180 / kEnginePi);
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

}  // namespace

ConversionChain::ConversionChain(const Crs& from, const Crs& to,
                                 const Transformation& transformation)
    : m_from(from), m_to(to) {
    const Ellipsoid& source = DatumOf(from.datum).ellipsoid;
    const Ellipsoid& target = DatumOf(to.datum).ellipsoid;
    switch (from.form) {
        case Form::Projected:
            m_steps.push_back(std::make_unique<PlaneToGeodetic>(from));
            m_steps.push_back(std::make_unique<GeodeticToGeocentric>(source, false));
            break;
        case Form::Geodetic:
            m_steps.push_back(std::make_unique<GeodeticToGeocentric>(source, true));
            break;
        case Form::Geocentric:
            break;
    }
    if (transformation.kind == Transformation::Kind::SevenParameters) {
        m_steps.push_back(std::make_unique<Helmert>(transformation.seven));
    }
    if (to.form != Form::Geocentric) {
        m_steps.push_back(std::make_unique<GeocentricToGeodetic>(target));
    }
    if (to.form == Form::Projected) m_steps.push_back(std::make_unique<GeodeticToPlane>(to));
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
