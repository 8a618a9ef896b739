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
    return form == Form::Projected && DatumOf(datum).projection == Projection::Utm;
}

Crs Crs::Geocentric(DatumId datum) {
    Crs crs;
    crs.datum = datum;
    crs.form = Form::Geocentric;
    return crs;
}

std::span<const SystemEntry> Systems() { return kSystems; }

bool SameSystem(const Crs& a, const Crs& b) {
    if (a.form != b.form) return false;
    if (a.form == Form::Local) return true;
    if (a.datum != b.datum) return false;
    if (a.form != Form::Projected) return true;
    if (a.zoning != b.zoning) return false;
    return a.zoning == Zoning::Meridian ? a.meridian == b.meridian : a.zone == b.zone;
}

std::string CrsProblemText(const Crs& crs, std::string_view side) {
    if (!crs.IsProjected()) return {};
    if (crs.zoning != Zoning::Meridian) {
        if (crs.IsUtm()) return std::string(side) + "的UTM投影不分3度带或6度带，请键入中央子午线！";
        if (crs.zone != 0 && (crs.zone < 1 || crs.zone > ZoneCount(crs.zoning))) {
            return std::string(side) + "的带号" + std::to_string(crs.zone) + "不存在（3度带1～120，6度带1～60）！";
        }
        return {};
    }
    if (!MeridianInRange(crs.meridian)) {
        return std::string(side) + "中央子午线超出±180度，请检查中央子午线！";
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
    }
    return crs;
}

int ZoneCount(Zoning zoning) {
    switch (zoning) {
        case Zoning::Zone3:
            return 120;
        case Zoning::Zone6:
            return 60;
        case Zoning::Meridian:
            break;
    }
    return 0;
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

std::string DescribeSystem(const Crs& crs) {
    const SystemEntry* entry = FindSystem(crs.datum, crs.form);
    std::string text = entry ? entry->name : "?";
    if (!crs.IsProjected()) return text;
    switch (crs.zoning) {
        case Zoning::Meridian:
            return text + ", central meridian " + FormatGeneral(crs.meridian, 15);
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
