// Geoid grid lookups: undulations per second in three orders of points, and
// the time to open a grid.
//   zelk-bench --benchmark_filter=BM_Geoid
//
// Grids (the first argument):
//   0  EGM96 by name (egm96_15.gtx from proj-data; skipped when absent)
//   1  a made-up 1′ whole-earth GTX of 10801 x 21601 nodes (933 MB), the size
//      of EGM2008 at 1′, written to /tmp/zelk-bench-geoid-1min.gtx on first
//      use and kept for later runs (never committed)
// Orders (the second argument):
//   0  walk    a traverse of 10 m steps wandering about a site, as the points
//              of a survey file come
//   1  region  uniform over 23..49 N, 115.5..118.5 E: the area of the points
//              of bench/compare-proj, in no order
//   2  earth   uniform over the whole earth: nearly every point needs a block
//              that is not cached, the cache's worst case
// BM_GeoidFileConversion: a whole file of 200,000 points, Beijing 1954
// Gauss-Kruger on 117 to WGS84 geodetic with seven parameters (as
// BM_ConvertFile), into /dev/null, on one thread (processor time, the least
// disturbed by other work on the machine): 0 without a geoid, 1 the
// target's heights above EGM96, 2 the source's.
// Peak memory of a run (the cache stays within its 32 MiB):
//   /usr/bin/time -v build/bench/zelk-bench --benchmark_filter='BM_GeoidLookup/grid:1/order:2'
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench_points.h"
#include "grids/geoid_grid.h"
#include "platform/number_text.h"
#include "workflow/chain.h"
#include "workflow/file_conversion.h"
#include "workflow/geoid_model.h"
#include "workflow/point_file.h"

using namespace zelk;

