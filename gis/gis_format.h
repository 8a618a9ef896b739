// The GIS, CAD and spreadsheet files that points are exchanged in, written
// and read through GDAL (gis/point_writer.h, gis/point_reader.h).
//
// A point is a name and three values in the engine's order, as
// pointformat::Axes says: x (north), y (east), H in metres for Plane;
// B, L in decimal degrees and H in metres for Geodetic (not packed DMS:
// GIS files hold degrees); X, Y, Z in metres for Geocentric. Where a format
// has a geometry it holds the point as (east, north, height): (y, x, H),
// (L, B, H) or (X, Y, Z), the order of GIS and CAD programs.
//
// This library sits above the core (ui/cli -> gis -> workflow -> bursa ->
// engine -> platform); it is the only place that includes GDAL.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "workflow/coordinate_system.h"
#include "workflow/point_formats.h"

namespace zelk::gis {

using Axes = pointformat::Axes;

enum class Format {
    Dxf,         // CAD drawing: POINT entities and their name labels
    Shapefile,   // .shp with .shx .dbf .prj .cpg
    GeoPackage,  // .gpkg
    GeoJson,     // RFC 7946, geodetic WGS84 or CGCS2000 only
    Xlsx,        // one sheet with a header row
};

// "dxf", "shp", "gpkg", "geojson", "xlsx".
std::optional<Format> FormatFromName(std::string_view name);
std::string_view FormatName(Format format);
// GDAL's name of the format's driver ("ESRI Shapefile"), and the name users
// know it by in messages ("Shapefile").
const char* DriverName(Format format);
const char* FormatLabel(Format format);
// A packed DMS angle in decimal degrees, through the exact decimal writing
// of workflow/angle_text.h (9 decimals, 0.1 mm): the degrees a text file
// would hold. False when the text does not read back.
bool PackedToDegrees(double packed, double& degrees);

// By the extension, in any case: .dxf .shp .gpkg .geojson .json .xlsx.
std::optional<Format> FormatFromExtension(const std::filesystem::path& path);

// The spatial reference a file declares: an EPSG code, or else a WKT text;
// neither: none.
struct SpatialReference {
    int epsg = 0;
    std::string wkt;
    bool Empty() const { return epsg == 0 && wkt.empty(); }
};

// Why points of system target cannot go into a GeoJSON file (RFC 7946
// holds WGS84 longitude and latitude; CGCS2000 agrees with it within the
// accuracy map programs show), as a message for the user; empty when they
// can: geodetic WGS84 and CGCS2000.
std::string GeoJsonProblemText(const Crs& target);

}  // namespace zelk::gis
