// The field workflows from end to end against ground truth made by PROJ
// (tests/data/make_field_chains.py): RTK points through seven parameters and
// a site calibration in one chain, three parameters from one point, a pair
// file with plan-only control; and the files and messages around them:
// pairing by name, pair files, the counts each fit needs.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/number_text.h"
#include "workflow/chain.h"
#include "workflow/estimation_run.h"
#include "workflow/pair_file.h"
#include "workflow/parameter_file.h"
#include "workflow/system_file.h"
#include "workflow_files.h"

using namespace zelk;

namespace {

const std::filesystem::path kExamples = ZELK_EXAMPLES_DIR;

Crs System(const char* name, double meridian = 0.0) {
    return MakeCrs(*FindSystem(name), Zoning::Meridian, meridian);
}

// The sections of field_chains.txt: their header line and their lines.
struct Section {
    std::string header;
    std::vector<std::vector<std::string>> rows;
};
std::map<std::string, Section> Truth() {
    std::ifstream in(std::string(ZELK_TEST_DATA_DIR) + "/field_chains.txt");
    std::map<std::string, Section> sections;
    Section* at = nullptr;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::vector<std::string> row;
        for (std::string word; words >> word;) row.push_back(word);
        if (line[0] == '[') {
            at = &sections[line.substr(1, line.find(']') - 1)];
            at->header = line;
        } else if (at) {
            at->rows.push_back(row);
        }
    }
    return sections;
}

// Numbers read and written as the files hold them, whatever the locale.
double Number(const std::string& text) { return ParseDecimal(text).value_or(NAN); }

EstimationRun Estimate(CalibrationSettings settings, const std::filesystem::path& before,
                       const std::filesystem::path& after, pointformat::FileFormat format) {
    EstimationRequest request;
    request.settings = settings;
    request.formats.format = format;
    request.beforeFile = before;
    request.afterFile = after;
    return RunEstimation(request);
}

EstimationRun EstimatePairs(CalibrationSettings settings, const std::filesystem::path& pairs,
                            pointformat::FileFormat format = pointformat::FileFormat::Plain) {
    EstimationRequest request;
    request.settings = settings;
    request.formats.format = format;
    request.pairFile = pairs;
    return RunEstimation(request);
}

