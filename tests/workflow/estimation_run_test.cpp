#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/message_box.h"
#include "recording_messages.h"
#include "named_chain.h"
#include "workflow/estimation_run.h"
#include "workflow/coordinate_system.h"
#include "workflow_files.h"

using namespace zelk;

namespace {

const SevenParams kTrue{-12.5, 129.3, 48.7, 2.35, -0.42, 0.31, 1.87};

std::string Shortest(double v) {
    char buffer[64];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, v).ptr);
}

struct PointText {
    double a, b, c;
};

std::string Lines(const std::vector<PointText>& points, const std::string& end = "\n") {
    std::string text;
    for (const PointText& p : points) {
        text += Shortest(p.a) + " " + Shortest(p.b) + " " + Shortest(p.c) + end;
    }
    return text;
}

// n points of a survey field in Beijing 1954 Gauss-Kruger on 117 (before)
// and the same points in WGS84 geodetic through the true parameters (after).
void Field(int n, std::vector<PointText>& before, std::vector<PointText>& after,
           unsigned seed = 3) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> x(4390000, 4420000), y(430000, 470000), h(20, 400);
    for (int i = 0; i < n; ++i) {
        PointText p{x(random), y(random), h(random)};
        before.push_back(p);
        named::Convert("beijing54-gauss", 117.0, "wgs84-geodetic", 0.0, kTrue, p.a, p.b, p.c);
        after.push_back(p);
    }
}

// Before: Beijing 1954 Gauss-Kruger on 117; after: WGS84 geodetic, seven
// parameters.
EstimationRequest Values(const TempFolder& folder) {
    EstimationRequest v;
    v.settings.before = MakeCrs(*FindSystem("beijing54-gauss"), Zoning::Meridian, 117.0);
    v.settings.after = MakeCrs(*FindSystem("wgs84-geodetic"));
    v.beforeFile = folder / "before.txt";
    v.afterFile = folder / "after.txt";
    return v;
}

// The run, its message shown as the dialogs show it.
EstimationRun Estimated(const EstimationRequest& request) {
    EstimationRun run = RunEstimation(request);
    ShowMessage(run.message.text, run.message.caption, run.message.icon);
    return run;
}

const SevenParams& Estimate(const EstimationRun& run) { return run.estimate.calibration.seven; }

TEST(RunEstimationTest, RecoversTheParametersOfTheConversion) {
    TempFolder folder;
    std::vector<PointText> before, after;
    Field(12, before, after);
    WriteFile(folder / "before.txt", Lines(before, "\r\n"));
    WriteFile(folder / "after.txt", Lines(after));
    RecordingMessages messages;
    const EstimationRun run = Estimated(Values(folder));
    ASSERT_EQ(run.outcome, EstimationOutcome::Estimated);
    ASSERT_EQ(run.estimate.residuals.size(), 12u);
    ASSERT_EQ(messages.messages.size(), 1u);  // the estimation's report
    EXPECT_EQ(messages.messages[0].caption, ApplicationName());
    EXPECT_EQ(messages.messages[0].text.rfind("叠带进行了", 0), 0u);
    // A report that warns of nothing is information.
    EXPECT_EQ(messages.messages[0].text.find("警告"), std::string::npos);
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::Information);
    // The field is small: translations and rotations trade off, but the
    // transformation itself is reproduced.
    const SevenParams estimate = Estimate(run);
    for (int i = 0; i < 12; ++i) {
        double a = before[i].a, b = before[i].b, c = before[i].c;
        named::Convert("beijing54-gauss", 117.0, "wgs84-utm", 117.0, estimate, a, b, c);
        double ta = before[i].a, tb = before[i].b, tc = before[i].c;
        named::Convert("beijing54-gauss", 117.0, "wgs84-utm", 117.0, kTrue, ta, tb, tc);
        EXPECT_NEAR(a, ta, 0.01);
        EXPECT_NEAR(b, tb, 0.01);
        EXPECT_NEAR(c, tc, 0.01);
    }
    EXPECT_NEAR(estimate.K, kTrue.K, 0.5);
}

