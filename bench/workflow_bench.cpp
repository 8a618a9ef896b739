// Micro-benchmarks of the conversion chain and the point-file fast path.
//   zelk-bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench_points.h"
#include "engine/angle.h"
#include "engine/datum.h"
#include "engine/transverse_mercator.h"
#include "workflow/chain.h"
#include "workflow/coordinate_system.h"
#include "workflow/file_conversion.h"
#include "workflow/point_file.h"
#include "workflow/transformation.h"

using namespace zelk;

namespace {

const SevenParams kParams{-12.5, 129.3, 48.7, 2.35, -0.42, 0.31, 1.87};
constexpr double kMeridian = 117.0;

struct Triple {
    double a, b, c;
};

// The six systems in the order the programs have always listed them.
const char* const kSystems[6] = {"wgs84-utm",          "wgs84-geodetic", "beijing54-gauss",
                                 "beijing54-geodetic", "xian80-gauss",   "xian80-geodetic"};

Crs System(int index) {
    return MakeCrs(*FindSystem(kSystems[index]), Zoning::Meridian, kMeridian);
}

// The chain from system S to system T through the parameters.
ConversionChain Chain(int source, int target) {
    return ConversionChain(System(source), System(target), {Transformation::Seven(kParams)});
}

std::string Label(int source, int target) {
    return std::string(kSystems[source]) + " -> " + kSystems[target];
}

// A point near Beijing (39 54 12 N, 116 23 24 E, 52.3 m) in system S (a
// projected system's geodetic one follows it in the list).
Triple PointIn(int index) {
    Triple t{39.5412, 116.2324, 52.3};
    if (System(index).IsProjected()) {
        ConversionChain(System(index + 1), System(index)).Convert(t.a, t.b, t.c);
    }
    return t;
}

// A chain built for each point, as a single typed point is converted.
void BM_ChainEachPoint(benchmark::State& state) {
    const int source = static_cast<int>(state.range(0));
    const int target = static_cast<int>(state.range(1));
    const Triple input = PointIn(source);
    for (auto _ : state) {
        Triple t = input;
        benchmark::DoNotOptimize(t);
        Chain(source, target).Convert(t.a, t.b, t.c);
        benchmark::DoNotOptimize(t);
    }
    state.SetLabel(Label(source, target));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ChainEachPoint)->ArgsProduct({{0, 1, 2, 3, 4, 5}, {0, 1, 2, 3, 4, 5}});

// One chain for many points, as a file conversion has it, one point a call.
void BM_Chain(benchmark::State& state) {
    const int source = static_cast<int>(state.range(0));
    const int target = static_cast<int>(state.range(1));
    const Triple input = PointIn(source);
    const ConversionChain chain = Chain(source, target);
    for (auto _ : state) {
        Triple t = input;
        benchmark::DoNotOptimize(t);
        chain.Convert(t.a, t.b, t.c);
        benchmark::DoNotOptimize(t);
    }
    state.SetLabel(Label(source, target));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Chain)->Args({2, 1})->Args({1, 2})->Args({3, 5});

// The same, 64 points a call, as file conversion calls it: time per point.
void BM_ChainMany(benchmark::State& state) {
    const int source = static_cast<int>(state.range(0));
    const int target = static_cast<int>(state.range(1));
    const Triple input = PointIn(source);
    const ConversionChain chain = Chain(source, target);
    constexpr int kCount = 64;
    double values[3 * kCount];
    PointProblem problems[kCount];
    for (auto _ : state) {
        for (int i = 0; i < kCount; ++i) {
            values[3 * i] = input.a;
            values[3 * i + 1] = input.b;
            values[3 * i + 2] = input.c;
        }
        benchmark::DoNotOptimize(values);
        chain.Convert(values, problems, kCount);
        benchmark::DoNotOptimize(values);
    }
    state.SetLabel(Label(source, target));
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_ChainMany)->Args({2, 1})->Args({1, 2})->Args({3, 5});

constexpr int kFilePoints = 200000;

// A temporary file of realistic points, with or without names.
std::FILE* PointFile(bool withNames) {
    std::FILE* file = std::tmpfile();
    BenchPoints points;
    std::string text;
    for (int i = 0; i < kFilePoints; ++i) {
        double x, y, H;
        points.NextGauss(x, y, H);
        AppendPointLine(text, withNames, "P" + std::to_string(i), x, y, H);
    }
    std::fwrite(text.data(), 1, text.size(), file);
    std::fflush(file);
    return file;
}

long FileSize(std::FILE* file) {
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::rewind(file);
    return size;
}

void BM_ReadPoints(benchmark::State& state) {
    const bool withNames = state.range(0) != 0;
    std::FILE* file = PointFile(withNames);
    const long size = FileSize(file);
    for (auto _ : state) {
        std::rewind(file);
        PointReader reader(file, withNames);
        std::string_view name;
        double a, b, c, sum = 0;
        while (reader.Next(name, a, b, c) == PointReader::Status::Point) sum += a;
        benchmark::DoNotOptimize(sum);
    }
    std::fclose(file);
    state.SetBytesProcessed(state.iterations() * size);
    state.SetItemsProcessed(state.iterations() * kFilePoints);
}
BENCHMARK(BM_ReadPoints)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_WritePoints(benchmark::State& state) {
    const bool withNames = state.range(0) != 0;
    BenchPoints points;
    std::vector<Triple> triples(kFilePoints);
    std::vector<std::string> names(kFilePoints);
    for (int i = 0; i < kFilePoints; ++i) {
        points.NextGauss(triples[i].a, triples[i].b, triples[i].c);
        names[i] = "P" + std::to_string(i);
    }
    std::string out;
    std::size_t bytes = 0;
    for (auto _ : state) {
        out.clear();
        for (int i = 0; i < kFilePoints; ++i) {
            AppendPointLine(out, withNames, names[i], triples[i].a, triples[i].b, triples[i].c);
        }
        bytes += out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.SetItemsProcessed(state.iterations() * kFilePoints);
}
BENCHMARK(BM_WritePoints)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A whole file, Beijing 1954 Gauss on 117 to WGS84 geodetic, into /dev/null.
void BM_ConvertFile(benchmark::State& state) {
    std::FILE* file = PointFile(false);
    const long size = FileSize(file);
    std::FILE* sink = std::fopen("/dev/null", "wb");
    FileConversionOptions options;
    options.threads = static_cast<int>(state.range(0));
    const ConversionChain chain = Chain(2, 1);
    for (auto _ : state) {
        std::rewind(file);
        const FileConversionResult result = ConvertPointFile(file, sink, chain, FileFormats{}, options);
        if (result.status != FileConversionResult::Status::Ok) state.SkipWithError("failed");
    }
    std::fclose(sink);
    std::fclose(file);
    state.SetBytesProcessed(state.iterations() * size);
    state.SetItemsProcessed(state.iterations() * kFilePoints);
}
BENCHMARK(BM_ConvertFile)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

// One transverse Mercator series on CGCS2000, 64 points a call within 6
// degrees of the meridian: forward (direction 0, through ForwardLanes) or
// reverse (1, through ReverseLanes), four points at a time, as file
// conversion calls them.
// Series: 0 Gauss-Kruger, 1 UTM, 2 Krüger's series.
void BM_TransverseMercator(benchmark::State& state) {
    const auto series = static_cast<zelk::TmSeries>(state.range(0));
    const bool reverse = state.range(1) == 1;
    const zelk::TransverseMercator tm(zelk::DatumOf(zelk::DatumId::Cgcs2000).ellipsoid, 1.0,
                                      500000.0, series);
    constexpr int kCount = 64;
    const double L0 = 117 * kPi / 180;
    double L0s[kCount], a[kCount], b[kCount], outA[kCount], outB[kCount];
    for (int i = 0; i < kCount; ++i) {
        L0s[i] = L0;
        a[i] = (18 + 36.0 * i / kCount) * kPi / 180;
        b[i] = L0 + (-6 + 12.0 * i / kCount) * kPi / 180;
        if (reverse) tm.Forward(L0, a[i], b[i], a[i], b[i]);
    }
    for (auto _ : state) {
        if (reverse) {
            for (int i = 0; i < kCount; i += zelk::TransverseMercator::kLanes) {
                tm.ReverseLanes(L0s + i, a + i, b + i, outA + i, outB + i,
                                zelk::TransverseMercator::kLanes);
            }
        } else {
            for (int i = 0; i < kCount; i += zelk::TransverseMercator::kLanes) {
                tm.ForwardLanes(L0s + i, a + i, b + i, outA + i, outB + i,
                                zelk::TransverseMercator::kLanes);
            }
        }
        benchmark::DoNotOptimize(outA);
        benchmark::DoNotOptimize(outB);
    }
    state.SetItemsProcessed(state.iterations() * kCount);
    state.SetLabel(std::string(series == zelk::TmSeries::Kruger ? "Kruger"
                               : series == zelk::TmSeries::Utm  ? "UTM"
                                                                : "Gauss-Kruger") +
                   (reverse ? " reverse" : " forward"));
}
BENCHMARK(BM_TransverseMercator)->ArgsProduct({{0, 1, 2}, {0, 1}});

BENCHMARK_MAIN();