TEST(FieldChains, RtkPointsThroughSevenThenFourParametersLandWithinTwoMillimetres) {
    TempFolder folder;
    // Stage 1: WGS84 B L H against Beijing 1954 X Y Z, two csv files that
    // pair by name (their orders differ, one name on each side only).
    CalibrationSettings seven;
    seven.before = System("wgs84-geodetic");
    seven.after = System("beijing54-xyz");
    const EstimationRun first = Estimate(seven, kExamples / "stage1-wgs84.csv", kExamples / "stage1-bj54-xyz.csv",
                                         pointformat::FileFormat::Csv);
    ASSERT_EQ(first.outcome, EstimationOutcome::Estimated) << first.message.text;
    EXPECT_EQ(first.names, (std::vector<std::string>{"C01", "C02", "C03", "C04", "C05", "C06"}));
    EXPECT_NE(first.message.text.find("转换前文件：C08（第8行）"), std::string::npos) << first.message.text;
    EXPECT_NE(first.message.text.find("转换后文件：C07（第2行）"), std::string::npos);

    // Stage 2: Beijing 1954 Gauss 117 to the city grid, four parameters and
    // a fixed height from a pair file whose S2 and S4 are plan-only.
    CalibrationSettings four;
    four.model = Transformation::Model::Four;
    four.height = HeightModel::Fixed;
    four.before = System("beijing54-gauss", 117);
    four.after = System("local");
    const EstimationRun second = EstimatePairs(four, kExamples / "stage2-pairs.txt");
    ASSERT_EQ(second.outcome, EstimationOutcome::Estimated) << second.message.text;
    EXPECT_FALSE(second.estimate.residuals[1].heightFitted);
    EXPECT_TRUE(second.estimate.residuals[1].planeUsed);

    // Both saved, chained as zelk-cli chains them, saved again as one file.
    std::string error;
    ASSERT_TRUE(SaveParametersFile(folder / "stage1.params", first.estimate.calibration, "", error)) << error;
    ASSERT_TRUE(SaveParametersFile(folder / "stage2.params", second.estimate.calibration, "", error)) << error;
    std::vector<Transformation> steps;
    for (const char* name : {"stage1.params", "stage2.params"}) {
        const auto read = ReadStepsFile(folder / name, error);
        ASSERT_TRUE(read) << error;
        steps.insert(steps.end(), read->begin(), read->end());
    }
    ASSERT_TRUE(SaveStepsFile(folder / "chain.params", steps, ChainComment(steps, "chain.params"), error));
    const auto chained = ReadStepsFile(folder / "chain.params", error);
    ASSERT_TRUE(chained) << error;
    ASSERT_EQ(chained->size(), 2u);

    const Crs from = System("wgs84-geodetic"), to = System("local");
    const auto twoFiles = ConversionChain::Make(from, to, steps, error);
    ASSERT_TRUE(twoFiles) << error;
    const auto oneFile = ConversionChain::Make(from, to, *chained, error);
    ASSERT_TRUE(oneFile) << error;

    // --inverse: the same steps reversed take the grid back to WGS84; used
    // the way round they were made, they are refused naming the step.
    const auto back = ConversionChain::Make(to, from, ReversedChain(steps), error);
    ASSERT_TRUE(back) << error;
    EXPECT_FALSE(ConversionChain::Make(from, to, ReversedChain(steps), error));
    EXPECT_EQ(error.rfind("第1步（" + zelk::platform::PathText(folder / "stage2.params") + "，反向）：", 0), 0u)
        << error;

    const std::map<std::string, Section> sections = Truth();
    std::map<std::string, std::vector<double>> truth;
    for (const auto& row : sections.at("two-stage").rows) {
        truth[row[0]] = {Number(row[1]), Number(row[2]), Number(row[3])};
    }
    std::ifstream rtk(kExamples / "rtk-new.txt");
    int points = 0;
    for (std::string name, B, L, H; rtk >> name >> B >> L >> H; ++points) {
        SCOPED_TRACE(name);
        double p[3] = {Number(B), Number(L), Number(H)};
        double q[3] = {p[0], p[1], p[2]};
        ASSERT_EQ(twoFiles->Convert(p[0], p[1], p[2]), PointProblem::None);
        ASSERT_EQ(oneFile->Convert(q[0], q[1], q[2]), PointProblem::None);
        // The chain file keeps every digit: the same doubles.
        EXPECT_EQ(p[0], q[0]);
        EXPECT_EQ(p[1], q[1]);
        EXPECT_EQ(p[2], q[2]);
        const std::vector<double>& want = truth.at(name);
        EXPECT_LE(std::hypot(p[0] - want[0], p[1] - want[1]), 0.002);
        EXPECT_LE(std::fabs(p[2] - want[2]), 0.002);
        // Back again, every step undone: within 5e-10 of packed DMS (0.15
        // mm), what the Gauss series there and back alone leave (3.7e-10 at
        // R05); negated seven parameters would miss by about 0.5 mm here
        // (1″ of rotation times 118 m of shift).
        ASSERT_EQ(back->Convert(q[0], q[1], q[2]), PointProblem::None);
        EXPECT_NEAR(q[0], Number(B), 5e-10);
        EXPECT_NEAR(q[1], Number(L), 5e-10);
        EXPECT_NEAR(q[2], Number(H), 1e-6);
    }
    EXPECT_EQ(points, 5);
}

TEST(FieldChains, ThreeParametersFromOnePointMoveFiveNearbyPointsWithinAMillimetre) {
    const Section three = Truth()["three"];
    ASSERT_EQ(three.rows.size(), 6u);
    std::istringstream header(three.header);
    std::string word, shift;
    std::string k[3];
    header >> word >> shift >> k[0] >> k[1] >> k[2];
    const double known[3] = {Number(k[0]), Number(k[1]), Number(k[2])};
    const auto side = [](const std::vector<std::string>& row, int first) {
        return PointRecord{Number(row[first]), Number(row[first + 1]), Number(row[first + 2])};
    };
    CalibrationSettings settings;
    settings.model = Transformation::Model::Three;
    settings.before = System("wgs84-geodetic");
    settings.after = System("beijing54-gauss", 120);
    const CalibrationEstimate e = EstimateCalibration(settings, {side(three.rows[0], 0)}, {side(three.rows[0], 3)});
    ASSERT_EQ(e.status, CalibrationEstimate::Status::Estimated) << e.message;
    const ThreeParams& p = e.calibration.three;
    EXPECT_LE(std::sqrt(std::pow(p.dX - known[0], 2) + std::pow(p.dY - known[1], 2) + std::pow(p.dZ - known[2], 2)),
              0.001);
    // One point: nothing to check it against, and the report says so.
    EXPECT_NE(e.message.find("只有1对公共点"), std::string::npos) << e.message;
    EXPECT_NE(e.message.find("只在公共点附近的小范围内成立"), std::string::npos);

    std::string error;
    const auto chain = ConversionChain::Make(settings.before, settings.after, {e.calibration}, error);
    ASSERT_TRUE(chain) << error;
    for (std::size_t i = 1; i < three.rows.size(); ++i) {
        PointRecord q = side(three.rows[i], 0);
        const PointRecord want = side(three.rows[i], 3);
        ASSERT_EQ(chain->Convert(q.X, q.Y, q.Z), PointProblem::None);
        EXPECT_LE(std::sqrt(std::pow(q.X - want.X, 2) + std::pow(q.Y - want.Y, 2) + std::pow(q.Z - want.Z, 2)),
                  0.001)
            << i;
    }
}

