#include "workflow/coordinate_system.h"

#include <cmath>
#include <string>

#include "engine/angle.h"
#include "platform/number_text.h"

namespace zelk {

namespace {

// Main-list order. The first six are the programs' original systems.
constexpr SystemEntry kSystems[] = {
    {"wgs84-utm", DatumId::Wgs84, Form::Projected, "WGS84-UTM--xyH", "WGS84UTM投影xyH"},
    {"wgs84-geodetic", DatumId::Wgs84, Form::Geodetic, "WGS84-大地坐标", "WGS84大地坐标BLH"},
    {"beijing54-gauss", DatumId::Beijing54, Form::Projected, "北京54-高斯-xyH", "北京54高斯投影xyH"},
    {"beijing54-geodetic", DatumId::Beijing54, Form::Geodetic, "北京54-大地坐标", "北京54大地坐标BLH"},
    {"xian80-gauss", DatumId::Xian80, Form::Projected, "西安80-高斯-xyH", "西安80高斯投影xyH"},
    {"xian80-geodetic", DatumId::Xian80, Form::Geodetic, "西安80-大地坐标", "西安80大地坐标BLH"},
    {"cgcs2000-gauss", DatumId::Cgcs2000, Form::Projected, "CGCS2000-高斯-xyH", "CGCS2000高斯投影xyH"},
    {"cgcs2000-geodetic", DatumId::Cgcs2000, Form::Geodetic, "CGCS2000-大地坐标", "CGCS2000大地坐标BLH"},
    {"wgs84-xyz", DatumId::Wgs84, Form::Geocentric, "WGS84-地心-XYZ", "WGS84地心坐标XYZ"},
    {"beijing54-xyz", DatumId::Beijing54, Form::Geocentric, "北京54-地心-XYZ", "北京54地心坐标XYZ"},
    {"xian80-xyz", DatumId::Xian80, Form::Geocentric, "西安80-地心-XYZ", "西安80地心坐标XYZ"},
    {"cgcs2000-xyz", DatumId::Cgcs2000, Form::Geocentric, "CGCS2000-地心-XYZ", "CGCS2000地心坐标XYZ"},
    {"local", DatumId::Wgs84, Form::Local, "地方坐标-xyH", "地方坐标xyH"},
};
}  // namespace

bool Crs::IsUtm() const {
    return form == Form::Projected && !ellipsoid && DatumOf(datum).projection == Projection::Utm;
}

bool Crs::HasDatumGrid() const {
    if (ellipsoid) return false;
    const GridConstants own = DatumGrid(datum);
    return scale == own.scale && falseEasting == own.falseEasting &&
           falseNorthing == own.falseNorthing && plane.height == 0.0;
}

bool Crs::IsCatalogued() const {
    return name.empty() && !ellipsoid && (form != Form::Projected || HasDatumGrid());
}

Crs Crs::Geocentric(DatumId datum) {
    Crs crs;
    crs.datum = datum;
    crs.form = Form::Geocentric;
    return crs;
}

Crs Crs::GeocentricOf(const Crs& on) {
    Crs crs = Geocentric(on.datum);
    crs.ellipsoid = on.ellipsoid;
    return crs;
}

GridConstants DatumGrid(DatumId datum) {
    GridConstants grid;
    if (DatumOf(datum).projection == Projection::Utm) grid.scale = 0.9996;
    return grid;
}

double PlaneScale(const Crs& crs) {
    if (crs.plane.height == 0.0) return 0.0;
    // R = sqrt(M N) = a sqrt(1 - e2) / W2, W2 = 1 - e2 sin2 B.
    const Ellipsoid shape = EllipsoidOf(crs);
    const double e2 = shape.e() * shape.e();
    const double sinB = std::sin(DmsToRadian(crs.plane.latitude));
    const double R = shape.a() * std::sqrt(1 - e2) / (1 - e2 * (sinB * sinB));
    return crs.plane.height / R;
}

GridConstants ProjectionConstants(const Crs& crs) {
    GridConstants grid{crs.scale, crs.falseEasting, crs.falseNorthing};
    const double q = PlaneScale(crs);
    if (q == 0.0) return grid;
    grid.scale = crs.scale * (1 + q);
    grid.falseEasting = crs.falseEasting - q * (crs.plane.y0 - crs.falseEasting);
    grid.falseNorthing = crs.falseNorthing - q * (crs.plane.x0 - crs.falseNorthing);
    return grid;
}

double DefiningInverseFlattening(DatumId datum) {
    // In the order of DatumId: WGS84, Beijing 1954, Xian 1980, CGCS2000.
    static constexpr double kInverseFlattening[] = {298.257223563, 298.3, 298.257, 298.257222101};
    return kInverseFlattening[static_cast<int>(datum)];
}

Ellipsoid EllipsoidOf(const Crs& crs) {
    if (crs.ellipsoid) return Ellipsoid::FromFlattening(crs.ellipsoid->a, 1 / crs.ellipsoid->rf);
    return DatumOf(crs.datum).ellipsoid;
}

bool SameDatum(const Crs& a, const Crs& b) {
    if (a.ellipsoid || b.ellipsoid) return a.ellipsoid == b.ellipsoid;
    return a.datum == b.datum;
}

std::span<const SystemEntry> Systems() { return kSystems; }

bool SameSystem(const Crs& a, const Crs& b) {
    if (a.form != b.form) return false;
    if (a.form == Form::Local) return true;
    if (!SameDatum(a, b)) return false;
    if (a.form != Form::Projected) return true;
    if (a.zoning != b.zoning) return false;
    if (a.zoning != Zoning::Meridian) return a.zone == b.zone;
    if (a.meridian != b.meridian || a.scale != b.scale || a.falseEasting != b.falseEasting ||
        a.falseNorthing != b.falseNorthing || a.plane.height != b.plane.height) {
        return false;
    }
    return a.plane.height == 0.0 || (a.plane.latitude == b.plane.latitude &&
                                     a.plane.x0 == b.plane.x0 && a.plane.y0 == b.plane.y0);
}

std::string CrsProblemText(const Crs& crs, std::string_view side) {
    const std::string where(side);
    if (crs.ellipsoid) {
        const OwnEllipsoid& e = *crs.ellipsoid;
        if (!(e.a >= kMinSemiMajorAxis && e.a <= kMaxSemiMajorAxis)) {
            return where + "椭球长半轴a=" + FormatGeneral(e.a, 15) + "米，不是地球椭球（应在6000000～7000000米之间）！";
        }
        if (!(e.rf > 1 && std::isfinite(e.rf))) {
            return where + "椭球扁率倒数rf=" + FormatGeneral(e.rf, 15) + "，应大于1！";
        }
    }
    if (!crs.IsProjected()) return {};
    if (crs.zoning != Zoning::Meridian) {
        if (crs.IsUtm()) return where + "的UTM投影不分3度带或6度带，请键入中央子午线！";
        if (crs.zone != 0 && (crs.zone < 1 || crs.zone > ZoneCount(crs.zoning))) {
            return where + "的带号" + std::to_string(crs.zone) + "不存在（3度带1～120，6度带1～60）！";
        }
        if (!crs.HasDatumGrid()) return where + "的3度带、6度带只用基准自身的投影，不能另设尺度、假东、假北或投影面！";
        return {};
    }
    if (!MeridianInRange(crs.meridian)) {
        return where + "中央子午线超出±180度，请检查中央子午线！";
    }
    if (!(crs.scale > 0 && std::isfinite(crs.scale))) {
        return where + "中央子午线尺度k0=" + FormatGeneral(crs.scale, 15) + "，应大于0！";
    }
    for (const double value : {crs.falseEasting, crs.falseNorthing, crs.plane.x0, crs.plane.y0}) {
        if (!std::isfinite(value)) return where + "的假东、假北或投影面原点不是有限的数！";
    }
    if (!(std::fabs(crs.plane.height) <= kMaxPlaneHeight)) {
        return where + "投影面高程" + FormatGeneral(crs.plane.height, 15) + "米超出±10000米！";
    }
    if (!(std::fabs(DmsToRadian(crs.plane.latitude)) <= DmsToRadian(90.0))) {
        return where + "投影面纬度超出±90度！";
    }
    return {};
}

const SystemEntry* FindSystem(std::string_view name) {
    for (const SystemEntry& entry : kSystems) {
        if (name == entry.name) return &entry;
    }
    return nullptr;
}

const SystemEntry* FindSystem(DatumId datum, Form form) {
    for (const SystemEntry& entry : kSystems) {
        // A local grid has no datum.
        if (entry.form == form && (form == Form::Local || entry.datum == datum)) return &entry;
    }
    return nullptr;
}

Crs MakeCrs(const SystemEntry& entry, Zoning zoning, double meridian) {
    Crs crs;
    crs.datum = entry.datum;
    crs.form = entry.form;
    if (entry.form == Form::Projected) {
        crs.zoning = zoning;
        crs.meridian = zoning == Zoning::Meridian ? meridian : 0.0;
        const GridConstants grid = DatumGrid(entry.datum);
        crs.scale = grid.scale;
        crs.falseEasting = grid.falseEasting;
        crs.falseNorthing = grid.falseNorthing;
    }
    return crs;
}

int ZoneCount(Zoning zoning) {
    return zoning == Zoning::Zone3 ? 120 : zoning == Zoning::Zone6 ? 60 : 0;
}

int ZoneMeridian(Zoning zoning, int zone) { return zoning == Zoning::Zone3 ? 3 * zone : 6 * zone - 3; }

int ZoneOf(Zoning zoning, double degrees) {
    const double east = degrees + kZoneEdgeTolerance;
    const double n = zoning == Zoning::Zone3 ? std::floor((east - 1.5) / 3) + 1
                                             : std::floor(east / 6) + 1;
    // Also false for NaN.
    if (!(n >= 1 && n <= ZoneCount(zoning))) return 0;
    return static_cast<int>(n);
}

int ZoneOfEasting(Zoning zoning, double easting) {
    const double zone = std::floor(easting / 1e6);
    // Also false for NaN.
    if (!(zone >= 1 && zone <= ZoneCount(zoning))) return 0;
    return static_cast<int>(zone);
}

Crs InZone(const Crs& zoned, int zone) {
    Crs crs = zoned;
    crs.zone = zone;
    return crs;
}

std::string ZoneText(Zoning zoning, int zone) {
    return std::string(zoning == Zoning::Zone3 ? "3度带" : "6度带") + "第" + std::to_string(zone) +
           "带（中央子午线" + std::to_string(ZoneMeridian(zoning, zone)) + "°）";
}

std::optional<UtmZone> ParseUtmZone(std::string_view text) {
    if (text.size() < 2 || text.size() > 3) return std::nullopt;
    const char hemisphere = text.back();
    UtmZone zone;
    if (hemisphere == 'S' || hemisphere == 's') {
        zone.south = true;
    } else if (hemisphere != 'N' && hemisphere != 'n') {
        return std::nullopt;
    }
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        zone.number = zone.number * 10 + (text[i] - '0');
    }
    if (zone.number < 1 || zone.number > 60) return std::nullopt;
    return zone;
}

