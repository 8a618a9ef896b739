// Geoid grids beyond the reference points: grids of many blocks through a
// cache of one or two (block edges, the seam of a whole-earth grid, many
// threads), nodes without data, models by name, a file that fails after
// opening, and the damaged files that must be refused.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "grids/geoid_grid.h"
#include "temp_folder.h"

using namespace zelk;

using zelk::grids::GeoidGrid;
using zelk::grids::Sample;

namespace {

const std::string kData = ZELK_TEST_DATA_DIR "/geoid/";

void PutBig(std::string& out, const void* value, int bytes) {
    unsigned char b[8];
    std::memcpy(b, value, static_cast<std::size_t>(bytes));
    for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>(b[i]);
}

std::string GtxHeader(double south, double west, double dlat, double dlon, std::int32_t rows,
                      std::int32_t cols) {
    std::string out;
    for (double v : {south, west, dlat, dlon}) PutBig(out, &v, 8);
    for (std::int32_t v : {rows, cols}) PutBig(out, &v, 4);
    return out;
}

std::string Gtx(double south, double west, double dlat, double dlon, int rows, int cols,
                const std::function<float(int, int)>& value) {
    std::string out = GtxHeader(south, west, dlat, dlon, rows, cols);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            const float v = value(r, c);
            PutBig(out, &v, 4);
        }
    }
    return out;
}

// Node values linear in row and column, exact in float: a bilinear
// interpolation gives the same linear function, whatever the cell.
float Linear(int r, int c) { return 0.25f * static_cast<float>(r) + 0.5f * static_cast<float>(c) - 30.0f; }

std::unique_ptr<GeoidGrid> OpenOrFail(const std::filesystem::path& path, std::size_t cacheBytes) {
    std::string error;
    auto grid = GeoidGrid::Open(path, GeoidGrid::Options{cacheBytes}, error);
    EXPECT_TRUE(grid) << error;
    return grid;
}

// ---- many blocks, little cache ----

// 150 x 600 nodes: 10 x 3 blocks of 16 x 256, the last column of blocks
// partial.
TEST(GeoidBlocks, EveryCellThroughACacheOfOneBlock) {
    TempFolder folder;
    const double south = 20.0, west = 100.0, step = 0.05;
    WriteFile(folder / "linear.gtx", Gtx(south, west, step, step, 150, 600, Linear));
    for (std::size_t cache : {std::size_t{0}, GeoidGrid::kDefaultCacheBytes}) {
        const auto grid = OpenOrFail(folder / "linear.gtx", cache);
        ASSERT_TRUE(grid);
        EXPECT_FALSE(grid->Geometry().wraps);
        // One block or all 30, with the block being read and a little more.
        EXPECT_LT(grid->MemoryBound(), ((cache == 0 ? 1u : 30u) + 1) * 17476 + 8192);
        // Rows and columns on both sides of every block edge and both grid
        // edges, in an order that moves between blocks at every step.
        for (double y : {0.0, 0.5, 15.5, 16.0, 31.75, 32.0, 32.25, 143.9, 144.0, 148.5, 149.0}) {
            for (double x : {599.0, 0.0, 255.5, 256.0, 0.25, 511.25, 512.0, 598.99, 255.0, 598.5}) {
                double N = 0.0;
                ASSERT_EQ(grid->Lookup(south + y * step, west + x * step, N), Sample::Ok) << y << " " << x;
                EXPECT_NEAR(N, 0.25 * y + 0.5 * x - 30.0, 1e-9) << y << " " << x;
            }
        }
        double N = 0.0;
        EXPECT_EQ(grid->Lookup(south + 149.01 * step, west, N), Sample::Outside);
        EXPECT_EQ(grid->Lookup(south, west + 599.01 * step, N), Sample::Outside);
        EXPECT_EQ(grid->Lookup(south - 0.01 * step, west, N), Sample::Outside);
        EXPECT_EQ(grid->Lookup(NAN, west, N), Sample::Outside);
        EXPECT_EQ(grid->Lookup(south, INFINITY, N), Sample::Outside);
    }
}

