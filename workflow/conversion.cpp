#include "workflow/conversion.h"

#include "bursa/bursa_model.h"
#include "engine/ellipsoid.h"

namespace {
constexpr CoordinateSystem kMainOrder[kSystemCount] = {
    CoordinateSystem::Wgs84Utm,       CoordinateSystem::Wgs84Geodetic,
    CoordinateSystem::Beijing54Gauss, CoordinateSystem::Beijing54Geodetic,
    CoordinateSystem::Xian80Gauss,    CoordinateSystem::Xian80Geodetic,
};
constexpr CoordinateSystem kParamOrder[kSystemCount] = {
    CoordinateSystem::Beijing54Geodetic, CoordinateSystem::Beijing54Gauss,
    CoordinateSystem::Xian80Geodetic,    CoordinateSystem::Xian80Gauss,
    CoordinateSystem::Wgs84Geodetic,     CoordinateSystem::Wgs84Utm,
};
constexpr const char* kMainLabels[kSystemCount] = {
    "WGS84-UTM--xyH",  "WGS84-大地坐标",  "北京54-高斯-xyH",
    "北京54-大地坐标", "西安80-高斯-xyH", "西安80-大地坐标",
};
constexpr const char* kParamLabels[kSystemCount] = {
    "北京54大地坐标BLH", "北京54高斯投影xyH", "西安80大地坐标BLH",
    "西安80高斯投影xyH", "WGS84大地坐标BLH",  "WGS84UTM投影xyH",
};

bool InList(int index) { return index >= 0 && index < kSystemCount; }

// Runs body with a fresh ellipsoid object of the system's datum.
template <typename Body>
void WithEllipsoid(CoordinateSystem system, Body&& body) {
    switch (system) {
        case CoordinateSystem::Wgs84Utm:
        case CoordinateSystem::Wgs84Geodetic: {
            CWgs84 e;
            body(e);
            return;
        }
        case CoordinateSystem::Beijing54Gauss:
        case CoordinateSystem::Beijing54Geodetic: {
            CBeijing54 e;
            body(e);
            return;
        }
        case CoordinateSystem::Xian80Gauss:
        case CoordinateSystem::Xian80Geodetic: {
            CXian80 e;
            body(e);
            return;
        }
    }
}
}  // namespace

CoordinateSystem SystemFromMainList(int index) { return kMainOrder[index]; }
CoordinateSystem SystemFromParamList(int index) { return kParamOrder[index]; }
const char* MainListLabel(int index) { return kMainLabels[index]; }
const char* ParamListLabel(int index) { return kParamLabels[index]; }

bool IsProjected(CoordinateSystem system) {
    return system == CoordinateSystem::Wgs84Utm || system == CoordinateSystem::Beijing54Gauss ||
           system == CoordinateSystem::Xian80Gauss;
}

void SystemToCartesian(CoordinateSystem system, double meridian, double& a, double& b, double& c) {
    WithEllipsoid(system, [&](CEllipsoid& e) {
        if (IsProjected(system)) {
            e.SetCentralMeridian(meridian);
            e.SetPlane(a, b, c);
            if (system == CoordinateSystem::Wgs84Utm) {
                e.UtmInverse(a, b, c);
            } else {
                e.GaussInverse(a, b, c);
            }
        }
        // B and L pass through the triple in packed DMS, not as radians held
        // in the object.
        e.SetGeodetic(a, b, c);
        e.GeodeticToCartesian(a, b, c);
    });
}

void CartesianToSystem(CoordinateSystem system, double meridian, double& a, double& b, double& c) {
    WithEllipsoid(system, [&](CEllipsoid& e) {
        const bool projected = IsProjected(system);
        if (projected) e.SetCentralMeridian(meridian);
        e.SetCartesian(a, b, c);
        e.CartesianToGeodetic(a, b, c);
        if (!projected) return;
        e.SetGeodetic(a, b, c);
        if (system == CoordinateSystem::Wgs84Utm) {
            e.UtmForward(a, b, c);
        } else {
            e.GaussForward(a, b, c);
        }
    });
}

void ConvertPoint(int sourceIndex, int targetIndex, double sourceMeridian, double targetMeridian,
                  const SevenParams& params, double& a, double& b, double& c) {
    CBursaModel model;
    if (InList(sourceIndex)) {
        SystemToCartesian(SystemFromMainList(sourceIndex), sourceMeridian, a, b, c);
    }
    model.SetParams(params);
    model.SetInput(PointRecord{a, b, c});
    PointRecord result;
    model.Apply(result);
    a = result.X;
    b = result.Y;
    c = result.Z;
    if (InList(targetIndex)) {
        CartesianToSystem(SystemFromMainList(targetIndex), targetMeridian, a, b, c);
    }
}

void PointToCartesian(int index, double meridian, double& a, double& b, double& c) {
    if (InList(index)) SystemToCartesian(SystemFromParamList(index), meridian, a, b, c);
}