std::string UtmZoneText(UtmZone zone) {
    return std::to_string(zone.number) + (zone.south ? "S" : "N");
}

Crs InUtmZone(const Crs& utm, UtmZone zone) {
    Crs crs = utm;
    const GridConstants grid = DatumGrid(utm.datum);
    crs.zoning = Zoning::Meridian;
    crs.zone = 0;
    crs.meridian = 6.0 * zone.number - 183.0;  // whole degrees: packed as they are
    crs.scale = grid.scale;
    crs.falseEasting = grid.falseEasting;
    crs.falseNorthing = zone.south ? kUtmSouthFalseNorthing : grid.falseNorthing;
    crs.plane = ProjectionPlane{};
    return crs;
}

std::optional<UtmZone> UtmZoneOf(const Crs& crs) {
    if (!crs.IsUtm() || crs.zoning != Zoning::Meridian || !crs.name.empty()) return std::nullopt;
    const double number = (crs.meridian + 183.0) / 6.0;
    if (number != std::floor(number) || number < 1 || number > 60) return std::nullopt;
    const UtmZone zone{static_cast<int>(number), crs.falseNorthing == kUtmSouthFalseNorthing};
    if (!SameSystem(crs, InUtmZone(crs, zone))) return std::nullopt;
    return zone;
}

