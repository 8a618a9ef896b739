// Systems of the user's own (system files) and EPSG codes: against PROJ's
// reference values both ways, bad definitions refused with file, line and
// key, and a system of one's own carried whole through a parameters file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/angle.h"
#include "platform/number_text.h"
#include "temp_folder.h"
#include "workflow/chain.h"
#include "workflow/epsg.h"
#include "workflow/parameter_file.h"
#include "workflow/system_file.h"

using namespace zelk;

namespace {

const std::string kData = ZELK_TEST_DATA_DIR;

Crs Named(const std::string& name) { return MakeCrs(*FindSystem(name)); }

// Metres between two geodetic points in packed DMS, near enough for
// millimetres.
double GroundDistance(const double a[3], const double b[3]) {
    const double north = (DmsToRadian(b[0]) - DmsToRadian(a[0])) * 6371000.0;
    const double east = (DmsToRadian(b[1]) - DmsToRadian(a[1])) * 6371000.0 * std::cos(DmsToRadian(a[0]));
    return std::sqrt(north * north + east * east + (b[2] - a[2]) * (b[2] - a[2]));
}

double Distance(const double a[3], const double b[3]) {
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
}

// A reference line: a system's name, a geodetic point on its datum, the
// point in the system, the tolerance and where the values come from.
struct Line {
    int number = 0;
    std::string system;
    double geodetic[3] = {};
    double coordinates[3] = {};
    double tolerance = 0.0;
    std::string source;
};

std::vector<Line> ReadLines(const std::string& file) {
    std::ifstream in(kData + "/" + file);
    EXPECT_TRUE(in) << file;
    std::vector<Line> lines;
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        if (text.empty() || text[0] == '#') continue;
        std::istringstream fields(text);
        Line line;
        line.number = number;
        fields >> line.system;
        std::string token;
        for (double* value : {&line.geodetic[0], &line.geodetic[1], &line.geodetic[2], &line.coordinates[0],
                              &line.coordinates[1], &line.coordinates[2], &line.tolerance}) {
            fields >> token;
            *value = ParseDecimal(token).value_or(NAN);
        }
        fields >> line.source;
        lines.push_back(line);
    }
    return lines;
}

// The geodetic system on the datum of crs.
Crs GeodeticOf(const Crs& crs) {
    Crs geodetic = Crs::GeocentricOf(crs);
    geodetic.form = Form::Geodetic;
    return geodetic;
}

// The largest differences from the reference values seen, forwards (m in
// the system) and back (m on the ground), printed by the tests that read
// reference files: the accuracy the README and the guide state.
struct Worst {
    double forward = 0.0, back = 0.0;
    void Print(const char* what) const {
        std::printf("%s: worst %.4f mm forward, %.4f mm back\n", what, forward * 1000, back * 1000);
    }
};

// Converts a reference line forwards (geodetic -> system) and back.
void ExpectBothWays(const Line& line, const Crs& system, Worst& worst) {
    SCOPED_TRACE(line.system + " line " + std::to_string(line.number) + " " + line.source);
    const Crs geodetic = GeodeticOf(system);
    double v[3] = {line.geodetic[0], line.geodetic[1], line.geodetic[2]};
    ASSERT_EQ(ConversionChain(geodetic, system).Convert(v[0], v[1], v[2]), PointProblem::None);
    EXPECT_LE(Distance(v, line.coordinates), line.tolerance)
        << FormatGeneral(v[0], 15) << " " << FormatGeneral(v[1], 15) << " " << FormatGeneral(v[2], 15);
    double w[3] = {line.coordinates[0], line.coordinates[1], line.coordinates[2]};
    ASSERT_EQ(ConversionChain(system, geodetic).Convert(w[0], w[1], w[2]), PointProblem::None);
    EXPECT_LE(GroundDistance(w, line.geodetic), line.tolerance);
    worst.forward = std::max(worst.forward, Distance(v, line.coordinates));
    worst.back = std::max(worst.back, GroundDistance(w, line.geodetic));
}

}  // namespace

