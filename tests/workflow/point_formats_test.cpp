// The dat, csv and plain formats: one table of cases, each read in chunks of
// several sizes (the outcome may not depend on where the chunks fall) and
// written back; then round trips of random points through every format.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "workflow/line_source.h"
#include "workflow/point_file.h"
#include "workflow/point_formats.h"
#include "workflow/point_scan.h"
#include "c_locale.h"

using namespace zelk;

namespace {

using namespace pointformat;
using F = FileFormat;
using X = Axes;
using A = AngleFormat;

struct Record {
    std::string name, code;
    double values[3];
};

struct Outcome {
    std::vector<Record> records;
    std::string error;  // "" or "line L field F (label) kind 'token'"
};

const char* KindName(ProblemKind kind) {
    switch (kind) {
        case ProblemKind::Unreadable: return "unreadable";
        case ProblemKind::EmptyField: return "empty-field";
        case ProblemKind::MissingField: return "missing-field";
        case ProblemKind::ExtraField: return "extra-field";
        case ProblemKind::BadQuote: return "bad-quote";
        case ProblemKind::LineTooLong: return "line-too-long";
        case ProblemKind::CutShort: return "cut-short";
        case ProblemKind::MissingColumn: return "missing-column";
        case ProblemKind::DuplicateColumn: return "duplicate-column";
    }
    return "?";
}

std::string Describe(long long lineEnds, const RecordProblem& p) {
    return "line " + std::to_string(lineEnds + p.linesBefore + 1) + " field " +
           std::to_string(p.field) + " (" + std::string(p.label) + ") " + KindName(p.kind) +
           " '" + std::string(p.token) + "'";
}

std::FILE* MemoryFile(const std::string& bytes) {
    std::FILE* file = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    return file;
}

// Reads text as a conversion would: chunk by chunk, each chunk parsed on
// its own, line ends counted across chunks.
Outcome Read(F format, X axes, A angles, bool withNames, const std::string& text,
             std::size_t block, std::size_t maxLine = kMaxLineBytes) {
    Outcome outcome;
    std::FILE* in = MemoryFile(text);
    long long lineEnds = 0;
    std::vector<char> chunk;
    PointRecord r;
    auto take = [&](auto& parser) {
        ParseResult result;
        while ((result = parser.Next(r)) == ParseResult::Point) {
            outcome.records.push_back({std::string(r.name), std::string(r.code),
                                       {r.values[0], r.values[1], r.values[2]}});
        }
        if (result == ParseResult::Problem) {
            outcome.error = Describe(lineEnds, parser.Problem());
            return false;
        }
        lineEnds += parser.LinesPassed();
        return true;
    };
    if (format == F::Plain) {
        pointscan::ChunkSource source(in, withNames, block);
        pointscan::Chunk plain;
        while (source.Next(plain) == pointscan::ChunkSource::Status::Chunk) {
            PlainChunkParser parser(plain, withNames, axes, angles);
            if (!take(parser)) break;
        }
        std::fclose(in);
        return outcome;
    }
    LineChunkSource source(in, block, maxLine);
    CsvLayout layout;
    bool header = format != F::Csv;
    for (;;) {
        const LineChunkSource::Status status = source.Next(chunk);
        if (status == LineChunkSource::Status::LineTooLong) {
            outcome.error = "line " + std::to_string(lineEnds + 1) + " field 0 () line-too-long ''";
        }
        if (status != LineChunkSource::Status::Chunk) break;
        char* begin = chunk.data();
        char* const end = begin + chunk.size();
        if (!header) {
            std::size_t offset = 0;
            int lines = 0;
            RecordProblem problem;
            const HeaderResult found =
                FindCsvHeader(begin, end, axes, layout, offset, lines, problem, maxLine);
            if (found == HeaderResult::Problem) {
                outcome.error = Describe(lineEnds, problem);
                break;
            }
            lineEnds += lines;
            if (found == HeaderResult::NotYet) continue;
            header = true;
            begin += offset;
        }
        if (format == F::Dat) {
            DatChunkParser parser(begin, end, axes, angles, maxLine);
            if (!take(parser)) break;
        } else {
            CsvChunkParser parser(begin, end, layout, axes, angles, maxLine);
            if (!take(parser)) break;
        }
    }
    std::fclose(in);
    return outcome;
}

std::string Write(F format, X axes, A angles, bool withNames, const std::vector<Record>& records) {
    std::string out;
    if (format == F::Csv) AppendCsvHeader(out, axes);
    for (const Record& r : records) {
        bool ok = true;
        if (format == F::Plain) ok = AppendPlainRecord(out, withNames, r.name, r.values, axes, angles);
        if (format == F::Dat) ok = AppendDatRecord(out, r.name, r.code, r.values, axes, angles);
        if (format == F::Csv) AppendCsvRecord(out, r.name, r.values, axes, angles);
        if (!ok) out += "<unwritable>\n";
    }
    return out;
}

struct FormatCase {
    F format;
    X axes;
    A angles;
    const char* input;
    const char* output;  // the points read, written back in the format
    const char* error;
};

// Plain cases read with names.
const FormatCase kCases[] = {
    // ---- dat ----
    {F::Dat, X::Plane, A::Packed, "1,,365760.368,2936912.007,1118.852\n",
     "1,,365760.368,2936912.007,1118.852\n", ""},
    {F::Dat, X::Plane, A::Packed,
     "\xEF\xBB\xBF# survey\r\n\r\nK1, 101 ,500000.5, 3380000.25 ,12\r\n,,,,\r\n  # note\n"
     "\xB5\xE3" "2,,1,2,3",
     "K1,101,500000.500,3380000.250,12.000\n\xB5\xE3" "2,,1.000,2.000,3.000\n", ""},
    {F::Dat, X::Plane, A::Packed, "A,,1,2,3\rB,,x,2,3\r", "A,,1.000,2.000,3.000\n",
     "line 2 field 3 (y) unreadable 'x'"},
    {F::Dat, X::Plane, A::Packed, "# c\r\n\r\nA,,1,2,3\r\nB,,1,2\r\n", "A,,1.000,2.000,3.000\n",
     "line 4 field 5 (H) missing-field ''"},
    {F::Dat, X::Plane, A::Packed, "A,,1,2,3,4\n", "", "line 1 field 6 () extra-field '4'"},
    {F::Dat, X::Plane, A::Packed, "A,,1,2,3,\n", "", "line 1 field 6 () extra-field ''"},
    {F::Dat, X::Plane, A::Packed, "A,,1,2x,3\n", "", "line 1 field 4 (x) unreadable '2x'"},
    {F::Dat, X::Plane, A::Packed, "A,,1, ,3\n", "", "line 1 field 4 (x) empty-field ''"},
    {F::Dat, X::Plane, A::Packed, " ,c,1,2,3\n", "", "line 1 field 1 (name) empty-field ''"},
    {F::Dat, X::Plane, A::Packed, "A\n", "", "line 1 field 2 (code) missing-field ''"},
    {F::Dat, X::Geodetic, A::Packed, "P,,116.2324,39.5430,50\n", "P,,116.232400000,39.543000000,50.000\n",
     ""},
    {F::Dat, X::Geodetic, A::Dms, "P,,116°23′24″E,39°54′30.5\"N,50\n",
     "P,,116°23′24.00000″,39°54′30.50000″,50.000\n", ""},
    {F::Dat, X::Geodetic, A::Dms, "P,,39°54′30″N,116°23′24″E,50\n", "",
     "line 1 field 3 (L) unreadable '39°54′30″N'"},
    {F::Dat, X::Geodetic, A::Degrees, "P,,116.39,39.908333333,-12.5\n",
     "P,,116.390000000,39.908333333,-12.500\n", ""},
    {F::Dat, X::Geodetic, A::Degrees, "P,,116°23′24″,39.9,0\n", "",
     "line 1 field 3 (L) unreadable '116°23′24″'"},
    {F::Dat, X::Geocentric, A::Dms, "G,,-2148744.1234,4426641.4567,4044655.7891\n",
     "G,,-2148744.123,4426641.457,4044655.789\n", ""},
    // ---- csv ----
    {F::Csv, X::Plane, A::Packed, "name,x,y,H\nP1,3380000.1,500000.2,12.3\n",
     "name,x,y,H\nP1,3380000.100,500000.200,12.300\n", ""},
    {F::Csv, X::Plane, A::Packed,
     "\xB6\xAB,\xB5\xE3\xC3\xFB,remark,\xB1\xB1,\xB8\xDF\xB3\xCC\r\n"  // GBK 东,点名,remark,北,高程
     "500000.2,\xB5\xE3" "1,\"ok, fine\",3380000.1,12.3\r\n",
     "name,x,y,H\n\xB5\xE3" "1,3380000.100,500000.200,12.300\n", ""},
    {F::Csv, X::Geodetic, A::Degrees,
     "\xEF\xBB\xBF点名,纬度,经度,高程\nP,39.908333333,116.39,50\n",
     "name,B,L,H\nP,39.908333333,116.390000000,50.000\n", ""},
    {F::Csv, X::Geodetic, A::Dms, "Name,LAT,Lon,h\nP,39°54'30.5\",\"116°23'24\"\"\",50\n",
     "name,B,L,H\nP,39°54′30.50000″,116°23′24.00000″,50.000\n", ""},
    {F::Csv, X::Geocentric, A::Packed, "name,x,y,z\nG,-2148744.1234,4426641.4567,4044655.7891\n",
     "name,X,Y,Z\nG,-2148744.123,4426641.457,4044655.789\n", ""},
    {F::Csv, X::Plane, A::Packed, "name,X,Y,Z\nP,1,2,3\n", "name,x,y,H\n", "line 1 field 0 (H) missing-column ''"},
    {F::Csv, X::Plane, A::Packed,
     "# from the field book\n\n,,,\nname,N,E,H\n\n\"A,\"\"1\"\"\", \"3380000.1\" ,500000.2,12.3\n"
     "\"#7\",1,2,3\n \" spaced \",4,5,6\n",
     "name,x,y,H\n\"A,\"\"1\"\"\",3380000.100,500000.200,12.300\n\"#7\",1.000,2.000,3.000\n"
     "\" spaced \",4.000,5.000,6.000\n",
     ""},
    {F::Csv, X::Plane, A::Packed, "name,x,y\nP,1,2\n", "name,x,y,H\n", "line 1 field 0 (H) missing-column ''"},
    {F::Csv, X::Plane, A::Packed, "x,y,H\n", "name,x,y,H\n", "line 1 field 0 (name) missing-column ''"},
    {F::Csv, X::Plane, A::Packed, "name,x,N,y,H\n", "name,x,y,H\n", "line 1 field 3 (x) duplicate-column 'N'"},
    {F::Csv, X::Plane, A::Packed, "\"name,x,y,H\n", "name,x,y,H\n", "line 1 field 1 () bad-quote ''"},
    {F::Csv, X::Plane, A::Packed, "name,x,y,H\n\"P1\"x,1,2,3\n", "name,x,y,H\n",
     "line 2 field 1 () bad-quote ''"},
    {F::Csv, X::Plane, A::Packed, "name,x,y,H\nP,1,2,\"3\nQ,4,5,6\"\n", "name,x,y,H\n",
     "line 2 field 4 () bad-quote ''"},
    {F::Csv, X::Plane, A::Packed, "name,x,y,H\nP,1,2\n", "name,x,y,H\n",
     "line 2 field 4 (H) missing-field ''"},
    {F::Csv, X::Plane, A::Packed, "name,x,y,H\nP,1,2,3,4\n", "name,x,y,H\n",
     "line 2 field 5 () extra-field ''"},
    {F::Csv, X::Plane, A::Packed, "H,name,x,y,note\nP,1,2,3\n", "name,x,y,H\n",
     "line 2 field 1 (H) unreadable 'P'"},
    {F::Csv, X::Plane, A::Packed, "H,name,x,y,note\n3,P,1,2\n", "name,x,y,H\nP,1.000,2.000,3.000\n",
     ""},
    {F::Csv, X::Plane, A::Packed, "name,x,y,H\n\"\",1,2,3\n", "name,x,y,H\n",
     "line 2 field 1 (name) empty-field ''"},
    {F::Csv, X::Plane, A::Packed, "# nothing yet\n", "name,x,y,H\n", ""},
    // ---- plain, with names, angles not packed ----
    {F::Plain, X::Geodetic, A::Dms, "P1 39°54′30″N 116°23′24″E 50\r\n\nP2\t1°\n2°",
     "P1 39°54′30.00000″ 116°23′24.00000″ 50.000\n", "line 4 field 0 () cut-short ''"},
    {F::Plain, X::Geodetic, A::Degrees, "P 39.5 116.25 10\nQ 39.5 116°15′ 10\n",
     "P 39.500000000 116.250000000 10.000\n", "line 2 field 0 () unreadable '116°15′'"},
    {F::Plain, X::Geodetic, A::Packed, "P 39.5430123456 116.2324 10\n",
     "P 39.543012346 116.232400000 10.000\n", ""},
    {F::Plain, X::Plane, A::Dms, "P 3380000.1 500000.2 1e1\n", "P 3380000.100 500000.200 10.000\n",
     ""},
};

TEST(PointFormatsTest, Table) {
    for (const FormatCase& c : kCases) {
        SCOPED_TRACE(std::string(FileFormatName(c.format)) + " \"" + c.input + "\"");
        const Outcome reference = Read(c.format, c.axes, c.angles, true, c.input, 1 << 17);
        EXPECT_EQ(Write(c.format, c.axes, c.angles, true, reference.records), c.output);
        EXPECT_EQ(reference.error, c.error);
        for (std::size_t block : {1u, 2u, 3u, 5u, 16u}) {
            const Outcome chunked = Read(c.format, c.axes, c.angles, true, c.input, block);
            EXPECT_EQ(Write(c.format, c.axes, c.angles, true, chunked.records), c.output) << block;
            EXPECT_EQ(chunked.error, c.error) << block;
        }
    }
}

// Random bytes from the alphabet of these files: however the chunks fall,
// the same points and the same problem at the same line.
TEST(PointFormatsTest, ChunkingNeverChangesTheOutcome) {
    const std::vector<std::string> pieces = {
        "1", "2.5", "-3", ",", ",", ",", ",", "\"", "\"\"", " ", "\t", "\r", "\n", "\r\n", "\n",
        "#", "°", "′", "″", "'", ":", "N", "\xB5\xE3", "\xEF\xBB\xBF", "name", "x", "y", "H",
        "name,x,y,H\n", "P,1,2,3\n", "P,,1,2,3\n", "39°54′30″", "116:23:24E", "1e3"};
    std::mt19937 random(1404);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int count = 1 + static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i) text += pieces[random() % pieces.size()];
        const F format = static_cast<F>(random() % 3);
        const X axes = static_cast<X>(random() % 3);
        const A angles = static_cast<A>(random() % 3);
        const std::size_t maxLine = random() % 2 ? 12 : kMaxLineBytes;
        const Outcome whole = Read(format, axes, angles, true, text, 1 << 17, maxLine);
        for (std::size_t block : {1u, 2u, 3u, 7u}) {
            const Outcome chunked = Read(format, axes, angles, true, text, block, maxLine);
            ASSERT_EQ(chunked.error, whole.error) << block << " " << text;
            ASSERT_EQ(chunked.records.size(), whole.records.size()) << block << " " << text;
            for (std::size_t i = 0; i < whole.records.size(); ++i) {
                ASSERT_EQ(chunked.records[i].name, whole.records[i].name);
                for (int k = 0; k < 3; ++k) {
                    ASSERT_EQ(chunked.records[i].values[k], whole.records[i].values[k]);
                }
            }
        }
    }
}