TEST(FieldChains, PairFileWithTwoPlanOnlyPairsGivesAPlaneHeightCalibrationWithinTwoMillimetres) {
    std::map<std::string, Section> truth = Truth();
    TempFolder folder;
    std::string pairs = "# plan-only: P3 and P6\n";
    for (const auto& row : truth["plane-height"].rows) {
        for (std::size_t k = 0; k < row.size(); ++k) pairs += (k ? " " : "") + row[k];
        pairs += "\n";
    }
    WriteFile(folder / "pairs.txt", pairs);
    CalibrationSettings settings;
    settings.model = Transformation::Model::Four;
    settings.height = HeightModel::Plane;
    settings.before = System("cgcs2000-gauss", 117);
    settings.after = System("local");
    const EstimationRun run = EstimatePairs(settings, folder / "pairs.txt");
    ASSERT_EQ(run.outcome, EstimationOutcome::Estimated) << run.message.text;
    EXPECT_NE(run.message.text.find("平面拟合用了8对公共点，高程拟合用了6对"), std::string::npos) << run.message.text;
    for (const std::size_t planOnly : {2u, 5u}) {
        EXPECT_TRUE(run.estimate.residuals[planOnly].planeUsed);
        EXPECT_FALSE(run.estimate.residuals[planOnly].heightFitted);
    }
    std::string error;
    const auto chain = ConversionChain::Make(settings.before, settings.after, {run.estimate.calibration}, error);
    ASSERT_TRUE(chain) << error;
    for (const auto& row : truth["plane-height-check"].rows) {
        double x = Number(row[0]), y = Number(row[1]), H = Number(row[2]);
        ASSERT_EQ(chain->Convert(x, y, H), PointProblem::None);
        EXPECT_LE(std::hypot(x - Number(row[3]), y - Number(row[4])), 0.002);
        EXPECT_LE(std::fabs(H - Number(row[5])), 0.002);
    }
}

