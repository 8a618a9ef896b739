// Heights above a geoid that cannot be had, refused the same way by the
// convert button (file and typed point), the compute button and zelk-cli:
//
//  case                                   | refused with
//  ---------------------------------------+--------------------------------------------
//  a point outside the grid               | 转换前文件第2行的点在大地水准面模型范围之外… (1)
//  a point in a cell without data         | …范围之外（模型在该处的格网没有数据）… (1)
//  the same through a calibration on the  | the same, by line
//    grid (a parameters file)             |
//  a common point outside the grid        | 转换前文件第2行的点在大地水准面模型范围之外… (1)
//  a damaged grid file (truncated, a      | the grid's name and what is wrong, before
//    header that disagrees, no data or    | anything is read or written (1); in a
//    NaN everywhere, text, a bad ISG      | parameters file, the file, its line and
//    value, a missing file)               | the grid
//  a geoid on a geocentric or local side  | the side and why (2 in zelk-cli)
//
// In every case the output file keeps its bytes and the folder holds no
// other file afterwards.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "c_locale.h"
#include "recording_messages.h"
#include "run_cli.h"
#include "run_request.h"
#include "workflow/conversion_run.h"
#include "workflow/estimation_run.h"
#include "workflow/geoid_model.h"
#include "workflow/parameter_file.h"

using namespace zelk;

namespace {

const std::string kGrids = ZELK_TEST_DATA_DIR "/geoid/";

Crs Gauss120() { return MakeCrs(*FindSystem("cgcs2000-gauss"), Zoning::Meridian, 120); }
Crs Geodetic() { return MakeCrs(*FindSystem("cgcs2000-geodetic")); }

// Points of CGCS2000 Gauss-Kruger on 120 about the regional grid (30..32 N,
// 119..121.5 E; no data about 31.3 N 120.8 E).
const char* const kGoodPoint = "3430974.323 500000.000 12.5";  // 31 N 120 E
struct PointCase {
    const char* what;
    const char* point;    // on line 2 of the file
    const char* problem;  // after "...第2行的点" / "键入的点"
};
const PointCase kPoints[] = {
    {"north of the grid", "3600000.000 500000.000 12.5",
     "在大地水准面模型范围之外，无法换算高程，请检查数据或换用覆盖该处的模型！"},
    {"in the cells without data", "3464512.191 576164.323 12.5",
     "在大地水准面模型范围之外（模型在该处的格网没有数据），无法换算高程！"},
};

TEST(GeoidRefusals, PointsOutsideTheGridOrWithoutDataByLine) {
    const GeoidModel regional = OpenGeoidModel(kGrids + "regional.gtx");
    ASSERT_TRUE(regional.IsOpen()) << regional.problem;
    for (const PointCase& c : kPoints) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        WriteFile(folder / "in.txt", std::string(kGoodPoint) + "\n" + c.point + "\n");
        WriteFile(folder / "out.txt", "earlier\n");
        std::filesystem::copy_file(kGrids + "regional.gtx", folder / "mine.gtx");
        const std::string fileText = std::string("转换前文件第2行的点") + c.problem;

        // Heights above the grid on the source side, and a calibration that
        // sits on it: one refusal, by line, however the grid is used.
        ConversionRequest side;
        side.from = Gauss120();
        side.to = Geodetic();
        side.fromGeoid = regional;
        ConversionRequest step;
        step.from = Gauss120();
        step.to = MakeCrs(*FindSystem("local"));
        WriteFile(folder / "site.params",
                  "model = four\nbefore = cgcs2000-gauss\nbefore-meridian = 120\nafter = local\n"
                  "dX = 0\ndY = 0\nalpha = 0\nscale = 1\nheight = fixed\nheight-x0 = 0\nheight-y0 = 0\n"
                  "a0 = 0.5\ngeoid = mine.gtx\n");
        std::string error;
        const std::optional<Transformation> site = ReadParametersFile(folder / "site.params", error);
        ASSERT_TRUE(site) << error;
        step.steps = {*site};
        for (ConversionRequest* request : {&side, &step}) {
            RecordingMessages messages;
            request->input = PointInput{folder / "in.txt"};
            request->output = PointOutput{folder / "out.txt"};
            EXPECT_EQ(RunRequest(*request), ConvertOutcome::PointRefused);
            ASSERT_EQ(messages.messages.size(), 1u);
            EXPECT_EQ(messages.messages[0].text, fileText);
            EXPECT_EQ(ReadFile(folder / "out.txt"), "earlier\n");
            messages.messages.clear();
            std::array<double, 3> typed{};
            {
                const CLocaleScope cLocale;  // "12.5" is one number in every locale
                std::sscanf(c.point, "%lf %lf %lf", &typed[0], &typed[1], &typed[2]);
            }
            EXPECT_EQ(RunRequest(*request, &typed), ConvertOutcome::PointRefused);
            ASSERT_EQ(messages.messages.size(), 1u);
            EXPECT_EQ(messages.messages[0].text, std::string("键入的点") + c.problem);
        }

        // zelk-cli, both ways of naming the grid.
        for (const std::vector<std::string>& how :
             {std::vector<std::string>{"--from-geoid", "mine.gtx", "--to", "cgcs2000-geodetic"},
              std::vector<std::string>{"--params", "@site.params", "--to", "local"}}) {
            std::vector<std::string> args = {"convert", "--from", "cgcs2000-gauss", "--from-meridian", "120"};
            args.insert(args.end(), how.begin(), how.end());
            args.insert(args.end(), {"in.txt", "out.txt"});
            const CliResult r = RunCli(folder.Path(), args);
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.err, "zelk-cli: " + fileText + "\n");
            EXPECT_EQ(ReadFile(folder / "out.txt"), "earlier\n");
        }
        EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"in.txt", "mine.gtx", "out.txt", "site.params"}));
    }
}

