#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/message_box.h"
#include "recording_messages.h"
#include "workflow/conversion.h"
#include "workflow/estimation_run.h"
#include "workflow_files.h"

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
        ConvertPoint(2, 1, 117.0, 0.0, kTrue, p.a, p.b, p.c);
        after.push_back(p);
    }
}

// Before: 北京54高斯投影xyH (index 1) on 117; after: WGS84大地坐标BLH (index 4).
BursaDialogValues Values(const TempFolder& folder) {
    BursaDialogValues v;
    v.beforeSystem = 1;
    v.afterSystem = 4;
    v.beforeMeridian = 117.0;
    v.afterMeridian = 99.0;  // ignored by a geodetic system
    v.beforeFile = folder / "before.txt";
    v.afterFile = folder / "after.txt";
    v.dX0 = 1;
    v.dY0 = 2;
    v.dZ0 = 3;
    v.K = 4;
    v.betaX = 5;
    v.betaY = 6;
    v.betaZ = 7;
    return v;
}

void ExpectUnchanged(const BursaDialogValues& v) {
    EXPECT_EQ(v.dX0, 1);
    EXPECT_EQ(v.dY0, 2);
    EXPECT_EQ(v.dZ0, 3);
    EXPECT_EQ(v.K, 4);
    EXPECT_EQ(v.betaX, 5);
    EXPECT_EQ(v.betaY, 6);
    EXPECT_EQ(v.betaZ, 7);
}

TEST(RunEstimationTest, RecoversTheParametersOfTheConversion) {
    TempFolder folder;
    std::vector<PointText> before, after;
    Field(12, before, after);
    WriteFile(folder / "before.txt", Lines(before, "\r\n"));
    WriteFile(folder / "after.txt", Lines(after));
    RecordingMessages messages;
    BursaDialogValues v = Values(folder);
    const EstimationRunResult run = RunEstimation(v);
    ASSERT_EQ(run.outcome, EstimationOutcome::Estimated);
    ASSERT_EQ(run.before.size(), 12u);
    ASSERT_EQ(messages.messages.size(), 1u);  // the estimation's report
    EXPECT_EQ(messages.messages[0].caption, ApplicationName());
    EXPECT_EQ(messages.messages[0].text.rfind("叠带进行了", 0), 0u);
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::Warning);
    // The field is small: translations and rotations trade off, but the
    // transformation itself is reproduced.
    SevenParams estimate{v.dX0, v.dY0, v.dZ0, v.K, v.betaX, v.betaY, v.betaZ};
    for (int i = 0; i < 12; ++i) {
        double a = before[i].a, b = before[i].b, c = before[i].c;
        ConvertPoint(2, 0, 117.0, 117.0, estimate, a, b, c);
        double ta = before[i].a, tb = before[i].b, tc = before[i].c;
        ConvertPoint(2, 0, 117.0, 117.0, kTrue, ta, tb, tc);
        EXPECT_NEAR(a, ta, 0.01);
        EXPECT_NEAR(b, tb, 0.01);
        EXPECT_NEAR(c, tc, 0.01);
    }
    EXPECT_NEAR(v.K, kTrue.K, 0.5);
    EXPECT_GE(run.iterations, 0);
    // X Y Z of each pair, on its own datum.
    double X = before[0].a, Y = before[0].b, Z = before[0].c;
    PointToCartesian(1, 117.0, X, Y, Z);
    EXPECT_EQ(run.before[0].X, X);
    EXPECT_EQ(run.before[0].Z, Z);
}

TEST(RunEstimationTest, SameSystemAndSamePointsGiveZeroParameters) {
    TempFolder folder;
    std::vector<PointText> before, after;
    Field(6, before, after);
    WriteFile(folder / "before.txt", Lines(before));
    WriteFile(folder / "after.txt", Lines(before));
    RecordingMessages messages;
    BursaDialogValues v = Values(folder);
    v.afterSystem = 1;
    v.afterMeridian = 117.0;
    ASSERT_EQ(RunEstimation(v).outcome, EstimationOutcome::Estimated);
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
    BursaDialogValues v = Values(folder);
    EstimationRunResult run = RunEstimation(v);
    EXPECT_EQ(run.outcome, EstimationOutcome::Estimated);
    EXPECT_EQ(run.before.size(), 8u);
    EXPECT_EQ(run.after.size(), 8u);
    // 8 before, 10 after.
    WriteFile(folder / "before.txt", Lines(before8));
    WriteFile(folder / "after.txt", Lines(after) + "this is not read either");
    BursaDialogValues w = Values(folder);
    run = RunEstimation(w);
    EXPECT_EQ(run.outcome, EstimationOutcome::Estimated);
    EXPECT_EQ(run.before.size(), 8u);
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
    BursaDialogValues v = Values(folder);
    ASSERT_EQ(RunEstimation(v).outcome, EstimationOutcome::Estimated);
    std::string noEnd = Lines(before);
    noEnd.pop_back();
    WriteFile(folder / "before.txt", noEnd);
    WriteFile(folder / "after.txt", Lines(after) + "\r\n\r\n  \n");
    BursaDialogValues w = Values(folder);
    ASSERT_EQ(RunEstimation(w).outcome, EstimationOutcome::Estimated);
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
    BursaDialogValues v = Values(folder);
    const EstimationRunResult run = RunEstimation(v);
    EXPECT_EQ(run.outcome, EstimationOutcome::Estimated);
    EXPECT_EQ(run.before.size(), 600u);
    double X = before[599].a, Y = before[599].b, Z = before[599].c;
    PointToCartesian(1, 117.0, X, Y, Z);
    EXPECT_EQ(run.before[599].X, X);
    EXPECT_EQ(run.before[599].Y, Y);
    double B = after[599].a, L = after[599].b, H = after[599].c;
    PointToCartesian(4, 0.0, B, L, H);
    EXPECT_EQ(run.after[599].X, B);
    EXPECT_EQ(run.after[599].Z, H);
}

