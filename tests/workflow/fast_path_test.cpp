// The file conversion against a plain fscanf/fprintf implementation of the
// same conversion, byte for byte, for every thread count.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "c_locale.h"
#include "named_chain.h"
#include "packed_reference.h"
#include "platform/files.h"
#include "workflow/file_conversion.h"
#include "workflow_files.h"

using namespace zelk;

namespace {

const SevenParams kParams{-12.5, 129.3, 48.7, 2.35, -0.42, 0.31, 1.87};

// The six systems in the order the programs have always listed them.
const char* const kSystems[6] = {"wgs84-utm",          "wgs84-geodetic", "beijing54-gauss",
                                 "beijing54-geodetic", "xian80-gauss",   "xian80-geodetic"};

ConversionChain Chain(int source, int target, double sourceMeridian, double targetMeridian) {
    return named::Chain(kSystems[source], sourceMeridian, kSystems[target], targetMeridian, kParams);
}

FileConversionResult ConvertFile(std::FILE* in, std::FILE* out, bool withNames,
                                 const ConversionChain& chain,
                                 const FileConversionOptions& options) {
    FileFormats formats;
    formats.withNames = withNames;
    return ConvertPointFile(in, out, chain, formats, options);
}

// Beijing 1954 Gauss-Kruger points on 117 in the layouts met in practice:
// several spacings and decimals, CR LF and LF, blank lines now and then.
std::string GeneratedFile(int points, bool withNames, unsigned seed) {
    const CLocaleScope cLocale;  // printf and scanf are the reference
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> x(2550000, 5430000), y(350000, 650000), h(-20, 2500);
    std::uniform_int_distribution<int> decimals(0, 4), kind(0, 9);
    std::string text;
    char line[200];
    for (int i = 0; i < points; ++i) {
        if (withNames) {
            text += kind(random) == 0 ? "\xB5\xE3" : "K";  // GBK or ASCII
            text += std::to_string(i);
            text += kind(random) == 0 ? "\t" : " ";
        }
        const int d = decimals(random);
        std::snprintf(line, sizeof line, kind(random) == 0 ? "%.*f  %.*f\t%.*f" : "%.*f %.*f %.*f",
                      d, x(random), d, y(random), d, h(random));
        text += line;
        const int end = kind(random);
        text += end == 0 ? "\r\n" : end == 1 ? "\n\n" : end == 2 ? " \n" : "\n";
    }
    return text;
}

// The conversion written plainly with the C library's formatted I/O.
std::string PlainConversion(const std::filesystem::path& input, bool withNames, int source,
                            int target, double sourceMeridian, double targetMeridian) {
    const CLocaleScope cLocale;  // printf and scanf are the reference
    std::FILE* in = zelk::platform::OpenFile(input, "r");
    std::string out;
    char name[256];
    double a, b, c;
    char line[400];
    const ConversionChain chain = Chain(source, target, sourceMeridian, targetMeridian);
    for (;;) {
        const int read = withNames ? std::fscanf(in, "%255s %lf %lf %lf\n", name, &a, &b, &c)
                                   : std::fscanf(in, "%lf %lf %lf\n", &a, &b, &c);
        if (read != (withNames ? 4 : 3)) break;
        chain.Convert(a, b, c);
        // B and L of a geodetic target packed with nine decimals, metres with three.
        if (target % 2 == 1) {
            std::snprintf(line, sizeof line, "%s %s %.3lf\n", PackedReference(a).c_str(),
                          PackedReference(b).c_str(), c);
        } else {
            std::snprintf(line, sizeof line, "%.3lf %.3lf %.3lf\n", a, b, c);
        }
        if (withNames) out += std::string(name) + " ";
        out += line;
    }
    std::fclose(in);
    return out;
}

FileConversionResult Convert(const std::filesystem::path& input,
                             const std::filesystem::path& output, bool withNames, int threads,
                             int source = 2, int target = 1, double sourceMeridian = 117.0,
                             double targetMeridian = 0.0) {
    std::FILE* in = zelk::platform::OpenFile(input, "rb");
    std::FILE* out = zelk::platform::OpenFile(output, "wb");
    FileConversionOptions options;
    options.threads = threads;
    const FileConversionResult result = ConvertFile(
        in, out, withNames, Chain(source, target, sourceMeridian, targetMeridian), options);
    std::fclose(out);
    std::fclose(in);
    return result;
}

TEST(FastPathTest, SameBytesAsFormattedIoForEveryThreadCount) {
    TempFolder folder;
    for (bool withNames : {false, true}) {
        SCOPED_TRACE(withNames ? "with names" : "without names");
        WriteFile(folder / "in.txt", GeneratedFile(100000, withNames, withNames ? 2 : 1));
        const std::string plain = PlainConversion(folder / "in.txt", withNames, 2, 1, 117.0, 0.0);
        ASSERT_EQ(std::count(plain.begin(), plain.end(), '\n'), 100000);
        for (int threads : {1, 2, 3, 0}) {
            const FileConversionResult result =
                Convert(folder / "in.txt", folder / "out.txt", withNames, threads);
            EXPECT_EQ(result.status, FileConversionResult::Status::Ok);
            EXPECT_EQ(result.points, 100000u);
            EXPECT_TRUE(ReadFile(folder / "out.txt") == plain) << "threads " << threads;
        }
    }
}

TEST(FastPathTest, OtherPairsToo) {
    TempFolder folder;
    // Geodetic points written by the plain conversion, read back as input.
    WriteFile(folder / "xy.txt", GeneratedFile(20000, false, 3));
    WriteFile(folder / "bl.txt", PlainConversion(folder / "xy.txt", false, 2, 3, 117.0, 0.0));
    for (int target = 0; target < 6; ++target) {
        const std::string plain = PlainConversion(folder / "bl.txt", false, 3, target, 0.0, 117.0);
        for (int threads : {1, 2}) {
            Convert(folder / "bl.txt", folder / "out.txt", false, threads, 3, target, 0.0, 117.0);
            EXPECT_TRUE(ReadFile(folder / "out.txt") == plain) << target << " " << threads;
        }
    }
}

TEST(FastPathTest, ProblemsFarIntoTheFileGiveTheSameLineForEveryThreadCount) {
    TempFolder folder;
    std::string text = GeneratedFile(60000, false, 4);
    // Replace the first number of line 45678 with a bad token.
    std::size_t pos = 0;
    for (int line = 1; line < 45678; ++line) pos = text.find('\n', pos) + 1;
    // "\n\n" endings make empty lines: find a line that holds a point.
    while (text[pos] == '\n' || text[pos] == '\r') ++pos;
    int line = 1;
    for (std::size_t i = 0; i < pos; ++i) line += text[i] == '\n';
    text.replace(pos, 1, "#");
    WriteFile(folder / "bad.txt", text);
    for (int threads : {1, 2, 3}) {
        const FileConversionResult result = Convert(folder / "bad.txt", folder / "out.txt", false, threads);
        EXPECT_EQ(result.status, FileConversionResult::Status::Unreadable);
        EXPECT_EQ(result.line, line) << threads;
        EXPECT_EQ(result.token.substr(0, 1), "#");
    }
    // Cut short at the very end.
    std::string cut = GeneratedFile(60000, false, 5);
    const int lines = static_cast<int>(std::count(cut.begin(), cut.end(), '\n'));
    cut += "4400000.5 450000.5";
    WriteFile(folder / "cut.txt", cut);
    for (int threads : {1, 2}) {
        const FileConversionResult result = Convert(folder / "cut.txt", folder / "out.txt", false, threads);
        EXPECT_EQ(result.status, FileConversionResult::Status::CutShort);
        EXPECT_EQ(result.line, lines + 1);
        EXPECT_EQ(result.points, 60000u);
    }
}

TEST(FastPathTest, ReadErrorsAndProgress) {
    TempFolder folder;
    for (int threads : {1, 2}) {
        std::FILE* directory = zelk::platform::OpenFile(folder.Path(), "rb");
        std::FILE* out = zelk::platform::OpenFile(folder / "out.txt", "wb");
        FileConversionOptions options;
        options.threads = threads;
        const FileConversionResult result =
            ConvertFile(directory, out, false, Chain(2, 1, 117.0, 0.0), options);
        EXPECT_EQ(result.status, FileConversionResult::Status::ReadError);
        std::fclose(out);
        std::fclose(directory);
    }
    const std::string text = GeneratedFile(50000, true, 6);
    WriteFile(folder / "in.txt", text);
    for (int threads : {1, 2}) {
        std::vector<std::uint64_t> seen, points;
        std::FILE* in = zelk::platform::OpenFile(folder / "in.txt", "rb");
        std::FILE* out = zelk::platform::OpenFile(folder / "out.txt", "wb");
        FileConversionOptions options;
        options.threads = threads;
        options.progress = [&](std::uint64_t bytes, std::uint64_t written) {
            seen.push_back(bytes);
            points.push_back(written);
        };
        ConvertFile(in, out, true, Chain(2, 1, 117.0, 0.0), options);
        std::fclose(out);
        std::fclose(in);
        ASSERT_GT(seen.size(), 2u);
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
        EXPECT_EQ(seen.back(), text.size());
        // Points written so far: never more than the file has, and growing.
        EXPECT_TRUE(std::is_sorted(points.begin(), points.end()));
        EXPECT_GT(points.back(), 0u);
        EXPECT_LE(points.back(), 50000u);
    }
}

}  // namespace