TEST(RunEstimationTest, SameSystemAndSamePointsGiveZeroParameters) {
    TempFolder folder;
    std::vector<PointText> before, after;
    Field(6, before, after);
    WriteFile(folder / "before.txt", Lines(before));
    WriteFile(folder / "after.txt", Lines(before));
    RecordingMessages messages;
    EstimationRequest request = Values(folder);
    request.settings.after = request.settings.before;
    const EstimationRun run = Estimated(request);
    ASSERT_EQ(run.outcome, EstimationOutcome::Estimated);
    const SevenParams& v = Estimate(run);
    EXPECT_NEAR(v.dX0, 0.0, 1e-6);
    EXPECT_NEAR(v.dY0, 0.0, 1e-6);
    EXPECT_NEAR(v.dZ0, 0.0, 1e-6);
    EXPECT_NEAR(v.K, 0.0, 1e-9);
    EXPECT_NEAR(v.betaX, 0.0, 1e-9);
    EXPECT_NEAR(v.betaY, 0.0, 1e-9);
    EXPECT_NEAR(v.betaZ, 0.0, 1e-9);
}

TEST(RunEstimationTest, TheShorterFileSetsThePairCount) {
    TempFolder folder;
    std::vector<PointText> before, after;
    Field(10, before, after);
    const std::vector<PointText> after8(after.begin(), after.begin() + 8);
    const std::vector<PointText> before8(before.begin(), before.begin() + 8);
    RecordingMessages messages;
    // 10 before, 8 after: what follows the 8th before point is never read.
    WriteFile(folder / "before.txt", Lines(before) + "this is not read");
    WriteFile(folder / "after.txt", Lines(after8) + "\n\n");
    const EstimationRun first = Estimated(Values(folder));
    EXPECT_EQ(first.outcome, EstimationOutcome::Estimated);
    EXPECT_EQ(first.estimate.residuals.size(), 8u);
    const SevenParams v = Estimate(first);
    // 8 before, 10 after.
    WriteFile(folder / "before.txt", Lines(before8));
    WriteFile(folder / "after.txt", Lines(after) + "this is not read either");
    const EstimationRun run = Estimated(Values(folder));
    EXPECT_EQ(run.outcome, EstimationOutcome::Estimated);
    EXPECT_EQ(run.estimate.residuals.size(), 8u);
    const SevenParams& w = Estimate(run);
    // The same pairs give the same estimate.
    EXPECT_EQ(w.dX0, v.dX0);
    EXPECT_EQ(w.betaZ, v.betaZ);
    for (const RecordedMessage& m : messages.messages) EXPECT_EQ(m.text.rfind("叠带进行了", 0), 0u);
}

TEST(RunEstimationTest, LineEndsAtTheEndDoNotMatter) {
    TempFolder folder;
    std::vector<PointText> before, after;
    Field(5, before, after);
    RecordingMessages messages;
    WriteFile(folder / "before.txt", Lines(before));
    WriteFile(folder / "after.txt", Lines(after));
    const EstimationRun first = Estimated(Values(folder));
    ASSERT_EQ(first.outcome, EstimationOutcome::Estimated);
    const SevenParams& v = Estimate(first);
    std::string noEnd = Lines(before);
    noEnd.pop_back();
    WriteFile(folder / "before.txt", noEnd);
    WriteFile(folder / "after.txt", Lines(after) + "\r\n\r\n  \n");
    const EstimationRun second = Estimated(Values(folder));
    ASSERT_EQ(second.outcome, EstimationOutcome::Estimated);
    const SevenParams& w = Estimate(second);
    EXPECT_EQ(w.dX0, v.dX0);
    EXPECT_EQ(w.K, v.K);
    EXPECT_EQ(w.betaY, v.betaY);
}

TEST(RunEstimationTest, SixHundredPairsAreReadWhole) {
    TempFolder folder;
    std::vector<PointText> before, after;
    Field(600, before, after, 11);
    WriteFile(folder / "before.txt", Lines(before));
    WriteFile(folder / "after.txt", Lines(after));
    RecordingMessages messages;
    const EstimationRun run = Estimated(Values(folder));
    EXPECT_EQ(run.outcome, EstimationOutcome::Estimated);
    EXPECT_EQ(run.estimate.residuals.size(), 600u);
    EXPECT_LT(run.estimate.residuals[599].length, 0.001);
}

TEST(RunEstimationTest, UnopenableFiles) {
    TempFolder folder;
    WriteFile(folder / "after.txt", "1 2 3\n");
    RecordingMessages messages;
    const EstimationRequest v = Values(folder);
    EXPECT_EQ(Estimated(v).outcome, EstimationOutcome::BeforeOpenFailed);
    WriteFile(folder / "before.txt", "1 2 3\n");
    std::filesystem::remove(folder / "after.txt");
    EXPECT_EQ(Estimated(v).outcome, EstimationOutcome::AfterOpenFailed);
    ASSERT_EQ(messages.messages.size(), 2u);
    EXPECT_EQ(messages.messages[0].text, "打开转换前文件错误！");
    EXPECT_EQ(messages.messages[1].text, "打开转换后文件错误！");
    for (const RecordedMessage& m : messages.messages) {
        EXPECT_EQ(m.caption, "读文件出错");
        EXPECT_EQ(m.icon, MessageIcon::Error);
    }
}

