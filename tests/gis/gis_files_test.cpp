// Files that are not what they should be, names a format cannot hold,
// outputs that fail part way, and columns found the csv reader's way.
#include <cpl_conv.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <cmath>

#include "gis/gdal_support.h"
#include "platform/interrupt_cleanup.h"
#include "gis_test_support.h"

using namespace zelk;

namespace {

using zelk::gis::Axes;
using zelk::gis::Format;
using zelk::gis::SpatialReference;

struct Column {
    const char* name;
    OGRFieldType type;
};

// A sheet or layer made with GDAL itself, as another program would: cells
// are text, numbers (for OFTReal columns) or empty (""); a layer's rows may
// carry a point (x y z in the last three cells, after the fields).
void MakeTable(const std::filesystem::path& file, const char* driver, const char* layerName,
               OGRwkbGeometryType geometry, const std::vector<Column>& columns,
               const std::vector<std::vector<std::string>>& rows) {
    zelk::gis::InitGdal();
    zelk::gis::DatasetPtr dataset(GetGDALDriverManager()->GetDriverByName(driver)->Create(
        file.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    ASSERT_TRUE(dataset);
    OGRLayer* layer = dataset->CreateLayer(layerName, nullptr, geometry, nullptr);
    ASSERT_TRUE(layer);
    for (const Column& c : columns) {
        OGRFieldDefn definition(c.name, c.type);
        ASSERT_EQ(layer->CreateField(&definition), OGRERR_NONE);
    }
    for (const auto& row : rows) {
        OGRFeature feature(layer->GetLayerDefn());
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (row[i].empty()) continue;
            if (columns[i].type == OFTReal) {
                feature.SetField(static_cast<int>(i), CPLAtof(row[i].c_str()));
            } else {
                feature.SetField(static_cast<int>(i), row[i].c_str());
            }
        }
        if (geometry == wkbPoint25D) {
            const std::size_t g = columns.size();
            feature.SetGeometryDirectly(new OGRPoint(CPLAtof(row[g].c_str()),
                                                     CPLAtof(row[g + 1].c_str()),
                                                     CPLAtof(row[g + 2].c_str())));
        } else if (geometry == wkbPolygon) {
            OGRPolygon polygon;
            OGRLinearRing ring;
            ring.addPoint(0, 0);
            ring.addPoint(1, 0);
            ring.addPoint(0, 1);
            ring.closeRings();
            polygon.addRing(&ring);
            feature.SetGeometry(&polygon);
        }
        ASSERT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
    }
}

// ---------------------------------------------------------------------------
// Damaged and unusable inputs: refused with the file's name first, GDAL's
// own words (if any) after.

struct BadInput {
    const char* what;
    const char* file;
    Format format;
    void (*make)(const TempFolder&);
    std::vector<const char*> says;  // in the message besides the file's name
    std::string layer;
};

void Shapefile(const TempFolder& folder) {
    ASSERT_TRUE(WritePoints(folder / "pts.shp", Format::Shapefile, Axes::Plane, {},
                            ChinesePoints(Axes::Plane, 3)));
}

const BadInput kBadInputs[] = {
    {"no such file", "none.gpkg", Format::GeoPackage, [](const TempFolder&) {}, {"不存在"}, ""},
    {"Shapefile without .shx", "pts.shp", Format::Shapefile,
     [](const TempFolder& f) {
         Shapefile(f);
         std::filesystem::remove(f / "pts.shx");
     },
     {"pts.shx", "缺少"}, ""},
    {"Shapefile without .dbf", "pts.shp", Format::Shapefile,
     [](const TempFolder& f) {
         Shapefile(f);
         std::filesystem::remove(f / "pts.dbf");
     },
     {"pts.dbf", "缺少"}, ""},
    {"truncated GeoPackage", "pts.gpkg", Format::GeoPackage,
     [](const TempFolder& f) {
         ASSERT_TRUE(WritePoints(f / "pts.gpkg", Format::GeoPackage, Axes::Plane, {},
                                 ChinesePoints(Axes::Plane, 3000)));
         const auto size = std::filesystem::file_size(f / "pts.gpkg");
         std::filesystem::resize_file(f / "pts.gpkg", size / 2);
     },
     {}, ""},
    {"XLSX that is not a zip", "pts.xlsx", Format::Xlsx,
     [](const TempFolder& f) { WriteFile(f / "pts.xlsx", "name,x,y,H\nP1,1,2,3\n"); },
     {"XLSX"}, ""},
    {"DXF without points", "line.dxf", Format::Dxf,
     [](const TempFolder& f) {
         WriteFile(f / "line.dxf",
                   "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n10\n0\n20\n0\n11\n1\n21\n1\n"
                   "0\nENDSEC\n0\nEOF\n");
     },
     {"没有点"}, ""},
    {"DXF with a NUL byte (GDAL 3.6 would loop for ever)", "nul.dxf", Format::Dxf,
     [](const TempFolder& f) {
         WriteFile(f / "nul.dxf", std::string("0\nSECTION\n2\nENTITIES\n0\nPOINT\n10\n1\n20\n2\r") +
                                      '\0' + "\n0\nEOF\n");
     },
     {"第40个字节是NUL"}, ""},
    {"DXF cut short after a CR (GDAL 3.6 would loop for ever)", "cut.dxf", Format::Dxf,
     [](const TempFolder& f) {
         WriteFile(f / "cut.dxf", "0\nSECTION\n2\nENTITIES\n0\nPOINT\n10\n1\n20\n2\r");
     },
     {"不完整"}, ""},
    {"GeoJSON that is not JSON", "p.geojson", Format::GeoJson,
     [](const TempFolder& f) { WriteFile(f / "p.geojson", "{\"type\": \"FeatureCollection\", "); },
     {"GeoJSON"}, ""},
    {"sheet without usable columns", "s.xlsx", Format::Xlsx,
     [](const TempFolder& f) {
         MakeTable(f / "s.xlsx", "XLSX", "Sheet1", wkbNone,
                   {{"编号", OFTString}, {"东坐标", OFTReal}, {"北坐标", OFTReal}},
                   {{"P1", "500000", "4000000"}});
     },
     {"缺少", "编号、东坐标、北坐标"}, ""},
    {"two north columns", "s.xlsx", Format::Xlsx,
     [](const TempFolder& f) {
         MakeTable(f / "s.xlsx", "XLSX", "Sheet1", wkbNone,
                   {{"点名", OFTString}, {"x", OFTReal}, {"北", OFTReal}},
                   {{"P1", "4000000", "4000000"}});
     },
     {"两个“x”列", "北"}, ""},
    {"polygons without columns", "poly.gpkg", Format::GeoPackage,
     [](const TempFolder& f) {
         MakeTable(f / "poly.gpkg", "GPKG", "parcels", wkbPolygon, {{"owner", OFTString}},
                   {{"A"}});
     },
     {"parcels", "不是点图层", "owner"}, ""},
    {"layer that is not there", "pts.gpkg", Format::GeoPackage,
     [](const TempFolder& f) {
         ASSERT_TRUE(WritePoints(f / "pts.gpkg", Format::GeoPackage, Axes::Plane, {},
                                 ChinesePoints(Axes::Plane, 2)));
     },
     {"“nope”", "有：pts"}, "nope"},
    {"empty cell", "e.xlsx", Format::Xlsx,
     [](const TempFolder& f) {
         MakeTable(f / "e.xlsx", "XLSX", "Sheet1", wkbNone,
                   {{"点名", OFTString}, {"x", OFTReal}, {"y", OFTReal}, {"H", OFTReal}},
                   {{"P1", "1", "2", "3"}, {"P2", "4", "5", ""}});
     },
     {"第3行", "“H”列是空的"}, ""},
    {"text that is no number", "t.xlsx", Format::Xlsx,
     [](const TempFolder& f) {
         MakeTable(f / "t.xlsx", "XLSX", "Sheet1", wkbNone,
                   {{"点名", OFTString}, {"x", OFTString}, {"y", OFTString}, {"H", OFTString}},
                   {{"P1", "1", "2", "3"}, {"P2", "4,5", "6", "7"}});
     },
     {"第3行", "“x”列", "“4,5”"}, ""},
    {"a point without a name", "n.gpkg", Format::GeoPackage,
     [](const TempFolder& f) {
         MakeTable(f / "n.gpkg", "GPKG", "n", wkbNone,
                   {{"name", OFTString}, {"x", OFTReal}, {"y", OFTReal}, {"H", OFTReal}},
                   {{"P1", "1", "2", "3"}, {"", "4", "5", "6"}});
     },
     {"第2个要素", "点名"}, ""},
};

TEST(GisBadInput, RefusedWithTheFileName) {
    for (const BadInput& c : kBadInputs) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        c.make(folder);
        if (testing::Test::HasFatalFailure()) return;
        zelk::gis::ReaderOptions options;
        options.layer = c.layer;
        const ReadOutcome outcome = ReadPoints(folder / c.file, c.format, Axes::Plane, options);
        EXPECT_TRUE(!outcome.opened || outcome.problem);
        const std::string& message = outcome.message;
        // Ours first: the file named at the start, before any GDAL text.
        const std::size_t named = message.find("“" + (folder / c.file).string() + "”");
        EXPECT_NE(named, std::string::npos) << message;
        EXPECT_LT(named, message.find("GDAL")) << message;
        for (const char* fragment : c.says) {
            EXPECT_NE(message.find(fragment), std::string::npos) << fragment << " in " << message;
        }
    }
}

// ---------------------------------------------------------------------------
// Outputs that fail leave nothing behind and the old target as it was; one
// that succeeds replaces every member, and old members that would misdescribe
// it go.

struct Target {
    Format format;
    const char* file;
    std::vector<std::string> members;  // an older output, with an index
};

TEST(GisOutput, FailedWriteLeavesTheOldFiles) {
    const Target targets[] = {
        {Format::Shapefile,
         "pts.shp",
         {"pts.cpg", "pts.dbf", "pts.prj", "pts.qix", "pts.shp", "pts.shx"}},
        {Format::GeoPackage, "pts.gpkg", {"pts.gpkg"}},
        {Format::Dxf, "pts.dxf", {"pts.dxf"}},
        {Format::Xlsx, "pts.xlsx", {"pts.xlsx"}},
        {Format::GeoJson, "pts.geojson", {"pts.geojson"}},
    };
    for (const Target& t : targets) {
        SCOPED_TRACE(t.file);
        TempFolder folder;
        for (const std::string& m : t.members) WriteFile(folder / m, "old " + m);
        const Axes axes = t.format == Format::GeoJson ? Axes::Geodetic : Axes::Plane;
        std::vector<TestPoint> points = ChinesePoints(axes, 10);
        {
            zelk::gis::PointWriter writer;
            ASSERT_TRUE(writer.Open(folder / t.file, t.format, axes, {})) << writer.Message();
            for (const TestPoint& p : points) ASSERT_TRUE(writer.Write(p.name, p.values.data()));
            EXPECT_FALSE(writer.Write("\xFF\xFE", points[0].values.data()));
            EXPECT_EQ(writer.GetFailure(), zelk::gis::PointWriter::Failure::Name);
            EXPECT_NE(writer.Message().find("第11个点"), std::string::npos) << writer.Message();
            EXPECT_FALSE(writer.Write("P12", points[0].values.data()));  // stays stopped
            EXPECT_FALSE(writer.Commit());
        }
        EXPECT_EQ(folder.Entries(), t.members);
        for (const std::string& m : t.members) EXPECT_EQ(ReadFile(folder / m), "old " + m);
        {
            zelk::gis::PointWriter writer;  // dropped without a word
            ASSERT_TRUE(writer.Open(folder / t.file, t.format, axes, {}));
            ASSERT_TRUE(writer.Write(points[0].name, points[0].values.data()));
        }
        EXPECT_EQ(folder.Entries(), t.members);

        // Written whole: every member new; the stale index and, without a
        // system, the .prj are gone.
        ASSERT_TRUE(WritePoints(folder / t.file, t.format, axes, {}, points));
        std::vector<std::string> now = t.members;
        if (t.format == Format::Shapefile) now = {"pts.cpg", "pts.dbf", "pts.shp", "pts.shx"};
        EXPECT_EQ(folder.Entries(), now);
        for (const std::string& m : now) EXPECT_NE(ReadFile(folder / m), "old " + m);
        EXPECT_EQ(ReadPoints(folder / t.file, t.format, axes).records.size(), points.size());
    }
}

// A run stopped by SIGTERM in the middle of a write removes every file
// of the output, GDAL's own temporary ones too.
TEST(GisOutput, InterruptedWriteLeavesNothing) {
    for (const Format format : {Format::Shapefile, Format::Dxf, Format::GeoPackage}) {
        SCOPED_TRACE(zelk::gis::FormatName(format));
        TempFolder folder;
        const auto file = folder / ("p." + std::string(zelk::gis::FormatName(format)));
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            interruptcleanup::InstallHandlers();
            zelk::gis::PointWriter writer;
            zelk::gis::WriterOptions options;
            options.transaction = 7;  // the GeoPackage's journal comes and goes
            if (!writer.Open(file, format, Axes::Plane, {}, options)) ::_exit(10);
            for (const TestPoint& p : ChinesePoints(Axes::Plane, 1000)) {
                if (!writer.Write(p.name, p.values.data())) ::_exit(11);
            }
            if (Entries(folder.Path()).empty()) ::_exit(12);  // written under temporary names
            ::kill(::getpid(), SIGTERM);
            ::_exit(13);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
        EXPECT_EQ(folder.Entries(), std::vector<std::string>{});
    }
}

TEST(GisOutput, TargetsThatCannotBeReplaced) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "dir.gpkg");
    WriteFile(folder / "ro.gpkg", "old");
    ::chmod((folder / "ro.gpkg").c_str(), 0444);
    const std::pair<std::filesystem::path, Format> cases[] = {
        {folder / "dir.gpkg", Format::GeoPackage},
        {"/dev/stdout", Format::GeoJson},
        {folder / "pts.txt", Format::Shapefile},  // not .shp
        {folder / "none" / "p.dxf", Format::Dxf},
    };
    for (const auto& [target, format] : cases) {
        zelk::gis::PointWriter writer;
        const bool opened = writer.Open(target, format, Axes::Geodetic, {});
        bool written = opened;
        if (opened) {
            const double v[3] = {39.9, 116.4, 50.0};
            written = writer.Write("P1", v) && writer.Commit();
        }
        EXPECT_FALSE(written) << target;
        EXPECT_NE(writer.Message().find(target.string()), std::string::npos) << writer.Message();
    }
    if (::geteuid() != 0) {  // root writes anyway
        zelk::gis::PointWriter writer;
        EXPECT_FALSE(writer.Open(folder / "ro.gpkg", Format::GeoPackage, Axes::Plane, {}));
    }
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"dir.gpkg", "ro.gpkg"}));
}

