#include "workflow/coordinate_system.h"

#include <cmath>

#include "engine/angle.h"

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
constexpr int kCount = static_cast<int>(std::size(kSystems));

// The seven-parameter list: main-list indices in its order.
constexpr int kParamOrder[kCount] = {3, 2, 5, 4, 1, 0, 7, 6, 8, 9, 10, 11, 12};

}  // namespace

bool Crs::IsUtm() const {
    return form == Form::Projected && DatumOf(datum).projection == Projection::Utm;
}

std::span<const SystemEntry> Systems() { return kSystems; }

bool SameSystem(const Crs& a, const Crs& b) {
    if (a.form != b.form) return false;
    if (a.form == Form::Local) return true;
    if (a.datum != b.datum) return false;
    if (a.form != Form::Projected) return true;
    return a.zoning == b.zoning && (a.zoning != Zoning::Meridian || a.meridian == b.meridian);
}

const SystemEntry& ParamListEntry(int index) { return kSystems[kParamOrder[index]]; }

int MainListIndexOf(const SystemEntry& entry) { return static_cast<int>(&entry - kSystems); }

int ParamListIndexOf(const SystemEntry& entry) {
    const int main = MainListIndexOf(entry);
    for (int i = 0; i < kCount; ++i) {
        if (kParamOrder[i] == main) return i;
    }
    return -1;
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

bool MeridianInRange(double meridian) {
    return std::fabs(DmsToRadian(meridian)) <= DmsToRadian(180.0);
}

}  // namespace zelk
