// Reads points from a GIS, CAD or spreadsheet file through GDAL, one by one
// and in the file's order.
//
// Where the points are: the first sheet (XLSX) or layer (GeoPackage,
// Shapefile, GeoJSON) unless ReaderOptions::layer names another; in a DXF
// file the POINT entities, of every CAD layer or of the one
// ReaderOptions::layer names.
//
// Columns. The header row of a sheet (its first row) and the field names
// of a layer are recognised as the header of a csv file is
// (pointformat::FindCsvHeader, the same code): 点名/name/点号,
// x/N/北, y/E/东, H/h/高程, B/lat/纬度, L/lon/经度, X/Y/Z, for the axes
// given. When the fields name all three values, the values come from them;
// else, in a layer of points, from each point's geometry: (east, north)
// as (y, x), (L, B) or (X, Y), the height from the H (Z) field when there is
// one, else from the geometry (a DXF point without a height has 0). The
// name is the name field's; in a DXF file the text (TEXT or MTEXT, of any
// layer) that directly follows the POINT, as the writer puts it. A point
// with no name field or label has an empty name (the caller numbers it). A
// sheet or layer with neither usable fields nor point geometries is
// refused, naming the fields it has.
//
// Values. Number cells and fields are taken as they are (B and L in
// decimal degrees; ReaderOptions::angles Packed reads them as packed DMS;
// ReaderOptions::packedAngles gives every B and L in packed DMS);
// text cells as the csv reader reads text: metres as plain numbers, B and
// L in ReaderOptions::angles (decimal degrees also with an exponent, as
// spreadsheets write them). Blanks and tabs around a text are not part of
// it. Every value is given in decimal degrees (gis/gis_format.h). Empty
// rows of a sheet are passed over; an empty name or value is refused.
//
// Names are the file's bytes: UTF-8 for every format but the Shapefile,
// whose .dbf bytes are passed on unchanged (a Chinese .dbf holds UTF-8 or
// GBK, both of which the writers take).
//
// Numbers of records: a sheet's row (the header is row 1), else the
// feature's place in the layer (1 for the first). Memory stays bounded
// except for XLSX, whose sheet GDAL reads whole (a sheet holds at most
// 1,048,576 rows).
//
// Damaged files (a Shapefile without its .shx or .dbf, a truncated
// GeoPackage, an XLSX that is not a zip, a DXF without points...) get a
// message naming the file, GDAL's own text after it where it said any.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "gis/gis_format.h"
#include "workflow/angle_text.h"

namespace zelk::gis {

struct ReaderOptions {
    std::string layer;                          // empty: the first
    AngleFormat angles = AngleFormat::Degrees;  // how B and L are written
    // B and L given in packed DMS (the engine's unit) instead of decimal
    // degrees: degrees become packed as a csv file's text in degrees does
    // (exact decimal arithmetic), packed and DMS text cells are read
    // straight into packed DMS.
    bool packedAngles = false;
};

struct PointRecord {
    std::string name;      // bytes; empty when the file gives none
    double values[3] = {};  // engine order, B and L in decimal degrees
    std::int64_t number = 0;  // row of a sheet, else feature number
};

class PointReader {
public:
    enum class Result { Point, End, Problem };

    PointReader();
    ~PointReader();
    PointReader(const PointReader&) = delete;
    PointReader& operator=(const PointReader&) = delete;

    // Opens the file and finds its points. False, with Message(), when it
    // cannot be read or has no usable columns.
    bool Open(const std::filesystem::path& file, Format format, Axes axes,
              const ReaderOptions& options = {});
    // The next point. After Problem (with Message()) the reader stays there.
    Result Next(PointRecord& record);

    // After Open: the sheet or layer read, the names of its fields, and its
    // spatial reference (empty when it declares none; epsg when GDAL
    // identifies the code).
    const std::string& LayerName() const;
    const std::vector<std::string>& FieldNames() const;
    const SpatialReference& Srs() const;
    // Where the values come from: fields (true) or geometries (false).
    bool ValuesFromFields() const;
    // The features (a sheet's rows, a drawing's entities) of the layer,
    // where GDAL knows them without reading the file through; else -1. And
    // the features read so far. For a progress display.
    std::int64_t FeatureCount() const;
    std::int64_t FeaturesRead() const;

    const std::string& Message() const;

private:
    struct State;
    std::unique_ptr<State> m;
};

}  // namespace zelk::gis
