// A geoid grid file of any bytes, named .gtx, .isg and .tif in turn.
//
// Opening either refuses it with a message that begins with the file's name
// (and a line number where there is one), or gives a grid whose geometry
// holds (rows and columns and steps positive, rows within the poles). Then every lookup over and about the grid is
// answered the same through a cache of one block as through the full cache
// (a GeoTIFF whose compressed data is damaged may fail to read instead), and
// an undulation, when there is one, is finite and no larger than the largest
// value a node may hold.
#include <unistd.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "grids/geoid_grid.h"
#include "reference_points.h"

using namespace zelk;

namespace {

using reference::Check;
using zelk::grids::GeoidGrid;
using zelk::grids::Sample;

void CheckFile(const std::filesystem::path& path) {
    std::string error;
    const auto grid = GeoidGrid::Open(path, error);
    std::string tinyError;
    const auto tiny = GeoidGrid::Open(path, GeoidGrid::Options{0}, tinyError);
    Check(!grid == !tiny && error == tinyError, "the cache's size does not decide whether a file opens");
    if (!grid) {
        Check(error.rfind(path.string() + ":", 0) == 0, "a refusal begins with the file's name");
        return;
    }
    const zelk::grids::GridGeometry& g = grid->Geometry();
    Check(g.rows > 0 && g.cols > 0 && g.dlat > 0 && g.dlon > 0 && std::isfinite(g.dlat) &&
              std::isfinite(g.dlon),
          "rows, columns and steps are positive");
    Check(g.south >= -90.0 - 1e-6 && g.North() <= 90.0 + 1e-6, "the rows lie within the poles");
    // Nodes, cells and points beyond every edge, at most 40 x 40 of them.
    const int rowStep = g.rows / 20 + 1, colStep = g.cols / 20 + 1;
    // A weighted mean of the nodes, to its rounding.
    const double largest = (grid->Format() == zelk::grids::GridFormat::Gtx ? 1000.0 : FLT_MAX) * (1 + 1e-12);
    for (int r = -1; r <= g.rows; r += rowStep) {
        for (int c = -1; c <= g.cols; c += colStep) {
            for (double half : {0.0, 0.5}) {
                const double lat = g.south + (r + half) * g.dlat;
                const double lon = g.west + (c + half) * g.dlon;
                double N = NAN, tinyN = NAN;
                const Sample sample = grid->Lookup(lat, lon, N);
                const Sample tinySample = tiny->Lookup(lat, lon, tinyN);
                // A GeoTIFF whose compressed data is damaged fails when a
                // point first needs the damaged part, sooner through the
                // small cache.
                if (sample == Sample::ReadFailed || tinySample == Sample::ReadFailed) {
                    Check(grid->Format() == zelk::grids::GridFormat::GeoTiff, "only a GeoTIFF fails to read");
                    continue;
                }
                Check(sample == tinySample, "the cache's size does not change a lookup");
                if (sample != Sample::Ok) continue;
                Check(N == tinyN, "nor an undulation");
                Check(std::isfinite(N) && std::fabs(N) <= largest, "an undulation is finite and in range");
            }
        }
    }
}

// A folder of the process's own, removed when it ends.
struct Scratch {
    Scratch() : folder(std::filesystem::temp_directory_path() / ("zelk-fuzz-grid-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(folder);
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    std::filesystem::path folder;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Scratch scratch;
    const std::filesystem::path& folder = scratch.folder;
    for (const char* name : {"grid.gtx", "grid.isg", "grid.tif"}) {
        const std::filesystem::path path = folder / name;
        std::FILE* file = std::fopen(path.c_str(), "wb");
        Check(file != nullptr, "the temporary file opens");
        if (size > 0) std::fwrite(data, 1, size, file);
        std::fclose(file);
        CheckFile(path);
        std::filesystem::remove(path);
    }
    return 0;
}
