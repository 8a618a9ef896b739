#include "workflow/point_converter.h"

#include <algorithm>
#include <cmath>

#include "engine/angle.h"
#include "engine/batch.h"
#include "engine/ellipsoid.h"
#include "workflow/conversion.h"

CPointConverter::Side CPointConverter::MakeSide(int index, double meridian) {
    Side side;
    if (index < 0 || index >= kSystemCount) return side;
    const CoordinateSystem system = SystemFromMainList(index);
    switch (system) {
        case CoordinateSystem::Wgs84Utm:
        case CoordinateSystem::Wgs84Geodetic:
            side.ellipsoid = std::make_unique<CWgs84>();
            break;
        case CoordinateSystem::Beijing54Gauss:
        case CoordinateSystem::Beijing54Geodetic:
            side.ellipsoid = std::make_unique<CBeijing54>();
            break;
        case CoordinateSystem::Xian80Gauss:
        case CoordinateSystem::Xian80Geodetic:
            side.ellipsoid = std::make_unique<CXian80>();
            break;
    }
    if (!IsProjected(system)) {
        side.form = Form::Geodetic;
        return side;
    }
    side.form = system == CoordinateSystem::Wgs84Utm ? Form::Utm : Form::Gauss;
    side.ellipsoid->SetCentralMeridian(meridian);
    return side;
}

CPointConverter::CPointConverter(int sourceIndex, int targetIndex, double sourceMeridian,
                                 double targetMeridian, const SevenParams& params)
    : m_source(MakeSide(sourceIndex, sourceMeridian)),
      m_target(MakeSide(targetIndex, targetMeridian)) {
    m_model.SetParams(params);
}

CPointConverter::~CPointConverter() = default;

void CPointConverter::SourceToTransformed(double& a, double& b, double& c) {
    // Every computation of an ellipsoid object reads only what the setters
    // of this point wrote (and the central meridian, the same for every
    // point), so one object serves all points.
    if (m_source.form != Form::None) {
        CEllipsoid& e = *m_source.ellipsoid;
        if (m_source.form != Form::Geodetic) {
            e.SetPlane(a, b, c);
            if (m_source.form == Form::Utm) {
                e.UtmInverse(a, b, c);
            } else {
                e.GaussInverse(a, b, c);
            }
        }
        e.SetGeodetic(a, b, c);
        e.GeodeticToCartesian(a, b, c);
    }
    m_model.SetInput(PointRecord{a, b, c});
    PointRecord result;
    m_model.Apply(result);
    a = result.X;
    b = result.Y;
    c = result.Z;
}

// B L H of the target datum -> the target system.
void CPointConverter::GeodeticToTarget(double& a, double& b, double& c) {
    if (m_target.form == Form::Geodetic) return;
    CEllipsoid& e = *m_target.ellipsoid;
    e.SetGeodetic(a, b, c);
    if (m_target.form == Form::Utm) {
        e.UtmForward(a, b, c);
    } else {
        e.GaussForward(a, b, c);
    }
}

void CPointConverter::Convert(double& a, double& b, double& c) {
    SourceToTransformed(a, b, c);
    if (m_target.form == Form::None) return;
    CEllipsoid& e = *m_target.ellipsoid;
    e.SetCartesian(a, b, c);
    e.CartesianToGeodetic(a, b, c);
    GeodeticToTarget(a, b, c);
}

namespace {

// The source half of the chain, up to the cartesian step, for up to
// kBatchLanes points at once: the inverse projection when there is one, the
// passage of B and L through packed DMS (as SetGeodetic takes them), then
// the cartesian step. v holds the triple of each point in turn and receives
// X Y Z.
void SourceToCartesianBatch(const CEllipsoid& e, bool projected, bool utm, double* v, int count) {
    double B[kBatchLanes], L[kBatchLanes], H[kBatchLanes];
    for (int j = 0; j < count; ++j) {
        B[j] = v[3 * j];
        L[j] = v[3 * j + 1];
        H[j] = v[3 * j + 2];
    }
    if (projected) {
        double Br[kBatchLanes], Lr[kBatchLanes];
        PlaneToGeodeticBatch(e, utm, B, L, Br, Lr, count);
        for (int j = 0; j < count; ++j) {
            B[j] = RadianToDms(Br[j]);
            L[j] = RadianToDms(Lr[j]);
        }
    }
    double Br[kBatchLanes], Lr[kBatchLanes], X[kBatchLanes], Y[kBatchLanes], Z[kBatchLanes];
    for (int j = 0; j < count; ++j) {
        Br[j] = DmsToRadian(B[j]);
        Lr[j] = DmsToRadian(L[j]);
    }
    GeodeticToCartesianBatch(e, Br, Lr, H, X, Y, Z, count);
    for (int j = 0; j < count; ++j) {
        v[3 * j] = X[j];
        v[3 * j + 1] = Y[j];
        v[3 * j + 2] = Z[j];
    }
}

}  // namespace

void CPointConverter::ConvertMany(double* values, std::size_t count) {
    if (m_source.form != Form::None) {
        const bool projected = m_source.form != Form::Geodetic;
        const bool utm = m_source.form == Form::Utm;
        for (std::size_t i = 0; i < count; i += kBatchLanes) {
            const int lanes = static_cast<int>(std::min<std::size_t>(kBatchLanes, count - i));
            SourceToCartesianBatch(*m_source.ellipsoid, projected, utm, values + 3 * i, lanes);
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        m_model.SetInput(PointRecord{values[3 * i], values[3 * i + 1], values[3 * i + 2]});
        PointRecord result;
        m_model.Apply(result);
        values[3 * i] = result.X;
        values[3 * i + 1] = result.Y;
        values[3 * i + 2] = result.Z;
    }
    if (m_target.form == Form::None) return;
    for (std::size_t i = 0; i < count; i += kBatchLanes) {
        const int lanes = static_cast<int>(std::min<std::size_t>(kBatchLanes, count - i));
        CartesianToGeodeticBatch(*m_target.ellipsoid, values + 3 * i, lanes);
    }
    if (m_target.form == Form::Geodetic) return;
    for (std::size_t i = 0; i < count; ++i) {
        GeodeticToTarget(values[3 * i], values[3 * i + 1], values[3 * i + 2]);
    }
}
