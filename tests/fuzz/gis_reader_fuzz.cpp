// The GIS, CAD and spreadsheet readers (gis/point_reader.h) on damaged
// files. GDAL's drivers are fuzzed by GDAL's own project; this target
// fuzzes what ZELK does with what they give: the column recognition, the
// values and names taken from cells and fields, the DXF labels, the
// messages.
//
// The first byte chooses how to read, the rest is the file:
//   bits 0-2  format: xlsx, gpkg, geojson, dxf, shp (5-7: geojson again)
//   bits 3-4  axes: plane, geodetic, geocentric (3: plane again)
//   bits 5-6  angle format of B and L: packed, degrees, dms (3: degrees)
// A Shapefile is three files: two bytes (little-endian) give the size of
// the .shp, two more that of the .shx, the rest is the .dbf.
//
// Properties: a file refused at opening or at a record is named in the
// message, before any text of GDAL's; every point has finite values and a
// number above the one before.
#include <cpl_vsi.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "gis/point_reader.h"
#include "reference_points.h"

using namespace zelk;

namespace {

using reference::Check;
using zelk::gis::Axes;
using zelk::gis::Format;

void Put(const std::string& path, const std::uint8_t* data, std::size_t size) {
    // GDAL copies nothing: the buffer belongs to the file until it is unlinked.
    VSIFCloseL(VSIFileFromMemBuffer(path.c_str(), const_cast<GByte*>(data), size, FALSE));
}

void CheckNamed(const std::string& message, const std::string& file) {
    Check(!message.empty(), "a refusal has a message");
    const std::size_t named = message.find(file);
    Check(named != std::string::npos, "the message names the file");
    const std::size_t gdal = message.find("GDAL");
    Check(gdal == std::string::npos || named < gdal, "the file is named before GDAL's text");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t how = data[0];
    ++data;
    --size;
    static const Format kFormats[] = {Format::Xlsx,    Format::GeoPackage, Format::GeoJson,
                                      Format::Dxf,     Format::Shapefile,  Format::GeoJson,
                                      Format::GeoJson, Format::GeoJson};
    static const Axes kAxes[] = {Axes::Plane, Axes::Geodetic, Axes::Geocentric, Axes::Plane};
    static const AngleFormat kAngles[] = {AngleFormat::Packed, AngleFormat::Degrees,
                                          AngleFormat::Dms, AngleFormat::Degrees};
    const Format format = kFormats[how & 7];
    const Axes axes = kAxes[(how >> 3) & 3];
    zelk::gis::ReaderOptions options;
    options.angles = kAngles[(how >> 5) & 3];

    static const char* const kNames[] = {"/vsimem/fuzz/p.xlsx", "/vsimem/fuzz/p.gpkg",
                                         "/vsimem/fuzz/p.geojson", "/vsimem/fuzz/p.dxf",
                                         "/vsimem/fuzz/p.shp"};
    const std::string file = kNames[format == Format::Xlsx         ? 0
                                    : format == Format::GeoPackage ? 1
                                    : format == Format::GeoJson    ? 2
                                    : format == Format::Dxf        ? 3
                                                                   : 4];
    if (format == Format::Shapefile) {
        if (size < 4) return 0;
        const std::size_t shp = data[0] | (data[1] << 8);
        const std::size_t shx = data[2] | (data[3] << 8);
        data += 4;
        size -= 4;
        if (shp + shx > size) return 0;
        Put("/vsimem/fuzz/p.shp", data, shp);
        Put("/vsimem/fuzz/p.shx", data + shp, shx);
        Put("/vsimem/fuzz/p.dbf", data + shp + shx, size - shp - shx);
    } else {
        Put(file, data, size);
    }
    {
        zelk::gis::PointReader reader;
        if (!reader.Open(file, format, axes, options)) {
            CheckNamed(reader.Message(), file);
        } else {
            std::int64_t last = 0;
            zelk::gis::PointRecord record;
            for (;;) {
                const auto result = reader.Next(record);
                if (result == zelk::gis::PointReader::Result::End) break;
                if (result == zelk::gis::PointReader::Result::Problem) {
                    CheckNamed(reader.Message(), file);
                    break;
                }
                for (double v : record.values) Check(std::isfinite(v), "values are finite");
                Check(record.number > last, "records are numbered in order");
                last = record.number;
            }
        }
    }
    VSIRmdirRecursive("/vsimem/fuzz");
    return 0;
}