// A line past the limit stops the reading at that line, whether the source
// sees it (no line end within reach) or the parser does.
TEST(PointFormatsTest, LongLinesStopAtTheirLine) {
    const std::string longLine = "A,,1,2,3\n" + std::string(kMaxLineBytes + 1, 'x');
    EXPECT_EQ(Read(F::Dat, X::Plane, A::Packed, true, longLine, 4096).error,
              "line 2 field 0 () line-too-long ''");
    EXPECT_EQ(Read(F::Dat, X::Plane, A::Packed, true, longLine, 1 << 17).error,
              "line 2 field 0 () line-too-long ''");
    const std::string csv = "name,x,y,H\r\nA,1,2,3\r\n" + std::string(kMaxLineBytes + 1, 'x') + "\r\n";
    EXPECT_EQ(Read(F::Csv, X::Plane, A::Packed, true, csv, 7).error,
              "line 3 field 0 () line-too-long ''");
    EXPECT_EQ(Read(F::Csv, X::Plane, A::Packed, true, std::string(kMaxLineBytes, '#') + "\n", 7).error,
              "");
}

// Random points of every kind, names that need care.
std::vector<Record> RandomPoints(X axes, int count, unsigned seed) {
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> x(2500000, 5500000), y(300000, 700000), h(-50, 5000),
        b(18, 54), l(73, 135), g(-6400000, 6400000), unit(0, 1);
    const char* names[] = {"K", "\xB5\xE3", "点", "P-", "a\"b", "c,d", "#e", "f g"};
    std::vector<Record> points;
    for (int i = 0; i < count; ++i) {
        Record r;
        r.name = names[random() % 8] + std::to_string(i);
        r.code = i % 3 ? "" : "J" + std::to_string(i);
        double* v = r.values;
        if (axes == X::Plane) {
            v[0] = x(random), v[1] = y(random), v[2] = h(random);
        } else if (axes == X::Geocentric) {
            v[0] = g(random), v[1] = g(random), v[2] = g(random);
        } else {
            // Packed DMS near minute boundaries too.
            for (int k = 0; k < 2; ++k) {
                const double deg = k == 0 ? b(random) : l(random);
                double packed = std::trunc(deg) + std::trunc((deg - std::trunc(deg)) * 60) / 100 +
                                unit(random) * 0.006;
                if (i % 5 == 0) packed = std::trunc(packed * 100) / 100 + 0.0059999999 * (i % 2);
                v[k] = (i % 7 == 0 ? -packed : packed);
            }
            v[2] = h(random);
        }
        points.push_back(r);
    }
    return points;
}

