// Points that cannot be right, and settings that cannot be used, refused the
// same way by the convert button (file and typed point), the compute button
// and zelk-cli: one message naming the line, nothing written, exit status 1.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "c_locale.h"
#include "recording_messages.h"
#include "run_request.h"
#include "run_cli.h"
#include "workflow/conversion_run.h"
#include "workflow/coordinate_system.h"
#include "workflow/estimation_run.h"

using namespace zelk;

namespace {

struct RefusedCase {
    const char* what;
    const char* from;  // system names, with their settings as zelk-cli options
    std::vector<std::string> fromOptions;
    const char* to;
    std::vector<std::string> toOptions;
    const char* params;  // zelk-cli --params, "" for none
    const char* point;   // the bad point, on line 2 of the file
    const char* problem;  // the message after "...第2行的点" / "键入的点"; a whole text for settings
};

const char* const kGoodGeodetic = "39.54 116.18 50\n";
const char* const kGoodGauss = "4418660.237 440136.927 50\n";

const RefusedCase kCases[] = {
    {"latitude beyond 90 degrees", "wgs84-geodetic", {}, "wgs84-xyz", {}, "", "90.0001 116 0",
     "纬度超出±90度，请检查数据！"},
    {"longitude beyond 180 degrees", "wgs84-geodetic", {}, "wgs84-xyz", {}, "", "39 180.0001 0",
     "经度超出±180度，请检查数据！"},
    {"point far east of the source meridian", "beijing54-gauss", {"--from-meridian", "117"},
     "beijing54-geodetic", {}, "", "4433921 1500000 0", "离中央子午线超过6度，请检查中央子午线！"},
    {"easting of 1e200", "beijing54-gauss", {"--from-meridian", "117"}, "beijing54-geodetic", {},
     "", "4433921 1e200 0", "离中央子午线超过6度，请检查中央子午线！"},
    {"target meridian left at 0", "cgcs2000-geodetic", {}, "cgcs2000-gauss", {}, "",
     "39.54 116.18 0", "转换后离转换后的中央子午线超过6度，请检查转换后的中央子午线！"},
    {"scale of -1e6 ppm", "wgs84-xyz", {}, "wgs84-geodetic", {}, "0,0,0,-1000000,0,0,0",
     "-2170976.7 4392637.6 4069473.7", "转换结果不是有限的数，请检查数据和转换参数！"},
};

ConversionRequest Values(const RefusedCase& c) {
    SevenParams params;
    if (*c.params != '\0') params.K = -1e6;
    ConversionRequest v = NamedRequest(c.from, c.to, {Transformation::Seven(params)});
    if (c.fromOptions.size() == 2) v.from.meridian = std::stod(c.fromOptions[1]);
    return v;
}

std::vector<std::string> CliArgs(const char* command, const RefusedCase& c) {
    std::vector<std::string> args = {command, "--from", c.from, "--to", c.to};
    args.insert(args.end(), c.fromOptions.begin(), c.fromOptions.end());
    args.insert(args.end(), c.toOptions.begin(), c.toOptions.end());
    if (*c.params != '\0') {
        args.push_back("--params");
        args.push_back(c.params);
    }
    return args;
}

TEST(RefusedPoints, FileTypedPointAndCommandLine) {
    for (const RefusedCase& c : kCases) {
        SCOPED_TRACE(c.what);
        const bool geodetic = std::string(c.from).find("geodetic") != std::string::npos;
        const bool plane = std::string(c.from).find("gauss") != std::string::npos;
        const std::string good = geodetic ? kGoodGeodetic : plane ? kGoodGauss
                                                                  : "-2170976.7 4392637.6 4069473.7\n";
        TempFolder folder;
        // Line 1 is blank, so the bad point is on line 2 also where the
        // setting refuses every point.
        WriteFile(folder / "in.txt", "\n" + std::string(c.point) + "\n" + good);
        WriteFile(folder / "out.txt", "earlier\n");
        const std::string fileText = std::string("转换前文件第2行的点") + c.problem;

        // The convert button with files.
        RecordingMessages messages;
        ConversionRequest v = Values(c);
        v.input = PointInput{folder / "in.txt"};
        v.output = PointOutput{folder / "out.txt"};
        EXPECT_EQ(RunRequest(v), ConvertOutcome::PointRefused);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, fileText);
        EXPECT_EQ(ReadFile(folder / "out.txt"), "earlier\n");

        // The typed point: refused before the file, target fields untouched.
        messages.messages.clear();
        std::array<double, 3> typed{};
        {
            const CLocaleScope cLocale;  // "39.54" is one number in every locale
            std::sscanf(c.point, "%lf %lf %lf", &typed[0], &typed[1], &typed[2]);
        }
        EXPECT_EQ(RunRequest(v, &typed), ConvertOutcome::PointRefused);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, std::string("键入的点") + c.problem);
        EXPECT_EQ(ReadFile(folder / "out.txt"), "earlier\n");

