// Every format through GDAL and back: 50 points with Chinese names within
// 1 mm, names intact; then what each format must hold as other programs
// see it (looked at with GDAL itself, and ezdxf for the drawing).
#include <cpl_vsi.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <cmath>
#include <cstdlib>

#include "gis/gdal_support.h"
#include "gis_test_support.h"

using namespace zelk;

namespace {

using zelk::gis::Axes;
using zelk::gis::Format;
using zelk::gis::SpatialReference;

struct RoundTrip {
    Format format;
    Axes axes;
    int epsg;
    const char* file;
    std::vector<std::string> files;  // the folder afterwards
};

// 1 mm, in degrees for B and L.
double Tolerance(Axes axes, int i) { return axes == Axes::Geodetic && i < 2 ? 1e-8 : 1e-3; }

TEST(GisRoundTrip, FiftyChinesePointsInEveryFormat) {
    const RoundTrip cases[] = {
        {Format::Dxf, Axes::Plane, 4548, "pts.dxf", {"pts.dxf"}},
        {Format::Shapefile, Axes::Plane, 4548, "pts.shp",
         {"pts.cpg", "pts.dbf", "pts.prj", "pts.shp", "pts.shx"}},
        {Format::GeoPackage, Axes::Plane, 4548, "pts.gpkg", {"pts.gpkg"}},
        {Format::Xlsx, Axes::Plane, 0, "pts.xlsx", {"pts.xlsx"}},
        {Format::GeoJson, Axes::Geodetic, 4490, "pts.geojson", {"pts.geojson"}},
        {Format::Shapefile, Axes::Geodetic, 4490, "geo.SHP",
         {"geo.CPG", "geo.DBF", "geo.PRJ", "geo.SHP", "geo.SHX"}},
        {Format::GeoPackage, Axes::Geocentric, 4479, "xyz.gpkg", {"xyz.gpkg"}},
        {Format::Xlsx, Axes::Geodetic, 0, "geo.xlsx", {"geo.xlsx"}},
        {Format::Dxf, Axes::Geodetic, 0, "geo.dxf", {"geo.dxf"}},
        {Format::Shapefile, Axes::Plane, 0, "nosrs.shp",
         {"nosrs.cpg", "nosrs.dbf", "nosrs.shp", "nosrs.shx"}},
    };
    for (const RoundTrip& c : cases) {
        SCOPED_TRACE(c.file);
        TempFolder folder;
        const std::vector<TestPoint> points = ChinesePoints(c.axes);
        SpatialReference srs;
        srs.epsg = c.epsg;
        ASSERT_TRUE(WritePoints(folder / c.file, c.format, c.axes, srs, points));
        EXPECT_EQ(folder.Entries(), c.files);

        zelk::gis::PointReader reader;
        ASSERT_TRUE(reader.Open(folder / c.file, c.format, c.axes)) << reader.Message();
        if (c.epsg != 0 && c.format != Format::Dxf && c.format != Format::GeoJson) {
            EXPECT_EQ(reader.Srs().epsg, c.epsg);
        }
        std::size_t n = 0;
        zelk::gis::PointRecord record;
        for (;;) {
            const auto result = reader.Next(record);
            ASSERT_NE(result, zelk::gis::PointReader::Result::Problem) << reader.Message();
            if (result == zelk::gis::PointReader::Result::End) break;
            ASSERT_LT(n, points.size());
            EXPECT_EQ(record.name, points[n].name);
            for (int i = 0; i < 3; ++i) {
                EXPECT_NEAR(record.values[i], points[n].values[i], Tolerance(c.axes, i))
                    << "point " << n + 1 << " value " << i;
            }
            ++n;
        }
        EXPECT_EQ(n, points.size());
    }
}

zelk::gis::DatasetPtr OpenVector(const std::filesystem::path& file) {
    zelk::gis::InitGdal();
    return zelk::gis::DatasetPtr(
        GDALDataset::Open(file.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr));
}

TEST(GisFiles, ShapefileDeclaresItsSystemAndUtf8) {
    TempFolder folder;
    SpatialReference srs;
    srs.epsg = 4548;  // CGCS2000 / 3-degree Gauss-Kruger CM 117E
    ASSERT_TRUE(WritePoints(folder / "pts.shp", Format::Shapefile, Axes::Plane, srs,
                            ChinesePoints(Axes::Plane, 3)));
    // The .prj alone, as a GIS program reads it.
    OGRSpatialReference prj;
    ASSERT_EQ(prj.SetFromUserInput(ReadFile(folder / "pts.prj").c_str()), OGRERR_NONE);
    int matches = 0;
    int* confidence = nullptr;
    OGRSpatialReferenceH* found = prj.FindMatches(nullptr, &matches, &confidence);
    ASSERT_GT(matches, 0);
    EXPECT_STREQ(OGRSpatialReference::FromHandle(found[0])->GetAuthorityCode(nullptr), "4548");
    EXPECT_GE(confidence[0], 90);
    OSRFreeSRSArray(found);
    CPLFree(confidence);
    EXPECT_EQ(ReadFile(folder / "pts.cpg"), "UTF-8");

    // Full-precision number fields; the name field as wide as the longest
    // name (控制点3: 10 bytes), made so when the file is closed.
    auto dataset = OpenVector(folder / "pts.shp");
    ASSERT_TRUE(dataset);
    OGRFeatureDefn* definition = dataset->GetLayer(0)->GetLayerDefn();
    ASSERT_EQ(definition->GetFieldCount(), 4);
    EXPECT_STREQ(definition->GetFieldDefn(0)->GetNameRef(), "name");
    EXPECT_EQ(definition->GetFieldDefn(0)->GetWidth(), 10);
    for (int i = 1; i < 4; ++i) {
        EXPECT_EQ(definition->GetFieldDefn(i)->GetType(), OFTReal);
        EXPECT_EQ(definition->GetFieldDefn(i)->GetPrecision(), 15);
    }
    EXPECT_STREQ(definition->GetFieldDefn(3)->GetNameRef(), "H");
}

// The drawing: POINTs at CAD X east, Y north, each followed by its label on
// the labels layer, up and to the right; readable by ezdxf without repair.
TEST(GisFiles, DxfPointsAreEastNorthWithLabels) {
    TempFolder folder;
    const std::vector<TestPoint> points = ChinesePoints(Axes::Plane, 5);
    ASSERT_TRUE(WritePoints(folder / "pts.dxf", Format::Dxf, Axes::Plane, {}, points));
    auto dataset = OpenVector(folder / "pts.dxf");
    ASSERT_TRUE(dataset);
    OGRLayer* layer = dataset->GetLayer(0);
    for (const TestPoint& p : points) {
        zelk::gis::FeaturePtr point(layer->GetNextFeature());
        zelk::gis::FeaturePtr label(layer->GetNextFeature());
        ASSERT_TRUE(point && label);
        EXPECT_STREQ(point->GetFieldAsString("Layer"), "ZELK_POINTS");
        EXPECT_STREQ(label->GetFieldAsString("Layer"), "ZELK_LABELS");
        EXPECT_EQ(label->GetFieldAsString("Text"), p.name);
        const OGRPoint* at = point->GetGeometryRef()->toPoint();
        EXPECT_NEAR(at->getX(), p.values[1], 1e-6);  // east
        EXPECT_NEAR(at->getY(), p.values[0], 1e-6);  // north
        EXPECT_NEAR(at->getZ(), p.values[2], 1e-6);
        const OGRPoint* text = label->GetGeometryRef()->toPoint();
        EXPECT_GT(text->getX(), at->getX());
        EXPECT_GT(text->getY(), at->getY());
        EXPECT_LT(text->getX() - at->getX(), 2.0);
    }
    EXPECT_EQ(zelk::gis::FeaturePtr(layer->GetNextFeature()), nullptr);

    if (std::system("/usr/bin/python3 -c 'import ezdxf' 2>/dev/null") != 0) {
        GTEST_SKIP() << "python3-ezdxf is not installed (scripts/install-deps)";
    }
    const std::string audit =
        "/usr/bin/python3 -c 'import sys, ezdxf\n"
        "doc = ezdxf.readfile(sys.argv[1])\n"
        "auditor = doc.audit()\n"
        "layers = {e.dxf.layer for e in doc.modelspace()}\n"
        "sys.exit(1 if auditor.has_errors or auditor.has_fixes or "
        "layers != {\"ZELK_POINTS\", \"ZELK_LABELS\"} else 0)' " +
        (folder / "pts.dxf").string();
    EXPECT_EQ(std::system(audit.c_str()), 0) << "ezdxf found errors or had to repair";
}

std::string ReadZipMember(const std::filesystem::path& zip, const std::string& member) {
    const std::string path = "/vsizip/" + zip.string() + "/" + member;
    VSILFILE* file = VSIFOpenL(path.c_str(), "rb");
    if (!file) return {};
    std::string text;
    char buffer[4096];
    for (std::size_t got; (got = VSIFReadL(buffer, 1, sizeof buffer, file)) > 0;) {
        text.append(buffer, got);
    }
    VSIFCloseL(file);
    return text;
}

// Names are text cells whatever they look like; values are number cells.
TEST(GisFiles, XlsxNamesAreTextNeverFormulas) {
    TempFolder folder;
    std::vector<TestPoint> points = ChinesePoints(Axes::Plane, 7);
    const char* const risky[] = {"=1+2", "+cmd|' /C calc'!A0", "-3", "@SUM(A1)",
                                 "=HYPERLINK(\"http://x\",\"y\")", "123", "0012"};
    for (std::size_t i = 0; i < points.size(); ++i) points[i].name = risky[i];
    ASSERT_TRUE(WritePoints(folder / "p.xlsx", Format::Xlsx, Axes::Plane, {}, points));
    zelk::gis::InitGdal();
    const std::string sheet = ReadZipMember(folder / "p.xlsx", "xl/worksheets/sheet1.xml");
    ASSERT_FALSE(sheet.empty());
    EXPECT_EQ(sheet.find("<f"), std::string::npos) << "a formula";
    // Column A (names and the header) holds shared strings; B to D numbers.
    int cells = 0;
    for (std::size_t at = sheet.find("<c r=\""); at != std::string::npos;
         at = sheet.find("<c r=\"", at + 1)) {
        const std::size_t end = sheet.find('>', at);
        const std::string cell = sheet.substr(at, end - at);  // <c r="B2" t="s"
        const char column = cell[6];
        const bool header = cell.compare(7, 2, "1\"") == 0;
        const bool text = cell.find(" t=\"s\"") != std::string::npos;
        EXPECT_EQ(text, column == 'A' || header) << cell;
        EXPECT_TRUE(text || cell.find(" t=") == std::string::npos) << cell;
        ++cells;
    }
    EXPECT_EQ(cells, 4 * 8);
    const std::string strings = ReadZipMember(folder / "p.xlsx", "xl/sharedStrings.xml");
    for (const char* header :
         {"<t>\xE7\x82\xB9\xE5\x90\x8D</t>", "<t>x</t>", "<t>y</t>", "<t>H</t>"}) {
        EXPECT_NE(strings.find(header), std::string::npos) << header;
    }
    const ReadOutcome back = ReadPoints(folder / "p.xlsx", Format::Xlsx, Axes::Plane);
    ASSERT_EQ(back.records.size(), points.size()) << back.message;
    for (std::size_t i = 0; i < points.size(); ++i) {
        EXPECT_EQ(back.records[i].name, points[i].name);
        EXPECT_EQ(back.records[i].number, static_cast<std::int64_t>(i) + 2);  // the sheet's row
    }
}

// RFC 7946: longitude, latitude, height; name and H as properties; no crs.
TEST(GisFiles, GeoJsonIsLongitudeFirst) {
    TempFolder folder;
    std::vector<TestPoint> points = ChinesePoints(Axes::Geodetic, 2);
    SpatialReference srs;
    srs.epsg = 4490;
    ASSERT_TRUE(WritePoints(folder / "p.geojson", Format::GeoJson, Axes::Geodetic, srs, points));
    const std::string text = ReadFile(folder / "p.geojson");
    EXPECT_EQ(text.find("\"crs\""), std::string::npos);
    EXPECT_NE(text.find("\"coordinates\": [ 116.397128512, 39.908369986, 51.789 ]"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\"name\": \"\xE5\x8C\x97\xE4\xBA\xAC" "1\""), std::string::npos);
    EXPECT_NE(text.find("\"H\": 51.789"), std::string::npos);

    // Anything but geodetic points is refused, and says why.
    zelk::gis::PointWriter writer;
    EXPECT_FALSE(writer.Open(folder / "q.geojson", Format::GeoJson, Axes::Plane, {}));
    EXPECT_NE(writer.Message().find("GeoJSON"), std::string::npos);
    srs.epsg = 4548;
    EXPECT_FALSE(writer.Open(folder / "q.geojson", Format::GeoJson, Axes::Geodetic, srs));
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"p.geojson"});
    zelk::Crs crs;
    crs.form = zelk::Form::Geodetic;
    crs.datum = zelk::DatumId::Cgcs2000;
    EXPECT_EQ(zelk::gis::GeoJsonProblemText(crs), "");
    crs.datum = zelk::DatumId::Xian80;
    EXPECT_NE(zelk::gis::GeoJsonProblemText(crs), "");
    crs.datum = zelk::DatumId::Wgs84;
    crs.form = zelk::Form::Projected;
    EXPECT_NE(zelk::gis::GeoJsonProblemText(crs), "");
}

}  // namespace
