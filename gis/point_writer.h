// Writes points into a GIS, CAD or spreadsheet file through GDAL, one by
// one, and puts the file in place only when it is complete
// (gis/output_files.h). GeoJSON and GeoPackage are written in bounded
// memory; what GDAL itself keeps for the other formats is said below
// (bench/README.md has the figures).
//
// What each format holds (values as gis/gis_format.h says):
//  - DXF: for each point a POINT at (east, north, height) on layer
//    ZELK_POINTS (CAD's X is east and Y north, the opposite of the survey's
//    x and y) and its name as a text (GDAL writes an MTEXT) on layer
//    ZELK_LABELS, its lower left corner half a text height to the right of
//    and above the point, in the TrueType font SimSun so that Chinese
//    shows. The text is WriterOptions::labelHeight high (1 m for metres;
//    0.00001° for geodetic points). GDAL keeps the handle of every entity
//    in memory until the file is closed (about 150 bytes a point).
//  - Shapefile: PointZ features with the fields name (text, up to 254
//    bytes; the field is narrowed to the longest name when the file is
//    closed), then x y H / B L H / X Y Z (numbers, 24 wide with 15
//    decimals: every digit of a double for the values of the earth; a
//    value that does not fit, from 10^8 up or -10^7 down, is refused). The
//    .prj holds the spatial reference (none without one), the .cpg says
//    UTF-8. GDAL keeps each record's place in memory until the file is
//    closed (8 bytes a point).
//  - GeoPackage: a point-Z layer with the same fields (double values, so
//    exact) and the spatial reference, committed every
//    WriterOptions::transaction points; with a spatial index, which GDAL
//    builds when the file is closed, through a 32 MB page cache.
//  - GeoJSON (RFC 7946): Geodetic only, longitude, latitude and height with
//    up to 12 decimals (the text files' 9 come through as they are; GDAL
//    trims trailing zeros), properties name and H;
//    no spatial reference is written (RFC 7946 has none: WGS84 is implied;
//    the caller refuses other systems, see GeoJsonProblemText).
//  - XLSX: one sheet, a header row 点名 x y H / 点名 B L H / 点名 X Y Z and
//    a row per point: the name as a text cell (a name such as "=1+2" stays
//    text, never a formula), the values as number cells with 15
//    significant digits (all that a spreadsheet keeps; more than the text
//    files write). GDAL keeps the whole sheet in memory until Commit, and a
//    sheet holds at most kXlsxMaxPoints points.
// The layer (GeoPackage), sheet (XLSX) and collection (GeoJSON) are named
// after the target file's stem, or WriterOptions::layer.
//
// Names. Each format keeps text as UTF-8: a name in UTF-8 is written as it
// is, a GBK name is converted to UTF-8, and a name that is neither is
// refused, as are names with control characters (bytes below 0x20, DEL),
// with blanks at either end (the readers take those as not part of a cell),
// names that do not fit (Shapefile: 254 bytes) and, in DXF, names a CAD
// text would show otherwise: with { or }, or with %%. A refused name stops
// the writer (nothing is dropped); the message gives the point's number (1
// for the first point written) and the name.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "gis/gis_format.h"

namespace zelk::gis {

inline constexpr std::uint64_t kXlsxMaxPoints = 1048575;  // rows of a sheet, less the header

struct WriterOptions {
    std::string layer;         // empty: the target's stem
    double labelHeight = 0.0;  // DXF; 0: 1 m, or 0.00001° for geodetic points
    int transaction = 20000;   // GeoPackage: points per transaction
};

class PointWriter {
public:
    enum class Failure {
        None,
        Open,        // the target cannot be written, or the format not with these axes
        Name,        // a name the format cannot hold
        Value,       // a value the format cannot hold (not finite, too large)
        Write,       // GDAL or the system failed
        Full,        // XLSX: more points than a sheet holds
    };

    PointWriter();
    ~PointWriter();  // abandons what is not committed
    PointWriter(const PointWriter&) = delete;
    PointWriter& operator=(const PointWriter&) = delete;

    // Starts the output; srs is the target system (may be empty). False,
    // with Message(), when the target cannot be written.
    bool Open(const std::filesystem::path& target, Format format, Axes axes,
              const SpatialReference& srs, const WriterOptions& options = {});
    // Writes one point. False, with Message(), when it cannot; the writer
    // then takes no more points, and the caller abandons the output.
    bool Write(std::string_view name, const double values[3]);
    // Finishes the file and puts it in place. False, with Message(), when
    // that fails; the target is then as it was.
    bool Commit();
    // Drops the output: the target stays as it was, no file is left.
    void Abandon();

    std::uint64_t Points() const;
    Failure GetFailure() const;
    // What went wrong, for the user (Chinese, naming the file), GDAL's own
    // text after it where it said something.
    const std::string& Message() const;

private:
    struct State;
    std::unique_ptr<State> m;
};

// The name as a Format holds it (UTF-8), or a message saying why it cannot
// (without the point's number).
struct NameCheck {
    std::string utf8;
    std::string problem;  // empty: fine
};
NameCheck CheckName(Format format, std::string_view name);

}  // namespace zelk::gis