TEST(RunEstimationTest, MissingInputsWarnWithoutOpeningFiles) {
    TempFolder folder;  // the files do not exist: an open would say so
    for (int missing = 0; missing < 4; ++missing) {
        RecordingMessages messages;
        BursaDialogValues v = Values(folder);
        switch (missing) {
            case 0: v.beforeSystem = -1; break;
            case 1: v.afterSystem = -1; break;
            case 2: v.beforeFile.clear(); break;
            case 3: v.afterFile.clear(); break;
        }
        EXPECT_EQ(RunEstimation(v).outcome, EstimationOutcome::Incomplete);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, "请检查输入数据是否完整");
        EXPECT_EQ(messages.messages[0].caption, "输入不完整");
        EXPECT_EQ(messages.messages[0].icon, MessageIcon::Warning);
        ExpectUnchanged(v);
    }
}

TEST(RunEstimationTest, UnopenableFiles) {
    TempFolder folder;
    WriteFile(folder / "after.txt", "1 2 3\n");
    RecordingMessages messages;
    BursaDialogValues v = Values(folder);
    EXPECT_EQ(RunEstimation(v).outcome, EstimationOutcome::BeforeOpenFailed);
    WriteFile(folder / "before.txt", "1 2 3\n");
    std::filesystem::remove(folder / "after.txt");
    EXPECT_EQ(RunEstimation(v).outcome, EstimationOutcome::AfterOpenFailed);
    ASSERT_EQ(messages.messages.size(), 2u);
    EXPECT_EQ(messages.messages[0].text, "打开转换前文件错误！");
    EXPECT_EQ(messages.messages[1].text, "打开转换后文件错误！");
    for (const RecordedMessage& m : messages.messages) {
        EXPECT_EQ(m.caption, "读文件出错");
        EXPECT_EQ(m.icon, MessageIcon::Error);
    }
    ExpectUnchanged(v);
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
        BursaDialogValues v = Values(folder);
        EXPECT_EQ(RunEstimation(v).outcome, EstimationOutcome::Unreadable);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, c.text);
        EXPECT_EQ(messages.messages[0].caption, "读文件出错");
        EXPECT_EQ(messages.messages[0].icon, MessageIcon::Error);
        ExpectUnchanged(v);
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
        BursaDialogValues v = Values(folder);
        EXPECT_EQ(RunEstimation(v).outcome, EstimationOutcome::TooFewPoints);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, "公共点不足3个，无法解算七参数！");
        EXPECT_EQ(messages.messages[0].caption, ApplicationName());
        EXPECT_EQ(messages.messages[0].icon, MessageIcon::Error);
        ExpectUnchanged(v);
    }
    WriteFile(folder / "before.txt", "  \n");
    RecordingMessages messages;
    BursaDialogValues v = Values(folder);
    EXPECT_EQ(RunEstimation(v).outcome, EstimationOutcome::TooFewPoints);
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
    BursaDialogValues v = Values(folder);
    v.beforeSystem = zelk::ParamListIndexOf(*zelk::FindSystem("wgs84-xyz"));
    v.afterSystem = v.beforeSystem;
    EXPECT_EQ(RunEstimation(v).outcome, EstimationOutcome::Singular);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::Error);
    ExpectUnchanged(v);
}

TEST(ReadCommonPointsTest, BuffersGrowWithTheFiles) {
    TempFolder folder;
    std::vector<PointText> before, after;
    Field(1500, before, after, 5);
    WriteFile(folder / "before.txt", Lines(before));
    WriteFile(folder / "after.txt", Lines(after));
    std::FILE* b = zelk::platform::OpenFile(folder / "before.txt", "rb");
    std::FILE* a = zelk::platform::OpenFile(folder / "after.txt", "rb");
    std::vector<PointRecord> bp, ap;
    const CommonPointsResult result = ReadCommonPoints(b, a, 1, 4, 117.0, 0.0, bp, ap);
    std::fclose(b);
    std::fclose(a);
    EXPECT_EQ(result.status, CommonPointsResult::Status::Ok);
    EXPECT_EQ(bp.size(), 1500u);
    EXPECT_EQ(ap.size(), 1500u);
}

}  // namespace