TEST(GeoidRefusals, CommonPointOutsideTheGridNamesItsFileAndLine) {
    TempFolder folder;
    WriteFile(folder / "before.txt", std::string(kGoodPoint) + "\n" + kPoints[0].point + "\n" + kGoodPoint + "\n");
    WriteFile(folder / "after.txt", "10 20 5\n11 21 5\n12 22 5\n");
    EstimationRequest v;
    v.settings.before = Gauss120();
    v.settings.after = MakeCrs(*FindSystem("local"));
    v.settings.model = Transformation::Model::Four;
    v.settings.height = HeightModel::Fixed;
    v.settings.geoid = OpenGeoidModel(kGrids + "regional.gtx");
    v.beforeFile = folder / "before.txt";
    v.afterFile = folder / "after.txt";
    const EstimationRun run = RunEstimation(v);
    EXPECT_EQ(run.outcome, EstimationOutcome::Unreadable);
    EXPECT_EQ(run.message.text, std::string("转换前文件第2行的点") + kPoints[0].problem);
}

// ---- damaged grid files ----

std::string Big(const void* value, std::size_t size) {
    std::string bytes(static_cast<const char*>(value), size);
    if constexpr (std::endian::native == std::endian::little) std::reverse(bytes.begin(), bytes.end());
    return bytes;
}

std::string GtxHeader(double south, double west, double dlat, double dlon, std::int32_t rows, std::int32_t cols) {
    std::string header;
    for (double v : {south, west, dlat, dlon}) header += Big(&v, 8);
    for (std::int32_t v : {rows, cols}) header += Big(&v, 4);
    return header;
}

std::string GtxOf(float value) {
    std::string text = GtxHeader(30, 119, 0.5, 0.5, 5, 6);
    for (int i = 0; i < 30; ++i) text += Big(&value, 4);
    return text;
}

struct DamagedGrid {
    const char* what;
    const char* file;  // "" for a file that is not there
    std::string bytes;
    const char* why;  // a part of the grid's own message
};

