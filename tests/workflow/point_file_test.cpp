#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/number_text.h"
#include "workflow/point_file.h"
#include "workflow/point_scan.h"
#include "workflow_files.h"
#include "c_locale.h"

using namespace zelk;

namespace {

struct ReadPoint {
    std::string name;
    double a, b, c;
};

struct ReadAll {
    std::vector<ReadPoint> points;
    PointReader::Status last;
    std::int64_t line = 0;
    std::string token;
};

// An in-memory FILE holding bytes.
class MemoryFile {
public:
    explicit MemoryFile(const std::string& bytes) : m_file(std::tmpfile()) {
        std::fwrite(bytes.data(), 1, bytes.size(), m_file);
        std::rewind(m_file);
    }
    ~MemoryFile() { std::fclose(m_file); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    std::FILE* get() const { return m_file; }

private:
    std::FILE* m_file;
};

ReadAll Read(const std::string& bytes, bool withNames) {
    MemoryFile file(bytes);
    PointReader reader(file.get(), withNames);
    ReadAll all;
    for (;;) {
        std::string_view name;
        double a = -1, b = -1, c = -1;
        all.last = reader.Next(name, a, b, c);
        if (all.last != PointReader::Status::Point) break;
        all.points.push_back({std::string(name), a, b, c});
    }
    all.line = reader.ProblemLine();
    all.token = reader.ProblemToken();
    return all;
}

TEST(PointReaderTest, TokensWhereverTheLineEndsFall) {
    const ReadAll all = Read("1 2 3\n\n  4.5\t-6e2\r\n+7.\n\n8 9\n10", false);
    ASSERT_EQ(all.last, PointReader::Status::End);
    ASSERT_EQ(all.points.size(), 3u);
    EXPECT_EQ(all.points[1].a, 4.5);
    EXPECT_EQ(all.points[1].b, -600.0);
    EXPECT_EQ(all.points[1].c, 7.0);
    EXPECT_EQ(all.points[2].a, 8.0);
    EXPECT_EQ(all.points[2].c, 10.0);
    const ReadAll cut = Read("1 2 3\n4 5\n\n", false);
    EXPECT_EQ(cut.last, PointReader::Status::CutShort);
    EXPECT_EQ(cut.points.size(), 1u);
    EXPECT_EQ(cut.line, 2);
    EXPECT_EQ(cut.token, "");
}

TEST(PointReaderTest, EmptyAndWhiteInputHoldNoPoint) {
    for (const std::string bytes : {"", " ", "\n\n\r\n", "\xEF\xBB\xBF", "\xEF\xBB\xBF \n\t"}) {
        const ReadAll all = Read(bytes, false);
        EXPECT_EQ(all.last, PointReader::Status::End);
        EXPECT_TRUE(all.points.empty());
    }
}

TEST(PointReaderTest, ByteOrderMarkOnlyAtTheStart) {
    const ReadAll all = Read("\xEF\xBB\xBF" "1 2 3\n4 5 6\n", false);
    ASSERT_EQ(all.last, PointReader::Status::End);
    ASSERT_EQ(all.points.size(), 2u);
    EXPECT_EQ(all.points[0].a, 1.0);
    const ReadAll named = Read("\xEF\xBB\xBFP1 1 2 3\n", true);
    ASSERT_EQ(named.points.size(), 1u);
    EXPECT_EQ(named.points[0].name, "P1");
    const ReadAll inside = Read("1 2 3\n\xEF\xBB\xBF" "4 5 6\n", false);
    EXPECT_EQ(inside.last, PointReader::Status::Unreadable);
    EXPECT_EQ(inside.line, 2);
    EXPECT_EQ(inside.token, "\xEF\xBB\xBF" "4");
}

TEST(PointReaderTest, LinesCountEveryKindOfLineEnd) {
    struct Case {
        const char* bytes;
        int line;
    };
    const Case cases[] = {
        {"1 2 3\n4 5 x\n", 2},      {"1 2 3\r\n4 5 6\r\n\r\nx", 4},
        {"1 2 3\r4 5 6\rx 1 2", 3}, {"1 2 3\r\n\r4 5 6\n\rx", 5},
        {"x", 1},                   {"\n\n\n1 2 3 4 5 6 7 8 x", 4},
        {"1 2\n3\n\x01 5 6", 3},
    };
    for (const Case& c : cases) {
        const ReadAll all = Read(c.bytes, false);
        EXPECT_EQ(all.last, PointReader::Status::Unreadable) << c.bytes;
        EXPECT_EQ(all.line, c.line) << c.bytes;
    }
}

TEST(PointReaderTest, OnlyWholeDecimalTokensAreNumbers) {
    for (const std::string bad : {"1.5abc", "inf", "nan", "0x10", "--1", "+-1", ".", "1e", "e5",
                                  "1,5", "1e400", "+", "１"}) {
        const ReadAll all = Read("1 2 " + bad + "\n", false);
        EXPECT_EQ(all.last, PointReader::Status::Unreadable) << bad;
        EXPECT_EQ(all.token, bad);
        EXPECT_TRUE(all.points.empty());
    }
    const ReadAll good = Read("-.5 +1e3 1.E-2 007 1. 0", false);
    ASSERT_EQ(good.points.size(), 2u);
    EXPECT_EQ(good.points[0].a, -0.5);
    EXPECT_EQ(good.points[0].b, 1000.0);
    EXPECT_EQ(good.points[0].c, 0.01);
    EXPECT_EQ(good.points[1].a, 7.0);
    EXPECT_EQ(good.points[1].b, 1.0);
}

TEST(PointReaderTest, NamesUpTo64KBOfAnyBytes) {
    const std::string n31(31, 'A');
    const std::string n200 = std::string(199, 'B') + "Z";
    const std::string huge(pointscan::kNameByteLimit, 'C');  // the longest name read
    const std::string gbk = "\xB5\xE3\xBA\xC5\x31";  // "点号1" in GBK
    const std::string utf8 = "控制点-07";
    const ReadAll all = Read(n31 + " 1 2 3\n" + n200 + " 4 5 6\n" + huge + " 7 8 9\n" + gbk +
                                 "\t10 11 12\r\n" + utf8 + " 13 14 15",
                             true);
    ASSERT_EQ(all.last, PointReader::Status::End);
    ASSERT_EQ(all.points.size(), 5u);
    EXPECT_EQ(all.points[0].name, n31);
    EXPECT_EQ(all.points[1].name, n200);
    EXPECT_EQ(all.points[2].name, huge);
    EXPECT_EQ(all.points[2].c, 9.0);
    EXPECT_EQ(all.points[3].name, gbk);
    EXPECT_EQ(all.points[4].name, utf8);
    EXPECT_EQ(all.points[4].c, 15.0);
}

TEST(PointReaderTest, FilesWithAndWithoutNamesReadTheWrongWay) {
    const ReadAll named = Read("P1 4000000.1 500000.2 30.5\nP2 1 2 3\n", false);
    EXPECT_EQ(named.last, PointReader::Status::Unreadable);
    EXPECT_EQ(named.line, 1);
    EXPECT_EQ(named.token, "P1");
    // Read with names, a file without names pairs four numbers a point and
    // comes out short at the end.
    const ReadAll plain = Read("1 2 3\n4 5 6\n7 8 9\n10 11 12\n", true);
    EXPECT_EQ(plain.points.size(), 3u);
    EXPECT_EQ(plain.last, PointReader::Status::End);
    const ReadAll odd = Read("1 2 3\n4 5 6\n", true);
    EXPECT_EQ(odd.last, PointReader::Status::CutShort);
    EXPECT_EQ(odd.line, 2);
}

TEST(PointReaderTest, QuotedTokensAreCutToFortyBytes) {
    const std::string longToken(100, '9');
    const ReadAll all = Read("1 2 " + longToken + "x", false);
    EXPECT_EQ(all.last, PointReader::Status::Unreadable);
    EXPECT_EQ(all.token, std::string(40, '9'));
    // 13 three-byte characters are 39 bytes; the 14th is left out whole.
    std::string chinese;
    for (int i = 0; i < 20; ++i) chinese += "坐";
    const ReadAll cut = Read(chinese, false);
    EXPECT_EQ(cut.token.size(), 39u);
    EXPECT_EQ(cut.token, chinese.substr(0, 39));
    EXPECT_EQ(pointscan::QuoteToken(std::string(40, 'a')), std::string(40, 'a'));
}

TEST(PointReaderTest, ReadErrorIsNotTheEnd) {
    TempFolder folder;
    std::FILE* directory = zelk::platform::OpenFile(folder.Path(), "rb");
    ASSERT_NE(directory, nullptr);
    PointReader reader(directory, false);
    std::string_view name;
    double a, b, c;
    EXPECT_EQ(reader.Next(name, a, b, c), PointReader::Status::ReadError);
    EXPECT_FALSE(reader.AtEnd());
    std::fclose(directory);
}

TEST(PointReaderTest, AtEndLooksPastWhiteSpaceOnly) {
    MemoryFile file("1 2 3\n\n   \n4 5 6 \r\n\n");
    PointReader reader(file.get(), false);
    std::string_view name;
    double a, b, c;
    EXPECT_FALSE(reader.AtEnd());
    EXPECT_EQ(reader.Next(name, a, b, c), PointReader::Status::Point);
    EXPECT_FALSE(reader.AtEnd());
    EXPECT_EQ(reader.Next(name, a, b, c), PointReader::Status::Point);
    EXPECT_EQ(a, 4.0);
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_EQ(reader.Next(name, a, b, c), PointReader::Status::End);
}

// ---- Cutting into chunks never changes what is read ----

// The reader's rules written out plainly over a whole string.
ReadAll ReadPlainly(const std::string& bytes, bool withNames) {
    const CLocaleScope cLocale;  // strtod is the reference
    ReadAll all;
    std::size_t i = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    int line = 1;
    auto token = [&](std::string& out, int& tokenLine) {
        while (i < bytes.size() && pointscan::IsWhite(static_cast<unsigned char>(bytes[i]))) {
            if (bytes[i] == '\r' || (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r'))) ++line;
            ++i;
        }
        const std::size_t start = i;
        while (i < bytes.size() && !pointscan::IsWhite(static_cast<unsigned char>(bytes[i]))) ++i;
        out = bytes.substr(start, i - start);
        tokenLine = line;
        return !out.empty();
    };
    for (;;) {
        ReadPoint p;
        std::string t;
        int tokenLine = 0, lastLine = 0;
        if (!token(t, tokenLine)) {
            all.last = PointReader::Status::End;
            return all;
        }
        if (withNames) {
            p.name = t;
            t.clear();
        }
        lastLine = tokenLine;
        double v[3];
        for (int k = 0; k < 3; ++k) {
            if (t.empty() && !token(t, tokenLine)) {
                all.last = PointReader::Status::CutShort;
                all.line = lastLine;
                return all;
            }
            lastLine = tokenLine;
            char* end = nullptr;
            v[k] = std::strtod(t.c_str(), &end);
            if (*end != '\0' || t.find_first_not_of("+-.0123456789eE") != std::string::npos) {
                all.last = PointReader::Status::Unreadable;
                all.line = tokenLine;
                all.token = t;
                return all;
            }
            t.clear();
        }
        p.a = v[0];
        p.b = v[1];
        p.c = v[2];
        all.points.push_back(p);
    }
}

ReadAll ReadInChunks(const std::string& bytes, bool withNames, std::size_t block) {
    MemoryFile file(bytes);
    pointscan::ChunkSource source(file.get(), withNames, block);
    pointscan::Chunk chunk;
    ReadAll all;
    std::int64_t lines = 0;
    for (;;) {
        const auto status = source.Next(chunk);
        if (status != pointscan::ChunkSource::Status::Chunk) {
            all.last = PointReader::Status::End;
            return all;
        }
        pointscan::ChunkParser parser(chunk);
        for (;;) {
            std::string_view name;
            double v[3];
            const auto result = parser.Next(withNames, name, v);
            if (result == pointscan::ChunkParser::Result::Point) {
                all.points.push_back({std::string(name), v[0], v[1], v[2]});
                continue;
            }
            if (result == pointscan::ChunkParser::Result::End) break;
            all.last = result == pointscan::ChunkParser::Result::Unreadable
                           ? PointReader::Status::Unreadable
                           : PointReader::Status::CutShort;
            all.line = lines + parser.ProblemLinesBefore() + 1;
            all.token = std::string(parser.ProblemToken());
            return all;
        }
        lines += parser.LinesPassed();
    }
}

std::string RandomPointText(std::mt19937& random, bool withNames, int points, bool spoil) {
    const char* whites[] = {" ", "  ", "\t", "\n", "\r\n", "\r", "\n\n", " \r\n \n", "\v", "\f"};
    std::uniform_int_distribution<int> white(0, 9), lineWhite(3, 7), coin(0, 3);
    std::uniform_real_distribution<double> value(-5e6, 5e6);
    std::string text = coin(random) == 0 ? "\xEF\xBB\xBF" : "";
    for (int i = 0; i < points; ++i) {
        if (withNames) text += "P" + std::to_string(i) + std::string(coin(random) * 5, 'n');
        for (int k = 0; k < 3; ++k) {
            if (withNames || k > 0) text += whites[coin(random) == 0 ? white(random) : 0];
            char number[40];
            const CLocaleScope cLocale;
            std::snprintf(number, sizeof number, "%.*f", coin(random) + 1, value(random));
            text += number;
        }
        text += whites[lineWhite(random)];
    }
    if (spoil) {
        std::uniform_int_distribution<std::size_t> where(0, text.size() - 1);
        text[where(random)] = coin(random) == 0 ? '\n' : 'x';
    }
    return text;
}

TEST(ChunkSourceTest, EveryBlockSizeReadsTheSamePointsAndLines) {
    std::mt19937 random(7);
    for (int round = 0; round < 60; ++round) {
        const bool withNames = round % 2 == 1;
        const bool spoil = round % 3 == 0;
        const std::string text = RandomPointText(random, withNames, 40, spoil);
        const ReadAll want = ReadPlainly(text, withNames);
        for (std::size_t block : {1u, 2u, 3u, 5u, 16u, 61u, 256u, 100000u}) {
            const ReadAll got = ReadInChunks(text, withNames, block);
            SCOPED_TRACE("round " + std::to_string(round) + " block " + std::to_string(block));
            ASSERT_EQ(got.points.size(), want.points.size());
            for (std::size_t i = 0; i < want.points.size(); ++i) {
                ASSERT_EQ(got.points[i].name, want.points[i].name);
                ASSERT_EQ(got.points[i].a, want.points[i].a);
                ASSERT_EQ(got.points[i].b, want.points[i].b);
                ASSERT_EQ(got.points[i].c, want.points[i].c);
            }
            ASSERT_EQ(got.last, want.last);
            ASSERT_EQ(got.line, want.line);
            ASSERT_EQ(got.token, want.token);
        }
        // The reader over the same bytes.
        const ReadAll reader = Read(text, withNames);
        ASSERT_EQ(reader.points.size(), want.points.size());
        ASSERT_EQ(reader.last, want.last);
        ASSERT_EQ(reader.line, want.line);
    }
}

TEST(ChunkSourceTest, ChunksEndRightAfterAWholePoint) {
    EXPECT_EQ(pointscan::FindCut("1 2 3 4 5", 9, 3), 5u);
    EXPECT_EQ(pointscan::FindCut("1 2 3 4 5 6", 11, 3), 5u);  // "6" may go on
    EXPECT_EQ(pointscan::FindCut("1 2 3 4 5 6 ", 12, 3), 11u);
    EXPECT_EQ(pointscan::FindCut("1 2 3", 5, 3), 0u);
    EXPECT_EQ(pointscan::FindCut("n 1 2 3\r\n", 9, 4), 7u);
    // Without a whole point, the white space before the first token.
    EXPECT_EQ(pointscan::FindCut("   ", 3, 3), 3u);
    EXPECT_EQ(pointscan::FindCut("\n\n\r", 3, 3), 2u);  // its LF may follow
    EXPECT_EQ(pointscan::FindCut("\r\n 1 2", 7, 3), 3u);
    EXPECT_EQ(pointscan::FindCut("1 2", 3, 3), 0u);
    EXPECT_EQ(pointscan::FindCut("12345", 5, 3), 0u);
}

TEST(ChunkSourceTest, BlankStretchesAndLongNamesAreNotHeldWhole) {
    std::string text = "1 2 3";
    for (int i = 0; i < 100000; ++i) text += "\r\n";
    text += "4 5 x";
    MemoryFile file(text);
    pointscan::ChunkSource source(file.get(), false, 64);
    pointscan::Chunk chunk;
    std::size_t largest = 0;
    int chunks = 0;
    while (source.Next(chunk) == pointscan::ChunkSource::Status::Chunk) {
        largest = std::max(largest, chunk.bytes.size());
        ++chunks;
    }
    EXPECT_LE(largest, 128u);
    EXPECT_GT(chunks, 1000);
    EXPECT_EQ(ReadInChunks(text, false, 64).line, 100001);
    EXPECT_EQ(Read(text, false).line, 100001);

    // The longest name, read 64 bytes at a time: read in doubling steps.
    const std::string name(pointscan::kNameByteLimit, 'n');
    const ReadAll named = ReadInChunks(name + " 1 2 3\n", true, 64);
    ASSERT_EQ(named.points.size(), 1u);
    EXPECT_EQ(named.points[0].name, name);
}

// ---- Numbers ----

::testing::AssertionResult SameAsParseDecimal(const std::string& token) {
    double fast = 12345.0;
    const bool ok = pointscan::ParseNumber(token, fast);
    const std::optional<double> general = ParseDecimal(token);
    if (ok != general.has_value()) {
        return ::testing::AssertionFailure() << "'" << token << "' accepted by one parse only";
    }
    if (ok && std::memcmp(&fast, &*general, sizeof fast) != 0) {
        return ::testing::AssertionFailure() << "'" << token << "' " << std::hexfloat << fast
                                             << " vs " << *general;
    }
    return ::testing::AssertionSuccess();
}

TEST(ParseNumberTest, SameDoubleAsTheGeneralParse) {
    for (const std::string token :
         {"0", "-0", "+0", "-0.000", "0.", ".0", ".", "-.", "+", "-", "", "00012.5000", "1e5",
          "1E-5", "-2.5e+3", "123456789012345", "1234567890123456", "12345678901234567890",
          "0.1234567890123456789", "999999999999999.9", "4400000.123", "-4400000.123",
          "0.0000000000000000000001", "0.00000000000000000000001", "1.7976931348623157e308",
          "1e400", "1e-400", "4.9e-324", "inf", "nan", "0x1p3", "1.5x", "1..5", "1.5.", "--1",
          "+-1", "1e", "1e+", " 1", "1 ", "9007199254740993", "0.30000000000000004"}) {
        EXPECT_TRUE(SameAsParseDecimal(token));
    }
    std::mt19937_64 random(5);
    std::uniform_int_distribution<int> length(1, 20), digit(0, 9), coin(0, 5), point(0, 21);
    for (int i = 0; i < 300000; ++i) {
        std::string token;
        if (coin(random) == 0) token += "-+"[digit(random) % 2];
        const int n = length(random);
        const int dot = point(random);
        for (int k = 0; k < n; ++k) {
            if (k == dot) token += '.';
            token += static_cast<char>('0' + (coin(random) == 0 ? 0 : digit(random)));
        }
        if (coin(random) == 0) token += "e" + std::to_string(digit(random) * 3 - 12);
        ASSERT_TRUE(SameAsParseDecimal(token));
    }
}

// ---- Output lines ----

std::string Printf3(double v) {
    const CLocaleScope cLocale;
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.3f", v);
    return buffer;
}

std::string Fixed3(double v) {
    char buffer[pointscan::kFixed3Max];
    return std::string(buffer, pointscan::WriteFixed3(buffer, v));
}

TEST(PointLineTest, ThreeDecimalsExactlyAsPrintf) {
    const double special[] = {0.0,
                              -0.0,
                              0.0005,
                              -0.0005,
                              0.0015,
                              0.0625,
                              -0.0625,
                              0.1875,
                              2.0625,
                              1.0005,
                              999.9995,
                              4503599627370495.5,
                              4503599627370496.0,
                              9007199254740993.0,
                              1e20,
                              -1e300,
                              1e-300,
                              5e-324,
                              std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN(),
                              -std::numeric_limits<double>::quiet_NaN(),
                              std::numeric_limits<double>::max(),
                              114.30124,
                              3456789.1234999999,
                              0.00049999999999999999};
    for (double v : special) EXPECT_EQ(Fixed3(v), Printf3(v)) << std::hexfloat << v;

    std::mt19937_64 random(99);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::uniform_int_distribution<int> exponent(-8, 17);
    std::uniform_int_distribution<long long> thousandths(-5000000000LL, 5000000000LL);
    for (int i = 0; i < 200000; ++i) {
        const double v = mantissa(random) * std::pow(10.0, exponent(random)) * (i % 2 ? -1 : 1);
        ASSERT_EQ(Fixed3(v), Printf3(v)) << std::hexfloat << v;
        // Values right at or next to a half thousandth.
        const double tie = (static_cast<double>(thousandths(random)) + 0.5) / 1000.0;
        ASSERT_EQ(Fixed3(tie), Printf3(tie)) << std::hexfloat << tie;
        const double up = std::nextafter(tie, 1e300), down = std::nextafter(tie, -1e300);
        ASSERT_EQ(Fixed3(up), Printf3(up)) << std::hexfloat << up;
        ASSERT_EQ(Fixed3(down), Printf3(down)) << std::hexfloat << down;
        // Binary fractions with exact ties (k/16, k/64 ...).
        const double binary = static_cast<double>(thousandths(random)) / 8192.0;
        ASSERT_EQ(Fixed3(binary), Printf3(binary)) << std::hexfloat << binary;
    }
}

TEST(PointLineTest, LinesWithAndWithoutNames) {
    std::string out;
    AppendPointLine(out, false, "ignored", 3380123.4567, 500000.0, -0.0004);
    EXPECT_EQ(out, "3380123.457 500000.000 -0.000\n");
    out.clear();
    AppendPointLine(out, true, "\xB5\xE3" "7", 30.30124, 114.5959999, 12.0);
    EXPECT_EQ(out, "\xB5\xE3" "7 30.301 114.596 12.000\n");
    out.clear();
    AppendPointLine(out, true, "K1", 1e20, std::nan(""), 1.0);
    EXPECT_EQ(out, "K1 " + Printf3(1e20) + " " + Printf3(std::nan("")) + " 1.000\n");
}

}  // namespace