TEST(PointFormatsTest, RoundTripsThroughEveryFormat) {
    for (X axes : {X::Plane, X::Geodetic, X::Geocentric}) {
        for (A angles : {A::Packed, A::Degrees, A::Dms}) {
            const std::vector<Record> points = RandomPoints(axes, 3000, 7 + static_cast<int>(angles));
            for (F format : {F::Plain, F::Dat, F::Csv}) {
                SCOPED_TRACE(std::string(FileFormatName(format)) + " " +
                             std::string(AngleFormatName(angles)) + " " +
                             std::to_string(static_cast<int>(axes)));
                // Names that the format cannot carry are left out.
                std::vector<Record> writable;
                for (const Record& r : points) {
                    std::string probe;
                    if (format == F::Plain && !AppendPlainRecord(probe, true, r.name, r.values, axes, angles)) continue;
                    if (format == F::Dat && !AppendDatRecord(probe, r.name, r.code, r.values, axes, angles)) continue;
                    writable.push_back(r);
                }
                ASSERT_GT(writable.size(), points.size() / 3);
                const std::string text = Write(format, axes, angles, true, writable);
                const Outcome read = Read(format, axes, angles, true, text, 4096);
                ASSERT_EQ(read.error, "");
                ASSERT_EQ(read.records.size(), writable.size());
                // What is read writes the very same text, and is the value
                // written to its last decimal.
                EXPECT_EQ(Write(format, axes, angles, true, read.records), text);
                for (std::size_t i = 0; i < writable.size(); ++i) {
                    EXPECT_EQ(read.records[i].name, writable[i].name);
                    EXPECT_EQ(read.records[i].code, format == F::Dat ? writable[i].code : "");
                    for (int k = 0; k < 3; ++k) {
                        const bool angle = axes == X::Geodetic && k < 2;
                        const double tolerance = !angle                ? 0.0005
                                                 : angles == A::Packed ? 1.4e-8   // 0.00005″
                                                 : angles == A::Dms    ? 1.4e-9   // 0.000005″
                                                                       : 5.1e-10;
                        const double got = read.records[i].values[k], want = writable[i].values[k];
                        // Angles compare as degrees: 59.99999″ reads back as 1′.
                        auto degrees = [](double p) {
                            const double a = std::fabs(p), d = std::trunc(a), m = std::trunc((a - d) * 100 + 1e-9);
                            return std::copysign(d + m / 60 + ((a - d) * 100 - m) * 100 / 3600, p);
                        };
                        EXPECT_NEAR(angle ? degrees(got) : got, angle ? degrees(want) : want, tolerance)
                            << i << " " << k;
                    }
                }
            }
        }
    }
}

