#include "grids/geoid_grid.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "grids/block_cache.h"
#include "grids/grid_file.h"
#include "grids/grid_source.h"
#include "platform/files.h"
#include "platform/number_text.h"

namespace zelk::grids {

using detail::BlockCache;
using detail::GridSource;

struct GeoidGrid::Impl {
    Impl(std::filesystem::path path_, GridFormat format_, const GridGeometry& geometry_,
         std::unique_ptr<GridSource> source_, std::size_t cacheBytes)
        : path(std::move(path_)),
          format(format_),
          geometry(geometry_),
          source(std::move(source_)),
          cache(*source, geometry, cacheBytes),
          lastRow(geometry.rows - 1),
          lastCol(geometry.cols - 1),
          lastColOffset(geometry.dlon * (geometry.cols - 1)) {}

    std::filesystem::path path;
    GridFormat format;
    GridGeometry geometry;
    std::unique_ptr<GridSource> source;
    BlockCache cache;
    double lastRow;
    double lastCol;
    double lastColOffset;  // degrees from the first column to the last
};

const char* FormatName(GridFormat format) {
    static constexpr const char* kNames[] = {"GTX", "ISG", "GeoTIFF"};
    return kNames[static_cast<int>(format)];
}

namespace {

bool EndsWith(std::string text, std::string_view suffix) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool Contains(const std::string& head, std::string_view text) {
    return head.find(text) != std::string::npos;
}

// The format of a file from its first bytes, else from its name.
bool DetectFormat(const std::filesystem::path& path, const std::string& name, GridFormat& format,
                  std::string& error) {
    detail::ReadOnlyFile file;
    std::string why;
    if (!file.Open(path, why)) {
        error = name + ": " + why;
        return false;
    }
    std::string head(static_cast<std::size_t>(std::min<std::uint64_t>(file.Size(), 1 << 16)), '\0');
    if (!file.ReadAt(0, head.data(), head.size(), why)) {
        error = name + ": " + why;
        return false;
    }
    const std::string_view start(head.data(), std::min<std::size_t>(head.size(), 4));
    if (start == std::string_view("II*\0", 4) || start == std::string_view("MM\0*", 4) ||
        start == std::string_view("II+\0", 4) || start == std::string_view("MM\0+", 4)) {
        format = GridFormat::GeoTiff;
        return true;
    }
    if (Contains(head, "begin_of_head") || Contains(head, "end_of_head")) {
        format = GridFormat::Isg;
        return true;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(head.data());
    if (detail::LooksLikeGtx(bytes, head.size())) {
        format = GridFormat::Gtx;
        return true;
    }
    const std::string leaf = platform::PathText(path.filename());
    if (EndsWith(leaf, ".gtx")) {
        format = GridFormat::Gtx;
    } else if (EndsWith(leaf, ".isg")) {
        format = GridFormat::Isg;
    } else if (EndsWith(leaf, ".tif") || EndsWith(leaf, ".tiff")) {
        format = GridFormat::GeoTiff;
    } else if (head.empty()) {
        error = name + ": an empty file, not a geoid grid";
        return false;
    } else {
        error = name + ": not a geoid grid (neither GTX, ISG nor GeoTIFF)";
        return false;
    }
    return true;
}

// Checks what every format must satisfy, and whether the columns go round
// the earth (PROJ's test, in degrees).
bool CheckGeometry(const std::string& name, GridGeometry& g, std::string& error) {
    if (g.rows <= 0 || g.cols <= 0 || !(g.dlat > 0.0) || !(g.dlon > 0.0)) {
        error = name + ": the grid's steps and numbers of rows and columns must be positive";
        return false;
    }
    // 2^35 nodes (137 GB of float32) keep the table of blocks within 32 MB.
    if (static_cast<std::uint64_t>(g.rows) * static_cast<std::uint64_t>(g.cols) > (std::uint64_t{1} << 35)) {
        error = name + ": a grid of " + std::to_string(g.rows) + " x " + std::to_string(g.cols) +
                " nodes is larger than any geoid model";
        return false;
    }
    const double slack = 1e-9;
    if (g.south < -90.0 - slack || g.North() > 90.0 + slack) {
        error = name + ": the grid's rows run from latitude " + FormatGeneral(g.south, 10) + " to " +
                FormatGeneral(g.North(), 10) + ", beyond the poles";
        return false;
    }
    if (g.dlon * (g.cols - 1) > 360.0 + slack) {
        error = name + ": the grid's columns span " + FormatGeneral(g.dlon * (g.cols - 1), 10) +
                " degrees of longitude, more than a turn";
        return false;
    }
    if (g.west < -720.0 || g.west > 720.0) {
        error = name + ": the grid's first longitude " + FormatGeneral(g.west, 10) + " is out of range";
        return false;
    }
    // 1e-10 radians.
    g.wraps = g.dlon * g.cols >= 360.0 - 5.7e-9;
    return true;
}

}  // namespace

GeoidGrid::GeoidGrid(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
GeoidGrid::~GeoidGrid() = default;

std::unique_ptr<GeoidGrid> GeoidGrid::Open(const std::filesystem::path& path, std::string& error) {
    return Open(path, Options{}, error);
}

std::unique_ptr<GeoidGrid> GeoidGrid::Open(const std::filesystem::path& path,
                                           const Options& options, std::string& error) {
    const std::string name = platform::PathText(path);
    GridFormat format = GridFormat::Gtx;
    if (!DetectFormat(path, name, format, error)) return nullptr;
    GridGeometry geometry;
    std::unique_ptr<GridSource> source = format == GridFormat::Gtx   ? detail::NewGtxSource()
                                         : format == GridFormat::Isg ? detail::NewIsgSource()
                                                                     : detail::NewGeoTiffSource();
    if (!source->Open(path, name, geometry, error)) return nullptr;
    if (!CheckGeometry(name, geometry, error)) return nullptr;
    return std::unique_ptr<GeoidGrid>(new GeoidGrid(
        std::make_unique<Impl>(path, format, geometry, std::move(source), options.cacheBytes)));
}

namespace {

// How far outside an edge, in cells, a point still counts as on it: one
// meant to be on the edge may land a hair beyond through decimal arithmetic.
constexpr double kEdge = 1e-9;

// Whether v (in cells) lies within 0..last, moving it onto an edge it is a
// hair beyond. False for NaN.
bool Within(double& v, double last) {
    if (v >= 0.0 && v <= last) return true;
    if (v < 0.0 && v >= -kEdge) {
        v = 0.0;
        return true;
    }
    if (v > last && v <= last + kEdge) {
        v = last;
        return true;
    }
    return false;
}

}  // namespace

Sample GeoidGrid::Lookup(double latitudeDeg, double longitudeDeg, double& N) const {
    const Impl& m = *m_impl;
    const GridGeometry& g = m.geometry;
    double y = (latitudeDeg - g.south) / g.dlat;
    if (!Within(y, m.lastRow)) return Sample::Outside;
    double offset = longitudeDeg - g.west;
    double x;
    if (g.wraps) {
        if (!(offset >= 0.0 && offset < 360.0)) {
            if (!std::isfinite(offset)) return Sample::Outside;
            offset = std::fmod(offset, 360.0);
            if (offset < 0.0) offset += 360.0;
        }
        x = offset / g.dlon;
        if (x >= g.cols) x -= g.cols;  // a hair below 360 rounded up
    } else {
        x = offset / g.dlon;
        if (!Within(x, m.lastCol)) {
            // A turn either way, as PROJ does.
            x = (offset < 0.0 ? offset + 360.0 : offset - 360.0) / g.dlon;
            if (!Within(x, m.lastCol)) return Sample::Outside;
        }
    }
    const double column = std::floor(x);
    const double row = std::floor(y);
    const double tx = x - column;
    const double ty = y - row;
    float v[4];
    if (!m.cache.Corners(static_cast<int>(column), static_cast<int>(row), v)) return Sample::ReadFailed;
    const double w[4] = {(1.0 - tx) * (1.0 - ty), tx * (1.0 - ty), (1.0 - tx) * ty, tx * ty};
    double value = 0.0;
    if (!(std::isnan(v[0]) || std::isnan(v[1]) || std::isnan(v[2]) || std::isnan(v[3]))) {
        value += v[0] * w[0];
        value += v[1] * w[1];
        value += v[2] * w[2];
        value += v[3] * w[3];
    } else {
        // A node without data matters only where it carries weight.
        for (int i = 0; i < 4; ++i) {
            if (w[i] == 0.0) continue;
            if (std::isnan(v[i])) return Sample::NoData;
            value += v[i] * w[i];
        }
    }
    N = value;
    return Sample::Ok;
}

std::string GeoidGrid::ReadError() const {
    const std::string error = m_impl->cache.ReadError();
    return error.empty() ? error : platform::PathText(m_impl->path) + ": " + error;
}

const std::filesystem::path& GeoidGrid::Path() const { return m_impl->path; }
GridFormat GeoidGrid::Format() const { return m_impl->format; }
const GridGeometry& GeoidGrid::Geometry() const { return m_impl->geometry; }

std::size_t GeoidGrid::MemoryBound() const {
    return sizeof(Impl) + m_impl->cache.MemoryBound() + m_impl->source->MemoryBound();
}

// ---- models by name ----

namespace {

struct NamedModel {
    const char* name;
    const char* file;
};
constexpr NamedModel kModels[] = {{"egm96", "egm96_15.gtx"}};

const NamedModel* FindModel(std::string_view name) {
    for (const NamedModel& model : kModels) {
        const std::string_view known = model.name;
        if (known.size() != name.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i) {
            char c = name[i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            same = c == known[i];
        }
        if (same) return &model;
    }
    return nullptr;
}

void AddFolders(const char* variable, std::vector<std::filesystem::path>& folders) {
    const char* value = std::getenv(variable);
    if (value == nullptr) return;
    std::string_view rest = value;
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        if (!folder.empty()) folders.emplace_back(std::string(folder));
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
}

}  // namespace

std::vector<std::filesystem::path> ModelFolders() {
    std::vector<std::filesystem::path> folders;
    AddFolders("PROJ_DATA", folders);
    AddFolders("PROJ_LIB", folders);
    folders.emplace_back("/usr/share/proj");
    folders.emplace_back("/usr/local/share/proj");
    return folders;
}

bool IsModelName(std::string_view name) { return FindModel(name) != nullptr; }

std::filesystem::path FindNamedModel(std::string_view name,
                                     const std::vector<std::filesystem::path>& folders,
                                     std::string& error) {
    const NamedModel* model = FindModel(name);
    if (model == nullptr) {
        error = "'" + std::string(name) + "' is not a known geoid model (egm96)";
        return {};
    }
    std::string looked;
    for (const std::filesystem::path& folder : folders) {
        const std::filesystem::path file = folder / model->file;
        std::error_code ec;
        if (std::filesystem::is_regular_file(file, ec)) return file;
        if (!looked.empty()) looked += ", ";
        looked += platform::PathText(folder);
    }
    error = "the geoid model " + std::string(model->name) + " (" + model->file +
            ") is in none of the folders " + looked +
            " (Debian's proj-data package installs it; PROJ_DATA may name other folders)";
    return {};
}

std::unique_ptr<GeoidGrid> OpenModel(const std::string& nameOrPath, std::string& error) {
    return OpenModel(nameOrPath, GeoidGrid::Options{}, error);
}

std::unique_ptr<GeoidGrid> OpenModel(const std::string& nameOrPath,
                                     const GeoidGrid::Options& options, std::string& error) {
    if (IsModelName(nameOrPath)) {
        const std::filesystem::path file = FindNamedModel(nameOrPath, ModelFolders(), error);
        if (file.empty()) return nullptr;
        return GeoidGrid::Open(file, options, error);
    }
    return GeoidGrid::Open(platform::PathFromUtf8(nameOrPath), options, error);
}

}  // namespace zelk::grids
