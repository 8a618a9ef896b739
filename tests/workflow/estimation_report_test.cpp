// The report texts of the estimations, and the grown seven-parameter report
// of the compute button on the project's examples and on a road.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "platform/number_text.h"
#include "recording_messages.h"
#include "named_chain.h"
#include "workflow/estimation_report.h"
#include "workflow/estimation_run.h"
#include "workflow_files.h"

using namespace zelk;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    for (std::size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        lines.push_back(text.substr(at, end - at));
    }
    lines.push_back(text.substr(at));
    return lines;
}

bool StartsWith(const std::string& text, const std::string& head) { return text.rfind(head, 0) == 0; }

// The compute button on two files, WGS84 geodetic before and Beijing 1954
// Gauss-Kruger on 117 after, as in the worked example.
std::string ReportOf(const std::filesystem::path& before, const std::filesystem::path& after,
                     BursaQuality* quality = nullptr) {
    EstimationRequest v;
    v.settings.before = MakeCrs(*FindSystem("wgs84-geodetic"));
    v.settings.after = MakeCrs(*FindSystem("beijing54-gauss"), Zoning::Meridian, 117);
    v.beforeFile = before;
    v.afterFile = after;
    EstimationRun result = RunEstimation(v);
    EXPECT_EQ(result.outcome, EstimationOutcome::Estimated);
    if (quality != nullptr && result.estimate.quality) *quality = *result.estimate.quality;
    return result.outcome == EstimationOutcome::Estimated ? result.message.text : "";
}

const std::filesystem::path kExamples = ZELK_EXAMPLES_DIR;

TEST(SevenParameterReport, ExamplesCleanAndWithTheCopiedBlunder) {
    BursaQuality quality;
    const std::string clean =
        ReportOf(kExamples / "common-wgs84-blh.txt", kExamples / "common-bj54-xy117.txt", &quality);
    const std::vector<std::string> lines = Lines(clean);
    ASSERT_EQ(lines.size(), 6u) << clean;
    // The original two lines first, unchanged.
    EXPECT_EQ(lines[0], "叠带进行了4次.");
    EXPECT_EQ(lines[1], "平面中误差为 0.007509 m,高程中误差为 0.005474 m,三维中误差为0.009293 m .");
    EXPECT_EQ(lines[2], "单位权中误差为 0.006127 m,多余观测数为 23 .");
    EXPECT_TRUE(StartsWith(lines[3], "平移中误差为 ΔX0 ±")) << lines[3];
    EXPECT_TRUE(StartsWith(lines[4], "尺度中误差为 Κ ±")) << lines[4];
    EXPECT_EQ(lines[5], "粗差检验（逐对剔除，显著水平1%）：未发现粗差。");
    EXPECT_FALSE(quality.Warns());

    // Pair 7's x copied 1 m wrong: found, and left out it shows the metre.
    const std::string blunder = ReportOf(kExamples / "common-wgs84-blh.txt",
                                         kExamples / "common-bj54-xy117-blunder.txt", &quality);
    EXPECT_EQ(Lines(blunder).back(),
              "粗差检验（逐对剔除，显著水平1%）：第7对可能有粗差（不参加解算时与其余各对相差 "
              "0.999 m），请检查，必要时去掉它重新解算。");
    EXPECT_EQ(quality.blunders.suspects, std::vector<int>{6});
}

TEST(SevenParameterReport, SixPointsAlongARoadWarn) {
    // Six points along 20 km of straight road in Beijing 1954 Gauss-Kruger,
    // 1 cm noise on the after side, WGS84 geodetic through known parameters.
    TempFolder folder;
    const SevenParams truth{-12.5, 129.3, 48.7, 2.35, -0.42, 0.31, 1.87};
    std::mt19937 random(3);
    std::normal_distribution<double> noise(0, 0.01);
    std::string before, after;
    for (int i = 0; i < 6; ++i) {
        double x = 4400000.0 + 2400.0 * i, y = 450000.0 + 3200.0 * i, h = 30.0 + 9.0 * (i % 3);
        double b = x, l = y, hh = h;
        named::Convert("beijing54-gauss", 117.0, "wgs84-geodetic", 0.0, truth, b, l, hh);  // to WGS84 B L H
        after += FormatFixed(x + noise(random), 4) + " " + FormatFixed(y + noise(random), 4) + " " +
                 FormatFixed(h + noise(random), 4) + "\n";
        before += FormatGeneral(b, 17) + " " + FormatGeneral(l, 17) + " " + FormatGeneral(hh, 17) + "\n";
    }
    WriteFile(folder / "before.txt", before);
    WriteFile(folder / "after.txt", after);
    BursaQuality quality;
    const std::string report = ReportOf(folder / "before.txt", folder / "after.txt", &quality);
    const std::vector<std::string> lines = Lines(report);
    ASSERT_EQ(lines.size(), 7u) << report;
    EXPECT_EQ(lines[5],
              "警告：公共点分布不良（近于一条直线，且分布范围相对于点位精度太小），ΔX0、ΔY0、ΔZ0、"
              "βx、βy、βz不能确定，这组参数只宜在公共点所在的范围内使用，请增加分布均匀、"
              "包围工作区的公共点。");
    EXPECT_GT(quality.standardErrors.dX0, 100.0);
}

