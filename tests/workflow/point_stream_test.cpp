// Conversions from a PointSource and into a PointSink (the formats a
// program hands in), through the one path of every conversion: the points
// arrive in input order whatever the threads, convert exactly as their text
// would, and every failure ends with its message and nothing committed.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/number_text.h"
#include "recording_messages.h"
#include "run_request.h"
#include "temp_folder.h"
#include "workflow/conversion_run.h"
#include "workflow/point_stream.h"

using namespace zelk;
using pointformat::FileFormat;

namespace {

struct SinkPoint {
    std::string name;
    std::array<double, 3> values;
    bool operator==(const SinkPoint&) const = default;
};

// What a fake file holds and what happened to the fake output.
struct FakeInput {
    std::vector<SourcePoint> points;
    std::size_t problemAfter = static_cast<std::size_t>(-1);  // points, then a problem
    std::string openProblem;
};
struct FakeOutput {
    std::vector<SinkPoint> points;
    std::size_t refuseAt = static_cast<std::size_t>(-1);  // the point it cannot write
    bool commitFails = false;
    std::string openProblem;
    bool committed = false;
    bool abandoned = false;
};

class FakeSource final : public PointSource {
public:
    explicit FakeSource(const FakeInput& input) : m_input(input) {}
    Result Next(SourcePoint& point) override {
        if (m_next == m_input.problemAfter) {
            m_message = "文件“fake.xlsx”第" + std::to_string(m_next + 2) + "行坏了！";
            return Result::Problem;
        }
        if (m_next >= m_input.points.size()) return Result::End;
        point = m_input.points[m_next++];
        return Result::Point;
    }
    const std::string& Message() const override { return m_message; }
    std::string Place(std::int64_t number) const override {
        return "第" + std::to_string(number) + "个要素";
    }
    std::uint64_t BytesRead() const override { return m_next; }

private:
    const FakeInput& m_input;
    std::size_t m_next = 0;
    std::string m_message;
};

class FakeSink final : public PointSink {
public:
    explicit FakeSink(FakeOutput& output) : m_output(output) {}
    bool Write(std::string_view name, const double values[3]) override {
        if (m_output.points.size() == m_output.refuseAt) {
            m_message = "点名“" + std::string(name) + "”写不进去！";
            return false;
        }
        m_output.points.push_back({std::string(name), {values[0], values[1], values[2]}});
        return true;
    }
    bool Commit() override {
        if (m_output.commitFails) {
            m_message = "改名失败！";
            return false;
        }
        m_output.committed = true;
        return true;
    }
    void Abandon() override { m_output.abandoned = true; }
    const std::string& Message() const override { return m_message; }

private:
    FakeOutput& m_output;
    std::string m_message;
};

class FakeFormats final : public ExternalFormats {
public:
    FakeFormats(const FakeInput& input, FakeOutput& output) : m_input(input), m_output(output) {}
    bool Has(FileFormat format) const override { return format != FileFormat::GeoPackage; }
    std::unique_ptr<PointSource> OpenSource(const ExternalInput&, std::string& problem) const override {
        problem = m_input.openProblem;
        return problem.empty() ? std::make_unique<FakeSource>(m_input) : nullptr;
    }
    std::unique_ptr<PointSink> OpenSink(const ExternalOutput&, std::string& problem) const override {
        problem = m_output.openProblem;
        return problem.empty() ? std::make_unique<FakeSink>(m_output) : nullptr;
    }

private:
    const FakeInput& m_input;
    FakeOutput& m_output;
};

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// n Beijing 1954 Gauss-Kruger points on 117 (x y H); every seventh has no
// name in the source.
std::vector<SourcePoint> GaussPoints(int n) {
    std::vector<SourcePoint> points;
    for (int i = 0; i < n; ++i) {
        SourcePoint p;
        p.name = i % 7 == 3 ? std::string() : "测点" + std::to_string(i + 1);
        p.values[0] = 4400000.125 + 3.25 * i;
        p.values[1] = 450000.5 + 1.75 * i;
        p.values[2] = 50.0 + 0.001 * i;
        p.number = i + 1;
        points.push_back(p);
    }
    return points;
}

ConversionRequest GaussToGeodetic(const std::filesystem::path& in, const std::filesystem::path& out) {
    ConversionRequest request = NamedRequest("beijing54-gauss", "beijing54-geodetic", {}, in, out);
    request.from.meridian = 117.0;
    return request;
}

FileRun Convert(const ConversionRequest& request, int threads) {
    FileConversionOptions options;
    options.threads = threads;
    EXPECT_EQ(RequestProblemText(request), "");
    return ConvertFiles(request, ChainFor(request), options);
}

// A source's points convert into exactly the bytes their plain text
// converts into (names the source lacks are the points' numbers), and a
// sink gets every point of a text file, in order, as the chain gives it:
// with one thread and with several, over many chunks.
TEST(PointStreams, ConvertAsTheirTextWould) {
    TempFolder folder;
    FakeInput input;
    input.points = GaussPoints(20000);
    std::string text;
    for (const SourcePoint& p : input.points) {
        text += (p.name.empty() ? std::to_string(p.number) : p.name) + " " +
                FormatGeneral(p.values[0], 17) + " " + FormatGeneral(p.values[1], 17) + " " +
                FormatGeneral(p.values[2], 17) + "\n";
    }
    std::ofstream(folder / "in.txt", std::ios::binary) << text;
    ConversionRequest fromText = GaussToGeodetic(folder / "in.txt", folder / "text.txt");
    fromText.formats.withNames = true;
    ASSERT_TRUE(Convert(fromText, 1).committed);
    const std::string expected = ReadBytes(folder / "text.txt");

    for (const int threads : {1, 4}) {
        SCOPED_TRACE(threads);
        FakeOutput output;
        const FakeFormats formats(input, output);
        ConversionRequest fromSource = GaussToGeodetic(folder / "in.xlsx", folder / "out.txt");
        fromSource.formats.input = FileFormat::Xlsx;
        fromSource.external = &formats;
        const FileRun run = Convert(fromSource, threads);
        EXPECT_TRUE(run.committed);
        EXPECT_EQ(run.result.points, input.points.size());
        EXPECT_EQ(ReadBytes(folder / "out.txt"), expected);

        ConversionRequest toSink = GaussToGeodetic(folder / "in.txt", folder / "out.dxf");
        toSink.formats.withNames = true;
        toSink.formats.output = FileFormat::Dxf;
        toSink.external = &formats;
        EXPECT_TRUE(Convert(toSink, threads).committed);
        EXPECT_TRUE(output.committed);
        EXPECT_FALSE(output.abandoned);
        ASSERT_EQ(output.points.size(), input.points.size());
        const ConversionChain chain = ChainFor(toSink);
        for (std::size_t i = 0; i < input.points.size(); i += 997) {
            const SourcePoint& p = input.points[i];
            double v[3] = {p.values[0], p.values[1], p.values[2]};
            chain.Convert(v[0], v[1], v[2]);
            EXPECT_EQ(output.points[i],
                      (SinkPoint{p.name.empty() ? std::to_string(p.number) : p.name, {v[0], v[1], v[2]}}));
        }
    }
}

// Every way a run through a source or a sink fails: the message the
// programs show, and nothing committed.
TEST(PointStreams, FailuresSayWhereAndCommitNothing) {
    struct Case {
        const char* what;
        void (*setUp)(FakeInput&, FakeOutput&);
        bool toSink;
        const char* text;
        const char* caption;
    };
    const Case cases[] = {
        {"the input does not open", [](FakeInput& in, FakeOutput&) { in.openProblem = "文件“a.shp”缺少……"; },
         false, "文件“a.shp”缺少……", kReadFileCaption},
        {"the source fails after 5000 points",
         [](FakeInput& in, FakeOutput&) { in.problemAfter = 5000; }, false,
         "文件“fake.xlsx”第5002行坏了！", kReadFileCaption},
        {"a source's point the chain refuses",
         [](FakeInput& in, FakeOutput&) { in.points[6].values[0] = 95.0; }, false,
         "转换前文件第7个要素的点纬度超出±90度，请检查数据！", kReadFileCaption},
        {"the sink does not open", [](FakeInput&, FakeOutput& out) { out.openProblem = "不能写……"; }, true,
         "不能写……", kWriteFileCaption},
        {"the sink refuses a point", [](FakeInput&, FakeOutput& out) { out.refuseAt = 4500; }, true,
         "点名“测点4501”写不进去！（转换前文件第4501个要素的点）", kWriteFileCaption},
        {"the sink does not commit", [](FakeInput&, FakeOutput& out) { out.commitFails = true; }, true,
         "改名失败！", kWriteFileCaption},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        FakeInput input;
        input.points = GaussPoints(10000);
        FakeOutput output;
        c.setUp(input, output);
        const FakeFormats formats(input, output);
        ConversionRequest request =
            NamedRequest("beijing54-geodetic", "beijing54-gauss", {}, folder / "in.shp",
                         folder / (c.toSink ? "out.xlsx" : "out.txt"));
        request.to.meridian = 117.0;
        request.formats.input = FileFormat::Shapefile;
        if (c.toSink) request.formats.output = FileFormat::Xlsx;
        request.external = &formats;
        // Geodetic points for the refused latitude; the others convert.
        for (SourcePoint& p : input.points) {
            if (p.values[0] > 1000) p.values[0] = 39.3, p.values[1] = 116.2;
        }
        const FileRun run = Convert(request, 2);
        EXPECT_FALSE(run.committed);
        EXPECT_FALSE(output.committed);
        const UserMessage message = MessageFor(run);
        EXPECT_EQ(message.text, c.text);
        EXPECT_EQ(message.caption, c.caption);
        EXPECT_EQ(message.icon, MessageIcon::Error);
        EXPECT_EQ(folder.Entries(), std::vector<std::string>{}) << "nothing written";
        // A sink that opened is abandoned, unless it was committing.
        EXPECT_EQ(output.abandoned, c.toSink && output.openProblem.empty() && !output.commitFails);
    }
}

// The one check of a request refuses what these formats cannot do, with
// the same text in both programs.
TEST(PointStreams, RequestsRefused) {
    FakeInput input;
    FakeOutput output;
    const FakeFormats formats(input, output);
    struct Case {
        const char* from;
        const char* to;
        FileFormat in, out;
        const char* inPath;
        const char* outPath;
        bool withFormats;
        const char* says;  // empty: accepted
    };
    const Case cases[] = {
        {"cgcs2000-geodetic", "cgcs2000-geodetic", FileFormat::Csv, FileFormat::GeoJson, "a.csv",
         "b.geojson", true, ""},
        {"cgcs2000-geodetic", "cgcs2000-gauss", FileFormat::Csv, FileFormat::GeoJson, "a.csv", "b.geojson",
         true, "GeoJSON文件（RFC 7946）只能存放WGS84经纬度，投影坐标、地心坐标和别的基准都不能写，请选择WGS84或CGCS2000大地坐标作为转换后坐标系统！"},
        {"cgcs2000-geodetic", "xian80-geodetic", FileFormat::Csv, FileFormat::GeoJson, "a.csv",
         "b.geojson", true, "GeoJSON文件（RFC 7946）只能存放WGS84经纬度"},
        {"cgcs2000-geodetic", "cgcs2000-gauss", FileFormat::Csv, FileFormat::Shapefile, "a.csv", "b.shp",
         false, "这个版本的ZELK不能写Shapefile文件（编译时没有GDAL），请选择普通格式、CASS数据、CSV或KML！"},
        {"cgcs2000-gauss", "cgcs2000-gauss", FileFormat::Xlsx, FileFormat::Plain, "a.xlsx", "b.txt", false,
         "这个版本的ZELK不能读XLSX文件（编译时没有GDAL）"},
        {"cgcs2000-gauss", "cgcs2000-gauss", FileFormat::GeoPackage, FileFormat::Plain, "a.gpkg", "b.txt",
         true, "不能读GeoPackage文件"},
        {"cgcs2000-gauss", "cgcs2000-gauss", FileFormat::Xlsx, FileFormat::Plain, "-", "b.txt", true,
         "XLSX格式的转换前文件不能从标准输入读，请给出文件名！"},
        {"cgcs2000-gauss", "cgcs2000-gauss", FileFormat::Plain, FileFormat::Dxf, "a.txt", "-", true,
         "DXF格式的转换后文件不能写到标准输出，请给出文件名！"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.inPath) + " -> " + c.outPath);
        ConversionRequest request = NamedRequest(c.from, c.to, {}, c.inPath, c.outPath);
        request.from.meridian = request.to.meridian = 117.0;
        request.formats.input = c.in;
        request.formats.output = c.out;
        if (std::string(c.outPath) == "-") request.output->descriptor = 1;
        if (c.withFormats) request.external = &formats;
        const std::string problem = RequestProblemText(request);
        if (*c.says == '\0') {
            EXPECT_EQ(problem, "");
        } else {
            EXPECT_NE(problem.find(c.says), std::string::npos) << problem;
        }
    }
}

}  // namespace
