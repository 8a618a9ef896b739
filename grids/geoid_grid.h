// Geoid models: the undulation N of the geoid above the ellipsoid at a
// geodetic latitude and longitude, read from a grid file and interpolated
// bilinearly. A height above the geoid is then H = h − N.
//
// A model is a regular grid of nodes in latitude and longitude (degrees)
// that hold N in metres. Three kinds of file are read, told apart by their
// content (by the extension only where the content fits none of them):
//   GTX      NOAA VDatum binary: a big-endian header of the first node's
//            latitude and longitude, the latitude and longitude steps
//            (doubles, degrees), the numbers of rows and columns (int32),
//            then rows × columns big-endian float32 values, rows from south
//            to north, each from west to east. -88.8888 marks a node
//            without data; so do NaN and values beyond ±1000 m, which some
//            published files use. Longitudes may run 0..360.
//   ISG      the International Service for the Geoid text format, versions
//            1.0, 1.01 and 2.0: a header between begin_of_head and
//            end_of_head, then nrows × ncols values separated by blanks and
//            line ends (a row may span lines). Geodetic coordinates only, in
//            decimal degrees or D°M'S" as the header's coord units say; rows
//            north to south and west to east unless data ordering says
//            otherwise; nodata from the header; data units metres. The
//            bounds may give the outer nodes (as ISG 2.0 files do) or the
//            borders of the cells around them (ISG 1.0): whichever agrees
//            with nrows, ncols and the deltas is taken, and the steps are
//            (max − min) over the count, since the deltas are often printed
//            rounded.
//   GeoTIFF  single grids as PROJ distributes them (us_nga_egm08_25.tif),
//            read with libtiff: one band of float32, tiled or in strips, any
//            compression libtiff was built with; the georeferencing by tie
//            point and pixel scale or by a transformation without rotation,
//            pixel-is-area (nodes at the pixel centres) or pixel-is-point;
//            geographic coordinates in degrees; no data from the
//            GDAL_NODATA tag; SCALE and OFFSET from GDAL_METADATA applied.
//            Reduced-resolution images (overviews) are passed over; a file
//            with several full grids is refused.
//
// Interpolation is PROJ vgridshift's: the cell whose south-west node is
// (floor(x), floor(y)) in grid units from the first node, its four nodes
// weighted (1−tx)(1−ty), tx(1−ty), (1−tx)ty, tx·ty, the float32 node values
// taken to double and summed in that order. Source: PROJ 9 vgridshift and
// its GTX and GeoTIFF grid readers (the cell and extent conventions, taken
// as facts; no code of theirs). Accuracy is the model's own: the
// interpolation adds only the rounding of doubles. The reference points of
// tests/data/geoid_reference.txt (every format, EGM96) agree with PROJ 9.1.1
// to 1e-10 m, the rounding of that file; the one difference in method is
// below (no data).
//
// Range: latitudes from the first to the last row of nodes, both included;
// longitudes from the first to the last column, both included, a whole turn
// either way of the given longitude counting as the same place; a point
// within 1e-9 of a cell beyond an edge (as decimal arithmetic may put one
// meant to be on it) counts as on it. A grid whose columns go round the
// earth (columns × step ≥ 360°) takes any longitude and interpolates across
// its seam. Anything else is Sample::Outside, never an extrapolation. A point whose cell has a node without data, among those
// that carry weight, is Sample::NoData: PROJ would interpolate the other
// nodes; here the point is refused (a node with weight zero, as on the
// edge of a cell, does not matter).
//
// Memory: a grid is never read whole. Its nodes are cut into blocks of 16
// rows × 256 columns (wide, since reading a block costs a read or a parse
// per row), each stored with the next row and column (17 × 257 float32,
// 17,476 bytes), read from the file when a point first needs one and kept
// in a cache of at most Options::cacheBytes (32 MiB by default: 1920
// blocks); beyond it, blocks not used since the clock last passed them give
// way. Besides the cache: a table of 4 bytes per block of the grid (230 KB
// for a 1′ whole-earth grid); for ISG, an index of the text, 8 bytes per row
// and 4 per 256 values (3.8 MB for a 1′ whole-earth grid); for GeoTIFF, the
// last 4 decoded tiles or strips (a file whose tiles or strips exceed
// 16 MiB is refused; 1 MiB for PROJ's 256 × 256 tiles). MemoryBound() gives
// the sum for an open grid.
//
// Threads: a grid is immutable once open; Lookup may be called from any
// number of threads at once. A point in a block already cached takes no lock
// and writes nothing shared but the block's recently-used flag, once per
// pass of the clock (readers check a sequence number of the block's slot and
// go through the lock when a load overlapped); reading a block from the file
// takes a lock, held by one thread at a time. Points in spatially coherent
// order cost about 15 ns each (bench/README.md).
//
// Opening checks the whole header and the file's size, and reads values
// until it meets one with data: a file that is not a grid, a header that
// disagrees with the size, a truncated file, steps or counts that are not
// positive, or a grid without any data is refused with a message that
// names the file and what is wrong. ISG is read through once at opening
// (every value must be a number; the text's offsets are indexed); a GeoTIFF
// whose tiles or strips reach beyond its end is refused, but compressed
// data damaged inside the file shows only when a point needs it
// (Sample::ReadFailed). Messages are English, like the parameter-file
// errors; the core never shows them.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zelk::grids {