TEST(ReportTexts, DegreesMinutesSeconds) {
    const struct {
        double seconds;
        const char* text;
    } rows[] = {
        {0.0, "0°00′00.0000″"},          {1260.0, "0°21′00.0000″"},
        {-12.34567, "-0°00′12.3457″"},   {3599.99996, "1°00′00.0000″"},
        {-0.00004, "0°00′00.0000″"},     {612345.6789, "170°05′45.6789″"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(FormatDms(r.seconds / 206264.80624709636), r.text) << r.seconds;
    }
}

TEST(ReportTexts, FourParametersFromTwoPairs) {
    const GridPoint before[2] = {{3400000, 500000, 10}, {3401000, 501000, 20}};
    const FourParams truth{-3391234.5678, -498765.4321, 0.35 * M_PI / 180, 1.0000123};
    const GridPoint after[2] = {ApplyFourParams(truth, before[0]), ApplyFourParams(truth, before[1])};
    const FourParamEstimate e = EstimateFourParams(before, after, 2);
    ASSERT_EQ(e.status, FourParamEstimate::Status::Ok);
    EXPECT_EQ(FourParameterReport(e),
              "四参数：\n"
              "平移 ΔX = -3391234.5678 m,ΔY = -498765.4321 m\n"
              "旋转 α = 0°21′00.0000″（1260.0000″）\n"
              "尺度 K = 1.000012300000（尺度变化 12.3000 ppm）\n"
              "公共点只有2个，没有多余观测，不计算中误差。\n"
              "点对      vx (m)      vy (m)    平面 (m)\n"
              "   1      0.0000      0.0000      0.0000\n"
              "   2      0.0000      0.0000      0.0000\n"
              "平面中误差为 0.000000 m .\n"
              "粗差检验（逐对剔除，显著水平1%）：公共点少于4对，不做粗差检验。");
}

TEST(ReportTexts, HeightFitOfAPlane) {
    const GridPoint before[3] = {{3400000, 500000, 50}, {3402000, 500000, 60}, {3400000, 501000, 70}};
    // zeta = 10 + 0.01 (x - 3400000) / 1000 - 0.02 (y - 500000) / 1000.
    GridPoint after[3];
    for (int i = 0; i < 3; ++i) {
        after[i] = before[i];
        after[i].H -= 10 + 0.01 * (before[i].x - 3400000) / 1000 - 0.02 * (before[i].y - 500000) / 1000;
    }
    const HeightFit fit = FitHeights(HeightModel::Plane, before, after, 3);
    ASSERT_EQ(fit.status, HeightFit::Status::Ok);
    EXPECT_EQ(HeightFitReport(fit),
              "高程拟合（平面）：ζ = H转换前 - H转换后 = a0 + a1·dx + a2·dy\n"
              "dx、dy 为到公共点重心（x0 = 3400666.667 m，y0 = 500333.333 m）的北、东向距离，单位 km。\n"
              "a0 = 10.000000 m\n"
              "a1 = 0.010000 m/km\n"
              "a2 = -0.020000 m/km\n"
              "没有多余观测，不计算中误差。\n"
              "点对      vH (m)\n"
              "   1      0.0000\n"
              "   2      0.0000\n"
              "   3      0.0000\n"
              "高程中误差为 0.000000 m .\n"
              "粗差检验（逐对剔除，显著水平1%）：公共点少于5对，不做粗差检验。");
    EXPECT_EQ(HeightFitTooFewPointsText(HeightModel::Quadratic), "高程拟合（二次曲面）至少需要6个公共点！");
    EXPECT_EQ(HeightFitSingularText(HeightModel::Plane), "公共点分布不良，无法进行高程拟合（平面）！");
}

}  // namespace