TEST(OwnSystems, PublishedDefinitionsAgreeWithProjBothWays) {
    const std::vector<Line> lines = ReadLines("system_reference.txt");
    std::set<std::string> files;
    Worst worst;
    for (const Line& line : lines) {
        std::string error;
        const std::optional<Crs> system = ReadSystemFile(kData + "/systems/" + line.system, error);
        ASSERT_TRUE(system) << error;
        ExpectBothWays(line, *system, worst);
        files.insert(line.system);
    }
    worst.Print("system_reference.txt");
    EXPECT_EQ(files.size(), 2u);
    EXPECT_EQ(lines.size(), 50u);
}

TEST(Epsg, EveryCodeAgreesWithProjBothWays) {
    const std::vector<Line> lines = ReadLines("epsg_reference.txt");
    std::set<int> covered;
    Worst worst;
    for (const Line& line : lines) {
        std::string problem;
        const std::optional<Crs> system = EpsgCrs("EPSG:" + line.system, problem);
        ASSERT_TRUE(system) << problem;
        if (system->form == Form::Projected) {
            ExpectBothWays(line, *system, worst);
        } else {
            // Geodetic and geocentric codes: through X Y Z of their datum.
            SCOPED_TRACE("EPSG:" + line.system + " line " + std::to_string(line.number));
            const Crs xyz = Crs::GeocentricOf(*system);
            double v[3] = {line.geodetic[0], line.geodetic[1], line.geodetic[2]};
            ASSERT_EQ(ConversionChain(GeodeticOf(*system), xyz).Convert(v[0], v[1], v[2]), PointProblem::None);
            EXPECT_LE(Distance(v, line.coordinates), line.tolerance);
        }
        covered.insert(std::stoi(line.system));
    }
    worst.Print("epsg_reference.txt");
    for (const EpsgSystem& row : EpsgSystems()) EXPECT_TRUE(covered.count(row.code)) << row.code;
    EXPECT_EQ(EpsgSystems().size(), 318u);
}

TEST(Epsg, CodesNameTheirSystemsAndBack) {
    struct Case {
        const char* name;
        const char* described;  // DescribeSystem of the code's system; empty: refused
        const char* problem;
    };
    const Case cases[] = {
        {"EPSG:4490", "cgcs2000-geodetic", ""},
        {"epsg:4547", "cgcs2000-gauss, central meridian 114", ""},
        {"EPSG:4526", "cgcs2000-gauss, 3-degree zones, zone 38", ""},
        {"EPSG:2385", "xian80-gauss, central meridian 120", ""},
        {"EPSG:2369", "xian80-gauss, 3-degree zones, zone 45", ""},
        {"EPSG:21413", "beijing54-gauss, 6-degree zones, zone 13", ""},
        {"EPSG:4978", "wgs84-xyz", ""},
        {"EPSG:32650", "wgs84-utm, central meridian 117", ""},
        {"EPSG:32750", "wgs84-utm, central meridian 117, false northing 10000000", ""},
        {"EPSG:3857", "", "EPSG:3857 is not a system ZELK converts: ZELK converts only the systems "
                         "'zelk-cli systems --epsg' lists"},
        {"EPSG:4555", "", "EPSG:4555 is not a system ZELK converts"},
        {"EPSG:", "", "EPSG: is not an EPSG code"},
        {"EPSG:45x", "", "EPSG:45x is not an EPSG code"},
        {"EPSG:-4490", "", "EPSG:-4490 is not an EPSG code"},
    };
    for (const Case& c : cases) {
        std::string problem;
        const std::optional<Crs> crs = EpsgCrs(c.name, problem);
        if (*c.described == '\0') {
            EXPECT_FALSE(crs) << c.name;
            EXPECT_EQ(problem.rfind(c.problem, 0), 0u) << problem;
            continue;
        }
        ASSERT_TRUE(crs) << c.name << ": " << problem;
        EXPECT_EQ(DescribeSystem(*crs), c.described);
        EXPECT_EQ(CrsProblemText(*crs, "转换后"), "");
        // Every system of the table finds its own code again.
        EXPECT_EQ(EpsgCodeOf(*crs), std::stoi(std::string(c.name).substr(5)));
    }
    // Each point in its own zone is no one code; a typed meridian of the
    // table is; a system of one's own is none.
    EXPECT_EQ(EpsgCodeOf(MakeCrs(*FindSystem("cgcs2000-gauss"), Zoning::Zone3)), std::nullopt);
    EXPECT_EQ(EpsgCodeOf(MakeCrs(*FindSystem("beijing54-gauss"), Zoning::Meridian, 117)), 2436);
    EXPECT_EQ(EpsgCodeOf(MakeCrs(*FindSystem("cgcs2000-gauss"), Zoning::Meridian, 117)), 4548);
    EXPECT_EQ(EpsgCodeOf(MakeCrs(*FindSystem("xian80-gauss"), Zoning::Meridian, 111)), 2382);
    EXPECT_EQ(EpsgCodeOf(Named("xian80-xyz")), std::nullopt);
    EXPECT_EQ(GisDefinitionOf(Named("wgs84-geodetic")), "EPSG:4326");
}

