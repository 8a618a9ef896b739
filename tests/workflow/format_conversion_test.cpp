// Whole conversions in every point-file format: the same points give the
// same results whatever the format they come in, round trips come home,
// problems name their line and field, and nothing depends on the threads.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "engine/angle.h"
#include "platform/number_text.h"
#include "recording_messages.h"
#include "run_request.h"
#include "workflow/conversion_run.h"
#include "workflow/coordinate_system.h"
#include "workflow_files.h"

using namespace zelk;

namespace {

using pointformat::FileFormat;

struct Side {
    const char* system;
    FileFormat format = FileFormat::Plain;
    AngleFormat angles = AngleFormat::Packed;
    bool names = true;  // plain files
};

// Converts text from one side to the other through the convert button;
// returns the output, or the message when the conversion was refused.
std::string Convert(const std::string& text, const Side& from, const Side& to, int threads = 1,
                    bool* refused = nullptr) {
    TempFolder folder;
    WriteFile(folder / "in", text);
    RecordingMessages messages;
    ConversionRequest v = NamedRequest(from.system, to.system, {Transformation::Seven({})}, folder / "in",
                                       folder / "out");
    v.from.meridian = v.from.IsProjected() ? 117 : 0;
    v.to.meridian = v.to.IsProjected() ? 117 : 0;
    v.formats.withNames = from.names;
    v.formats.input = from.format;
    v.formats.inputAngles = from.angles;
    v.formats.output = to.format;
    v.formats.outputAngles = to.angles;
    FileConversionOptions options;
    options.threads = threads;
    const bool done = RunRequest(v, nullptr, options) == ConvertOutcome::Done;
    if (refused) *refused = !done;
    if (!done) return messages.messages.empty() ? "" : messages.messages.back().text;
    return ReadFile(folder / "out");
}

// Named points of a Gauss-Kruger field on 117 degrees.
std::vector<std::string> FieldPoints(int n) {
    std::vector<std::string> lines;
    for (int i = 0; i < n; ++i) {
        const double x = 4400000.0 + 137.25 * i, y = 440000.0 + 911.5 * (i % 97);
        lines.push_back("P" + std::to_string(i + 1) + " " + FormatFixed(x, 3) + " " +
                        FormatFixed(y, 3) + " " + FormatFixed(20.0 + i % 13, 3));
    }
    return lines;
}

std::string AsPlain(const std::vector<std::string>& points) {
    std::string text;
    for (const std::string& p : points) text += p + "\n";
    return text;
}

// The same points as dat (name,code,E,N,H) or csv (with the given header
// and separator between the name and the values).
std::string AsLines(const std::vector<std::string>& points, FileFormat format,
                    const std::string& header = "name,x,y,H") {
    std::string text = format == FileFormat::Csv ? header + "\r\n" : "";
    for (const std::string& p : points) {
        std::istringstream in(p);
        std::string name, x, y, h;
        in >> name >> x >> y >> h;
        text += format == FileFormat::Dat ? name + ",CODE," + y + "," + x + "," + h + "\n"
                                          : name + "," + x + "," + y + "," + h + "\r\n";
    }
    return text;
}

TEST(FormatConversion, TheSamePointsGiveTheSameResultsInEveryFormat) {
    const std::vector<std::string> points = FieldPoints(40);
    const Side geodetic{"cgcs2000-geodetic"};
    const std::string reference = Convert(AsPlain(points), {"cgcs2000-gauss"}, geodetic);
    ASSERT_EQ(reference.substr(0, 3), "P1 ");
    // GBK header names: 点名 北 东 高程, after a UTF-8 byte-order mark.
    const std::string gbkHeader = "\xB5\xE3\xC3\xFB,\xB1\xB1,\xB6\xAB,\xB8\xDF\xB3\xCC";
    const std::string inputs[] = {
        AsLines(points, FileFormat::Dat),
        AsLines(points, FileFormat::Csv),
        "\xEF\xBB\xBF# exported\n\n" + AsLines(points, FileFormat::Csv, gbkHeader),
        AsLines(points, FileFormat::Csv, "H,Y,X,Name,remark"),
    };
    const FileFormat formats[] = {FileFormat::Dat, FileFormat::Csv, FileFormat::Csv,
                                  FileFormat::Csv};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        Side from{"cgcs2000-gauss", formats[i]};
        std::string text = inputs[i];
        if (i == 3) {
            // Columns in another order: H,y,x,name,remark.
            text = "H,Y,X,Name,remark\n";
            for (const std::string& p : points) {
                std::istringstream in(p);
                std::string name, x, y, h;
                in >> name >> x >> y >> h;
                text += h + "," + y + "," + x + "," + name + ",-\n";
            }
        }
        EXPECT_EQ(Convert(text, from, geodetic), reference);
    }
}

