#include "workflow/conversion.h"

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

bool InList(int index) { return index >= 0 && index < kSystemCount; }

// The catalogue entry of a system: the enumeration follows the main list,
// whose first six entries are these systems.
const zelk::SystemEntry& EntryOf(CoordinateSystem system) {
    return zelk::Systems()[static_cast<std::size_t>(system)];
}

// Geocentric X Y Z: what a side outside the lists stays as.
zelk::Crs Cartesian(zelk::DatumId datum = zelk::DatumId::Wgs84) {
    zelk::Crs crs;
    crs.datum = datum;
    crs.form = zelk::Form::Geocentric;
    return crs;
}
}  // namespace

CoordinateSystem SystemFromMainList(int index) { return kMainOrder[index]; }
CoordinateSystem SystemFromParamList(int index) { return kParamOrder[index]; }
const char* MainListLabel(int index) { return EntryOf(SystemFromMainList(index)).mainLabel; }
const char* ParamListLabel(int index) { return EntryOf(SystemFromParamList(index)).paramLabel; }

bool IsProjected(CoordinateSystem system) { return EntryOf(system).form == zelk::Form::Projected; }

zelk::Crs CrsOf(CoordinateSystem system, double meridian) {
    return zelk::MakeCrs(EntryOf(system), zelk::Zoning::Meridian, meridian);
}

void SystemToCartesian(CoordinateSystem system, double meridian, double& a, double& b, double& c) {
    const zelk::Crs crs = CrsOf(system, meridian);
    zelk::ConversionChain(crs, Cartesian(crs.datum), zelk::Transformation::Identity())
        .Convert(a, b, c);
}

void CartesianToSystem(CoordinateSystem system, double meridian, double& a, double& b, double& c) {
    const zelk::Crs crs = CrsOf(system, meridian);
    zelk::ConversionChain(Cartesian(crs.datum), crs, zelk::Transformation::Identity())
        .Convert(a, b, c);
}

zelk::ConversionChain MainListChain(int sourceIndex, int targetIndex, double sourceMeridian,
                                    double targetMeridian, const SevenParams& params) {
    const zelk::Crs from =
        InList(sourceIndex) ? CrsOf(SystemFromMainList(sourceIndex), sourceMeridian) : Cartesian();
    const zelk::Crs to =
        InList(targetIndex) ? CrsOf(SystemFromMainList(targetIndex), targetMeridian) : Cartesian();
    return zelk::ConversionChain(from, to, zelk::Transformation::Seven(params));
}

void ConvertPoint(int sourceIndex, int targetIndex, double sourceMeridian, double targetMeridian,
                  const SevenParams& params, double& a, double& b, double& c) {
    MainListChain(sourceIndex, targetIndex, sourceMeridian, targetMeridian, params)
        .Convert(a, b, c);
}

void PointToCartesian(int index, double meridian, double& a, double& b, double& c) {
    if (InList(index)) SystemToCartesian(SystemFromParamList(index), meridian, a, b, c);
}