TEST(SystemFiles, BadDefinitionsNameFileLineAndKey) {
    const std::string head = "name = t\ndatum = cgcs2000\nform = gauss\n";
    struct Case {
        std::string text;
        std::string error;  // the start of the message
    };
    const Case cases[] = {
        {head, "s.crs:3: form = gauss: meridian is missing (the central meridian"},
        {head + "meridian = 114.2\nk0 = 0\n", "s.crs:5: k0 = 0: the scale on the central meridian must be greater than 0"},
        {head + "meridian = 114.2\nk0 = -0.9996\n", "s.crs:5: k0 = -0.9996: the scale"},
        {"form = geodetic\na = 6378137\nrf = 1\n", "s.crs:3: rf = 1: the inverse flattening must be greater than 1"},
        {"form = geodetic\na = 6378137\nrf = 0.5\n", "s.crs:3: rf = 0.5: the inverse flattening"},
        {"form = xyz\na = 637813.7\nrf = 298\n", "s.crs:2: a = 637813.7: not an earth ellipsoid"},
        {head + "meridian = 114.2\nzone = 38\n", "s.crs:5: unknown key 'zone' (the keys are name datum a rf form"},
        {head + "meridian = 114.2\nk0 = 1\nk0 = 1\n", "s.crs:6: k0 is given a second time"},
        {head + "meridian = 114.2\nplane-height = 10000.5\nplane-latitude = 30\n",
         "s.crs:5: plane-height = 10000.5: the projection plane must lie within ±10000 m"},
        {head + "meridian = 114.2\nplane-height = -12000\nplane-latitude = 30\n", "s.crs:5: plane-height = -12000:"},
        {head + "meridian = 114.2\nplane-height = 350\nplane-latitude = 90.01\n",
         "s.crs:6: plane-latitude = 90.01: not a latitude within ±90°"},
        {head + "meridian = 114.2\nplane-height = 350\n", "s.crs:5: plane-height = 350: plane-latitude is missing"},
        {head + "meridian = 180.0001\n", "s.crs:4: meridian = 180.0001: not a meridian within ±180°"},
        {head + "meridian = 114°20′\n", "s.crs:4: the value of meridian, '114°20′', is not a number"},
        {head + "meridian = 114.2\nplane-origin = 3380000\n", "s.crs:5: plane-origin = 3380000: not two numbers x,y"},
        {"name = t\nform = gauss\nmeridian = 114.2\n", "s.crs: datum is missing (a datum of the table"},
        {"datum = cgcs2000\n", "s.crs: form is missing (gauss, geodetic or xyz)"},
        {"datum = cgcs2000\nform = utm\n", "s.crs:2: form = utm: not a form (gauss, geodetic or xyz)"},
        {"datum = xian1980\nform = geodetic\n", "s.crs:1: datum = xian1980: not a datum of the table"},
        {"datum = wgs84\na = 6378137\nrf = 298.257223563\nform = xyz\n", "s.crs:2: a = 6378137: a custom ellipsoid and datum exclude"},
        {"a = 6378137\nform = xyz\n", "s.crs:1: a = 6378137: rf is missing"},
        {"datum = wgs84\nform = geodetic\nmeridian = 117\n", "s.crs:3: meridian = 117: a geodetic system has no grid"},
        {"name =\ndatum = wgs84\nform = xyz\n", "s.crs:1: name = : the name is empty"},
        {"datum = wgs84\nform xyz\n", "s.crs:2: expected 'name = value', found 'form xyz'"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(ParseSystemFile(c.text, "s.crs", "s", error)) << c.text;
        EXPECT_EQ(error.substr(0, c.error.size()), c.error) << c.text;
    }
}

TEST(SystemFiles, ReadWhatTheyDefineAndWriteItBack) {
    std::string error;
    const std::optional<Crs> city = ReadSystemFile(kData + "/systems/city-cgcs2000.crs", error);
    ASSERT_TRUE(city) << error;
    EXPECT_EQ(city->name, "某市2000独立坐标系");
    EXPECT_EQ(city->meridian, 114.2);
    EXPECT_EQ(city->plane.height, 350.0);
    EXPECT_EQ(city->plane.x0, 3380000.0);
    EXPECT_FALSE(city->HasDatumGrid());
    // q = H0 / R, R = sqrt(M N) = 6367733.088 m at 30°30' on CGCS2000.
    EXPECT_NEAR(PlaneScale(*city), 350.0 / 6367733.088380, 1e-17);

    // Defaults: k0 1, false easting 500000, the plane about (0, false
    // easting); a name from the file's own name; an ellipsoid of its own.
    const std::optional<Crs> own = ParseSystemFile(
        "a = 6378487 # enlarged by H0\nrf = 298.257222101\nform = gauss\nmeridian = 120.3\n"
        "false-easting = 40000\nplane-height = -25.5\nplane-latitude = 31\n",
        "x.crs", "x", error);
    ASSERT_TRUE(own) << error;
    EXPECT_EQ(own->name, "x");
    EXPECT_EQ(own->scale, 1.0);
    EXPECT_EQ(own->falseNorthing, 0.0);
    EXPECT_EQ(own->plane.y0, 40000.0);
    EXPECT_EQ(own->ellipsoid, (OwnEllipsoid{6378487.0, 298.257222101}));
    EXPECT_FALSE(SameDatum(*own, Named("cgcs2000-geodetic")));

    // What a file says, written and read again, is the same system.
    for (const Crs& crs : {*city, *own, Named("wgs84-xyz"), GeodeticOf(*own)}) {
        const std::optional<Crs> back = ParseSystemFile(FormatSystemFile(crs), "w.crs", "w", error);
        ASSERT_TRUE(back) << error << "\n" << FormatSystemFile(crs);
        EXPECT_TRUE(SameSystem(*back, crs)) << FormatSystemFile(crs);
        EXPECT_EQ(back->name, crs.name.empty() ? "w" : crs.name);
    }
}

TEST(SystemFiles, ZeroParametersJoinAnEllipsoidOfItsOwnThroughXyz) {
    // Between a datum of its own and any other, zero parameters keep X Y Z;
    // without a step the datums cannot be joined.
    std::string error;
    const std::optional<Crs> own =
        ParseSystemFile("name = e\na = 6378487\nrf = 298.257222101\nform = xyz\n", "e.crs", "e", error);
    ASSERT_TRUE(own) << error;
    std::string problem;
    EXPECT_FALSE(ConversionChain::Make(*own, Named("cgcs2000-xyz"), {}, problem));
    EXPECT_EQ(problem, "e与CGCS2000-地心-XYZ不在同一基准上，换基准需要七参数！");
    double v[3] = {-2178659.3051, 4388874.1177, 4069509.9506};
    ASSERT_EQ(ConversionChain(*own, Named("cgcs2000-xyz"), {Transformation::Seven({})}).Convert(v[0], v[1], v[2]),
              PointProblem::None);
    EXPECT_EQ(v[0], -2178659.3051);
    EXPECT_EQ(v[2], 4069509.9506);
}

TEST(SystemFiles, ParametersFilesCarryTheDefinitionWhole) {
    TempFolder folder;
    const auto systemFile = folder / "city.crs";
    std::string error;
    std::optional<Crs> city = ReadSystemFile(kData + "/systems/city-cgcs2000.crs", error);
    ASSERT_TRUE(city) << error;
    ASSERT_TRUE(SaveSystemFile(systemFile, *city, error)) << error;
    city = ReadSystemFile(systemFile, error);
    ASSERT_TRUE(city) << error;

    Transformation t = Transformation::Seven({1.5, -2.25, 3, 0.5, 0.1, -0.2, 0.3});
    t.before = *city;
    t.after = EpsgCrs("EPSG:32750", error);
    const auto params = folder / "city.params";
    ASSERT_TRUE(SaveParametersFile(params, t, "made for a system of one's own", error)) << error;
    std::filesystem::remove(systemFile);  // the system file has gone
    const std::optional<Transformation> back = ReadParametersFile(params, error);
    ASSERT_TRUE(back) << error;
    EXPECT_TRUE(SameSystem(*back->before, *city));
    EXPECT_EQ(back->before->name, "某市2000独立坐标系");
    EXPECT_TRUE(SameSystem(*back->after, *t.after));
    EXPECT_EQ(back->after->falseNorthing, 10000000.0);

    // Named by code, or defined in the file; never both, and a bad
    // definition names its key.
    const std::string seven = "dX0 = 0\ndY0 = 0\ndZ0 = 0\nK = 0\nbetaX = 0\nbetaY = 0\nbetaZ = 0\n";
    struct Case {
        std::string text;
        std::string error;  // empty: read
    };
    const Case cases[] = {
        {"before = EPSG:4547\nafter = EPSG:4490\n" + seven, ""},
        {"before = EPSG:4547\nbefore-meridian = 114\nafter = EPSG:4490\n" + seven,
         "p:2: 'EPSG:4547' has its own meridian or zone"},
        {"before = EPSG:9999\nafter = EPSG:4490\n" + seven, "p:1: EPSG:9999 is not a system ZELK converts"},
        {"before = cgcs2000-gauss\nbefore-k0 = 1\nafter = EPSG:4490\n" + seven,
         "p:1: 'before' and 'before-k0' exclude each other"},
        {"before-datum = cgcs2000\nbefore-form = gauss\nafter = EPSG:4490\n" + seven,
         "p:2: before-form = gauss: before-meridian is missing"},
        {"before-datum = cgcs2000\nbefore-form = gauss\nbefore-meridian = 114.2\nbefore-k0 = 0\nafter = EPSG:4490\n" + seven,
         "p:4: before-k0 = 0: the scale on the central meridian must be greater than 0"},
        {"model = four\nbefore-datum = cgcs2000\nbefore-form = geodetic\nafter = local\n"
         "dX = 0\ndY = 0\nalpha = 0\nscale = 1\n",
         "p:3: before-form = geodetic: 四参数点校正的转换前坐标系统须是投影坐标"},
    };
    for (const Case& c : cases) {
        const std::optional<Transformation> read = ParseParametersFile(c.text, "p", error);
        if (c.error.empty()) {
            EXPECT_TRUE(read) << error;
        } else {
            EXPECT_FALSE(read) << c.text;
            EXPECT_EQ(error.substr(0, c.error.size()), c.error);
        }
    }
}

TEST(OwnSystems, SettingsAreJudgedWhereverTheyComeFrom) {
    Crs utm = Named("wgs84-utm");
    utm.meridian = 117;
    Crs zoned = MakeCrs(*FindSystem("cgcs2000-gauss"), Zoning::Zone3);
    zoned.falseNorthing = 10000000;
    Crs flat = utm;
    flat.scale = 0;
    Crs high = utm;
    high.plane.height = 10001;
    Crs pole = utm;
    pole.plane.height = 10;
    pole.plane.latitude = -90.0001;
    Crs tiny = Named("wgs84-xyz");
    tiny.ellipsoid = OwnEllipsoid{6378137, 1};
    const std::pair<Crs, std::string> cases[] = {
        {utm, ""},
        {zoned, "转换后的3度带、6度带只用基准自身的投影"},
        {flat, "转换后中央子午线尺度k0=0，应大于0！"},
        {high, "转换后投影面高程10001米超出±10000米！"},
        {pole, "转换后投影面纬度超出±90度！"},
        {tiny, "转换后椭球扁率倒数rf=1，应大于1！"},
    };
    for (const auto& [crs, problem] : cases) {
        EXPECT_EQ(CrsProblemText(crs, "转换后").substr(0, problem.size()), problem) << DescribeSystem(crs);
    }
    // A grid of its own is another system, a name alone is not.
    Crs south = utm;
    south.falseNorthing = 10000000;
    Crs named = utm;
    named.name = "工地";
    EXPECT_FALSE(SameSystem(utm, south));
    EXPECT_TRUE(SameSystem(utm, named));
    EXPECT_TRUE(utm.HasDatumGrid());
    EXPECT_FALSE(named.IsCatalogued());
}

// UTM zones by number (zelk-cli --to-utm-zone 50S, the dialogs' zone list)
// are the systems of EPSG's 326ZZ and 327ZZ, whose projections the table
// above checks against PROJ; a zone is found again from its system, and
// texts that name no zone are refused.
TEST(UtmZones, AreTheSystemsOfTheirEpsgCodes) {
    const Crs utm = Named("wgs84-utm");
    for (int number = 1; number <= 60; ++number) {
        for (const bool south : {false, true}) {
            const UtmZone zone{number, south};
            std::string problem;
            const std::optional<Crs> epsg = EpsgCrs("EPSG:" + std::to_string((south ? 32700 : 32600) + number), problem);
            ASSERT_TRUE(epsg) << problem;
            const Crs crs = InUtmZone(utm, zone);
            EXPECT_TRUE(SameSystem(crs, *epsg)) << UtmZoneText(zone);
            EXPECT_EQ(UtmZoneOf(crs), zone);
            EXPECT_EQ(ParseUtmZone(UtmZoneText(zone)), zone);
        }
    }
    EXPECT_EQ(ParseUtmZone("50s"), (UtmZone{50, true}));
    EXPECT_EQ(ParseUtmZone("7n"), (UtmZone{7, false}));
    for (const char* text : {"", "S", "50", "0N", "61S", "050S", "50X", "5 S", "-5S", "50SS"}) {
        EXPECT_EQ(ParseUtmZone(text), std::nullopt) << text;
    }
    // A typed meridian off the zones, another datum's projection, zones of
    // Gauss-Kruger: no UTM zone.
    EXPECT_EQ(UtmZoneOf(MakeCrs(*FindSystem("wgs84-utm"), Zoning::Meridian, 116.3)), std::nullopt);
    EXPECT_EQ(UtmZoneOf(MakeCrs(*FindSystem("cgcs2000-gauss"), Zoning::Meridian, 117)), std::nullopt);
    Crs shifted = InUtmZone(utm, {50, true});
    shifted.falseEasting = 0;
    EXPECT_EQ(UtmZoneOf(shifted), std::nullopt);
}