// A whole earth at 1 degree, west at -180: the seam between the last column
// (179) and the first lies in the last column of blocks, whose next column
// is the first again.
TEST(GeoidBlocks, WholeEarthSeam) {
    TempFolder folder;
    WriteFile(folder / "earth.gtx", Gtx(-90.0, -180.0, 1.0, 1.0, 181, 360, Linear));
    const auto grid = OpenOrFail(folder / "earth.gtx", 0);
    ASSERT_TRUE(grid);
    EXPECT_TRUE(grid->Geometry().wraps);
    struct Case {
        double lat, lon, row, col0, t;  // between columns col0 and (col0 + 1) mod 360, weight t
    };
    const Case cases[] = {
        {0.0, 179.5, 90, 359, 0.5},   {0.0, -180.0, 90, 0, 0.0},    {0.0, 180.0, 90, 0, 0.0},
        {0.0, -179.75, 90, 0, 0.25},  {0.0, 539.5, 90, 359, 0.5},   {0.0, -540.25, 90, 359, 0.75},
        {90.0, 179.9, 180, 359, 0.9}, {-90.0, 0.0, 0, 180, 0.0},    {45.5, 179.0, 135.5, 359, 0.0},
        {10.0, 1e-13 - 180.0, 100, 0, 0.0},
    };
    for (const Case& c : cases) {
        const double left = 0.25 * c.row + 0.5 * c.col0 - 30.0;
        const double right = 0.25 * c.row + 0.5 * (static_cast<int>(c.col0 + 1) % 360) - 30.0;
        double N = 0.0;
        ASSERT_EQ(grid->Lookup(c.lat, c.lon, N), Sample::Ok) << c.lat << " " << c.lon;
        EXPECT_NEAR(N, (1 - c.t) * left + c.t * right, 1e-6) << c.lat << " " << c.lon;
    }
}