TEST(PointFormatsTest, DatAndCsvReadWhatPlainReads) {
    // The same points as plain text, dat and csv: the very same doubles.
    const std::vector<Record> points = RandomPoints(X::Plane, 20000, 99);
    std::string plain, dat = "# dat\n", csv = "H,name,E,N\n";
    std::mt19937 random(5);
    std::uniform_int_distribution<int> decimals(0, 6);
    const CLocaleScope cLocale;  // printf writes the input
    for (std::size_t i = 0; i < points.size(); ++i) {
        const Record& p = points[i];
        char x[64], y[64], h[64];
        const int d = decimals(random);
        std::snprintf(x, sizeof x, "%.*f", d, p.values[0]);
        std::snprintf(y, sizeof y, "%.*f", d, p.values[1]);
        std::snprintf(h, sizeof h, "%.*e", d, p.values[2]);
        const std::string name = "P" + std::to_string(i);
        plain += name + " " + x + " " + y + " " + h + "\n";
        dat += name + ",," + y + "," + x + "," + h + "\r\n";
        csv += std::string(h) + "," + name + "," + y + "," + x + "\n";
    }
    // The plain reader of every conversion today.
    std::FILE* in = MemoryFile(plain);
    PointReader reader(in, true);
    std::vector<Record> expected;
    std::string_view name;
    double a, b, c;
    while (reader.Next(name, a, b, c) == PointReader::Status::Point) {
        expected.push_back({std::string(name), "", {a, b, c}});
    }
    std::fclose(in);
    ASSERT_EQ(expected.size(), points.size());
    for (F format : {F::Dat, F::Csv, F::Plain}) {
        const Outcome got = Read(format, X::Plane, A::Packed, true,
                                 format == F::Dat ? dat : format == F::Csv ? csv : plain, 1 << 17);
        ASSERT_EQ(got.error, "");
        ASSERT_EQ(got.records.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(got.records[i].name, expected[i].name);
            for (int k = 0; k < 3; ++k) ASSERT_EQ(got.records[i].values[k], expected[i].values[k]);
        }
    }
}