TEST(GeoidRefusals, DamagedGridFilesRefusedByNameBeforeAnyConversion) {
    const std::string gtx = ReadFile(kGrids + "regional.gtx");
    std::string isg = ReadFile(kGrids + "regional_v2.isg");
    isg.replace(isg.find("10.3207"), 7, "10.32x7");
    const DamagedGrid table[] = {
        {"truncated GTX", "cut.gtx", gtx.substr(0, gtx.size() - 4), "truncated"},
        {"GTX header of -17 rows", "rows.gtx", GtxHeader(30, 119, 0.125, 0.125, -17, 21) + gtx.substr(40),
         "must be positive"},
        {"GTX without any data", "nodata.gtx", GtxOf(-88.8888f), "holds no data"},
        {"GTX of NaN everywhere", "nan.gtx", GtxOf(std::numeric_limits<float>::quiet_NaN()), "holds no data"},
        {"a text file", "notes.gtx", "N = 8.5 m everywhere\n", ""},
        {"ISG with a word among the values", "token.isg", isg, "'10.32x7' is not a number"},
        {"a file that is not there", "", "", "gone.gtx: cannot open ("},
    };
    for (const DamagedGrid& d : table) {
        SCOPED_TRACE(d.what);
        TempFolder folder;
        const std::string name = *d.file ? d.file : "gone.gtx";
        if (*d.file) WriteFile(folder / name, d.bytes);
        WriteFile(folder / "in.txt", std::string(kGoodPoint) + "\n");
        WriteFile(folder / "out.txt", "earlier\n");
        const std::vector<std::string> before = folder.Entries();

        // The request's check: the grid's name, before the files are touched.
        RecordingMessages messages;
        ConversionRequest v;
        v.from = Gauss120();
        v.to = Geodetic();
        v.toGeoid = OpenGeoidModel((folder / name).string());
        EXPECT_FALSE(v.toGeoid->IsOpen());
        v.input = PointInput{folder / "in.txt"};
        v.output = PointOutput{folder / "out.txt"};
        std::array<double, 3> typed{3430974.323, 500000.0, 12.5};
        EXPECT_EQ(RunRequest(v, &typed), ConvertOutcome::SettingRefused);
        ASSERT_EQ(messages.messages.size(), 1u);
        const std::string& text = messages.messages[0].text;
        const std::string head = "转换后的高程所用的大地水准面模型“" + name + "”无法使用：" + (folder / name).string();
        EXPECT_EQ(text.substr(0, head.size()), head);
        EXPECT_NE(text.find(d.why), std::string::npos) << text;
        EXPECT_EQ(typed[0], 3430974.323);  // not converted

        // zelk-cli convert, and a parameters file naming the grid (its line).
        CliResult r = RunCli(folder.Path(), {"convert", "--from", "cgcs2000-gauss", "--from-meridian", "120",
                                             "--to", "cgcs2000-geodetic", "--to-geoid", name, "in.txt", "out.txt"});
        EXPECT_EQ(r.status, 1);
        const std::string cliHead = "zelk-cli: 转换后的高程所用的大地水准面模型“" + name + "”无法使用：" + name;
        EXPECT_EQ(r.err.substr(0, cliHead.size()), cliHead) << r.err;
        WriteFile(folder / "site.params",
                  "model = four\nbefore = cgcs2000-gauss\nbefore-meridian = 120\nafter = local\n"
                  "dX = 0\ndY = 0\nalpha = 0\nscale = 1\nheight = fixed\nheight-x0 = 0\nheight-y0 = 0\n"
                  "a0 = 0.5\ngeoid = " + name + "\n");
        r = RunCli(folder.Path(), {"convert", "--from", "cgcs2000-gauss", "--from-meridian", "120", "--to",
                                   "local", "--params", "@site.params", "in.txt", "out.txt"});
        EXPECT_EQ(r.status, 1);
        const std::string paramsHead = "zelk-cli: site.params:13: geoid = '" + name + "': " + name;
        EXPECT_EQ(r.err.substr(0, paramsHead.size()), paramsHead) << r.err;
        std::filesystem::remove(folder / "site.params");

        EXPECT_EQ(ReadFile(folder / "out.txt"), "earlier\n");
        EXPECT_EQ(folder.Entries(), before);
    }
}

TEST(GeoidRefusals, SidesWithoutSuchHeights) {
    const GeoidModel regional = OpenGeoidModel(kGrids + "regional.gtx");
    const struct {
        const char* what;
        const char* from;
        const char* to;
        bool fromGeoid;
        const char* message;
    } cases[] = {
        {"geocentric source", "cgcs2000-xyz", "cgcs2000-geodetic", true,
         "转换前坐标系统是地心坐标XYZ，没有大地水准面之上的高程，不能选择大地水准面模型！"},
        {"local target", "cgcs2000-geodetic", "local", false,
         "转换后的地方坐标没有经纬度，不能直接选择大地水准面模型：请在点校正中选择大地水准面模型！"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ConversionRequest v;
        v.from = MakeCrs(*FindSystem(c.from));
        v.to = MakeCrs(*FindSystem(c.to));
        (c.fromGeoid ? v.fromGeoid : v.toGeoid) = regional;
        EXPECT_EQ(RequestProblemText(v), c.message);
        TempFolder folder;
        const CliResult r = RunCli(folder.Path(), {"point", "--from", c.from, "--to", c.to,
                                                   c.fromGeoid ? "--from-geoid" : "--to-geoid", "egm96", "1", "2", "3"});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1),
                  std::string("zelk-cli: option ") + (c.fromGeoid ? "--from-geoid" : "--to-geoid") + ": " +
                      c.message + "\n");
    }
}

}  // namespace
