#include "workflow/point_converter.h"

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

void CPointConverter::Convert(double& a, double& b, double& c) {
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
    if (m_target.form != Form::None) {
        CEllipsoid& e = *m_target.ellipsoid;
        e.SetCartesian(a, b, c);
        e.CartesianToGeodetic(a, b, c);
        if (m_target.form == Form::Geodetic) return;
        e.SetGeodetic(a, b, c);
        if (m_target.form == Form::Utm) {
            e.UtmForward(a, b, c);
        } else {
            e.GaussForward(a, b, c);
        }
    }
}
