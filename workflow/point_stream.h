// Point files in formats the core does not hold itself: GIS, CAD and
// spreadsheet files (DXF, Shapefile, GeoPackage, GeoJSON, XLSX), which the
// gis library reads and writes through GDAL. The core never links GDAL: a
// program that has those formats hands ConvertFiles an ExternalFormats
// (ConversionRequest::external), and the conversion takes points from a
// PointSource and gives them to a PointSink, one by one, in the file's order.
//
// Both are used on one thread only, the one that reads the input and
// writes the output (ConvertPointFile's calling thread); worker threads
// never touch them. Values are in the engine's order and units, as a
// record of a text file holds them (workflow/point_formats.h): x y H,
// B L H with B and L in packed DMS, or X Y Z; the formats turn them into
// what their files hold (decimal degrees) and back.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "workflow/angle_text.h"
#include "workflow/coordinate_system.h"
#include "workflow/point_formats.h"

namespace zelk {

// One point read from a source.
struct SourcePoint {
    std::string name;          // bytes; empty when the file gives none
    double values[3] = {};     // engine order and units
    std::int64_t number = 0;   // where it is in the file (see PointSource::Place)
};

class PointSource {
public:
    enum class Result { Point, End, Problem };

    virtual ~PointSource() = default;
    // The next point. After Problem (with Message()) the source stays there.
    virtual Result Next(SourcePoint& point) = 0;
    // What is wrong, naming the file and the place in it.
    virtual const std::string& Message() const = 0;
    // The place of the point with this number, as a message names it:
    // "第12行" (a sheet's row), "第12个要素" (a layer's feature), "第12个点".
    virtual std::string Place(std::int64_t number) const = 0;
    // About how much of the input has been read, in bytes of the file, for
    // a progress display.
    virtual std::uint64_t BytesRead() const = 0;
};

class PointSink {
public:
    virtual ~PointSink() = default;
    // Writes one point. False, with Message(), when it cannot (a name or a
    // value the format cannot hold, a failure of the system); the sink then
    // takes no more points and the caller abandons it.
    virtual bool Write(std::string_view name, const double values[3]) = 0;
    // Completes the output and puts it in place. False, with Message(): the
    // target is then as it was.
    virtual bool Commit() = 0;
    // Drops the output; the target stays as it was and no file is left.
    virtual void Abandon() = 0;
    virtual const std::string& Message() const = 0;
};

// What the source or sink of a file in a format outside the core needs.
struct ExternalInput {
    std::filesystem::path path;
    pointformat::FileFormat format = pointformat::FileFormat::Xlsx;
    pointformat::Axes axes = pointformat::Axes::Plane;
    AngleFormat angles = AngleFormat::Packed;  // B and L written as text, or in a sheet
    std::string layer;                         // empty: the first sheet or layer
};

struct ExternalOutput {
    std::filesystem::path path;
    pointformat::FileFormat format = pointformat::FileFormat::Xlsx;
    Crs target;  // the system the points are in, declared by the file where it can
};

class ExternalFormats {
public:
    virtual ~ExternalFormats() = default;
    // Whether this program reads or writes the format.
    virtual bool Has(pointformat::FileFormat format) const = 0;
    // Opens a source or a sink. Nothing, with problem set (a message naming
    // the file), when the file cannot be opened or holds no usable points;
    // a sink that did not open has left nothing behind.
    virtual std::unique_ptr<PointSource> OpenSource(const ExternalInput& input,
                                                    std::string& problem) const = 0;
    virtual std::unique_ptr<PointSink> OpenSink(const ExternalOutput& output,
                                                std::string& problem) const = 0;
};

}  // namespace zelk
