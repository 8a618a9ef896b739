// One step of bench/compare-gis, timed from outside: writes COUNT points
// into a file of FORMAT, or reads every point of one back.
//   zelk-bench-gis write FORMAT COUNT FILE
//   zelk-bench-gis read FORMAT FILE
// FORMAT: dxf shp gpkg geojson xlsx, or plain (the text file ZELK writes
// today, through the same output and line writer as a conversion). The
// points are the benchmarks' Beijing 1954 Gauss-Kruger points with names
// 测点1, 测点2 ...; GeoJSON, which holds longitudes and latitudes, gets
// geodetic points in degrees. Reading prints the points read and a sum of
// their values, so that nothing is optimised away and runs can be compared.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>

#include "bench_points.h"
#include "gis/point_reader.h"
#include "gis/point_writer.h"
#include "workflow/file_conversion.h"
#include "workflow/point_formats.h"
#include "workflow/point_scan.h"

using namespace zelk;

namespace {

using pointformat::Axes;

int Usage() {
    std::fputs("usage: zelk-bench-gis write FORMAT COUNT FILE | read FORMAT FILE\n"
               "  FORMAT: plain dxf shp gpkg geojson xlsx\n",
               stderr);
    return 2;
}

int Write(const std::string& format, long long count, const char* file) {
    const bool geodetic = format == "geojson";
    const Axes axes = geodetic ? Axes::Geodetic : Axes::Plane;
    BenchPoints points;
    const auto next = [&](double values[3]) {
        if (geodetic) {
            values[0] = points.Uniform(23.0, 49.0);
            values[1] = points.Uniform(115.5, 118.5);
            values[2] = points.Uniform(0.0, 2000.0);
        } else {
            points.NextGauss(values[0], values[1], values[2]);
        }
    };
    std::string name;
    const auto nameOf = [&](long long i) -> const std::string& {
        name = "\xE6\xB5\x8B\xE7\x82\xB9";  // 测点
        name += std::to_string(i + 1);
        return name;
    };
    if (format == "plain") {
        AtomicOutputFile output;
        if (!output.Open(file)) return 1;
        std::string out;
        double values[3];
        for (long long i = 0; i < count; ++i) {
            next(values);
            pointformat::AppendPlainRecord(out, true, nameOf(i), values, axes, AngleFormat::Packed);
            if (out.size() >= (1 << 20)) {
                if (std::fwrite(out.data(), 1, out.size(), output.Stream()) != out.size()) return 1;
                out.clear();
            }
        }
        if (std::fwrite(out.data(), 1, out.size(), output.Stream()) != out.size()) return 1;
        return output.Commit() ? 0 : 1;
    }
    const auto gisFormat = zelk::gis::FormatFromName(format);
    if (!gisFormat) return Usage();
    zelk::gis::SpatialReference srs;
    srs.epsg = geodetic ? 4490 : 2435;  // Beijing 1954 / 3-degree Gauss-Kruger CM 117E
    zelk::gis::PointWriter writer;
    if (!writer.Open(file, *gisFormat, axes, srs)) {
        std::fprintf(stderr, "%s\n", writer.Message().c_str());
        return 1;
    }
    double values[3];
    for (long long i = 0; i < count; ++i) {
        next(values);
        if (!writer.Write(nameOf(i), values)) {
            std::fprintf(stderr, "%s\n", writer.Message().c_str());
            return 1;
        }
    }
    if (!writer.Commit()) {
        std::fprintf(stderr, "%s\n", writer.Message().c_str());
        return 1;
    }
    return 0;
}

int Read(const std::string& format, const char* file) {
    long long count = 0;
    double sum = 0.0;
    if (format == "plain") {
        std::FILE* in = std::fopen(file, "rb");
        if (!in) return 1;
        pointscan::ChunkSource source(in, true, 1 << 20);
        pointscan::Chunk chunk;
        for (;;) {
            const auto status = source.Next(chunk);
            if (status == pointscan::ChunkSource::Status::ReadError) return 1;
            if (status == pointscan::ChunkSource::Status::End) break;
            pointformat::PlainChunkParser parser(chunk, true, Axes::Plane, AngleFormat::Packed);
            pointformat::PointRecord record;
            for (;;) {
                const auto result = parser.Next(record);
                if (result == pointformat::ParseResult::Problem) return 1;
                if (result == pointformat::ParseResult::End) break;
                ++count;
                sum += record.values[0] + record.values[1] + record.values[2];
            }
        }
        std::fclose(in);
    } else {
        const auto gisFormat = zelk::gis::FormatFromName(format);
        if (!gisFormat) return Usage();
        zelk::gis::PointReader reader;
        const Axes axes = format == "geojson" ? Axes::Geodetic : Axes::Plane;
        if (!reader.Open(file, *gisFormat, axes)) {
            std::fprintf(stderr, "%s\n", reader.Message().c_str());
            return 1;
        }
        zelk::gis::PointRecord record;
        for (;;) {
            const auto result = reader.Next(record);
            if (result == zelk::gis::PointReader::Result::Problem) {
                std::fprintf(stderr, "%s\n", reader.Message().c_str());
                return 1;
            }
            if (result == zelk::gis::PointReader::Result::End) break;
            ++count;
            sum += record.values[0] + record.values[1] + record.values[2];
        }
    }
    std::printf("%lld points, sum %.6f\n", count, sum);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "write") == 0) {
        long long count = 0;
        const char* text = argv[3];
        if (std::from_chars(text, text + std::strlen(text), count).ec != std::errc() || count < 0) {
            return Usage();
        }
        return Write(argv[2], count, argv[4]);
    }
    if (argc == 4 && std::strcmp(argv[1], "read") == 0) return Read(argv[2], argv[3]);
    return Usage();
}