TEST(FormatConversion, RoundTripsThroughEveryFormatComeHome) {
    const std::vector<std::string> points = FieldPoints(25);
    const std::string start = AsPlain(points);
    for (FileFormat format : {FileFormat::Plain, FileFormat::Dat, FileFormat::Csv}) {
        for (AngleFormat angles : {AngleFormat::Packed, AngleFormat::Degrees, AngleFormat::Dms}) {
            SCOPED_TRACE(std::string(pointformat::FileFormatName(format)) + " " +
                         std::string(AngleFormatName(angles)));
            const Side geodetic{"wgs84-geodetic", format, angles};
            const std::string there = Convert(start, {"beijing54-gauss"}, geodetic);
            const std::string back = Convert(there, geodetic, {"beijing54-gauss"});
            // Point by point within 3 mm: the angles written hold 0.0001"
            // (packed), the metres read back 0.001 m.
            std::istringstream a(start), b(back);
            std::string name1, name2;
            double x1, y1, h1, x2, y2, h2;
            int n = 0;
            while (a >> name1 >> x1 >> y1 >> h1) {
                ASSERT_TRUE(b >> name2 >> x2 >> y2 >> h2) << back;
                EXPECT_EQ(name1, name2);
                EXPECT_LE(std::hypot(x1 - x2, y1 - y2), 0.003) << name1;
                EXPECT_LE(std::fabs(h1 - h2), 0.001) << name1;
                ++n;
            }
            EXPECT_EQ(n, 25);
        }
    }
}

TEST(FormatConversion, ProblemsNameTheirLineAndField) {
    struct Case {
        const char* what;
        FileFormat format;
        std::string input;
        const char* message;
    };
    const std::string tooLong(70000, '1');
    const Case cases[] = {
        {"dat value that is not a number", FileFormat::Dat,
         "1,,440000,4400000,10\n\n# note\n2,,44OOOO,4400000,10\n",
         "转换前文件第4行第3项（y）有无法读取的数据“44OOOO”，文件未转换！"},
        {"dat line with six fields", FileFormat::Dat, "1,,440000,4400000,10,extra\n",
         "转换前文件第1行多出第6项“extra”，文件未转换！"},
        {"dat line cut short", FileFormat::Dat, "1,,440000\n", "转换前文件第1行缺少第4项（x），文件未转换！"},
        {"csv header without heights", FileFormat::Csv, "name,x,y\n1,4400000,440000\n",
         "转换前文件第1行的表头缺少“H”列，文件未转换！"},
        {"csv empty value", FileFormat::Csv, "name,x,y,H\n1,4400000,,3\n",
         "转换前文件第2行第3项（y）是空的，文件未转换！"},
        {"csv quote not closed", FileFormat::Csv, "name,x,y,H\n\"P1,4400000,440000,3\n",
         "转换前文件第2行第1项的引号到行尾没有闭合（csv文件的字段里不能有换行），文件未转换！"},
        {"line longer than 64 KB", FileFormat::Dat, "1,,440000,4400000,10\n" + tooLong + "\n",
         "转换前文件第2行太长（超过64 KB），文件未转换！"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bool refused = false;
        EXPECT_EQ(Convert(c.input, {"cgcs2000-gauss", c.format}, {"cgcs2000-geodetic"}, 1, &refused),
                  c.message);
        EXPECT_TRUE(refused);
    }
}

TEST(FormatConversion, OutputsDoNotDependOnTheThreads) {
    // Large enough for many chunks; names numbered when the input has none.
    const std::vector<std::string> points = FieldPoints(30000);
    std::string nameless;
    for (const std::string& p : points) nameless += p.substr(p.find(' ') + 1) + "\n";
    const struct {
        std::string input;
        Side from, to;
    } runs[] = {
        {AsLines(points, FileFormat::Dat), {"cgcs2000-gauss", FileFormat::Dat},
         {"cgcs2000-geodetic", FileFormat::Csv, AngleFormat::Dms}},
        {AsLines(points, FileFormat::Csv), {"cgcs2000-gauss", FileFormat::Csv},
         {"wgs84-geodetic", FileFormat::Kml}},
        {nameless, {"cgcs2000-gauss", FileFormat::Plain, AngleFormat::Packed, false},
         {"cgcs2000-geodetic", FileFormat::Dat}},
    };
    for (const auto& run : runs) {
        const std::string one = Convert(run.input, run.from, run.to, 1);
        EXPECT_GT(one.size(), run.input.size() / 2);
        EXPECT_EQ(Convert(run.input, run.from, run.to, 4), one);
    }
    // The numbered names run on across the chunks.
    const std::string numbered = Convert(nameless, {"cgcs2000-gauss", FileFormat::Plain,
                                                    AngleFormat::Packed, false},
                                         {"cgcs2000-geodetic", FileFormat::Dat});
    EXPECT_EQ(numbered.substr(0, 3), "1,,");
    EXPECT_NE(numbered.find("\n30000,,"), std::string::npos);
}

}  // namespace
