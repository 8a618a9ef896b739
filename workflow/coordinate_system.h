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
// A system of the user's own (an independent or city system, read from a
// system file, workflow/system_file.h) is the same value with more of it
// set: a name, an ellipsoid of its own (then a datum of its own: between it
// and any other datum, zero parameters mean the same X Y Z), and a grid of
// its own on a given meridian: the scale k0 on the central meridian, the
// false easting and northing, and a projection plane at height H0, which
// scales the grid about a plane origin (x0, y0):
//     x' = x0 + (1 + q)(x − x0),  y' = y0 + (1 + q)(y − y0),
//     q = H0 / R,  R = √(M·N) at the plane latitude (Gaussian mean radius).
// That is a transverse Mercator with scale k0·(1 + q) and the false origin
// moved (ProjectionConstants), and it is computed as one. The catalogue's
// systems have the grid of their datum (MakeCrs), and their projection keeps
// every double it always gave; a grid of its own is projected with the
// accurate series (workflow/chain.cpp, ProjectionOf). UTM south is the
// catalogue's wgs84-utm with a false northing of 10,000,000 m.
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
#include "engine/ellipsoid.h"

namespace zelk {

enum class Form { Geodetic, Projected, Geocentric, Local };

// The form's word in system keys and system files: "geodetic", "gauss",
// "xyz", "local".
const char* FormKey(Form form);

// Where a projected system's central meridian comes from.
enum class Zoning {
    Meridian,  // the meridian given with the system
    Zone3,     // 3-degree zones: zone n on 3n degrees
    Zone6,     // 6-degree zones: zone n on 6n − 3 degrees
};

// An ellipsoid of a system's own: the semi-major axis a (m) and the inverse
// flattening rf.
struct OwnEllipsoid {
    double a = 0.0;
    double rf = 0.0;
    bool operator==(const OwnEllipsoid&) const = default;
};

// The projection plane of a grid (投影面): height 0 is the ellipsoid's own.
struct ProjectionPlane {
    double height = 0.0;    // H0, m
    double latitude = 0.0;  // packed DMS, where R = √(M·N) is taken
    double x0 = 0.0;        // the plane origin: grid x and y (m) the plane
    double y0 = 500000.0;   // scales about (y0 usually the false easting)
};

struct Crs {
    DatumId datum = DatumId::Wgs84;  // unused with an ellipsoid of its own
    Form form = Form::Geodetic;
    Zoning zoning = Zoning::Meridian;
    double meridian = 0.0;  // packed DMS, with Zoning::Meridian
    // With zones: 0, each point in the zone of its own longitude; else the
    // one zone every point is in (1..ZoneCount), whatever its longitude.
    int zone = 0;
    // The grid of a projected system: the scale on the central meridian and
    // the false easting and northing (m), and its projection plane. MakeCrs
    // gives the datum's own (DatumGrid); only a system on a meridian has
    // another.
    double scale = 1.0;
    double falseEasting = 500000.0;
    double falseNorthing = 0.0;
    ProjectionPlane plane;
    // An ellipsoid of its own: a datum of its own, instead of `datum`.
    std::optional<OwnEllipsoid> ellipsoid;
    // A system of the user's own: its name (UTF-8); empty for the others.
    std::string name;

    bool IsProjected() const { return form == Form::Projected; }
    bool IsUtm() const;  // projected on a datum whose projection is UTM
    // In zones, with the zone number in front of every easting.
    bool IsZoned() const { return form == Form::Projected && zoning != Zoning::Meridian; }
    // Projected with the grid of its datum, as MakeCrs gives it (the
    // catalogue's own projection, kept to the bit).
    bool HasDatumGrid() const;
    // A system of the catalogue with nothing of its own: it has a label.
    bool IsCatalogued() const;