// Two dat or csv files pair by name; what cannot pair is reported.
TEST(CommonPointNames, MismatchedNamesAreReportedAndNeverPairByPosition) {
    // Six points of a site on a Gauss grid and a shifted local grid.
    const auto line = [](const std::string& name, int i, bool after, bool dat) {
        const double x = 4400000.0 + 250.0 * i + (after ? -4390000.0 : 0.0);
        const double y = 440000.0 + 310.0 * (i % 3) + 45.0 * i + (after ? -430000.0 : 0.0);
        const double H = 50.0 + i;
        const std::string a = FormatFixed(dat ? y : x, 3), b = FormatFixed(dat ? x : y, 3);
        return name + (dat ? ",," : ",") + a + "," + b + "," + FormatFixed(H, 3) + "\n";
    };
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, int>> before, after;  // name, point
        EstimationOutcome outcome;
        std::size_t pairs;
        std::vector<std::string> said;  // parts of the message
    };
    const Case cases[] = {
        {"offset: the after file one line on and in another order",
         {{"A", 0}, {"B", 1}, {"C", 2}, {"D", 3}, {"E", 4}, {"F", 5}},
         {{"F", 5}, {"A", 0}, {"B", 1}, {"C", 2}, {"D", 3}, {"E", 4}},
         EstimationOutcome::Estimated, 6, {"平面中误差为 0.000"}},
        {"missing on either side",
         {{"A", 0}, {"B", 1}, {"X", 9}, {"C", 2}, {"D", 3}, {"E", 4}},
         {{"A", 0}, {"B", 1}, {"C", 2}, {"Y", 8}, {"D", 3}, {"F", 5}},
         EstimationOutcome::Estimated, 4,
         {"按点名配对了4对公共点", "转换前文件：X（第4行）、E（第7行）", "转换后文件：Y（第5行）、F（第7行）"}},
        {"duplicated in the before file",
         {{"A", 0}, {"B", 1}, {"C", 2}, {"B", 3}},
         {{"A", 0}, {"B", 1}, {"C", 2}, {"D", 3}},
         EstimationOutcome::Unreadable, 0, {"转换前文件第5行的点名“B”与第3行重复"}},
        {"duplicated in the after file",
         {{"A", 0}, {"B", 1}, {"C", 2}},
         {{"C", 2}, {"A", 0}, {"C", 1}},
         EstimationOutcome::Unreadable, 0, {"转换后文件第4行的点名“C”与第2行重复"}},
        {"no name in common",
         {{"A", 0}, {"B", 1}, {"C", 2}},
         {{"1", 0}, {"2", 1}, {"3", 2}},
         EstimationOutcome::TooFewPoints, 0, {"没有同名的点"}},
        {"too few left once the names pair",
         {{"A", 0}, {"B", 1}, {"C", 2}},
         {{"A", 0}, {"b", 1}, {"c", 2}},
         EstimationOutcome::TooFewPoints, 1, {"公共点不足2个", "转换前文件：B（第3行）、C（第4行）"}},
    };
    for (const bool dat : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (dat ? " (dat)" : " (csv)"));
            TempFolder folder;
            std::string before = dat ? "" : "name,x,y,H\n", after = before;
            for (const auto& [name, i] : c.before) before += line(name, i, false, dat);
            for (const auto& [name, i] : c.after) after += line(name, i, true, dat);
            if (dat) {  // the same lines, one line on: no header
                before = "# survey\n" + before;
                after = "# local\n" + after;
            }
            const std::string ext = dat ? ".dat" : ".csv";
            WriteFile(folder / ("before" + ext), before);
            WriteFile(folder / ("after" + ext), after);
            CalibrationSettings settings;
            settings.model = Transformation::Model::Four;
            settings.before = System("cgcs2000-gauss", 117);
            settings.after = System("local");
            const EstimationRun run =
                Estimate(settings, folder / ("before" + ext), folder / ("after" + ext),
                         dat ? pointformat::FileFormat::Dat : pointformat::FileFormat::Csv);
            EXPECT_EQ(run.outcome, c.outcome) << run.message.text;
            if (c.outcome == EstimationOutcome::Estimated) EXPECT_EQ(run.estimate.residuals.size(), c.pairs);
            for (const std::string& part : c.said) {
                EXPECT_NE(run.message.text.find(part), std::string::npos) << part << "\n" << run.message.text;
            }
        }
    }
}

// Reads a pair file's text through the estimation, returning the pairs read
// or the message.
struct PairsRead {
    std::vector<PointRecord> before, after;
    std::vector<std::string> names;
    std::string problem;
};
PairsRead ReadPairs(const std::string& text, bool csv, const char* before = "cgcs2000-gauss",
                    const char* after = "local") {
    TempFolder folder;
    WriteFile(folder / "pairs", text);
    std::FILE* file = platform::OpenFile(folder / "pairs", "rb");
    CommonPointFormats formats;
    formats.format = csv ? pointformat::FileFormat::Csv : pointformat::FileFormat::Plain;
    CommonPoints points;
    const CommonPointsResult result = ReadPairFile(file, System(before, 117), System(after, 117), formats, points);
    std::fclose(file);
    PairsRead read;
    if (result.status != CommonPointsResult::Status::Ok) {
        read.problem = RecordProblemText("公共点文件", result.line, result.kind, result.field, result.label,
                                         result.token, "！");
        return read;
    }
    read.before = points.before;
    read.after = points.after;
    read.names = points.names;
    return read;
}

