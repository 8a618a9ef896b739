// Coordinate systems as values, and the catalogue of the systems the
// programs offer.
//
// A coordinate system is a datum, a form and, for a projected form, where
// its central meridian comes from:
//   Geodetic     B L H: latitude and longitude in packed DMS (ddd.mmss),
//                ellipsoidal height in metres;
//   Projected    x y H in metres: northing, easting with the false easting of
//                500000 m, height. The projection is the datum's transverse
//                Mercator (UTM for WGS84, Gauss-Kruger for the others) on a
//                central meridian that is either given (packed DMS) or taken
//                from 3- or 6-degree zones, whose number is then written in
//                front of the easting (n·10⁶ + y): each point in the zone of
//                its own longitude, or all of them in one zone (a plane a
//                site calibration was made in);
//   Geocentric   X Y Z in metres in the datum's earth-centred frame;
//   Local        x y H in metres on a site's own plane grid, with no datum:
//                reached only through a site calibration (four parameters
//                from a projected system).
//
// The catalogue names each (datum, form) pair for the command line and
// gives its labels, as the dialogs and messages show them. The six systems
// the programs started with come first; later ones follow them. Where a
// dialog lists a system is the dialog's own business (ui/system_lists.h).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/datum.h"

namespace zelk {

enum class Form { Geodetic, Projected, Geocentric, Local };

// Where a projected system's central meridian comes from.
enum class Zoning {
    Meridian,  // the meridian given with the system
    Zone3,     // 3-degree zones: zone n on 3n degrees
    Zone6,     // 6-degree zones: zone n on 6n − 3 degrees
};

struct Crs {
    DatumId datum = DatumId::Wgs84;
    Form form = Form::Geodetic;
    Zoning zoning = Zoning::Meridian;
    double meridian = 0.0;  // packed DMS, with Zoning::Meridian
    // With zones: 0, each point in the zone of its own longitude; else the
    // one zone every point is in (1..ZoneCount), whatever its longitude.
    int zone = 0;

    bool IsProjected() const { return form == Form::Projected; }
    bool IsUtm() const;  // projected on a datum whose projection is UTM
    // In zones, with the zone number in front of every easting.
    bool IsZoned() const { return form == Form::Projected && zoning != Zoning::Meridian; }

    // Earth-centred X Y Z of a datum.
    static Crs Geocentric(DatumId datum);
};

// The same system: datum and form, and for a projected system its zones
// (and the one zone, when there is one) or its central meridian (a local
// grid has no datum).
bool SameSystem(const Crs& a, const Crs& b);

// What is wrong with a system's projection settings, as shown to the user
// (the empty text when nothing is): a central meridian beyond ±180 degrees,
// zones asked of UTM, a zone that does not exist. side is "转换前" or
// "转换后".
std::string CrsProblemText(const Crs& crs, std::string_view side);

// One entry of the catalogue.
struct SystemEntry {
    const char* name;        // command-line name, e.g. "cgcs2000-gauss"
    DatumId datum;
    Form form;
    const char* mainLabel;   // main dialog, e.g. "CGCS2000-高斯-xyH"
    const char* paramLabel;  // seven-parameter dialog, e.g. "CGCS2000高斯投影xyH"
};

// Every entry, in the catalogue's order.
std::span<const SystemEntry> Systems();
// nullptr when no entry has this name (or none has this datum and form).
const SystemEntry* FindSystem(std::string_view name);
const SystemEntry* FindSystem(DatumId datum, Form form);

// The system of an entry with the given projection settings (ignored by
// geodetic and geocentric forms).
Crs MakeCrs(const SystemEntry& entry, Zoning zoning = Zoning::Meridian, double meridian = 0.0);

// Zone numbers: 6-degree zones 1..60, 3-degree zones 1..120.
int ZoneCount(Zoning zoning);
// The central meridian of zone n, in whole degrees.
int ZoneMeridian(Zoning zoning, int zone);
// The zone of a longitude in degrees east (n = floor(L/6) + 1, or
// floor((L − 1.5)/3) + 1); 0 when it falls outside 1..ZoneCount.
//
// Zone edges. Each zone holds its western edge, not its eastern one: a
// longitude exactly on an edge belongs to the zone east of it, as the
// formulas above (in the README, the guide and --help) say, so that every
// longitude has one zone and the published zone numbers of edge points stand.
// A longitude reaches this function through packed DMS, radians and back to
// degrees, which can leave an edge a few units in the last place below
// itself; one within kZoneEdgeTolerance below an edge (1e-10°, about
// 0.01 mm) counts as on it.
inline constexpr double kZoneEdgeTolerance = 1e-10;
int ZoneOf(Zoning zoning, double degrees);
// The zone an easting's leading digits name (floor(y / 10⁶)); 0 when they
// name none of 1..ZoneCount.
int ZoneOfEasting(Zoning zoning, double easting);
// A zoned system with every point in one zone: zoned with that zone.
Crs InZone(const Crs& zoned, int zone);
// "3度带第39带（中央子午线117°）".
std::string ZoneText(Zoning zoning, int zone);

// A system as the file and the messages name it: "cgcs2000-gauss, central
// meridian 117", "cgcs2000-gauss, 3-degree zones", "wgs84-geodetic".
std::string DescribeSystem(const Crs& crs);

// A central meridian must lie within ±180 degrees (packed DMS).
bool MeridianInRange(double meridian);

}  // namespace zelk