// Threads reading one grid through a cache of two blocks, in points spread
// over four blocks (so that blocks change slots while others read them),
// get what one thread gets through a cache that holds the whole grid.
TEST(GeoidBlocks, ThreadsShareATinyCache) {
    TempFolder folder;
    WriteFile(folder / "earth.gtx",
              Gtx(-90.0, -180.0, 0.5, 0.5, 361, 720, [](int r, int c) { return std::sin(0.01f * r * c); }));
    const auto whole = OpenOrFail(folder / "earth.gtx", GeoidGrid::kDefaultCacheBytes);
    const auto tiny = OpenOrFail(folder / "earth.gtx", 2 * 17 * 257 * 4);
    ASSERT_TRUE(whole && tiny);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> lat(6.0, 37.9), lon(-32.0, 32.0);  // rows 192..255
    std::vector<double> points, expected;
    for (int i = 0; i < 2000; ++i) {
        points.push_back(lat(random));
        points.push_back(lon(random));
        double N = 0.0;
        ASSERT_EQ(whole->Lookup(points[2 * i], points[2 * i + 1], N), Sample::Ok);
        expected.push_back(N);
    }
    std::vector<int> wrong(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (std::size_t k = 0; k < 2 * expected.size(); ++k) {
                const std::size_t i = (k + 500 * t) % expected.size();
                double N = 0.0;
                if (tiny->Lookup(points[2 * i], points[2 * i + 1], N) != Sample::Ok || N != expected[i]) {
                    ++wrong[t];
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < 4; ++t) EXPECT_EQ(wrong[t], 0) << "thread " << t;
}

// ---- nodes without data ----

// NaN, the GTX no-data mark and values beyond 1000 m: a point is refused
// where such a node carries weight, and answered where it does not.
TEST(GeoidNoData, OnlyNodesThatCarryWeightMatter) {
    TempFolder folder;
    WriteFile(folder / "holes.gtx", Gtx(0.0, 0.0, 1.0, 1.0, 3, 6, [](int r, int c) {
                  if (r == 1 && c == 1) return std::numeric_limits<float>::quiet_NaN();
                  if (r == 1 && c == 3) return -88.8888f;
                  if (r == 1 && c == 5) return 1.0e6f;
                  return 1.0f;
              }));
    const auto grid = OpenOrFail(folder / "holes.gtx", 0);
    ASSERT_TRUE(grid);
    for (double lon : {1.0, 3.0, 5.0}) {
        double N = 0.0;
        EXPECT_EQ(grid->Lookup(1.0, lon, N), Sample::NoData) << lon;
        EXPECT_EQ(grid->Lookup(0.5, lon - 0.5, N), Sample::NoData) << lon;
        EXPECT_EQ(grid->Lookup(1.5, lon, N), Sample::NoData) << lon;
        // On the row below, the hole carries weight zero.
        ASSERT_EQ(grid->Lookup(0.0, lon - 0.5, N), Sample::Ok) << lon;
        EXPECT_EQ(N, 1.0);
    }
    double N = 0.0;
    ASSERT_EQ(grid->Lookup(1.0, 2.0, N), Sample::Ok);  // a node between two holes
    EXPECT_EQ(N, 1.0);
}

// ---- models by name ----

TEST(GeoidModels, FoundByNameInTheFirstFolderThatHoldsThem) {
    TempFolder folder;
    std::filesystem::create_directories(folder / "empty");
    std::filesystem::create_directories(folder / "first");
    std::filesystem::create_directories(folder / "second");
    std::filesystem::copy_file(kData + "regional.gtx", folder / "first" / "egm96_15.gtx");
    std::filesystem::copy_file(kData + "regional.gtx", folder / "second" / "egm96_15.gtx");
    std::string error;
    EXPECT_EQ(zelk::grids::FindNamedModel(
                  "EGM96", {folder / "empty", folder / "first", folder / "second"}, error),
              folder / "first" / "egm96_15.gtx");

    EXPECT_TRUE(zelk::grids::FindNamedModel("egm96", {folder / "empty", folder / "nowhere"}, error).empty());
    EXPECT_NE(error.find("egm96_15.gtx"), std::string::npos) << error;
    EXPECT_NE(error.find((folder / "nowhere").string()), std::string::npos) << error;
    EXPECT_NE(error.find("proj-data"), std::string::npos) << error;

    EXPECT_FALSE(zelk::grids::IsModelName("egm2008"));
    EXPECT_TRUE(zelk::grids::FindNamedModel("egm2008", {folder / "first"}, error).empty());

    // A path that is not a name opens as a file.
    const auto grid = zelk::grids::OpenModel(kData + "regional_v2.isg", error);
    ASSERT_TRUE(grid) << error;
    EXPECT_EQ(grid->Format(), zelk::grids::GridFormat::Isg);
}

TEST(GeoidModels, FoldersFromProjDataThenProjLibThenTheSystem) {
    const char* savedData = std::getenv("PROJ_DATA");
    const char* savedLib = std::getenv("PROJ_LIB");
    const std::string data = savedData ? savedData : "", lib = savedLib ? savedLib : "";
    ::setenv("PROJ_DATA", "/a/one::/a/two", 1);
    ::setenv("PROJ_LIB", "/b", 1);
    const std::vector<std::filesystem::path> expected = {"/a/one", "/a/two", "/b", "/usr/share/proj",
                                                         "/usr/local/share/proj"};
    EXPECT_EQ(zelk::grids::ModelFolders(), expected);
    savedData ? ::setenv("PROJ_DATA", data.c_str(), 1) : ::unsetenv("PROJ_DATA");
    savedLib ? ::setenv("PROJ_LIB", lib.c_str(), 1) : ::unsetenv("PROJ_LIB");
}

// ---- a file that fails after opening ----

TEST(GeoidReadFailure, ATruncatedFileIsReportedNotInterpolated) {
    TempFolder folder;
    const std::filesystem::path path = folder / "linear.gtx";
    WriteFile(path, Gtx(0.0, 0.0, 0.1, 0.1, 200, 200, Linear));
    const auto grid = OpenOrFail(path, 0);
    ASSERT_TRUE(grid);
    double N = 0.0;
    ASSERT_EQ(grid->Lookup(0.5, 0.5, N), Sample::Ok);
    EXPECT_TRUE(grid->ReadError().empty());
    std::filesystem::resize_file(path, 40 + 4 * 200 * 100);
    EXPECT_EQ(grid->Lookup(19.5, 19.5, N), Sample::ReadFailed);
    EXPECT_NE(grid->ReadError().find(path.string()), std::string::npos) << grid->ReadError();
    ASSERT_EQ(grid->Lookup(0.5, 0.5, N), Sample::Ok);  // still cached
}

// A GeoTIFF whose last tile cannot be decoded opens (its first value has
// data) and fails only for points whose block needs that tile.
TEST(GeoidReadFailure, ADamagedTileIsReportedNotInterpolated) {
    std::string tiff = ReadFile(kData + "regional_tiled.tif");
    // The little-endian IFD of the file (GDAL's): the offset of tile 3 (the
    // south-east one, 4 tiles of 16 x 16), whose deflate stream is made to
    // start with a block of the reserved type.
    const auto u32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        std::memcpy(&v, tiff.data() + at, 4);
        return v;
    };
    const std::uint32_t ifd = u32(4);
    std::uint32_t tile3 = 0;
    for (std::uint16_t i = 0; i < static_cast<unsigned char>(tiff[ifd]); ++i) {
        const std::size_t entry = ifd + 2 + 12 * i;
        if (static_cast<unsigned char>(tiff[entry]) == 0x44 && tiff[entry + 1] == 0x01) {  // 324
            tile3 = u32(u32(entry + 8) + 12);
        }
    }
    ASSERT_GT(tile3, 0u);
    tiff.replace(tile3 + 2, 4, "\xff\xff\xff\xff");
    TempFolder folder;
    WriteFile(folder / "bad.tif", tiff);
    const auto grid = OpenOrFail(folder / "bad.tif", 0);
    ASSERT_TRUE(grid);
    double N = 0.0;
    // The northern row is a block of its own, read from the northern tiles.
    EXPECT_EQ(grid->Lookup(32.0, 120.0, N), Sample::Ok);
    EXPECT_EQ(grid->Lookup(30.0, 121.25, N), Sample::ReadFailed);
    EXPECT_NE(grid->ReadError().find("bad.tif: cannot decode tile 3"), std::string::npos) << grid->ReadError();
}

// ---- damaged files ----

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

std::string AllValues(std::string gtx, float value) {
    for (std::size_t at = 40; at + 4 <= gtx.size(); at += 4) {
        std::string bytes;
        PutBig(bytes, &value, 4);
        gtx.replace(at, 4, bytes);
    }
    return gtx;
}

// A GeoTIFF of 8 x 8 nodes written with libtiff; change() may alter its
// tags before the image is written.
std::string WriteTiff(const std::filesystem::path& path, std::uint16_t bits, std::uint16_t format,
                      float value, const std::function<void(TIFF*)>& change = nullptr) {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, 8);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, format);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 8);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    static const TIFFFieldInfo geoTags[] = {
        {33550, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("PixelScale")},
        {33922, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("TiePoint")},
        {34264, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("Transformation")},
        {34735, -1, -1, TIFF_SHORT, FIELD_CUSTOM, 1, 1, const_cast<char*>("GeoKeys")},
        {42113, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("GDALNoData")},
    };
    TIFFMergeFieldInfo(tiff, geoTags, 5);
    const double scale[3] = {0.5, 0.5, 0.0};
    const double tie[6] = {0, 0, 0, 100.0, 30.0, 0};
    const std::uint16_t keys[] = {1, 1, 0, 1, 1024, 0, 1, 2};
    TIFFSetField(tiff, 33550, 3, scale);
    TIFFSetField(tiff, 33922, 6, tie);
    TIFFSetField(tiff, 34735, 8, keys);
    if (change) change(tiff);
    std::vector<unsigned char> row(8 * bits / 8);
    for (int i = 0; i < 8; ++i) std::memcpy(row.data() + i * bits / 8, &value, bits / 8);
    for (std::uint32_t r = 0; r < 8; ++r) TIFFWriteScanline(tiff, row.data(), r, 0);
    TIFFClose(tiff);
    return ReadFile(path);
}

