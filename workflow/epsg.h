// EPSG codes: the national systems ZELK has, by the codes GIS users name
// them with, and systems as GIS formats name them (an EPSG code, or a WKT
// text built from the definition).
//
// The table (workflow/epsg_systems.inc) is data: each code, the system of
// the catalogue it is (with its central meridian or zone, and the false
// northing of UTM south) and its name as EPSG spells it. It is made from
// PROJ's EPSG database by tests/data/make_epsg.py, which the test
// epsg_table runs to check every row; PROJ is never used at run time.
//   CGCS2000      4490 geodetic, 4479 geocentric, 4491–4501 6° zones with
//                 the zone number, 4502–4512 6° by meridian, 4513–4533 3°
//                 zones with the zone number, 4534–4554 3° by meridian;
//   Beijing 1954  4214, 2401–2442 (3°), 21413–21423, 21453–21463 (6°);
//   Xian 1980     4610, 2327–2390 (6° and 3°);
//   WGS 84        4326, 4978, 32601–32660 UTM north, 32701–32760 UTM south.
// A code "with the zone number" is the zoned system in its one zone: every
// point in that zone, the zone number in front of its easting.
// The axes are ZELK's: x (northing) before y (easting), B before L.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "workflow/coordinate_system.h"

namespace zelk {

struct EpsgSystem {
    int code;
    const char* system;  // catalogue name
    Zoning zoning;
    int meridianOrZone;    // Meridian: the central meridian (degrees); else the zone
    double falseNorthing;  // 10000000 for UTM south
    const char* name;      // as EPSG spells it
};

// Every row, in the table's order.
std::span<const EpsgSystem> EpsgSystems();
// The row of a code; nullptr when the table has none.
const EpsgSystem* FindEpsg(int code);
// The system of a row.
Crs CrsOf(const EpsgSystem& row);

// Whether a text names a system by EPSG code: "EPSG:" (any case) and what
// follows.
bool IsEpsgName(std::string_view text);
// The system "EPSG:NNNN" names; nothing, with the problem (in English, for
// the command line and files), when the text is no code or the code is not
// in the table: "EPSG:3857 is not a system ZELK converts: ZELK converts only
// the systems 'zelk-cli systems --epsg' lists".
std::optional<Crs> EpsgCrs(std::string_view text, std::string& problem);

// The code of a system; nothing when the table has no row for it (a system
// of the user's own, zones with each point in its own zone, Beijing 1954
// and Xian 1980 geocentric, a local grid).
// A meridian that is both a 6° and a 3° zone's gets its 3° code (4548 for
// CGCS2000 on 117°, not 4509).
std::optional<int> EpsgCodeOf(const Crs& crs);

// The system as a WKT text (ISO 19162:2019, WKT2), built from its
// definition: the ellipsoid, the transverse Mercator with the projection
// plane folded into its scale and false origin (ProjectionConstants), and
// the axes x (north) y (east), or B L, or X Y Z. Empty for a local grid and
// for zones with each point in its own zone.
std::string WktOf(const Crs& crs);

// How a GIS format names a system: "EPSG:NNNN" where the table has it,
// else its WKT; empty where neither can be given.
std::string GisDefinitionOf(const Crs& crs);

}  // namespace zelk