TEST(PointFormatsTest, WritersRefuseWhatWouldNotReadBack) {
    const double v[3] = {3380000.1234, 500000.0005, -0.0004};
    std::string out;
    // Plain: the bytes of AppendPointLine for metres.
    std::string old;
    AppendPointLine(old, true, "K1", v[0], v[1], v[2]);
    ASSERT_TRUE(AppendPlainRecord(out, true, "K1", v, X::Plane, A::Dms));
    EXPECT_EQ(out, old);
    for (const char* bad : {"", "a b", "a\tb", "a\nb"}) {
        EXPECT_FALSE(AppendPlainRecord(out, true, bad, v, X::Plane, A::Packed)) << bad;
    }
    EXPECT_TRUE(AppendPlainRecord(out, false, "", v, X::Plane, A::Packed));
    for (const char* bad : {"", "a,b", "#a", " a", "a ", "a\rb"}) {
        EXPECT_FALSE(AppendDatRecord(out, bad, "", v, X::Plane, A::Packed)) << bad;
        if (*bad) {
            EXPECT_FALSE(AppendDatRecord(out, "a", bad, v, X::Plane, A::Packed)) << bad;
        }
    }
    out.clear();
    AppendCsvRecord(out, "a\r\nb", v, X::Plane, A::Packed);
    EXPECT_EQ(out, "\"a\r\nb\",3380000.123,500000.001,-0.000\n");
    EXPECT_EQ(FileFormatFromName("csv"), F::Csv);
    EXPECT_EQ(FileFormatFromName(FileFormatName(F::Kml)), F::Kml);
    EXPECT_FALSE(FileFormatFromName("txt").has_value());
}

}  // namespace