TEST(PairFiles, PlainAndCsvLinesHeadersAndUnknownValues) {
    const struct {
        const char* what;
        std::string text;
        bool csv;
        std::vector<std::string> names;
        std::vector<double> first;  // the first pair's six values (NaN: unknown)
        std::string problem;
    } cases[] = {
        {"blanks and tabs", "# pairs\nK1 10 20 30\t11 21 31\n\nK2 1 2 3 4 5 6\n", false, {"K1", "K2"},
         {10, 20, 30, 11, 21, 31}, ""},
        {"commas, empty fields unknown", "K1,10,20,,11,21,*\n", false, {"K1"}, {10, 20, NAN, 11, 21, NAN}, ""},
        {"six values: no name", "10 20 30 11 21 31\n", false, {""}, {10, 20, 30, 11, 21, 31}, ""},
        {"height-only", "K1 10 20 30 * * 31\n", false, {"K1"}, {10, 20, 30, NAN, NAN, 31}, ""},
        {"csv: each name twice, first before", "点名,x,y,H,x,y,H\nK1,10,20,30,11,21,31\n", true, {"K1"},
         {10, 20, 30, 11, 21, 31}, ""},
        {"csv: side marks, any order, others ignored", "H2,note,y1,x2,name,x1,H1,y2\n31,a,20,11,K1,10,30,21\n", true,
         {"K1"}, {10, 20, 30, 11, 21, 31}, ""},
        {"csv: primes and Chinese names", "点号,北,东,高程,北′,东′,高程′\n\"K 1\",10,20,,11,21,*\n", true, {"K 1"},
         {10, 20, NAN, 11, 21, NAN}, ""},
        {"csv: a column missing", "name,x,y,H,x,y\nK1,1,2,3,4,5\n", true, {}, {}, "公共点文件第1行的表头缺少“转换后H”列！"},
        {"csv: a column three times", "name,x,y,H,x,y,H,x\n", true, {}, {}, "公共点文件第1行的表头有两个“转换后x”列！"},
        {"csv: no name", "name,x,y,H,x,y,H\n,1,2,3,4,5,6\n", true, {}, {}, "公共点文件第2行第1项（name）是空的！"},
        {"too few fields", "K1 10 20 30\n", false, {}, {}, "公共点文件第1行缺少第5项！"},
        {"too many fields", "K1 1 2 3 4 5 6 7\n", false, {}, {}, "公共点文件第1行多出第8项“7”！"},
        {"a bad value names its side", "K1 10 20 30 11 2x 31\n", false, {}, {},
         "公共点文件第1行第6项（转换后y）有无法读取的数据“2x”！"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const PairsRead read = ReadPairs(c.text, c.csv);
        EXPECT_EQ(read.problem, c.problem);
        if (!c.problem.empty()) continue;
        EXPECT_EQ(read.names, c.names);
        ASSERT_FALSE(read.before.empty());
        const double got[6] = {read.before[0].X, read.before[0].Y, read.before[0].Z,
                               read.after[0].X,  read.after[0].Y,  read.after[0].Z};
        for (int k = 0; k < 6; ++k) {
            if (std::isnan(c.first[k])) {
                EXPECT_FALSE(IsKnown(got[k])) << k;
            } else {
                EXPECT_EQ(got[k], c.first[k]) << k;
            }
        }
    }
    // A geodetic side reads B and L in its angle format; the header names
    // them so.
    const PairsRead geodetic = ReadPairs("name,B,L,H,x,y,H\nK1,39.3,116.2,10,1,2,3\n", true, "wgs84-geodetic");
    ASSERT_EQ(geodetic.problem, "");
    EXPECT_EQ(geodetic.before[0].X, 39.3);

    // Written as the table writes them, read back the same.
    std::string written;
    AppendPairHeader(written, pointformat::Axes::Plane, pointformat::Axes::Plane);
    ASSERT_TRUE(AppendPairLine(written, true, "K,1", {"10", "20", "*", "11", "21", "31"}));
    EXPECT_EQ(written, "name,x,y,H,x,y,H\n\"K,1\",10,20,*,11,21,31\n");
    const PairsRead back = ReadPairs(written, true);
    EXPECT_EQ(back.names, std::vector<std::string>{"K,1"});
    std::string plain;
    EXPECT_FALSE(AppendPairLine(plain, false, "K 1", {"1", "2", "3", "4", "5", "6"}));
    EXPECT_TRUE(AppendPairLine(plain, false, "", {"1", "2", "3", "4", "5", "*"}));
    EXPECT_EQ(plain, "1 2 3 4 5 *\n");
}

TEST(PlanAndHeightOnlyControl, EachFitCountsThePairsItCanUse) {
    // Pairs of a site: before x y H, after x y H; "*" unknown.
    const auto pairs = [](const std::vector<std::string>& lines) {
        std::vector<PointRecord> before, after;
        for (const std::string& line : lines) {
            std::istringstream words(line);
            double v[6];
            for (double& value : v) {
                std::string word;
                words >> word;
                value = word == "*" ? kUnknown : Number(word);
            }
            before.push_back({v[0], v[1], v[2]});
            after.push_back({v[3], v[4], v[5]});
        }
        return std::pair{before, after};
    };
    const std::vector<std::string> site = {
        "3541000 481000 50 20000 2000 40", "3542000 481200 51 21000 2200 41",
        "3541500 482000 52 20500 3000 42", "3542500 482500 53 21500 3500 43",
    };
    struct Case {
        const char* what;
        std::vector<std::string> lines;
        Transformation::Model model;
        std::optional<HeightModel> height;
        CalibrationEstimate::Status status;
        std::string message;  // the start of it, or a part of it
    };
    const Case cases[] = {
        {"four: one plane pair, two height-only",
         {site[0], "3542000 481200 51 * * 41", "3541500 482000 52 * * 42"}, Transformation::Model::Four,
         HeightModel::Fixed, CalibrationEstimate::Status::TooFewPoints,
         "公共点不足2个，无法解算四参数！两侧平面坐标都已知的只有1对，另外2对只用于高程拟合。"},
        {"plane height: two heights, two plan-only",
         {site[0], site[1], "3541500 482000 * 20500 3000 *", "3542500 482500 53 21500 3500 *"},
         Transformation::Model::Four, HeightModel::Plane, CalibrationEstimate::Status::TooFewPoints,
         "高程拟合（平面）至少需要3个公共点！两侧高程都已知的只有2对，另外2对只有平面坐标。"},
        {"height-only pair without a height fit", {site[0], site[1], "3541500 482000 52 * * 42"},
         Transformation::Model::Four, std::nullopt, CalibrationEstimate::Status::PointRefused,
         "第3对公共点只有高程（平面坐标有*），请选一种高程拟合，或者去掉这一对！"},
        {"no plane anywhere", {site[0], site[1], site[2], "* * 53 * * 43"}, Transformation::Model::Four,
         HeightModel::Fixed, CalibrationEstimate::Status::PointRefused,
         "第4对公共点两侧的平面坐标都是*"},
        {"x without y", {site[0], site[1], "3541500 * 52 20500 3000 42"}, Transformation::Model::Four,
         std::nullopt, CalibrationEstimate::Status::PointRefused, "第3对公共点的转换前点的x、y只有一个是*"},
        {"seven parameters take whole pairs only", {site[0], site[1], site[2], "3542500 482500 * 21500 3500 43"},
         Transformation::Model::Seven, std::nullopt, CalibrationEstimate::Status::PointRefused,
         "第4对公共点的转换前点有*（未知）的坐标：七参数需要每对公共点两侧的全部坐标"},
        {"a height-only pair placed through the plane similarity",
         {site[0], site[1], site[2], "* * 53 21500 3500 43"}, Transformation::Model::Four, HeightModel::Plane,
         CalibrationEstimate::Status::Estimated, "四参数"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto [before, after] = pairs(c.lines);
        CalibrationSettings settings;
        settings.model = c.model;
        settings.height = c.height;
        settings.before = System("cgcs2000-gauss", 117);
        settings.after = c.model == Transformation::Model::Four ? System("local") : System("cgcs2000-gauss", 120);
        const CalibrationEstimate e = EstimateCalibration(settings, before, after);
        EXPECT_EQ(e.status, c.status) << e.message;
        EXPECT_NE(e.message.find(c.message), std::string::npos) << e.message;
        if (e.status == CalibrationEstimate::Status::Estimated) {
            // Placed where its after point lies on the before plane.
            EXPECT_NEAR(e.positions[3].x, 3542500, 1e-3);
            EXPECT_NEAR(e.positions[3].y, 482500, 1e-3);
            EXPECT_FALSE(e.residuals[3].planeUsed);
            EXPECT_TRUE(e.residuals[3].heightFitted);
        }
    }
}

// Steps of several files: each brings its systems, gaps within a datum are
// bridged, a gap between datums is refused naming both systems.
TEST(ChainsOfSteps, EachStepStartsWhereItWasMadeAndGapsAreNamed) {
    Transformation seven;  // WGS84 to Beijing 1954, as a file says
    seven.seven = SevenParams{-12.6, 101.7, 58.4, 3.4, -0.9, -1.5, 2.2};
    seven.before = System("wgs84-geodetic");
    seven.after = System("beijing54-xyz");
    seven.source = "s1.params";
    Transformation four;  // Beijing 1954 Gauss 117 to the city grid
    four.model = Transformation::Model::Four;
    four.four = FourParams{-4338378.7, -469157.4, 0.0073, 1.0000182};
    four.before = System("beijing54-gauss", 117);
    four.after = System("local");
    four.source = "s2.params";
    Transformation typed = Transformation::Seven(seven.seven);
    Transformation shift;
    shift.model = Transformation::Model::Three;
    shift.three = ThreeParams{-18.2, 110.5, 47.9};
    Transformation xian = four;  // a calibration on Xian 1980
    xian.before = System("xian80-gauss", 117);
    xian.source = "xian.params";
    struct Case {
        const char* from;
        const char* to;
        std::vector<Transformation> steps;
        std::string problem;  // empty: the chain is built
    };
    const Case cases[] = {
        {"wgs84-geodetic", "local", {seven, four}, ""},
        {"wgs84-xyz", "local", {seven, four}, ""},  // a gap within WGS84 bridged
        {"wgs84-geodetic", "beijing54-gauss", {seven, typed}, ""},  // typed: Beijing 1954 to itself
        {"wgs84-geodetic", "local", {typed, four}, ""},             // typed: WGS84 to Beijing 1954
        {"wgs84-geodetic", "local", {shift, four}, ""},             // three parameters alike
        {"wgs84-geodetic", "local", {typed, shift, four},
         "第1步：七参数没有写明转换前、后坐标系统，它后面的第2步也没有写明从哪个基准出发，无法确定它转换到哪个基准！"},
        {"wgs84-geodetic", "local", {seven, xian},
         "第1步（s1.params）之后的北京54-地心-XYZ与第2步（xian.params）的起点西安80-高斯-xyH（中央子午线117）不在同一基准上，"
         "中间换基准需要七参数或三参数，请在它前面加上这一步！"},
        {"cgcs2000-geodetic", "local", {seven, four},
         "转换前坐标系统CGCS2000-大地坐标与第1步（s1.params）的起点WGS84-大地坐标不在同一基准上，"
         "中间换基准需要七参数或三参数，请在它前面加上这一步！"},
        {"wgs84-geodetic", "cgcs2000-gauss", {typed, seven},
         "第2步（s1.params）之后的北京54-地心-XYZ与转换后坐标系统CGCS2000-高斯-xyH（中央子午线117）不在同一基准上，"
         "最后换基准需要七参数或三参数，请在最后加上这一步！"},
        {"wgs84-geodetic", "beijing54-gauss", {seven, four},
         "第2步（s2.params）之后的地方坐标-xyH与转换后坐标系统北京54-高斯-xyH（中央子午线117）不同：地方坐标只能通过四参数点校正到达或离开！"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
        const Crs from = System(c.from, 117), to = System(c.to, 117);
        EXPECT_EQ(ChainProblemText(from, to, c.steps), c.problem);
    }
    // A step made for a system of one's own chains where its datum allows:
    // a calibration on a Beijing 1954 city plane follows the seven
    // parameters; one on a CGCS2000 city plane is refused, naming it.
    std::string own;
    const auto city54 = ParseSystemFile("name = 某市54独立坐标系\ndatum = beijing54\nform = gauss\nmeridian = 117\n"
                                        "plane-height = 350\nplane-latitude = 39.28\nplane-origin = 4370000,500000\n",
                                        "city54.crs", "city54", own);
    ASSERT_TRUE(city54) << own;
    const auto city2000 = ParseSystemFile("name = 某市2000独立坐标系\ndatum = cgcs2000\nform = gauss\nmeridian = 117\n",
                                          "city2000.crs", "city2000", own);
    ASSERT_TRUE(city2000) << own;
    Transformation onCity54 = four, onCity2000 = four;
    onCity54.before = *city54;
    onCity2000.before = *city2000;
    onCity2000.source = "city2000.params";
    EXPECT_EQ(ChainProblemText(System("wgs84-geodetic"), System("local"), {seven, onCity54}), "");
    EXPECT_EQ(ChainProblemText(System("wgs84-geodetic"), System("local"), {seven, onCity2000}),
              "第1步（s1.params）之后的北京54-地心-XYZ与第2步（city2000.params）的起点某市2000独立坐标系（中央子午线117）"
              "不在同一基准上，中间换基准需要七参数或三参数，请在它前面加上这一步！");

    // The typed seven parameters between two steps of one datum change
    // nothing but what they say; the three-parameter step is its shift.
    std::string error;
    const auto direct = ConversionChain::Make(System("wgs84-xyz"), System("beijing54-xyz"), {shift}, error);
    ASSERT_TRUE(direct) << error;
    double X = -2227552.136, Y = 4398001.727, Z = 4033228.793;
    direct->Convert(X, Y, Z);
    EXPECT_EQ(X, -2227552.136 + -18.2);
    EXPECT_EQ(Y, 4398001.727 + 110.5);
    EXPECT_EQ(Z, 4033228.793 + 47.9);
}

TEST(ChainFiles, StepsRoundTripAndMistakesNameTheirLine) {
    Transformation seven;
    seven.seven = SevenParams{-12.670183115325056, 101.81638667214885, 58.3744121819858, 3.41, -0.91, -1.47, 2.21};
    seven.convention = RotationConvention::PositionVector;
    seven.before = System("wgs84-geodetic");
    seven.after = System("beijing54-xyz");
    seven.source = "stage1.params";
    Transformation three;
    three.model = Transformation::Model::Three;
    three.three = ThreeParams{-18.217, 110.48600000000001, 47.9};
    Transformation four;
    four.model = Transformation::Model::Four;
    four.four = FourParams{-4338378.708545217, -469157.4119466256, 0.007356229717575083, 1.0000181885499533};
    four.before = System("beijing54-gauss", 117);
    four.after = System("local");
    HeightFit fit;
    fit.model = HeightModel::Fixed;
    fit.x0 = 4372237.941333333;
    fit.a[0] = 6.8340000000000005;
    four.height = fit;
    const std::vector<Transformation> steps = {seven, three, four};
    std::string error;
    const std::string text = FormatStepsFile(steps, "a chain");
    const auto read = ParseStepsFile(text, "c.params", error);
    ASSERT_TRUE(read) << error;
    ASSERT_EQ(read->size(), 3u);
    for (std::size_t k = 0; k < steps.size(); ++k) {
        EXPECT_EQ(FormatParametersFile((*read)[k], ""), FormatParametersFile(steps[k], "")) << k;
    }
    EXPECT_EQ((*read)[1].model, Transformation::Model::Three);
    EXPECT_EQ((*read)[1].three.dY, 110.48600000000001);
    EXPECT_EQ((*read)[2].source, "c.params [step 3]");
    EXPECT_NE(text.find("[step 1]\n# from stage1.params\n"), std::string::npos) << text;
    // One step is a parameters file as earlier versions read it.
    EXPECT_EQ(FormatStepsFile({three}, "x"), FormatParametersFile(three, "x"));
    const auto old = ParseStepsFile("dX0 = 1\ndY0 = 2\ndZ0 = 3\nK = 0\nbetaX = 0\nbetaY = 0\nbetaZ = 0\n", "o", error);
    ASSERT_TRUE(old) << error;
    EXPECT_EQ(old->size(), 1u);
    EXPECT_EQ(old->front().source, "o");

    const std::string kThree = "model = three\ndX0 = 1\ndY0 = 2\ndZ0 = 3\n";
    const struct {
        std::string text;
        std::string error;
    } mistakes[] = {
        {"model = three\ndX0 = 1\ndY0 = 2\n", "f: dZ0 is missing (dX0, dY0 and dZ0 are needed)"},
        {kThree + "K = 0\n", "f:5: unknown parameter 'K' (the names are dX0 dY0 dZ0)"},
        {"# chain\nmodel = three\n[step 1]\n" + kThree,
         "f:2: a value before '[step 1]': in a file of several steps every value belongs to a step"},
        {"[step 1]\n" + kThree + "[step 3]\n" + kThree, "f:6: expected '[step 2]', found '[step 3]'"},
        {"[step 1]\n" + kThree + "[step 2]\nmodel = three\ndX0 = x\n", "f:8: the value of dX0, 'x', is not a number"},
    };
    for (const auto& m : mistakes) {
        EXPECT_FALSE(ParseStepsFile(m.text, "f", error)) << m.text;
        EXPECT_EQ(error, m.error);
    }
    // A file of one transformation is asked for: a chain says what it is.
    EXPECT_FALSE(ParseParametersFile("[step 1]\n" + kThree, "f", error));
    EXPECT_EQ(error, "f:1: '[step 1]': a chain of several steps, not one transformation");
}

}  // namespace