// ---------------------------------------------------------------------------
// Names: GBK becomes UTF-8; what a format cannot hold is refused, naming
// the point; whatever is taken reads back as it was.

struct NameCase {
    std::string name;
    std::vector<Format> refusedBy;  // every other format takes it
    std::string readBack;           // empty: the name itself
};

TEST(GisNames, TakenAsTheyAreOrRefused) {
    const Format all[] = {Format::Dxf, Format::Shapefile, Format::GeoPackage, Format::GeoJson,
                          Format::Xlsx};
    const std::vector<Format> every(std::begin(all), std::end(all));
    const NameCase cases[] = {
        {"\xB1\xB1\xBE\xA9" "1", {}, "\xE5\x8C\x97\xE4\xBA\xAC" "1"},  // GBK 北京1
        {"\xE5\x8C\x97\xE4\xBA\xAC" "1", {}, ""},
        {"a\"b\\c", {}, ""},
        {"x^Iy;z", {}, ""},
        {"a,b)c(d:e", {}, ""},
        {"=1+2", {}, ""},
        {"\xFF\xFE", every, ""},     // neither UTF-8 nor GBK
        {"a\tb", every, ""},         // control character
        {"{c}", {Format::Dxf}, ""},  // MTEXT grouping
        {"5%%c", {Format::Dxf}, ""}, // CAD's diameter sign
        {"P1 ", every, ""},          // the readers drop blanks around a cell
        {std::string(254, 'n'), {}, ""},
        {std::string(255, 'n'), {Format::Shapefile}, ""},
        {"\xEF\xBF\xBF", {Format::Xlsx}, ""},
    };
    for (const NameCase& c : cases) {
        for (Format format : all) {
            SCOPED_TRACE(std::string(zelk::gis::FormatName(format)) + " " + c.name);
            const bool refused =
                std::find(c.refusedBy.begin(), c.refusedBy.end(), format) != c.refusedBy.end();
            TempFolder folder;
            const Axes axes = format == Format::GeoJson ? Axes::Geodetic : Axes::Plane;
            const auto file = folder / ("p." + std::string(zelk::gis::FormatName(format)));
            std::vector<TestPoint> points = ChinesePoints(axes, 2);
            points[1].name = c.name;
            zelk::gis::PointWriter writer;
            ASSERT_TRUE(writer.Open(file, format, axes, {}));
            ASSERT_TRUE(writer.Write(points[0].name, points[0].values.data()));
            const bool written = writer.Write(points[1].name, points[1].values.data());
            EXPECT_EQ(written, !refused) << writer.Message();
            if (!written) {
                EXPECT_NE(writer.Message().find("第2个点"), std::string::npos) << writer.Message();
                writer.Abandon();
                EXPECT_TRUE(folder.Entries().empty());
                continue;
            }
            ASSERT_TRUE(writer.Commit()) << writer.Message();
            const ReadOutcome back = ReadPoints(file, format, axes);
            ASSERT_EQ(back.records.size(), 2u) << back.message;
            EXPECT_EQ(back.records[1].name, c.readBack.empty() ? c.name : c.readBack);
        }
    }
}