    // Earth-centred X Y Z of a datum of the table.
    static Crs Geocentric(DatumId datum);
    // Earth-centred X Y Z of the datum a system is on.
    static Crs GeocentricOf(const Crs& on);
};

// The scale, false easting and false northing of the datum's own grid.
struct GridConstants {
    double scale = 1.0;
    double falseEasting = 500000.0;
    double falseNorthing = 0.0;
};
GridConstants DatumGrid(DatumId datum);

// The transverse Mercator a projected system's grid is: the scale k0·(1 + q)
// and the false origin FE − q(y0 − FE), FN − q(x0 − FN) (x y before the plane
// is taken, false easting and northing included). The datum's own for a
// grid without a plane.
GridConstants ProjectionConstants(const Crs& crs);
// q = H0 / R of a system's projection plane (0 without one).
double PlaneScale(const Crs& crs);

// The defining inverse flattening of a datum of the table's ellipsoid, as
// EPSG gives it (298.257222101 for CGCS2000, 298.257 for IAG 1975, 298.3 for
// Krassovsky, 298.257223563 for WGS84): for the texts that name it.
double DefiningInverseFlattening(DatumId datum);

// The ellipsoid a system is on, and whether two systems are on one datum
// (the same datum of the table, or ellipsoids of their own with the same a
// and rf; never a datum of the table and an ellipsoid of one's own).
Ellipsoid EllipsoidOf(const Crs& crs);
bool SameDatum(const Crs& a, const Crs& b);

// The same system: datum and form, and for a projected system its zones
// (and the one zone, when there is one) or its central meridian and grid (a
// local grid has no datum). Names do not count.
bool SameSystem(const Crs& a, const Crs& b);

// What is wrong with a system's settings, as shown to the user (the empty
// text when nothing is): a central meridian beyond ±180 degrees, zones
// asked of UTM, a zone that does not exist, a grid of its own in zones, a
// scale not above 0, a projection plane beyond ±10 km or its latitude
// beyond ±90°, an ellipsoid not the size of the earth or with rf ≤ 1, a
// value that is not a finite number. side is "转换前" or "转换后".
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

// UTM zones by number: zone Z (1..60) on the central meridian 6Z − 183
// degrees, N the northern hemisphere (false northing 0), S the southern
// (false northing 10,000,000 m), as EPSG's 326ZZ and 327ZZ. A UTM system in
// a zone is the catalogue's UTM system on that meridian; in the south, with
// that false northing (a grid of its own: Krüger's series). A meridian
// typed for a UTM system keeps the northern grid.
inline constexpr double kUtmSouthFalseNorthing = 10000000.0;
struct UtmZone {
    int number = 0;  // 1..60
    bool south = false;
    bool operator==(const UtmZone&) const = default;
};
// "50S", "50s", "7N": the zone a text names; nothing when it names none.
std::optional<UtmZone> ParseUtmZone(std::string_view text);
// "50S".
std::string UtmZoneText(UtmZone zone);
// A UTM system (Crs::IsUtm) put in a zone: its meridian and false northing.
Crs InUtmZone(const Crs& utm, UtmZone zone);
// The zone a UTM system is in: on a zone's meridian with the datum's grid
// (north) or the southern false northing and otherwise the datum's grid;
// nothing for any other system.
std::optional<UtmZone> UtmZoneOf(const Crs& crs);

// A system as the file and the messages name it: "cgcs2000-gauss, central
// meridian 117", "cgcs2000-gauss, 3-degree zones", "wgs84-geodetic",
// "wgs84-utm, central meridian 117, false northing 10000000"; a system of
// the user's own by its name and definition: "某市2000独立坐标系 (gauss on
// cgcs2000, central meridian 114.2, k0 1, false easting 500000, false
// northing 0, plane height 350 at latitude 30.3 about 3380000,500000)".
std::string DescribeSystem(const Crs& crs);

// A central meridian must lie within ±180 degrees (packed DMS).
bool MeridianInRange(double meridian);

// Limits of a system's own settings: a projection plane within ±10 km of
// the ellipsoid, an ellipsoid the size of the earth.
inline constexpr double kMaxPlaneHeight = 10000.0;
inline constexpr double kMinSemiMajorAxis = 6000000.0;
inline constexpr double kMaxSemiMajorAxis = 7000000.0;

}  // namespace zelk