TEST(RunEstimationTest, UnreadableDataNamesTheFileAndLine) {
    TempFolder folder;
    std::vector<PointText> before, after;
    Field(5, before, after);
    struct Case {
        std::string before, after, text;
    };
    std::string named;
    for (int i = 0; i < 5; ++i) named += "P" + std::to_string(i) + " " + Lines({before[i]});
    const Case cases[] = {
        {named, Lines(after), "转换前文件第1行有无法读取的数据“P0”！"},
        {Lines(before), "\n\n" + Lines(after).replace(0, 1, "?"),
         "转换后文件第3行有无法读取的数据“?" + Lines({after[0]}).substr(1, Lines({after[0]}).find(' ') - 1) + "”！"},
        {Lines(before) + "4400000 450000", Lines(after) + Lines(after), "转换前文件第6行有无法读取的数据“”！"},
        {Lines(before), Lines({after[0], after[1]}) + "1 2", "转换后文件第3行有无法读取的数据“”！"},
    };
    for (const Case& c : cases) {
        WriteFile(folder / "before.txt", c.before);
        WriteFile(folder / "after.txt", c.after);
        RecordingMessages messages;
        EXPECT_EQ(Estimated(Values(folder)).outcome, EstimationOutcome::Unreadable);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, c.text);
        EXPECT_EQ(messages.messages[0].caption, "读文件出错");
        EXPECT_EQ(messages.messages[0].icon, MessageIcon::Error);
    }
}

TEST(RunEstimationTest, FewerThanThreePairsAreRefusedBeforeEstimating) {
    TempFolder folder;
    std::vector<PointText> before, after;
    Field(3, before, after);
    for (int n = 0; n < 3; ++n) {
        WriteFile(folder / "before.txt", Lines(before));
        WriteFile(folder / "after.txt", Lines({after.begin(), after.begin() + n}));
        RecordingMessages messages;
        EXPECT_EQ(Estimated(Values(folder)).outcome, EstimationOutcome::TooFewPoints);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, "公共点不足3个，无法解算七参数！");
        EXPECT_EQ(messages.messages[0].caption, ApplicationName());
        EXPECT_EQ(messages.messages[0].icon, MessageIcon::Error);
    }
    WriteFile(folder / "before.txt", "  \n");
    RecordingMessages messages;
    EXPECT_EQ(Estimated(Values(folder)).outcome, EstimationOutcome::TooFewPoints);
}

TEST(RunEstimationTest, PointsOnOneLineAreSingular) {
    TempFolder folder;
    // Four points along one straight line of X Y Z: X Y Z files.
    std::string line;
    for (int i = 0; i < 4; ++i) {
        line += Shortest(-2170000.0 + 100 * i) + " " + Shortest(4380000.0 + 50 * i) + " " +
                Shortest(4080000.0 - 20 * i) + "\n";
    }
    WriteFile(folder / "before.txt", line);
    WriteFile(folder / "after.txt", line);
    RecordingMessages messages;
    EstimationRequest v = Values(folder);
    v.settings.before = v.settings.after = MakeCrs(*FindSystem("wgs84-xyz"));
    EXPECT_EQ(Estimated(v).outcome, EstimationOutcome::Singular);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::Error);
}

TEST(ReadCommonPointsTest, BuffersGrowWithTheFiles) {
    TempFolder folder;
    std::vector<PointText> before, after;
    Field(1500, before, after, 5);
    WriteFile(folder / "before.txt", Lines(before));
    WriteFile(folder / "after.txt", Lines(after));
    std::FILE* b = zelk::platform::OpenFile(folder / "before.txt", "rb");
    std::FILE* a = zelk::platform::OpenFile(folder / "after.txt", "rb");
    CommonPoints points;
    const CommonPointsResult result =
        ReadCommonPoints(b, a, named::System("beijing54-gauss", 117.0), named::System("wgs84-geodetic"),
                         CommonPointFormats{}, points);
    std::fclose(b);
    std::fclose(a);
    EXPECT_EQ(result.status, CommonPointsResult::Status::Ok);
    EXPECT_EQ(points.before.size(), 1500u);
    EXPECT_EQ(points.after.size(), 1500u);
    // As read, each with its line.
    EXPECT_EQ(points.before[1499].X, before[1499].a);
    EXPECT_EQ(points.lines.after.back(), 1500);
}

}  // namespace
