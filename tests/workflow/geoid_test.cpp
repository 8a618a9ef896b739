// Heights above a geoid model from end to end: conversions between
// geodetic points with ellipsoidal heights and Gauss-Kruger points with
// heights above EGM96 (by name) or above a grid of one's own, both ways, as
// typed points and through files, against PROJ vgridshift
// (tests/data/geoid_conversions.txt); and the road corridor of examples/,
// whose local heights are EGM96 heights plus a constant, calibrated on
// EGM96 from five benchmarks and checked at seven other points.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "engine/angle.h"
#include "grids/geoid_grid.h"
#include "platform/number_text.h"
#include "workflow/calibration_run.h"
#include "workflow/chain.h"
#include "workflow/conversion_run.h"
#include "workflow/estimation_run.h"
#include "workflow/geoid_model.h"
#include "workflow/parameter_file.h"
#include "workflow_files.h"

using namespace zelk;

namespace {

Crs System(const std::string& name, const std::string& settings = "-") {
    const SystemEntry* entry = FindSystem(name);
    EXPECT_NE(entry, nullptr) << name;
    if (settings == "zone=3") return MakeCrs(*entry, Zoning::Zone3);
    if (settings == "zone=6") return MakeCrs(*entry, Zoning::Zone6);
    if (settings.rfind("meridian=", 0) == 0) {
        return MakeCrs(*entry, Zoning::Meridian, ParseDecimal(settings.substr(9)).value_or(0));
    }
    return MakeCrs(*entry);
}

Crs GeodeticOf(const Crs& crs) { return MakeCrs(*FindSystem(crs.datum, Form::Geodetic)); }

double Degrees(double packed) { return DmsToRadian(packed) * 180.0 / kPi; }

// Metres between two geodetic points (decimal degrees), near enough for
// millimetres.
double Metres(double lat1, double lon1, double h1, double lat2, double lon2, double h2) {
    const double north = (lat2 - lat1) * kPi / 180 * 6371000.0;
    const double east = (lon2 - lon1) * kPi / 180 * 6371000.0 * std::cos(lat1 * kPi / 180);
    return std::sqrt(north * north + east * east + (h2 - h1) * (h2 - h1));
}

// A model as the tests name it: egm96, or a file of tests/data/geoid/.
// Opened once for the whole program.
const GeoidModel& Model(const std::string& name) {
    static std::map<std::string, GeoidModel> models;
    auto it = models.find(name);
    if (it == models.end()) {
        it = models.emplace(name, OpenGeoidModel(name == "egm96" ? name
                                                                 : ZELK_TEST_DATA_DIR "/geoid/" + name))
                 .first;
    }
    return it->second;
}

bool Egm96Installed() { return Model("egm96").IsOpen(); }

// The next three numbers of a converted file.
bool ReadThree(std::istringstream& in, double& a, double& b, double& c) {
    for (double* v : {&a, &b, &c}) {
        std::string token;
        if (!(in >> token)) return false;
        const auto value = ParseDecimal(token);
        if (!value) return false;
        *v = *value;
    }
    return true;
}

// ---- tests/data/geoid_conversions.txt ----

struct ConversionLine {
    int number;
    std::string model, system, settings;
    std::string text[6];  // B L h x y H as written
    double value[6];
    double tolerance;
};

std::vector<ConversionLine> ReadConversions() {
    std::ifstream file(ZELK_TEST_DATA_DIR "/geoid_conversions.txt");
    EXPECT_TRUE(file) << "geoid_conversions.txt";
    std::vector<ConversionLine> lines;
    std::string text;
    for (int number = 1; std::getline(file, text); ++number) {
        if (text.empty() || text[0] == '#') continue;
        std::istringstream in(text);
        ConversionLine line{number, {}, {}, {}, {}, {}, 0.0};
        std::string tolerance;
        in >> line.model >> line.system >> line.settings;
        for (int i = 0; i < 6; ++i) {
            in >> line.text[i];
            line.value[i] = ParseDecimal(line.text[i]).value_or(NAN);
        }
        in >> tolerance;
        line.tolerance = ParseDecimal(tolerance).value_or(0);
        lines.push_back(line);
    }
    return lines;
}

ConversionRequest Request(const Crs& from, const Crs& to, const std::string& fromModel,
                          const std::string& toModel) {
    ConversionRequest request;
    request.from = from;
    request.to = to;
    if (!fromModel.empty()) request.fromGeoid = Model(fromModel);
    if (!toModel.empty()) request.toGeoid = Model(toModel);
    return request;
}

// Converts a typed point as both programs do; false (with a failure) when
// the request or the point is refused.
bool ConvertTyped(const ConversionRequest& request, double v[3]) {
    const std::string problem = RequestProblemText(request);
    EXPECT_EQ(problem, "");
    if (!problem.empty()) return false;
    const std::string refused = ConvertTypedPoint(ChainFor(request), v[0], v[1], v[2]);
    EXPECT_EQ(refused, "");
    return refused.empty();
}

TEST(GeoidConversions, EveryLineBothWaysAsTypedPoints) {
    const std::vector<ConversionLine> lines = ReadConversions();
    ASSERT_GT(lines.size(), 80u);
    std::map<std::string, double> worst;
    int checked = 0;
    for (const ConversionLine& line : lines) {
        if (line.model == "egm96" && !Egm96Installed()) continue;
        SCOPED_TRACE("geoid_conversions.txt line " + std::to_string(line.number));
        const Crs plane = System(line.system, line.settings);
        const Crs geodetic = GeodeticOf(plane);
        const double* ref = line.value;
        // h on the geodetic side, H above the model on the plane.
        double v[3] = {ref[0], ref[1], ref[2]};
        ASSERT_TRUE(ConvertTyped(Request(geodetic, plane, "", line.model), v));
        const double there = std::sqrt((v[0] - ref[3]) * (v[0] - ref[3]) + (v[1] - ref[4]) * (v[1] - ref[4]) +
                                       (v[2] - ref[5]) * (v[2] - ref[5]));
        EXPECT_LE(there, line.tolerance);
        // And back: H above the model to h.
        double w[3] = {ref[3], ref[4], ref[5]};
        ASSERT_TRUE(ConvertTyped(Request(plane, geodetic, line.model, ""), w));
        const double back =
            Metres(Degrees(w[0]), Degrees(w[1]), w[2], Degrees(ref[0]), Degrees(ref[1]), ref[2]);
        EXPECT_LE(back, line.tolerance);
        // A geodetic side above the model: B and L untouched, H to h.
        double g[3] = {ref[0], ref[1], ref[5]};
        ASSERT_TRUE(ConvertTyped(Request(geodetic, geodetic, line.model, ""), g));
        EXPECT_EQ(g[0], ref[0]);
        EXPECT_EQ(g[1], ref[1]);
        EXPECT_NEAR(g[2], ref[2], line.tolerance);
        worst[line.model] = std::max({worst[line.model], there, back, std::fabs(g[2] - ref[2])});
        ++checked;
    }
    EXPECT_GE(checked, Egm96Installed() ? 90 : 36);
    for (const auto& [model, difference] : worst) {
        std::cout << "    " << model << ": worst difference from PROJ " << FormatGeneral(difference, 3)
                  << " m\n";
    }
}

TEST(GeoidConversions, FilesToGaussKrugerAndBack) {
    // The lines of one model and one system make a file; converted on two
    // threads, which share the grid.
    std::map<std::tuple<std::string, std::string, std::string>, std::vector<ConversionLine>> groups;
    for (const ConversionLine& line : ReadConversions()) {
        if (line.model == "egm96" && !Egm96Installed()) continue;
        groups[{line.model, line.system, line.settings}].push_back(line);
    }
    ASSERT_GE(groups.size(), 3u);
    FileConversionOptions options;
    options.threads = 2;
    for (const auto& [key, lines] : groups) {
        const auto& [model, system, settings] = key;
        SCOPED_TRACE(model + " " + system + " " + settings);
        const Crs plane = System(system, settings);
        const Crs geodetic = GeodeticOf(plane);
        TempFolder folder;
        std::string there, back;
        for (const ConversionLine& line : lines) {
            there += line.text[0] + " " + line.text[1] + " " + line.text[2] + "\n";
            back += line.text[3] + " " + line.text[4] + " " + line.text[5] + "\n";
        }
        WriteFile(folder / "blh.txt", there);
        WriteFile(folder / "xyH.txt", back);

        ConversionRequest request = Request(geodetic, plane, "", model);
        request.input = PointInput{folder / "blh.txt"};
        request.output = PointOutput{folder / "out.txt"};
        ASSERT_EQ(RequestProblemText(request), "");
        FileRun run = ConvertFiles(request, ChainFor(request), options);
        ASSERT_TRUE(run.committed) << MessageFor(run).text;
        std::istringstream written(ReadFile(folder / "out.txt"));
        for (const ConversionLine& line : lines) {
            double x, y, H;
            ASSERT_TRUE(ReadThree(written, x, y, H));
            EXPECT_LE(std::sqrt((x - line.value[3]) * (x - line.value[3]) +
                                (y - line.value[4]) * (y - line.value[4]) +
                                (H - line.value[5]) * (H - line.value[5])),
                      line.tolerance)
                << "line " << line.number;
        }

        // Back, in decimal degrees (packed DMS is written to 0.0001″, 3 mm).
        request = Request(plane, geodetic, model, "");
        request.formats.outputAngles = AngleFormat::Degrees;
        request.input = PointInput{folder / "xyH.txt"};
        request.output = PointOutput{folder / "out.txt"};
        run = ConvertFiles(request, ChainFor(request), options);
        ASSERT_TRUE(run.committed) << MessageFor(run).text;
        written = std::istringstream(ReadFile(folder / "out.txt"));
        for (const ConversionLine& line : lines) {
            double lat, lon, h;
            ASSERT_TRUE(ReadThree(written, lat, lon, h));
            EXPECT_LE(Metres(lat, lon, h, Degrees(line.value[0]), Degrees(line.value[1]), line.value[2]),
                      line.tolerance)
                << "line " << line.number;
        }
    }
}

// ---- the corridor of examples/ ----

struct CorridorPoint {
    std::string name;
    double gauss[3], local[3];
    bool benchmark;
};

std::vector<CorridorPoint> ReadCorridor() {
    std::ifstream file(ZELK_TEST_DATA_DIR "/geoid_corridor.txt");
    EXPECT_TRUE(file) << "geoid_corridor.txt";
    std::vector<CorridorPoint> points;
    std::string text;
    while (std::getline(file, text)) {
        if (text.empty() || text[0] == '#') continue;
        std::istringstream in(text);
        CorridorPoint p;
        std::string kind;
        in >> p.name;
        for (double* v : {&p.gauss[0], &p.gauss[1], &p.gauss[2], &p.local[0], &p.local[1], &p.local[2]}) {
            std::string token;
            in >> token;
            *v = ParseDecimal(token).value_or(NAN);
        }
        in >> kind;
        p.benchmark = kind == "benchmark";
        points.push_back(p);
    }
    return points;
}

std::string Line(double a, double b, double c, int decimals) {
    return FormatFixed(a, decimals) + " " + FormatFixed(b, decimals) + " " + FormatFixed(c, 3) + "\n";
}

TEST(GeoidCalibration, CorridorOnEgm96FromFiveBenchmarksBringsSevenCheckPointsWithinThreeMillimetres) {
    if (!Egm96Installed()) GTEST_SKIP() << Model("egm96").problem;
    const std::vector<CorridorPoint> points = ReadCorridor();
    ASSERT_EQ(points.size(), 12u);
    const Crs gauss = System("cgcs2000-gauss", "meridian=102");
    const Crs geodetic = GeodeticOf(gauss);
    // Four parameters into the local grid, as examples/ does; and seven
    // parameters from GNSS geodetic points to the Gauss-Kruger grid with the
    // local heights, whose fit is made in the after plane.
    const struct {
        const char* what;
        Transformation::Model model;
        Crs before, after;
    } cases[] = {
        {"four parameters to the local grid", Transformation::Model::Four, gauss, System("local")},
        {"seven parameters to Gauss-Kruger", Transformation::Model::Seven, geodetic, gauss},
    };
    const ConversionChain toGeodetic(gauss, geodetic);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const bool seven = c.model == Transformation::Model::Seven;
        // A point as the before side holds it, and as the after side does.
        const auto before = [&](const CorridorPoint& p) {
            double v[3] = {p.gauss[0], p.gauss[1], p.gauss[2]};
            if (seven) toGeodetic.Convert(v[0], v[1], v[2]);
            return std::vector<double>{v[0], v[1], v[2]};
        };
        const auto after = [&](const CorridorPoint& p) {
            return seven ? std::vector<double>{p.gauss[0], p.gauss[1], p.local[2]}
                         : std::vector<double>{p.local[0], p.local[1], p.local[2]};
        };
        TempFolder folder;
        std::string beforeText, afterText;
        for (const CorridorPoint& p : points) {
            if (!p.benchmark) continue;
            const std::vector<double> b = before(p), a = after(p);
            beforeText += Line(b[0], b[1], b[2], seven ? 12 : 3);
            afterText += Line(a[0], a[1], a[2], 3);
        }
        WriteFile(folder / "before.txt", beforeText);
        WriteFile(folder / "after.txt", afterText);
        EstimationRequest request;
        request.settings.before = c.before;
        request.settings.after = c.after;
        request.settings.model = c.model;
        request.settings.height = HeightModel::Fixed;
        request.settings.geoid = Model("egm96");
        request.beforeFile = folder / "before.txt";
        request.afterFile = folder / "after.txt";
        const EstimationRun run = RunEstimation(request);
        ASSERT_EQ(run.outcome, EstimationOutcome::Estimated) << run.message.text;
        // What the model bought: metres of misfit without it.
        EXPECT_TRUE(run.estimate.geoidCompared);
        EXPECT_GT(run.estimate.heightRmsWithoutGeoid, 1.0);
        EXPECT_NE(run.message.text.find("高程拟合（固定差，在大地水准面模型EGM96之上）"), std::string::npos);
        EXPECT_NE(run.message.text.find("，不用模型时为 "), std::string::npos);
        ASSERT_EQ(run.estimate.residuals.size(), 5u);
        for (const CalibrationResidual& r : run.estimate.residuals) {
            EXPECT_LE(std::fabs(r.height), 0.001);
            EXPECT_GT(std::fabs(r.heightWithoutGeoid), 0.3);
        }

        // Saved, read back and applied by every conversion with the file.
        std::string error;
        ASSERT_TRUE(SaveParametersFile(folder / "corridor.params", run.estimate.calibration, "c", error));
        EXPECT_NE(ReadFile(folder / "corridor.params").find("\ngeoid = egm96\n"), std::string::npos);
        const std::optional<Transformation> read = ReadParametersFile(folder / "corridor.params", error);
        ASSERT_TRUE(read) << error;
        ASSERT_TRUE(read->geoid && read->geoid->IsOpen());
        std::string checkText;
        std::vector<const CorridorPoint*> checks;
        for (const CorridorPoint& p : points) {
            if (p.benchmark) continue;
            const std::vector<double> b = before(p);
            checkText += Line(b[0], b[1], b[2], seven ? 12 : 3);
            checks.push_back(&p);
        }
        ASSERT_EQ(checks.size(), 7u);
        WriteFile(folder / "check.txt", checkText);
        ConversionRequest conversion;
        conversion.from = c.before;
        conversion.to = c.after;
        conversion.steps = {*read};
        conversion.input = PointInput{folder / "check.txt"};
        conversion.output = PointOutput{folder / "check-out.txt"};
        ASSERT_EQ(RequestProblemText(conversion), "");
        const FileRun converted = ConvertFiles(conversion, ChainFor(conversion));
        ASSERT_TRUE(converted.committed) << MessageFor(converted).text;
        std::istringstream written(ReadFile(folder / "check-out.txt"));
        for (const CorridorPoint* p : checks) {
            double x, y, H;
            ASSERT_TRUE(ReadThree(written, x, y, H));
            const std::vector<double> want = after(*p);
            EXPECT_LE(std::hypot(x - want[0], y - want[1]), 0.003) << p->name;
            EXPECT_LE(std::fabs(H - want[2]), 0.003) << p->name;
        }
    }
}

