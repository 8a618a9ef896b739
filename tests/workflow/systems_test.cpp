// The coordinate systems of the catalogue against reference values, every
// pair both ways, and zones through whole files.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/angle.h"
#include "platform/number_text.h"
#include "recording_messages.h"
#include "run_request.h"
#include "workflow/angle_text.h"
#include "workflow/chain.h"
#include "workflow/conversion_run.h"
#include "workflow/coordinate_system.h"
#include "workflow_files.h"

using namespace zelk;

namespace {

using zelk::ConversionChain;
using zelk::Crs;
using zelk::Form;
using zelk::PointProblem;
using zelk::Transformation;
using zelk::Zoning;

Crs System(const std::string& name, Zoning zoning = Zoning::Meridian, double meridian = 0.0) {
    const zelk::SystemEntry* entry = zelk::FindSystem(name);
    EXPECT_NE(entry, nullptr) << name;
    return zelk::MakeCrs(*entry, zoning, meridian);
}

Crs GeodeticOf(const Crs& crs) { return zelk::MakeCrs(*zelk::FindSystem(crs.datum, Form::Geodetic)); }

// Metres between two geodetic points given in packed DMS, near enough for
// tolerances of millimetres.
double GroundDistance(double B1, double L1, double H1, double B2, double L2, double H2) {
    const double b1 = DmsToRadian(B1), b2 = DmsToRadian(B2);
    const double north = (b2 - b1) * 6371000.0;
    const double east = (DmsToRadian(L2) - DmsToRadian(L1)) * 6371000.0 * std::cos(b1);
    return std::sqrt(north * north + east * east + (H2 - H1) * (H2 - H1));
}

double Distance(const double a[3], const double b[3]) {
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                     (a[2] - b[2]) * (a[2] - b[2]));
}

// ---- tests/data/reference_points.txt ----

struct ReferenceLine {
    int number;
    Crs system;
    double geodetic[3];  // B L H, packed DMS
    double coordinates[3];
    double tolerance;
    std::string source;
};

std::vector<ReferenceLine> ReadReferencePoints() {
    std::ifstream file(ZELK_TEST_DATA_DIR "/reference_points.txt");
    EXPECT_TRUE(file) << "reference_points.txt";
    std::vector<ReferenceLine> lines;
    std::string text;
    for (int number = 1; std::getline(file, text); ++number) {
        if (text.empty() || text[0] == '#') continue;
        std::istringstream in(text);
        std::string name, settings, token;
        in >> name >> settings;
        ReferenceLine line{number, {}, {}, {}, 0.0, {}};
        Zoning zoning = Zoning::Meridian;
        double meridian = 0.0;
        if (settings == "zone=3") {
            zoning = Zoning::Zone3;
        } else if (settings == "zone=6") {
            zoning = Zoning::Zone6;
        } else if (settings.rfind("meridian=", 0) == 0) {
            meridian = *ParseDecimal(settings.substr(9));
        }
        line.system = System(name, zoning, meridian);
        double* values[] = {&line.geodetic[0],    &line.geodetic[1],    &line.geodetic[2],
                            &line.coordinates[0], &line.coordinates[1], &line.coordinates[2],
                            &line.tolerance};
        for (double* value : values) {
            in >> token;
            const auto parsed = ParseDecimal(token);
            EXPECT_TRUE(parsed) << "line " << number << ": " << token;
            *value = parsed.value_or(0.0);
        }
        std::getline(in, line.source);
        lines.push_back(line);
    }
    return lines;
}

TEST(ReferencePoints, EveryLineBothWays) {
    const std::vector<ReferenceLine> lines = ReadReferencePoints();
    ASSERT_GT(lines.size(), 100u);
    // The worst distance from PROJ of each system, forward and back, printed.
    std::map<std::string, std::array<double, 3>> worst;  // lines, forward, back
    for (const ReferenceLine& line : lines) {
        SCOPED_TRACE("reference_points.txt line " + std::to_string(line.number) + ":" + line.source);
        const Crs geodetic = GeodeticOf(line.system);
        double forward[3] = {line.geodetic[0], line.geodetic[1], line.geodetic[2]};
        EXPECT_EQ(ConversionChain(geodetic, line.system)
                      .Convert(forward[0], forward[1], forward[2]),
                  PointProblem::None);
        EXPECT_LE(Distance(forward, line.coordinates), line.tolerance);
        double back[3] = {line.coordinates[0], line.coordinates[1], line.coordinates[2]};
        EXPECT_EQ(ConversionChain(line.system, geodetic)
                      .Convert(back[0], back[1], back[2]),
                  PointProblem::None);
        const double backDistance =
            GroundDistance(back[0], back[1], back[2], line.geodetic[0], line.geodetic[1], line.geodetic[2]);
        EXPECT_LE(backDistance, line.tolerance);
        std::array<double, 3>& w = worst[zelk::FindSystem(line.system.datum, line.system.form)->name];
        w[0] += 1;
        w[1] = std::max(w[1], Distance(forward, line.coordinates));
        w[2] = std::max(w[2], backDistance);
    }
    for (const auto& [name, w] : worst) {
        std::printf("reference_points.txt %-18s %3.0f lines, worst from PROJ: forward %.4f mm, back %.4f mm\n",
                    name.c_str(), w[0], w[1] * 1000, w[2] * 1000);
    }
}

