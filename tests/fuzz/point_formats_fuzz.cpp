// The dat and csv readers, and plain files with degrees or DMS angles.
//
// The first byte chooses how to read, the rest is the file:
//   bits 0-1  format: dat, csv, plain with names, plain without names
//   bits 2-3  axes: plane, geodetic, geocentric (3: geodetic again)
//   bits 4-5  angle format of geodetic B and L: packed, degrees, dms
//   bits 6-7  block size of the second reading: 1, 7, 64 or 4096 bytes
//
// The file is read twice, in chunks of 256 KiB and in chunks of the chosen
// size: both readings must give the same points with the same bits and
// names, on the same lines, and end with the same problem on the same line.
// Every point read and written in its own format must read back the same.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "reference_points.h"
#include "workflow/point_formats.h"
#include "workflow/record_source.h"

using namespace zelk;

namespace {

using reference::Check;
using reference::SameDouble;
using namespace pointformat;

struct Point {
    std::string name;
    double values[3];
    std::int64_t line;
};

struct Reading {
    std::vector<Point> points;
    bool problem = false;
    ProblemKind kind = ProblemKind::Unreadable;
    std::int64_t line = 0;
    int field = 0;
};

Reading Read(std::string_view bytes, const InputFormat& format, std::size_t block) {
    reference::MemoryInput input(bytes);
    InputChunks chunks(input.Get(), format, block);
    InputChunk chunk;
    Reading reading;
    std::int64_t lines = 0;
    while (chunks.Next(chunk) == InputChunks::Status::Chunk) {
        ChunkRecords records(chunk, format, chunks.Layout());
        PointRecord record{};
        ParseResult result;
        while ((result = records.Next(record)) == ParseResult::Point) {
            reading.points.push_back({std::string(record.name),
                                      {record.values[0], record.values[1], record.values[2]},
                                      lines + records.PointLinesBefore() + 1});
        }
        if (result == ParseResult::Problem) {
            reading.problem = true;
            reading.kind = records.Problem().kind;
            reading.field = records.Problem().field;
            reading.line = lines + records.Problem().linesBefore + 1;
            return reading;
        }
        lines += records.LinesPassed();
    }
    return reading;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned flags = data[0];
    static constexpr FileFormat kFormats[] = {FileFormat::Dat, FileFormat::Csv, FileFormat::Plain,
                                              FileFormat::Plain};
    static constexpr Axes kAxes[] = {Axes::Plane, Axes::Geodetic, Axes::Geocentric,
                                     Axes::Geodetic};
    static constexpr AngleFormat kAngles[] = {AngleFormat::Packed, AngleFormat::Degrees,
                                              AngleFormat::Dms, AngleFormat::Dms};
    static constexpr std::size_t kBlocks[] = {1, 7, 64, 4096};
    InputFormat format;
    format.format = kFormats[flags & 3];
    format.withNames = (flags & 3) == 2;
    format.axes = kAxes[(flags >> 2) & 3];
    format.angles = kAngles[(flags >> 4) & 3];
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    const Reading whole = Read(bytes, format, 256 * 1024);
    const Reading pieces = Read(bytes, format, kBlocks[(flags >> 6) & 3]);
    Check(whole.points.size() == pieces.points.size(), "as many points in chunks");
    for (std::size_t i = 0; i < whole.points.size(); ++i) {
        const Point& a = whole.points[i];
        const Point& b = pieces.points[i];
        Check(a.name == b.name, "the same name");
        Check(a.line == b.line, "the same line");
        for (int k = 0; k < 3; ++k) Check(SameDouble(a.values[k], b.values[k]), "the same value");
    }
    Check(whole.problem == pieces.problem, "the same end");
    if (whole.problem) {
        Check(whole.kind == pieces.kind && whole.field == pieces.field, "the same problem");
        Check(whole.line == pieces.line, "the problem on the same line");
    }

    // Written in its own format and read back: the same point.
    for (const Point& p : whole.points) {
        std::string text;
        if (format.format == FileFormat::Dat) {
            if (!AppendDatRecord(text, p.name, {}, p.values, format.axes, format.angles)) continue;
        } else if (format.format == FileFormat::Csv) {
            AppendCsvHeader(text, format.axes);
            AppendCsvRecord(text, p.name, p.values, format.axes, format.angles);
        } else if (!AppendPlainRecord(text, format.withNames, p.name, p.values, format.axes,
                                      format.angles)) {
            continue;
        }
        const Reading back = Read(text, format, 256 * 1024);
        Check(!back.problem && back.points.size() == 1, "a written point reads back");
        Check(back.points[0].name == p.name || !format.HasNames(), "its name reads back");
    }
    return 0;
}
