// Conversions into and out of the GIS, CAD and spreadsheet formats through
// the one path of every conversion (ConvertFiles with gis::Formats()), each
// output read back with GDAL itself: 50 CGCS2000 RTK points with Chinese
// names, from a csv file in decimal degrees, into CGCS2000 Gauss-Kruger on
// 117°, agree within 1 mm with the text conversion, names intact, and carry
// the system's EPSG code.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include "gis/point_files.h"
#include "platform/number_text.h"
#include "run_request.h"
#include "temp_folder.h"
#include "workflow/conversion_run.h"
#include "workflow/system_file.h"

using namespace zelk;
using pointformat::FileFormat;
namespace fs = std::filesystem;

namespace {

const fs::path kExamples = ZELK_EXAMPLES_DIR;

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Expected {
    double x, y, h;  // north, east, height (or B, L in degrees, H)
};

// name -> values, from a csv file zelk wrote (name,x,y,H or name,B,L,H).
std::map<std::string, Expected> ReadCsv(const fs::path& path) {
    std::map<std::string, Expected> points;
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (std::size_t comma; (comma = line.find(',', start)) != std::string::npos; start = comma + 1) {
            fields.push_back(line.substr(start, comma - start));
        }
        fields.push_back(line.substr(start));
        points[fields[0]] = {*ParseDecimal(fields[1]), *ParseDecimal(fields[2]), *ParseDecimal(fields[3])};
    }
    return points;
}

ConversionRequest RtkRequest(const fs::path& in, FileFormat inFormat, const fs::path& out,
                             FileFormat outFormat, bool projected = true) {
    ConversionRequest request =
        NamedRequest("cgcs2000-geodetic", projected ? "cgcs2000-gauss" : "cgcs2000-geodetic", {}, in, out);
    request.to.meridian = 117.0;
    request.formats.input = inFormat;
    request.formats.output = outFormat;
    request.formats.inputAngles = AngleFormat::Degrees;
    request.formats.outputAngles = AngleFormat::Degrees;
    request.external = &gis::Formats();
    return request;
}

void Convert(const ConversionRequest& request) {
    ASSERT_EQ(RequestProblemText(request), "");
    const FileRun run = ConvertFiles(request, ChainFor(request));
    ASSERT_TRUE(run.committed) << MessageFor(run).text;
    EXPECT_EQ(run.result.points, 50u);
}

struct Opened {
    GDALDataset* dataset = nullptr;
    ~Opened() { GDALClose(dataset); }
};

// The EPSG code GDAL identifies a system as (as gdalsrsinfo -e does).
int EpsgOf(const OGRSpatialReference* srs) {
    if (!srs) return 0;
    OGRSpatialReference* match = srs->FindBestMatch();
    const char* code = match ? match->GetAuthorityCode(nullptr) : nullptr;
    const int epsg = code ? std::atoi(code) : 0;
    if (match) match->Release();
    return epsg;
}

