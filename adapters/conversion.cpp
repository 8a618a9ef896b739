#include "adapters/conversion.h"

#include "workflow/point_file.h"

using namespace zelk;

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
    zelk::ConversionChain(crs, Cartesian(crs.datum))
        .Convert(a, b, c);
}

void CartesianToSystem(CoordinateSystem system, double meridian, double& a, double& b, double& c) {
    const zelk::Crs crs = CrsOf(system, meridian);
    zelk::ConversionChain(Cartesian(crs.datum), crs)
        .Convert(a, b, c);
}

zelk::ConversionChain MainListChain(int sourceIndex, int targetIndex, double sourceMeridian,
                                    double targetMeridian, const SevenParams& params) {
    const zelk::Crs from =
        InList(sourceIndex) ? CrsOf(SystemFromMainList(sourceIndex), sourceMeridian) : Cartesian();
    const zelk::Crs to =
        InList(targetIndex) ? CrsOf(SystemFromMainList(targetIndex), targetMeridian) : Cartesian();
    return zelk::ConversionChain(from, to, {zelk::Transformation::Seven(params)});
}

void ConvertPoint(int sourceIndex, int targetIndex, double sourceMeridian, double targetMeridian,
                  const SevenParams& params, double& a, double& b, double& c) {
    MainListChain(sourceIndex, targetIndex, sourceMeridian, targetMeridian, params)
        .Convert(a, b, c);
}

void PointToCartesian(int index, double meridian, double& a, double& b, double& c) {
    if (InList(index)) SystemToCartesian(SystemFromParamList(index), meridian, a, b, c);
}

FileConversionResult ConvertPointFile(std::FILE* in, std::FILE* out, bool withNames,
                                      int sourceIndex, int targetIndex, double sourceMeridian,
                                      double targetMeridian, const SevenParams& params,
                                      const FileConversionOptions& options) {
    FileFormats formats;
    formats.withNames = withNames;
    return ConvertPointFile(
        in, out, MainListChain(sourceIndex, targetIndex, sourceMeridian, targetMeridian, params),
        formats, options);
}

namespace {
// One point of a plain common-point file; false at its end or at a problem,
// which is then taken into result.
bool NextPlainPoint(PointReader& reader, PointRecord& p, bool inAfter, CommonPointsResult& result) {
    std::string_view name;
    switch (reader.Next(name, p.X, p.Y, p.Z)) {
        case PointReader::Status::Point:
            return true;
        case PointReader::Status::End:
            return false;
        case PointReader::Status::Unreadable:
            result.status = CommonPointsResult::Status::Unreadable;
            break;
        case PointReader::Status::CutShort:
            result.status = CommonPointsResult::Status::CutShort;
            result.kind = pointformat::ProblemKind::CutShort;
            break;
        case PointReader::Status::ReadError:
            result.status = CommonPointsResult::Status::ReadError;
            break;
    }
    result.inAfterFile = inAfter;
    result.line = reader.ProblemLine();
    result.token = reader.ProblemToken();
    return false;
}
}  // namespace

CommonPointsResult ReadCommonPoints(std::FILE* beforeFile, std::FILE* afterFile, int beforeSystem,
                                    int afterSystem, double beforeMeridian, double afterMeridian,
                                    std::vector<PointRecord>& before,
                                    std::vector<PointRecord>& after) {
    CommonPointsResult result;
    PointReader beforeReader(beforeFile, false);
    PointReader afterReader(afterFile, false);
    std::size_t pairs = 0;
    while (!beforeReader.AtEnd()) {
        PointRecord b, a;
        if (!NextPlainPoint(beforeReader, b, false, result)) break;
        if (!NextPlainPoint(afterReader, a, true, result)) break;
        if (pairs == kMaxCommonPoints) {
            result.status = CommonPointsResult::Status::TooManyPairs;
            result.line = beforeReader.PointLine();
            break;
        }
        PointToCartesian(beforeSystem, beforeMeridian, b.X, b.Y, b.Z);
        PointToCartesian(afterSystem, afterMeridian, a.X, a.Y, a.Z);
        before.push_back(b);
        after.push_back(a);
        ++pairs;
        if (afterReader.AtEnd()) break;
    }
    return result;
}