namespace {

using zelk::grids::GeoidGrid;

const char* const kLargeGtx = "/tmp/zelk-bench-geoid-1min.gtx";
const char* const kLargeIsg = "/tmp/zelk-bench-geoid-5min.isg";

// A smooth made-up undulation, cheap to make for 233 million nodes.
double RowPart(double lat) { return 30.0 * std::sin(lat * 0.0523599) + 0.01 * lat; }
double ColumnPart(double lon) { return 20.0 * std::cos(lon * 0.0349066) - 5.0; }

void PutBig(unsigned char* out, const void* value, int bytes) {
    unsigned char b[8];
    std::memcpy(b, value, static_cast<std::size_t>(bytes));
    for (int i = 0; i < bytes; ++i) out[i] = b[bytes - 1 - i];
}

// Writes the 1′ whole-earth GTX one row at a time, unless it is there.
bool MakeLargeGtx() {
    const int rows = 10801, cols = 21601;
    const std::uint64_t size = 40 + std::uint64_t{4} * rows * cols;
    std::error_code ec;
    if (std::filesystem::file_size(kLargeGtx, ec) == size) return true;
    std::FILE* file = std::fopen(kLargeGtx, "wb");
    if (!file) return false;
    unsigned char header[40];
    const double h[4] = {-90.0, -180.0, 1.0 / 60.0, 1.0 / 60.0};
    for (int i = 0; i < 4; ++i) PutBig(header + 8 * i, &h[i], 8);
    const std::int32_t n[2] = {rows, cols};
    PutBig(header + 32, &n[0], 4);
    PutBig(header + 36, &n[1], 4);
    bool ok = std::fwrite(header, 1, sizeof header, file) == sizeof header;
    std::vector<double> columns(cols);
    for (int c = 0; c < cols; ++c) columns[c] = ColumnPart(-180.0 + c / 60.0);
    std::vector<unsigned char> row(4 * static_cast<std::size_t>(cols));
    for (int r = 0; r < rows && ok; ++r) {
        const double part = RowPart(-90.0 + r / 60.0);
        for (int c = 0; c < cols; ++c) {
            const float value = static_cast<float>(part + columns[c]);
            PutBig(row.data() + 4 * c, &value, 4);
        }
        ok = std::fwrite(row.data(), 1, row.size(), file) == row.size();
    }
    ok = std::fclose(file) == 0 && ok;
    if (!ok) std::filesystem::remove(kLargeGtx, ec);
    return ok;
}

// A 5′ whole-earth ISG 2.0 (2161 x 4321 values, about 100 MB of text).
bool MakeLargeIsg() {
    std::error_code ec;
    if (std::filesystem::exists(kLargeIsg, ec)) return true;
    std::FILE* file = std::fopen(kLargeIsg, "wb");
    if (!file) return false;
    const int rows = 2161, cols = 4321;
    std::string text =
        "begin_of_head ================================================\n"
        "model name     : ZELK-BENCH\n"
        "data format    : grid\n"
        "data ordering  : N-to-S, W-to-E\n"
        "coord type     : geodetic\n"
        "coord units    : deg\n"
        "lat min        =  -90.000000\n"
        "lat max        =   90.000000\n"
        "lon min        = -180.000000\n"
        "lon max        =  180.000000\n"
        "delta lat      =    0.083333\n"
        "delta lon      =    0.083333\n"
        "nrows          =        2161\n"
        "ncols          =        4321\n"
        "nodata         =  -9999.0000\n"
        "ISG format     =         2.0\n"
        "end_of_head ==================================================\n";
    bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    for (int r = 0; r < rows && ok; ++r) {
        const double part = RowPart(90.0 - r / 12.0);
        text.clear();
        for (int c = 0; c < cols; ++c) {
            if (c > 0) text += ' ';
            AppendFixed(text, part + ColumnPart(-180.0 + c / 12.0), 4);
        }
        text += '\n';
        ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    }
    ok = std::fclose(file) == 0 && ok;
    if (!ok) std::filesystem::remove(kLargeIsg, ec);
    return ok;
}

std::unique_ptr<GeoidGrid> OpenGrid(int which, std::string& error) {
    if (which == 0) return zelk::grids::OpenModel("egm96", error);
    if (!MakeLargeGtx()) {
        error = std::string("cannot write ") + kLargeGtx;
        return nullptr;
    }
    return GeoidGrid::Open(kLargeGtx, error);
}

// 65536 points (1 MB) in the given order, used round and round.
std::vector<double> Points(int order) {
    BenchPoints random(7);
    std::vector<double> points;
    double lat = 30.5, lon = 114.2;  // the walk's start
    const double step = 10.0 / 111000.0;
    for (int i = 0; i < 65536; ++i) {
        if (order == 0) {
            const double direction = random.Uniform(0.0, 6.283185307179586);
            lat += step * std::sin(direction);
            lon += step * std::cos(direction) / std::cos(lat * 0.017453292519943295);
        } else if (order == 1) {
            lat = random.Uniform(23.0, 49.0);
            lon = random.Uniform(115.5, 118.5);
        } else {
            lat = std::asin(random.Uniform(-1.0, 1.0)) * 57.29577951308232;
            lon = random.Uniform(-180.0, 180.0);
        }
        points.push_back(lat);
        points.push_back(lon);
    }
    return points;
}

GeoidGrid* SharedGrid(int which, std::string& error) {
    static std::unique_ptr<GeoidGrid> grids[2];
    if (!grids[which]) grids[which] = OpenGrid(which, error);
    return grids[which].get();
}

void BM_GeoidLookup(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const int order = static_cast<int>(state.range(1));
    static std::string error;
    static GeoidGrid* grid = nullptr;
    if (state.thread_index() == 0) grid = SharedGrid(which, error);
    // Threads wait here for the first one's grid (Google Benchmark starts
    // the timed loop of all threads together).
    const std::vector<double> points = Points(order);
    std::size_t i = 0;
    double sum = 0.0;
    std::int64_t refused = 0;
    for (auto _ : state) {
        if (grid == nullptr) {
            state.SkipWithError(error.c_str());
            break;
        }
        double N = 0.0;
        if (grid->Undulation(points[i], points[i + 1], N)) {
            sum += N;
        } else {
            ++refused;
        }
        i = (i + 2) & (points.size() - 1);
    }
    benchmark::DoNotOptimize(sum);
    state.counters["refused"] = static_cast<double>(refused);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GeoidLookup)
    ->ArgNames({"grid", "order"})
    ->ArgsProduct({{0, 1}, {0, 1, 2}})
    ->Threads(1);
BENCHMARK(BM_GeoidLookup)->ArgNames({"grid", "order"})->Args({1, 1})->Threads(2)->UseRealTime();

// Opening a grid, as a user waits for it before the first point: 0 EGM96
// (GTX, 4 MB), 1 the 1′ GTX (933 MB), 2 a 5′ ISG (100 MB of text, read
// through once).
void BM_GeoidOpen(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    std::string error;
    if ((which == 1 && !MakeLargeGtx()) || (which == 2 && !MakeLargeIsg())) {
        state.SkipWithError("cannot write the grid in /tmp");
        return;
    }
    for (auto _ : state) {
        std::unique_ptr<GeoidGrid> grid = which == 0   ? zelk::grids::OpenModel("egm96", error)
                                          : which == 1 ? GeoidGrid::Open(kLargeGtx, error)
                                                       : GeoidGrid::Open(kLargeIsg, error);
        if (!grid) {
            state.SkipWithError(error.c_str());
            break;
        }
        double N = 0.0;
        benchmark::DoNotOptimize(grid->Undulation(30.0, 114.0, N));
        benchmark::DoNotOptimize(N);
    }
}
BENCHMARK(BM_GeoidOpen)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GeoidFileConversion(benchmark::State& state) {
    constexpr int kPoints = 200000;
    const int geoid = static_cast<int>(state.range(0));
    const GeoidModel egm96 = OpenGeoidModel("egm96");
    if (geoid != 0 && !egm96.IsOpen()) {
        state.SkipWithError("EGM96 is not installed");
        return;
    }
    std::FILE* file = std::tmpfile();
    BenchPoints points;
    std::string text;
    for (int i = 0; i < kPoints; ++i) {
        double x, y, H;
        points.NextGauss(x, y, H);
        AppendPointLine(text, false, {}, x, y, H);
    }
    std::fwrite(text.data(), 1, text.size(), file);
    std::fflush(file);
    std::FILE* sink = std::fopen("/dev/null", "wb");
    const Crs from = MakeCrs(*FindSystem("beijing54-gauss"), Zoning::Meridian, 117);
    const Crs to = MakeCrs(*FindSystem("wgs84-geodetic"));
    ChainHeights heights;
    if (geoid == 1) heights.to = egm96.grid;
    if (geoid == 2) heights.from = egm96.grid;
    const ConversionChain chain(from, to, {Transformation::Seven({-12.5, 129.3, 48.7, 2.35, -0.42, 0.31, 1.87})},
                                heights);
    FileConversionOptions options;
    options.threads = 1;
    for (auto _ : state) {
        std::rewind(file);
        const FileConversionResult result = ConvertPointFile(file, sink, false, chain, options);
        if (result.status != FileConversionResult::Status::Ok) state.SkipWithError("failed");
    }
    std::fclose(sink);
    std::fclose(file);
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_GeoidFileConversion)->ArgName("geoid")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