const char* FormKey(Form form) {
    static constexpr const char* kKeys[] = {"geodetic", "gauss", "xyz", "local"};
    return kKeys[static_cast<int>(form)];
}

namespace {

std::string Number(double value) { return FormatGeneral(value, 15); }

// ", k0 1, false easting 500000, ..." of a grid of its own.
std::string GridText(const Crs& crs, bool whole) {
    const GridConstants own = DatumGrid(crs.datum);
    std::string text;
    if (whole || crs.scale != own.scale) text += ", k0 " + Number(crs.scale);
    if (whole || crs.falseEasting != own.falseEasting) text += ", false easting " + Number(crs.falseEasting);
    if (whole || crs.falseNorthing != own.falseNorthing) {
        text += ", false northing " + Number(crs.falseNorthing);
    }
    if (crs.plane.height != 0.0) {
        text += ", plane height " + Number(crs.plane.height) + " at latitude " +
                Number(crs.plane.latitude) + " about " + Number(crs.plane.x0) + "," +
                Number(crs.plane.y0);
    }
    return text;
}
}  // namespace

std::string DescribeSystem(const Crs& crs) {
    if (!crs.name.empty() || crs.ellipsoid) {
        std::string text = crs.name.empty() ? std::string("(unnamed)") : crs.name;
        text += std::string(" (") + FormKey(crs.form) + " on ";
        if (crs.ellipsoid) {
            text += "a " + Number(crs.ellipsoid->a) + " rf " + Number(crs.ellipsoid->rf);
        } else {
            text += DatumOf(crs.datum).name;
        }
        if (crs.IsProjected()) text += ", central meridian " + Number(crs.meridian) + GridText(crs, true);
        return text + ")";
    }
    const SystemEntry* entry = FindSystem(crs.datum, crs.form);
    std::string text = entry ? entry->name : "?";
    if (!crs.IsProjected()) return text;
    switch (crs.zoning) {
        case Zoning::Meridian:
            return text + ", central meridian " + Number(crs.meridian) + GridText(crs, false);
        case Zoning::Zone3:
        case Zoning::Zone6:
            return text + (crs.zoning == Zoning::Zone3 ? ", 3-degree zones" : ", 6-degree zones") +
                   (crs.zone != 0 ? ", zone " + std::to_string(crs.zone) : "");
    }
    return text;
}

bool MeridianInRange(double meridian) {
    return std::fabs(DmsToRadian(meridian)) <= DmsToRadian(180.0);
}

}  // namespace zelk