// ---- every pair of systems, both ways ----

TEST(EverySystemPair, ThereAndBackAgain) {
    // With zero parameters the datums share X Y Z, so a round trip between
    // any two systems must come home.
    // Within 3 degrees of the meridian 117 used by the projected systems.
    const double points[][3] = {{39.5400, 116.1800, 52.5}, {23.0711, 118.3930, -3.25},
                                {45.4512, 114.3807, 880.0}};
    for (const zelk::SystemEntry& fromEntry : zelk::Systems()) {
        for (const zelk::SystemEntry& toEntry : zelk::Systems()) {
            for (Zoning zoning : {Zoning::Meridian, Zoning::Zone3, Zoning::Zone6}) {
                Crs from = zelk::MakeCrs(fromEntry, Zoning::Meridian, 117.0);
                Crs to = zelk::MakeCrs(toEntry, zoning, 117.0);
                if (zoning != Zoning::Meridian && (!to.IsProjected() || to.IsUtm())) continue;
                SCOPED_TRACE(std::string(fromEntry.name) + " -> " + toEntry.name + " zoning " +
                             std::to_string(static_cast<int>(zoning)));
                const ConversionChain there(from, to, {Transformation::Seven({})});
                const ConversionChain back(to, from, {Transformation::Seven({})});
                for (const auto& point : points) {
                    double start[3] = {point[0], point[1], point[2]};
                    ConversionChain(GeodeticOf(from), from)
                        .Convert(start[0], start[1], start[2]);
                    double v[3] = {start[0], start[1], start[2]};
                    ASSERT_EQ(there.Convert(v[0], v[1], v[2]), PointProblem::None);
                    ASSERT_EQ(back.Convert(v[0], v[1], v[2]), PointProblem::None);
                    if (from.form == Form::Geodetic) {
                        EXPECT_LE(GroundDistance(v[0], v[1], v[2], start[0], start[1], start[2]),
                                  0.001);
                    } else {
                        EXPECT_LE(Distance(v, start), 0.001) << start[0] << " " << start[1];
                    }
                }
            }
        }
    }
}

TEST(EverySystemPair, SameSystemAndWgs84ToCgcs2000AreIdentities) {
    // Zero parameters between WGS84 and CGCS2000 keep X Y Z as they are.
    double v[3] = {-2170976.7388, 4392637.6333, 4069473.6755};
    EXPECT_EQ(ConversionChain(System("wgs84-xyz"), System("cgcs2000-xyz"), {Transformation::Seven({})})
                  .Convert(v[0], v[1], v[2]),
              PointProblem::None);
    EXPECT_EQ(v[0], -2170976.7388);
    EXPECT_EQ(v[1], 4392637.6333);
    EXPECT_EQ(v[2], 4069473.6755);
}

TEST(Zones, AcrossTheAntimeridianUtmKeepsItsNeighbours) {
    // 179°30'W is 3°30' east of the meridian 177°E.
    const ConversionChain there(System("wgs84-geodetic"), System("wgs84-utm", Zoning::Meridian, 177),
                                {Transformation::Seven({})});
    double v[3] = {-17.3, -179.3, 0.0};
    ASSERT_EQ(there.Convert(v[0], v[1], v[2]), PointProblem::None);
    EXPECT_NEAR(v[0], -1938286.196, 0.01);  // no false northing south of the equator
    EXPECT_NEAR(v[1], 871740.029, 0.01);
    const ConversionChain back(System("wgs84-utm", Zoning::Meridian, 177), System("wgs84-geodetic"),
                               {Transformation::Seven({})});
    ASSERT_EQ(back.Convert(v[0], v[1], v[2]), PointProblem::None);
    EXPECT_LE(GroundDistance(v[0], v[1], v[2], -17.3, -179.3, 0.0), 0.001);
    EXPECT_LT(v[1], -179.0);  // west, not 180°30'E
}