enum class GridFormat { Gtx, Isg, GeoTiff };
const char* FormatName(GridFormat format);  // "GTX", "ISG", "GeoTIFF"

// Where the nodes lie: node (row r, column c) is at latitude south + r·dlat
// and longitude west + c·dlon, row 0 the southern row. Degrees.
struct GridGeometry {
    double south = 0.0;
    double west = 0.0;
    double dlat = 0.0;  // > 0
    double dlon = 0.0;  // > 0
    int rows = 0;
    int cols = 0;
    bool wraps = false;  // the columns go round the earth
    double North() const { return south + dlat * (rows - 1); }
    double East() const { return west + dlon * (cols - 1); }
};

enum class Sample {
    Ok,
    Outside,     // the point is outside the grid
    NoData,      // a node of the point's cell that carries weight holds no data
    ReadFailed,  // the file could not be read after opening (see ReadError)
};

class GeoidGrid {
public:
    static constexpr std::size_t kDefaultCacheBytes = std::size_t{32} << 20;
    struct Options {
        std::size_t cacheBytes = kDefaultCacheBytes;  // at least one block is kept
    };

    // Opens a grid file; nullptr with the message in error when it is not
    // a usable grid.
    static std::unique_ptr<GeoidGrid> Open(const std::filesystem::path& path,
                                           std::string& error);
    static std::unique_ptr<GeoidGrid> Open(const std::filesystem::path& path,
                                           const Options& options, std::string& error);
    ~GeoidGrid();
    GeoidGrid(const GeoidGrid&) = delete;
    GeoidGrid& operator=(const GeoidGrid&) = delete;

    // N in metres at a latitude and longitude in degrees (any longitude; a
    // NaN or infinite coordinate is outside). N is set only for Sample::Ok.
    Sample Lookup(double latitudeDeg, double longitudeDeg, double& N) const;
    // The same, true only for Sample::Ok: never a silent 0.
    bool Undulation(double latitudeDeg, double longitudeDeg, double& N) const {
        return Lookup(latitudeDeg, longitudeDeg, N) == Sample::Ok;
    }

    // The first failure to read the file after it was opened (the file
    // named), empty while there was none. Once the file failed, points that
    // need a block not yet cached are Sample::ReadFailed.
    std::string ReadError() const;

    const std::filesystem::path& Path() const;
    GridFormat Format() const;
    const GridGeometry& Geometry() const;
    // The most memory the grid holds while open, in bytes: the cache bound
    // plus the block table and the reader's own (see above).
    std::size_t MemoryBound() const;

private:
    struct Impl;
    explicit GeoidGrid(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

// ---- models by name ----

// The folders searched for a model given by name, in order: each folder of
// PROJ_DATA, then of PROJ_LIB (':' between folders), then /usr/share/proj and
// /usr/local/share/proj.
std::vector<std::filesystem::path> ModelFolders();

// True for the names of known models: "egm96" (EGM96 at 15′, the file
// egm96_15.gtx that Debian's proj-data installs). Letter case does not
// matter.
bool IsModelName(std::string_view name);

// The file of a known model in the first of folders that holds it; an empty
// path with error set when the name is unknown or no folder holds it (the
// message lists the folders and names the package).
std::filesystem::path FindNamedModel(std::string_view name,
                                     const std::vector<std::filesystem::path>& folders,
                                     std::string& error);

// A model as a user gives it: a known name (found in ModelFolders()) or else
// the path of a grid file.
std::unique_ptr<GeoidGrid> OpenModel(const std::string& nameOrPath, std::string& error);
std::unique_ptr<GeoidGrid> OpenModel(const std::string& nameOrPath,
                                     const GeoidGrid::Options& options, std::string& error);

}  // namespace zelk::grids