        // zelk-cli convert and point.
        std::vector<std::string> args = CliArgs("convert", c);
        args.insert(args.end(), {"in.txt", "out.txt"});
        CliResult r = RunCli(folder.Path(), args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "zelk-cli: " + fileText + "\n");
        EXPECT_EQ(ReadFile(folder / "out.txt"), "earlier\n");
        EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"in.txt", "out.txt"}));
        args = CliArgs("point", c);
        args.push_back("--");
        for (std::size_t start = 0, end; start < std::string(c.point).size(); start = end + 1) {
            end = std::string(c.point).find(' ', start);
            if (end == std::string::npos) end = std::string(c.point).size();
            args.push_back(std::string(c.point).substr(start, end - start));
        }
        r = RunCli(folder.Path(), args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, std::string("zelk-cli: 键入的点") + c.problem + "\n");
        EXPECT_EQ(r.out, "");
    }
}

TEST(RefusedPoints, CommonPointsNameTheirFileAndLine) {
    TempFolder folder;
    WriteFile(folder / "before.txt", std::string(kGoodGauss) + kGoodGauss + kGoodGauss);
    WriteFile(folder / "after.txt", std::string(kGoodGeodetic) + "91 116 0\n" + kGoodGeodetic);
    RecordingMessages messages;
    EstimationRequest v;
    v.settings.before = MakeCrs(*FindSystem("cgcs2000-gauss"), Zoning::Meridian, 117);
    v.settings.after = MakeCrs(*FindSystem("wgs84-geodetic"));
    v.beforeFile = folder / "before.txt";
    v.afterFile = folder / "after.txt";
    const EstimationRun run = RunEstimation(v);
    EXPECT_EQ(run.outcome, EstimationOutcome::Unreadable);
    EXPECT_EQ(run.message.text, "转换后文件第2行的点纬度超出±90度，请检查数据！");
    EXPECT_EQ(run.message.caption, kReadFileCaption);
}

TEST(RefusedSettings, MeridiansAndZonesThatCannotBeUsed) {
    // One judgement of a system's settings, one message in both programs;
    // zelk-cli says it as a mistake on its command line.
    struct Setting {
        const char* what;
        std::vector<std::string> args;
        Crs from, to;
        const char* message;
    };
    const Setting settings[] = {
        {"source meridian of 200 degrees",
         {"--from", "beijing54-gauss", "--from-meridian", "200", "--to", "beijing54-geodetic"},
         MakeCrs(*FindSystem("beijing54-gauss"), Zoning::Meridian, 200),
         MakeCrs(*FindSystem("beijing54-geodetic")), "转换前中央子午线超出±180度，请检查中央子午线！"},
        {"zones for UTM", {"--from", "wgs84-geodetic", "--to", "wgs84-utm", "--to-zone", "6"},
         MakeCrs(*FindSystem("wgs84-geodetic")), MakeCrs(*FindSystem("wgs84-utm"), Zoning::Zone6),
         "转换后的UTM投影不分3度带或6度带，请键入中央子午线！"},
    };
    for (const Setting& s : settings) {
        SCOPED_TRACE(s.what);
        TempFolder folder;
        RecordingMessages messages;
        ConversionRequest v;
        v.from = s.from;
        v.to = s.to;
        v.steps = {Transformation::Seven({})};
        std::array<double, 3> point{39.54, 116.18, 0};
        EXPECT_EQ(RunRequest(v, &point), ConvertOutcome::SettingRefused);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, s.message);

        std::vector<std::string> args = {"point"};
        args.insert(args.end(), s.args.begin(), s.args.end());
        args.insert(args.end(), {"39.54", "116.18", "0"});
        const CliResult r = RunCli(folder.Path(), args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), "zelk-cli: " + std::string(s.message) + "\n");
    }
}

}  // namespace