// Every zone edge from 0° to 180° belongs to the zone east of it, as the
// formulas n = floor(L/6) + 1 and floor((L − 1.5)/3) + 1 say: given in
// degrees, a few units in the last place below, as typed packed DMS through
// the conversion's radians, and as the zone number in front of a converted
// easting. A millionth of a degree west is the zone west of it.
TEST(Zones, EveryEdgeBelongsToTheZoneEastOfIt) {
    int edges = 0;
    for (Zoning zoning : {Zoning::Zone6, Zoning::Zone3}) {
        const bool three = zoning == Zoning::Zone3;
        const ConversionChain chain(System("cgcs2000-geodetic"), System("cgcs2000-gauss", zoning));
        for (int k = 0; three ? k < 60 : k <= 30; ++k) {
            const double edge = three ? 1.5 + 3 * k : 6.0 * k;
            const int east = k + 1;
            const std::string packed = std::to_string(static_cast<int>(edge)) + (three ? ".30" : "");
            SCOPED_TRACE(packed);
            double L = 0;
            ASSERT_TRUE(ParsePackedAngle(packed, L));
            EXPECT_EQ(zelk::ZoneOf(zoning, edge), east);
            EXPECT_EQ(zelk::ZoneOf(zoning, DmsToRadian(L) * 180 / kPi), east);
            EXPECT_EQ(zelk::ZoneOf(zoning, DmsToRadian(L) * 180 / M_PI), east);
            EXPECT_EQ(zelk::ZoneOf(zoning, edge - 1e-12), east);
            EXPECT_EQ(zelk::ZoneOf(zoning, edge - 1e-6), east - 1);
            double v[3] = {30, L, 0};
            ASSERT_EQ(chain.Convert(v[0], v[1], v[2]), PointProblem::None);
            EXPECT_EQ(std::floor(v[1] / 1e6), east);
            ++edges;
        }
    }
    EXPECT_EQ(edges, 91);
}

// ---- zones through whole files ----

struct ZoneFileCase {
    const char* what;
    const char* input;
    const char* from;
    Zoning fromZoning;
    double fromMeridian;
    const char* to;
    Zoning toZoning;
    double toMeridian;
    const char* output;   // expected file, empty when refused
    const char* message;  // expected message
};

TEST(Zones, FilesInAndOut) {
    const ZoneFileCase cases[] = {
        {"geodetic to 3-degree zones, each point in its own zone",
         "39.54 116.18 0\n32 106 0\n", "cgcs2000-geodetic", Zoning::Meridian, 0, "cgcs2000-gauss",
         Zoning::Zone3, 0, "4418660.236 39440136.927 0.000\n3542289.447 35594495.262 0.000\n",
         "文件转换完成!"},
        // Through X Y Z and back, a height of 0 may come out a few nanometres
        // below, written -0.000 as printf writes it.
        {"6-degree zones to 3-degree zones",
         "4418660.237 20440136.927 0\n3542289.447 18594495.262 0\n", "cgcs2000-gauss",
         Zoning::Zone6, 0, "cgcs2000-gauss", Zoning::Zone3, 0,
         "4418660.237 39440136.927 -0.000\n3542289.447 35594495.262 0.000\n", "文件转换完成!"},
        {"zones to a central meridian", "4418660.237 39440136.927 0\n", "cgcs2000-gauss",
         Zoning::Zone3, 0, "cgcs2000-gauss", Zoning::Meridian, 117, "4418660.237 440136.927 -0.000\n",
         "文件转换完成!"},
        {"an easting without its zone number", "4418660.237 39440136.927 0\n4418660.237 440136.927 0\n",
         "cgcs2000-gauss", Zoning::Zone3, 0, "cgcs2000-geodetic", Zoning::Meridian, 0, "",
         "转换前文件第2行的点东坐标前没有可用的带号（3度带1～120，6度带1～60），请检查带号！"},
        {"zone 61 of 6-degree zones", "\n\n4418660.237 61440136.927 0\n", "cgcs2000-gauss",
         Zoning::Zone6, 0, "cgcs2000-geodetic", Zoning::Meridian, 0, "",
         "转换前文件第3行的点东坐标前没有可用的带号（3度带1～120，6度带1～60），请检查带号！"},
        {"a western longitude has no zone", "39.54 116.18 0\n39.54 -116.18 0\n",
         "cgcs2000-geodetic", Zoning::Meridian, 0, "cgcs2000-gauss", Zoning::Zone6, 0, "",
         "转换前文件第2行的点转换后的经度不在任何带内，无法分带！"},
        {"a meridian left at 0 for points at 116 degrees", "39.54 116.18 0\n",
         "cgcs2000-geodetic", Zoning::Meridian, 0, "cgcs2000-gauss", Zoning::Meridian, 0, "",
         "转换前文件第1行的点转换后离转换后的中央子午线超过6度，请检查转换后的中央子午线！"},
    };
    for (const ZoneFileCase& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        WriteFile(folder / "in.txt", c.input);
        WriteFile(folder / "out.txt", "earlier\n");
        RecordingMessages messages;
        ConversionRequest v = NamedRequest(c.from, c.to, {Transformation::Seven({})}, folder / "in.txt",
                                           folder / "out.txt");
        v.from = MakeCrs(*FindSystem(c.from), c.fromZoning, c.fromMeridian);
        v.to = MakeCrs(*FindSystem(c.to), c.toZoning, c.toMeridian);
        const ConvertOutcome outcome = RunRequest(v);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, c.message);
        if (*c.output != '\0') {
            EXPECT_EQ(outcome, ConvertOutcome::Done);
            EXPECT_EQ(ReadFile(folder / "out.txt"), c.output);
        } else {
            EXPECT_EQ(outcome, ConvertOutcome::PointRefused);
            EXPECT_EQ(ReadFile(folder / "out.txt"), "earlier\n");
        }
    }
}

}  // namespace