// Values a format cannot hold stop the writer too.
TEST(GisNames, ValuesTheFormatCannotHold) {
    const struct {
        Format format;
        double value;
    } cases[] = {
        {Format::Shapefile, 1e8},  // the number fields are 24 wide with 15 decimals
        {Format::Shapefile, -1e7},
        {Format::GeoPackage, std::nan("")},
        {Format::Xlsx, HUGE_VAL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(zelk::gis::FormatName(c.format));
        TempFolder folder;
        zelk::gis::PointWriter writer;
        ASSERT_TRUE(writer.Open(folder / ("p." + std::string(zelk::gis::FormatName(c.format))),
                                c.format, Axes::Plane, {}));
        const double fine[3] = {99999999.99, -9999999.99, 0.0};
        ASSERT_TRUE(writer.Write("P1", fine)) << writer.Message();
        const double bad[3] = {1.0, c.value, 2.0};
        EXPECT_FALSE(writer.Write("P2", bad));
        EXPECT_EQ(writer.GetFailure(), zelk::gis::PointWriter::Failure::Value);
        EXPECT_NE(writer.Message().find("第2个点的y"), std::string::npos) << writer.Message();
    }
}

// ---------------------------------------------------------------------------
// Columns and geometries as other programs write them.

TEST(GisColumns, SheetOfLatitudesAndLongitudes) {
    TempFolder folder;
    // Numbers in decimal degrees, text in DMS, a blank row, a title-less
    // header in Chinese; an extra column is ignored.
    MakeTable(folder / "rtk.xlsx", "XLSX", "RTK", wkbNone,
              {{"点名", OFTString}, {"备注", OFTString}, {"纬度", OFTReal}, {"经度", OFTReal},
               {"高程", OFTReal}},
              {{"北京1", "a", "39.908369986", "116.397128512", "51.789"},
               {"", "", "", "", ""},
               {"2", "", "39.5", "117", "-1.5"}});
    ReadOutcome degrees = ReadPoints(folder / "rtk.xlsx", Format::Xlsx, Axes::Geodetic);
    ASSERT_EQ(degrees.records.size(), 2u) << degrees.message;
    EXPECT_EQ(degrees.records[0].name, "北京1");
    EXPECT_DOUBLE_EQ(degrees.records[0].values[0], 39.908369986);
    EXPECT_DOUBLE_EQ(degrees.records[0].values[1], 116.397128512);
    EXPECT_DOUBLE_EQ(degrees.records[0].values[2], 51.789);
    EXPECT_EQ(degrees.records[1].number, 4);
    EXPECT_EQ(degrees.records[1].name, "2");

    // The same sheet read as packed DMS numbers: 39.908369986 has 90
    // minutes, no packed angle, and is refused with its row; a sheet of
    // packed numbers reads, 39.5 as 39°50′.
    zelk::gis::ReaderOptions packed;
    packed.angles = AngleFormat::Packed;
    const ReadOutcome dms = ReadPoints(folder / "rtk.xlsx", Format::Xlsx, Axes::Geodetic, packed);
    EXPECT_TRUE(dms.problem);
    EXPECT_NE(dms.message.find("第2行“纬度”列的“39.908369986”不是度.分秒"), std::string::npos)
        << dms.message;
    MakeTable(folder / "packed.xlsx", "XLSX", "RTK", wkbNone,
              {{"点名", OFTString}, {"纬度", OFTReal}, {"经度", OFTReal}, {"高程", OFTReal}},
              {{"2", "39.5", "117.0559", "-1.5"}});
    const ReadOutcome fine = ReadPoints(folder / "packed.xlsx", Format::Xlsx, Axes::Geodetic, packed);
    ASSERT_EQ(fine.records.size(), 1u) << fine.message;
    EXPECT_NEAR(fine.records[0].values[0], 39.0 + 50.0 / 60.0, 1e-9);
    EXPECT_NEAR(fine.records[0].values[1], 117.0 + 5.0 / 60.0 + 59.0 / 3600.0, 1e-9);

    // Text cells: DMS with marks, and decimal degrees with an exponent.
    MakeTable(folder / "text.xlsx", "XLSX", "Sheet1", wkbNone,
              {{"name", OFTString}, {"B", OFTString}, {"L", OFTString}, {"H", OFTString}},
              {{"P1", " 39°54′30.1″ ", "116:23:49.66", "1E-3"}});
    zelk::gis::ReaderOptions withDms;
    withDms.angles = AngleFormat::Dms;
    const ReadOutcome text =
        ReadPoints(folder / "text.xlsx", Format::Xlsx, Axes::Geodetic, withDms);
    ASSERT_EQ(text.records.size(), 1u) << text.message;
    EXPECT_NEAR(text.records[0].values[0], 39.0 + 54.0 / 60 + 30.1 / 3600, 1e-9);
    EXPECT_NEAR(text.records[0].values[1], 116.0 + 23.0 / 60 + 49.66 / 3600, 1e-9);
    EXPECT_DOUBLE_EQ(text.records[0].values[2], 0.001);
}

TEST(GisColumns, PointGeometriesWithANameField) {
    TempFolder folder;
    // 点号 names the points; the coordinates are only in the geometry
    // (east, north, height).
    MakeTable(folder / "g.gpkg", "GPKG", "survey", wkbPoint25D, {{"点号", OFTString}},
              {{"K1", "441234.567", "4417321.456", "43.21"}, {"K2", "441300", "4417400", "44"}});
    const ReadOutcome plane = ReadPoints(folder / "g.gpkg", Format::GeoPackage, Axes::Plane);
    ASSERT_EQ(plane.records.size(), 2u) << plane.message;
    EXPECT_EQ(plane.records[0].name, "K1");
    EXPECT_DOUBLE_EQ(plane.records[0].values[0], 4417321.456);  // x north
    EXPECT_DOUBLE_EQ(plane.records[0].values[1], 441234.567);   // y east
    EXPECT_DOUBLE_EQ(plane.records[0].values[2], 43.21);

    // A Shapefile made in China without a .cpg: header and names in GBK,
    // passed on as the bytes they are.
    {
        zelk::gis::InitGdal();
        zelk::gis::DatasetPtr dataset(
            GetGDALDriverManager()->GetDriverByName("ESRI Shapefile")
                ->Create((folder / "gbk.shp").c_str(), 0, 0, 0, GDT_Unknown, nullptr));
        ASSERT_TRUE(dataset);
        const char* const options[] = {"ENCODING=", nullptr};
        OGRLayer* layer = dataset->CreateLayer("gbk", nullptr, wkbPoint25D,
                                               const_cast<char**>(options));
        for (const char* name : {"\xB5\xE3\xC3\xFB", "x", "y", "H"}) {  // 点名 in GBK
            OGRFieldDefn definition(name, name[0] == 'x' || name[0] == 'y' || name[0] == 'H'
                                              ? OFTReal : OFTString);
            layer->CreateField(&definition);
        }
        OGRFeature feature(layer->GetLayerDefn());
        feature.SetField(0, "\xB1\xB1\xBE\xA9" "1");  // 北京1
        feature.SetField(1, 4417321.456);
        feature.SetField(2, 441234.567);
        feature.SetField(3, 43.21);
        feature.SetGeometryDirectly(new OGRPoint(0, 0, 0));
        ASSERT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
    }
    std::filesystem::remove(folder / "gbk.cpg");
    const ReadOutcome gbk = ReadPoints(folder / "gbk.shp", Format::Shapefile, Axes::Plane);
    ASSERT_EQ(gbk.records.size(), 1u) << gbk.message;
    EXPECT_EQ(gbk.records[0].name, "\xB1\xB1\xBE\xA9" "1");
    EXPECT_DOUBLE_EQ(gbk.records[0].values[0], 4417321.456);  // from the fields, not the geometry

    // A DXF drawn elsewhere: points with and without a label after them.
    WriteFile(folder / "cad.dxf",
              "0\nSECTION\n2\nENTITIES\n"
              "0\nPOINT\n8\nGCD\n10\n500.5\n20\n300.25\n30\n12.5\n"
              "0\nTEXT\n8\nZDH\n10\n501\n20\n301\n40\n1\n1\nA1\n"
              "0\nPOINT\n8\nGCD\n10\n600\n20\n400\n30\n0\n"
              "0\nLINE\n8\n0\n10\n0\n20\n0\n11\n1\n21\n1\n"
              "0\nPOINT\n8\nOTHER\n10\n700\n20\n500\n30\n1\n"
              "0\nENDSEC\n0\nEOF\n");
    const ReadOutcome cad = ReadPoints(folder / "cad.dxf", Format::Dxf, Axes::Plane);
    ASSERT_EQ(cad.records.size(), 3u) << cad.message;
    EXPECT_EQ(cad.records[0].name, "A1");
    EXPECT_DOUBLE_EQ(cad.records[0].values[0], 300.25);
    EXPECT_DOUBLE_EQ(cad.records[0].values[1], 500.5);
    EXPECT_DOUBLE_EQ(cad.records[0].values[2], 12.5);
    EXPECT_EQ(cad.records[1].name, "");
    EXPECT_DOUBLE_EQ(cad.records[1].values[2], 0.0);
    zelk::gis::ReaderOptions onlyGcd;
    onlyGcd.layer = "GCD";
    EXPECT_EQ(ReadPoints(folder / "cad.dxf", Format::Dxf, Axes::Plane, onlyGcd).records.size(), 2u);
}

}  // namespace