struct Damage {
    const char* what;
    const char* file;                                     // written into a fresh folder
    std::function<std::string(const TempFolder&)> bytes;  // the file's contents
    const char* message;                                  // a part of the refusal
};

TEST(GeoidDamagedFiles, RefusedWithTheFileAndWhatIsWrong) {
    const std::string gtx = ReadFile(kData + "regional.gtx");
    const std::string isg = ReadFile(kData + "regional_v2.isg");
    const std::string dms = ReadFile(kData + "regional_dms.isg");
    const std::string tiled = ReadFile(kData + "regional_tiled.tif");
    const auto gtxWith = [&](double south, double west, double dlat, double dlon, int rows, int cols) {
        return GtxHeader(south, west, dlat, dlon, rows, cols) + gtx.substr(40);
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Damage table[] = {
        // GTX
        {"empty", "empty.gtx", [&](auto&) { return std::string(); }, "too short for a GTX grid (0 bytes"},
        {"half a header", "short.gtx", [&](auto&) { return gtx.substr(0, 20); }, "too short for a GTX grid"},
        {"truncated", "cut.gtx", [&](auto&) { return gtx.substr(0, gtx.size() - 4); },
         "truncated: the GTX header promises 17 x 21 values (1468 bytes with the header), the file has 1464"},
        {"bytes after the values", "long.gtx", [&](auto&) { return gtx + "abcd"; }, "does not match the GTX header"},
        {"no rows", "rows.gtx", [&](auto&) { return gtxWith(30, 119, 0.125, 0.125, 0, 21); },
         "numbers of rows and columns (0, 21) must be positive"},
        {"negative columns", "cols.gtx", [&](auto&) { return gtxWith(30, 119, 0.125, 0.125, 17, -21); },
         "must be positive"},
        {"zero latitude step", "dlat.gtx", [&](auto&) { return gtxWith(30, 119, 0, 0.125, 17, 21); },
         "the latitude step (0) is not positive"},
        {"negative longitude step", "dlon.gtx", [&](auto&) { return gtxWith(30, 119, 0.125, -0.125, 17, 21); },
         "the longitude step (-0.125) is not positive"},
        {"NaN latitude", "nan.gtx", [&](auto&) { return gtxWith(NAN, 119, 0.125, 0.125, 17, 21); },
         "first latitude"},
        {"rows beyond the pole", "pole.gtx", [&](auto&) { return gtxWith(89, 119, 0.125, 0.125, 17, 21); },
         "beyond the poles"},
        {"columns beyond a turn", "turn.gtx", [&](auto&) { return gtxWith(30, 0, 0.125, 20, 17, 21); },
         "more than a turn"},
        {"every value no-data", "nodata.gtx", [&](auto&) { return AllValues(gtx, -88.8888f); },
         "holds no data"},
        {"every value NaN", "allnan.gtx", [&](auto&) { return AllValues(gtx, nan); }, "holds no data"},
        // ISG
        {"no end_of_head", "head.isg", [&](auto&) { return Replace(isg, "end_of_head", "end_of_hat"); },
         "no end_of_head"},
        {"no nrows", "nrows.isg", [&](auto&) { return Replace(isg, "nrows ", "rows  "); }, "nrows is missing"},
        {"zero rows", "zero.isg", [&](auto&) { return Replace(isg, "=          17", "=           0"); },
         "nrows, '0', is not a positive whole number"},
        {"zero delta", "delta.isg", [&](auto&) { return Replace(isg, "delta lat      = 0.125000", "delta lat      = 0"); },
         ":23: the value of delta lat, '0', is not positive"},
        {"bounds that disagree", "bounds.isg", [&](auto&) { return Replace(isg, "lat max        = 32.000000", "lat max        = 33.000000"); },
         "the bounds, nrows, ncols and deltas disagree"},
        {"a value missing", "short.isg", [&](auto&) { return isg.substr(0, isg.size() - 11); },
         "truncated: nrows x ncols = 17 x 21 = 357 values expected after the header, 356 found"},
        {"a value too many", "long.isg", [&](auto&) { return isg + "1.0\n"; }, ":48: more values than nrows x ncols"},
        {"a value that is no number", "token.isg", [&](auto&) { return Replace(isg, "10.3207", "10.32x7"); },
         ":31: '10.32x7' is not a number (row 1, value 1 of the row)"},
        {"every value nodata", "nodata.isg", [&](auto&) {
             std::string text = isg.substr(0, isg.find("end_of_head"));
             text += "end_of_head ===\n";
             for (int i = 0; i < 357; ++i) text += "-9999.0000\n";
             return text;
         }, "holds no data"},
        {"sparse data", "sparse.isg", [&](auto&) { return Replace(isg, ": grid", ": sparse"); }, "only grids are read"},
        {"projected", "projected.isg", [&](auto&) { return Replace(isg, ": geodetic", ": projected"); },
         "only geodetic coordinates"},
        {"a later version", "v3.isg", [&](auto&) { return Replace(isg, "2.0\nend", "3.0\nend"); },
         "only versions 1.0 to 2.0 are read"},
        {"feet", "feet.isg", [&](auto&) { return Replace(isg, ": meters", ": feet"); }, "only meters are read"},
        {"75 minutes", "dms.isg", [&](auto&) { return Replace(dms, "29\xC2\xB0" "56'", "29\xC2\xB0" "75'"); },
         "the value of lat min, '29\xC2\xB0" "75'15\"', is not an angle"},
        // GeoTIFF
        {"truncated GeoTIFF", "cut.tif", [&](auto&) { return tiled.substr(0, tiled.size() / 2); },
         "truncated: tile 0 lies beyond the end of the file (887 bytes)"},
        {"16-bit integers", "int.tif", [&](const TempFolder& f) { return WriteTiff(f / "x.tif", 16, SAMPLEFORMAT_INT, 0); },
         "not 32-bit floating point (16-bit, sample format 2)"},
        {"no GeoTIFF keys", "plain.tif", [&](const TempFolder& f) {
             return WriteTiff(f / "x.tif", 32, SAMPLEFORMAT_IEEEFP, 1, [](TIFF* t) { TIFFUnsetField(t, 34735); });
         }, "no GeoTIFF keys"},
        {"projected GeoTIFF", "proj.tif", [&](const TempFolder& f) {
             return WriteTiff(f / "x.tif", 32, SAMPLEFORMAT_IEEEFP, 1, [](TIFF* t) {
                 const std::uint16_t keys[] = {1, 1, 0, 1, 1024, 0, 1, 1};
                 TIFFSetField(t, 34735, 8, keys);
             });
         }, "not in latitude and longitude (GeoTIFF model type 1)"},
        {"rotated", "rotated.tif", [&](const TempFolder& f) {
             return WriteTiff(f / "x.tif", 32, SAMPLEFORMAT_IEEEFP, 1, [](TIFF* t) {
                 const double m[16] = {0.5, 0.1, 0, 100, 0.1, -0.5, 0, 30, 0, 0, 0, 0, 0, 0, 0, 1};
                 TIFFSetField(t, 34264, 16, m);
             });
         }, "rotated"},
        {"every value GDAL_NODATA", "nodata.tif", [&](const TempFolder& f) {
             return WriteTiff(f / "x.tif", 32, SAMPLEFORMAT_IEEEFP, -32768,
                              [](TIFF* t) { TIFFSetField(t, 42113, "-32768"); });
         }, "holds no data"},
        {"every value NaN", "nan.tif", [&](const TempFolder& f) { return WriteTiff(f / "x.tif", 32, SAMPLEFORMAT_IEEEFP, nan); },
         "holds no data"},
        // Neither
        {"text", "notes.txt", [&](auto&) { return std::string("B L H\n30 120 5\n"); },
         "not a geoid grid (neither GTX, ISG nor GeoTIFF)"},
        {"empty, no extension", "nothing", [&](auto&) { return std::string(); }, "an empty file"},
    };
    for (const Damage& damage : table) {
        SCOPED_TRACE(damage.what);
        TempFolder folder;
        const std::filesystem::path path = folder / damage.file;
        WriteFile(path, damage.bytes(folder));
        std::string error;
        EXPECT_FALSE(GeoidGrid::Open(path, error));
        EXPECT_EQ(error.rfind(path.string(), 0), 0u) << error;
        EXPECT_NE(error.find(damage.message), std::string::npos) << error;
    }

    TempFolder folder;
    std::string error;
    EXPECT_FALSE(GeoidGrid::Open(folder / "missing.gtx", error));
    // The reason is the system's, in the language of the locale.
    EXPECT_NE(error.find("missing.gtx: cannot open ("), std::string::npos) << error;
    EXPECT_FALSE(GeoidGrid::Open(folder.Path(), error));
    EXPECT_NE(error.find("is a folder"), std::string::npos) << error;
}

}  // namespace