TEST(GeoidCalibration, ParametersFilesNameTheirModel) {
    TempFolder folder;
    std::filesystem::create_directories(folder / "grids");
    std::filesystem::copy_file(ZELK_TEST_DATA_DIR "/geoid/regional.gtx", folder / "grids" / "mine.gtx");
    const std::string site = "model = four\nbefore = cgcs2000-gauss\nbefore-meridian = 120\nafter = local\n"
                             "dX = 1\ndY = 2\nalpha = 0\nscale = 1\nheight = fixed\nheight-x0 = 3\n"
                             "height-y0 = 4\na0 = 0.5\n";
    // A grid beside the file is found from any working folder.
    WriteFile(folder / "site.params", site + "geoid = grids/mine.gtx\n");
    std::string error;
    const std::optional<Transformation> read = ReadParametersFile(folder / "site.params", error);
    ASSERT_TRUE(read) << error;
    ASSERT_TRUE(read->geoid && read->geoid->IsOpen());
    EXPECT_EQ(read->geoid->name, (folder / "grids" / "mine.gtx").string());
    // Saved again, the path is whole.
    EXPECT_NE(FormatParametersFile(*read, "").find("geoid = " + (folder / "grids" / "mine.gtx").string()),
              std::string::npos);

    // Parsed without opening (as the fuzz target does), the chain refuses
    // the step by its model.
    const std::optional<Transformation> parsed = ParseParametersFile(site + "geoid = egm96\n", "s", error);
    ASSERT_TRUE(parsed) << error;
    EXPECT_EQ(ChainProblemText(System("cgcs2000-gauss", "meridian=120"), System("local"), {*parsed}),
              "点校正所用的大地水准面模型“EGM96”无法使用：没有打开");
}

}  // namespace
