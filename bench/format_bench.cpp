// Reading and writing the same points in each file format, without the
// conversion between: the part of a file conversion that the format
// changes. The dat and csv goal is 70% of plain's throughput.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_points.h"
#include "engine/angle.h"
#include "platform/number_text.h"
#include "workflow/point_file.h"
#include "workflow/point_formats.h"
#include "workflow/point_scan.h"

using namespace zelk;

namespace {

using namespace pointformat;

constexpr int kPoints = 200000;
constexpr std::size_t kBlock = 128 * 1024;

// Layouts: 0 plane metres (x y H), 1 geodetic packed, 2 geodetic DMS,
// 3 geodetic degrees.
Axes AxesOf(int layout) { return layout == 0 ? Axes::Plane : Axes::Geodetic; }
AngleFormat AnglesOf(int layout) {
    return layout == 2 ? AngleFormat::Dms : layout == 3 ? AngleFormat::Degrees : AngleFormat::Packed;
}

struct Points {
    std::vector<std::string> names;
    std::vector<double> values;  // three per point
};

const Points& BenchSet(int layout) {
    static Points sets[2];
    Points& set = sets[layout == 0 ? 0 : 1];
    if (!set.names.empty()) return set;
    BenchPoints points;
    for (int i = 0; i < kPoints; ++i) {
        double x, y, H;
        points.NextGauss(x, y, H);
        if (layout != 0) {
            // Geodetic points as the engine gives them.
            x = RadianToDms(points.Uniform(23.0, 49.0) * kPi / 180);
            y = RadianToDms(points.Uniform(115.5, 118.5) * kPi / 180);
        }
        set.names.push_back("P" + std::to_string(i));
        set.values.insert(set.values.end(), {x, y, H});
    }
    return set;
}

// Appends one point in format, as the conversion writes it.
void AppendRecord(std::string& out, FileFormat format, int layout, std::string_view name,
                  const double* v) {
    const Axes axes = AxesOf(layout);
    const AngleFormat angles = AnglesOf(layout);
    switch (format) {
        case FileFormat::Plain:
            if (layout == 0) {
                AppendPointLine(out, true, name, v[0], v[1], v[2]);
            } else {
                AppendPlainRecord(out, true, name, v, axes, angles);
            }
            break;
        case FileFormat::Dat: AppendDatRecord(out, name, {}, v, axes, angles); break;
        case FileFormat::Csv: AppendCsvRecord(out, name, v, axes, angles); break;
        default: break;  // not measured here
    }
}

std::FILE* FormatFile(FileFormat format, int layout, long& size) {
    const Points& set = BenchSet(layout);
    std::string text;
    if (format == FileFormat::Csv) AppendCsvHeader(text, AxesOf(layout));
    for (int i = 0; i < kPoints; ++i) {
        AppendRecord(text, format, layout, set.names[i], &set.values[3 * i]);
    }
    std::FILE* file = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), file);
    std::fflush(file);
    size = static_cast<long>(text.size());
    return file;
}

// Reads every chunk, parses it and writes its points again in the format.
void BM_ParseWrite(benchmark::State& state) {
    const auto format = static_cast<FileFormat>(state.range(0));
    const int layout = static_cast<int>(state.range(1));
    const Axes axes = AxesOf(layout);
    const AngleFormat angles = AnglesOf(layout);
    long size = 0;
    std::FILE* file = FormatFile(format, layout, size);
    std::vector<char> chunk;
    std::string out;
    std::uint64_t points = 0;
    for (auto _ : state) {
        std::rewind(file);
        points = 0;
        PointRecord record;
        auto drain = [&](auto& parser) {
            out.clear();
            while (parser.Next(record) == ParseResult::Point) {
                AppendRecord(out, format, layout, record.name, record.values);
                ++points;
            }
            benchmark::DoNotOptimize(out.data());
        };
        if (format == FileFormat::Plain) {
            pointscan::ChunkSource source(file, true, kBlock);
            pointscan::Chunk plain;
            while (source.Next(plain) == pointscan::ChunkSource::Status::Chunk) {
                if (angles == AngleFormat::Packed) {
                    // Numbers only: the reader of today's conversion.
                    pointscan::ChunkParser parser(plain);
                    out.clear();
                    double v[3];
                    while (parser.Next(true, record.name, v) == pointscan::ChunkParser::Result::Point) {
                        AppendRecord(out, format, layout, record.name, v);
                        ++points;
                    }
                    benchmark::DoNotOptimize(out.data());
                } else {
                    PlainChunkParser parser(plain, true, axes, angles);
                    drain(parser);
                }
            }
        } else {
            LineChunkSource source(file, kBlock);
            CsvLayout csv;
            bool header = format == FileFormat::Dat;
            while (source.Next(chunk) == LineChunkSource::Status::Chunk) {
                char* begin = chunk.data();
                char* end = begin + chunk.size();
                if (!header) {
                    std::size_t offset = 0;
                    int lines = 0;
                    RecordProblem problem;
                    if (FindCsvHeader(begin, end, axes, csv, offset, lines, problem) !=
                        HeaderResult::Found) {
                        continue;
                    }
                    header = true;
                    begin += offset;
                }
                if (format == FileFormat::Dat) {
                    DatChunkParser parser(begin, end, axes, angles);
                    drain(parser);
                } else {
                    CsvChunkParser parser(begin, end, csv, axes, angles);
                    drain(parser);
                }
            }
        }
        if (points != kPoints) state.SkipWithError("points lost");
    }
    std::fclose(file);
    state.SetLabel(std::string(FileFormatName(format)) + " " +
                   (layout == 0 ? "x y H" : std::string("B L H ") + std::string(AngleFormatName(angles))));
    state.SetBytesProcessed(state.iterations() * size);
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_ParseWrite)
    ->ArgsProduct({{0, 1, 2}, {0, 1, 2, 3}})
    ->Unit(benchmark::kMillisecond);

// The exact fixed-point writers on file values: WriteFixed3 of plain
// files, and WriteFixed with 3 decimals (metres), 8 (packed angles) and 9.
void BM_WriteFixed(benchmark::State& state) {
    const int decimals = static_cast<int>(state.range(0));
    const Points& set = BenchSet(decimals <= 3 ? 0 : 1);
    char text[kWriteFixedMax];
    for (auto _ : state) {
        for (double v : set.values) {
            char* end = decimals < 0 ? pointscan::WriteFixed3(text, v) : WriteFixed(text, v, decimals);
            benchmark::DoNotOptimize(end);
        }
    }
    state.SetLabel(decimals < 0 ? "WriteFixed3" : "WriteFixed " + std::to_string(decimals));
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(set.values.size()));
}
BENCHMARK(BM_WriteFixed)->Arg(-1)->Arg(3)->Arg(8)->Arg(9)->Unit(benchmark::kMillisecond);

}  // namespace