TEST(GisConversion, RtkPointsIntoEveryFormat) {
    GDALAllRegister();
    TempFolder folder;
    const fs::path csv = kExamples / "rtk-cgcs2000.csv";
    Convert(RtkRequest(csv, FileFormat::Csv, folder / "gk117.csv", FileFormat::Csv));
    const std::map<std::string, Expected> plane = ReadCsv(folder / "gk117.csv");
    Convert(RtkRequest(csv, FileFormat::Csv, folder / "blh.csv", FileFormat::Csv, false));
    const std::map<std::string, Expected> degrees = ReadCsv(folder / "blh.csv");
    ASSERT_EQ(plane.size(), 50u);

    struct Case {
        FileFormat format;
        const char* file;
        bool projected;
        int epsg;  // of the layer; 0: none (GeoJSON implies WGS84, DXF has none)
    };
    const Case cases[] = {
        {FileFormat::Shapefile, "rtk.shp", true, 4548},
        {FileFormat::GeoPackage, "rtk.gpkg", true, 4548},
        {FileFormat::Dxf, "rtk.dxf", true, 0},
        {FileFormat::GeoJson, "rtk.geojson", false, 0},
        {FileFormat::Xlsx, "rtk.xlsx", true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Convert(RtkRequest(csv, FileFormat::Csv, folder / c.file, c.format, c.projected));
        const std::map<std::string, Expected>& want = c.projected ? plane : degrees;
        // 1 mm, or its angle in degrees (1 mm is 9e-9 degrees of latitude).
        const double tolerance = c.projected ? 0.001 : 9e-9;
        Opened opened;
        opened.dataset = GDALDataset::Open((folder / c.file).c_str(), GDAL_OF_VECTOR);
        ASSERT_NE(opened.dataset, nullptr);
        OGRLayer* layer = opened.dataset->GetLayer(0);
        if (c.epsg != 0) {
            EXPECT_EQ(EpsgOf(layer->GetSpatialRef()), c.epsg);
        }
        std::map<std::string, int> seen;
        while (OGRFeature* feature = layer->GetNextFeature()) {
            std::string name;
            double east = 0, north = 0, up = 0;
            if (c.format == FileFormat::Dxf) {
                // A POINT on ZELK_POINTS at X east, Y north; its label follows
                // on ZELK_LABELS, half a text height (1 m) up and right.
                EXPECT_STREQ(feature->GetFieldAsString("Layer"), "ZELK_POINTS");
                const OGRPoint* point = feature->GetGeometryRef()->toPoint();
                east = point->getX(), north = point->getY(), up = point->getZ();
                OGRFeature* label = layer->GetNextFeature();
                ASSERT_NE(label, nullptr);
                EXPECT_STREQ(label->GetFieldAsString("Layer"), "ZELK_LABELS");
                name = label->GetFieldAsString("Text");
                const OGRPoint* at = label->GetGeometryRef()->toPoint();
                EXPECT_NEAR(at->getX() - east, 0.5, 1e-6);
                EXPECT_NEAR(at->getY() - north, 0.5, 1e-6);
                OGRFeature::DestroyFeature(label);
            } else if (c.format == FileFormat::Xlsx) {
                name = feature->GetFieldAsString("点名");
                north = feature->GetFieldAsDouble("x");
                east = feature->GetFieldAsDouble("y");
                up = feature->GetFieldAsDouble("H");
            } else {
                name = feature->GetFieldAsString("name");
                const OGRPoint* point = feature->GetGeometryRef()->toPoint();
                east = point->getX(), north = point->getY();
                up = feature->GetFieldAsDouble("H");
                if (c.format != FileFormat::GeoJson) {
                    EXPECT_NEAR(point->getZ(), up, 1e-9);
                    EXPECT_NEAR(feature->GetFieldAsDouble("x"), north, 1e-9);
                    EXPECT_NEAR(feature->GetFieldAsDouble("y"), east, 1e-9);
                }
            }
            OGRFeature::DestroyFeature(feature);
            const auto found = want.find(name);
            ASSERT_NE(found, want.end()) << "name “" << name << "”";
            ++seen[name];
            EXPECT_NEAR(north, found->second.x, tolerance) << name;
            EXPECT_NEAR(east, found->second.y, tolerance) << name;
            EXPECT_NEAR(up, found->second.h, 0.001) << name;
        }
        EXPECT_EQ(seen.size(), 50u);
    }
    // A Shapefile's system as its .prj says it, its text as its .cpg does.
    EXPECT_EQ(ReadBytes(folder / "rtk.cpg"), "UTF-8");
    OGRSpatialReference prj;
    ASSERT_EQ(prj.importFromESRI(std::vector<char*>{ReadBytes(folder / "rtk.prj").data(), nullptr}.data()),
              OGRERR_NONE);
    EXPECT_EQ(EpsgOf(&prj), 4548);
}

// Read back through the same path, a sheet typed as the csv and the
// Shapefile written from it give the csv's bytes.
TEST(GisConversion, SheetsAndLayersConvertLikeTheCsv) {
    TempFolder folder;
    const fs::path csv = kExamples / "rtk-cgcs2000.csv";
    Convert(RtkRequest(csv, FileFormat::Csv, folder / "from-csv.csv", FileFormat::Csv));
    const std::string expected = ReadBytes(folder / "from-csv.csv");
    Convert(RtkRequest(kExamples / "rtk-cgcs2000.xlsx", FileFormat::Xlsx, folder / "from-xlsx.csv",
                       FileFormat::Csv));
    EXPECT_EQ(ReadBytes(folder / "from-xlsx.csv"), expected);

    // Geodetic points into each layer format and back: the degrees written
    // read back as the same packed angles.
    Convert(RtkRequest(csv, FileFormat::Csv, folder / "blh.csv", FileFormat::Csv, false));
    for (const auto& [format, file] : {std::pair{FileFormat::Shapefile, "blh.shp"},
                                       {FileFormat::GeoPackage, "blh.gpkg"},
                                       {FileFormat::GeoJson, "blh.geojson"},
                                       {FileFormat::Xlsx, "blh.xlsx"},
                                       {FileFormat::Dxf, "blh.dxf"}}) {
        SCOPED_TRACE(file);
        Convert(RtkRequest(csv, FileFormat::Csv, folder / file, format, false));
        Convert(RtkRequest(folder / file, format, folder / "back.csv", FileFormat::Csv));
        EXPECT_EQ(ReadBytes(folder / "back.csv"), expected);
    }

    // The sheet's decimal degrees read as packed DMS (the angle format left
    // at its default): refused at the first that cannot be DMS, not taken.
    ConversionRequest packed = RtkRequest(kExamples / "rtk-cgcs2000.xlsx", FileFormat::Xlsx,
                                          folder / "packed.csv", FileFormat::Csv);
    packed.formats.inputAngles = AngleFormat::Packed;
    const FileRun run = ConvertFiles(packed, ChainFor(packed));
    EXPECT_FALSE(run.committed);
    EXPECT_FALSE(fs::exists(folder / "packed.csv"));
    const std::string message = MessageFor(run).text;
    EXPECT_NE(message.find("第2行“纬度”列的“39.914475217”不是度.分秒"), std::string::npos) << message;
    EXPECT_NE(message.find("--from-angles degrees"), std::string::npos) << message;
}

// The system a layer declares, as GDAL reads it: the EPSG code of each
// national system, else the WKT of its definition (a system of the user's
// own too), else none.
TEST(GisConversion, SpatialReferenceOfTheTarget) {
    struct Case {
        const char* system;
        Zoning zoning;
        double meridian;
        int zone;
        int epsg;
    };
    const Case codes[] = {
        {"cgcs2000-geodetic", Zoning::Meridian, 0, 0, 4490},
        {"wgs84-xyz", Zoning::Meridian, 0, 0, 4978},
        {"cgcs2000-gauss", Zoning::Meridian, 117, 0, 4548},
        {"xian80-gauss", Zoning::Meridian, 117, 0, 2384},
        {"cgcs2000-gauss", Zoning::Zone3, 0, 39, 4527},
        {"beijing54-gauss", Zoning::Zone6, 0, 23, 21423},
        {"wgs84-utm", Zoning::Meridian, -177, 0, 32601},
    };
    for (const Case& c : codes) {
        SCOPED_TRACE(std::string(c.system) + " " + std::to_string(c.meridian) + " " + std::to_string(c.zone));
        Crs crs = MakeCrs(*FindSystem(c.system), c.zoning, c.meridian);
        crs.zone = c.zone;
        EXPECT_EQ(gis::SpatialReferenceOf(crs).epsg, c.epsg);
        // GDAL's EPSG database names the same system by the code.
        OGRSpatialReference byCode;
        ASSERT_EQ(byCode.importFromEPSG(c.epsg), OGRERR_NONE);
        if (crs.IsProjected()) {
            EXPECT_DOUBLE_EQ(byCode.GetProjParm(SRS_PP_CENTRAL_MERIDIAN),
                             crs.IsZoned() ? ZoneMeridian(c.zoning, c.zone) : c.meridian);
            EXPECT_DOUBLE_EQ(byCode.GetProjParm(SRS_PP_FALSE_EASTING), 500000.0 + c.zone * 1e6);
        }
    }

    // No code: GDAL reads the WKT built from the definition.
    OGRSpatialReference byWkt;
    gis::SpatialReference srs =
        gis::SpatialReferenceOf(MakeCrs(*FindSystem("xian80-gauss"), Zoning::Meridian, 117.30));
    EXPECT_EQ(srs.epsg, 0);
    ASSERT_EQ(byWkt.importFromWkt(srs.wkt.c_str()), OGRERR_NONE) << srs.wkt;
    EXPECT_DOUBLE_EQ(byWkt.GetProjParm(SRS_PP_CENTRAL_MERIDIAN), 117.5);
    EXPECT_DOUBLE_EQ(byWkt.GetProjParm(SRS_PP_SCALE_FACTOR), 1.0);
    EXPECT_DOUBLE_EQ(byWkt.GetSemiMajor(), 6378140.0);
    EXPECT_DOUBLE_EQ(byWkt.GetInvFlattening(), 298.257);
    srs = gis::SpatialReferenceOf(Crs::Geocentric(DatumId::Beijing54));
    ASSERT_EQ(byWkt.importFromWkt(srs.wkt.c_str()), OGRERR_NONE) << srs.wkt;
    EXPECT_TRUE(byWkt.IsGeocentric());
    EXPECT_DOUBLE_EQ(byWkt.GetInvFlattening(), 298.3);
    // A city system: its name, the meridian 114°20′, the plane of 350 m
    // folded into the scale (1 + 350/R).
    std::string error;
    const std::optional<Crs> city = ReadSystemFile(kExamples / "city.crs", error);
    ASSERT_TRUE(city) << error;
    srs = gis::SpatialReferenceOf(*city);
    ASSERT_EQ(byWkt.importFromWkt(srs.wkt.c_str()), OGRERR_NONE) << srs.wkt;
    EXPECT_STREQ(byWkt.GetName(), "某市2000独立坐标系");
    EXPECT_NEAR(byWkt.GetProjParm(SRS_PP_CENTRAL_MERIDIAN), 114.0 + 20.0 / 60.0, 1e-12);
    EXPECT_NEAR(byWkt.GetProjParm(SRS_PP_SCALE_FACTOR), 1.0 + 350.0 / 6.37e6, 2e-7);

    // Nothing for zones with each point in its own, nor for a local grid.
    EXPECT_TRUE(gis::SpatialReferenceOf(MakeCrs(*FindSystem("cgcs2000-gauss"), Zoning::Zone3)).Empty());
    EXPECT_TRUE(gis::SpatialReferenceOf(MakeCrs(*FindSystem("local"))).Empty());
}

}  // namespace
