// The point-file reader, its chunked form and the file conversion.
//
// The first byte chooses how to read, the rest is the file:
//   bit 0     point names on
//   bit 1     ask AtEnd before every point (as the estimation run does)
//   bit 2     convert with two worker threads instead of one
//   bits 3-7  block size of the chunked read, 1 to 32 bytes
//
// Everything read is compared with a plain reading of the same bytes: the
// same points with the same bits, the same problem on the same line, never
// a point that was not in the file. Every point read is written with the
// writer and read back, giving the "%.3f" values and the same name.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "reference_points.h"
#include "bursa/seven_params.h"
#include "workflow/chain.h"
#include "workflow/coordinate_system.h"
#include "workflow/file_conversion.h"
#include "workflow/transformation.h"
#include "workflow/point_file.h"
#include "workflow/point_scan.h"

using namespace zelk;

namespace {

using reference::Check;
using reference::SameDouble;

constexpr double kPoison = -123456.789;

// The line the writer must produce, made with printf.
std::string PrintfLine(bool withNames, std::string_view name, double a, double b, double c) {
    std::string line;
    if (withNames) {
        line.append(name);
        line.push_back(' ');
    }
    std::vector<char> buffer(3 * 330 + 8);
    const int n = std::snprintf(buffer.data(), buffer.size(), "%.3f %.3f %.3f\n", a, b, c);
    Check(n > 0 && static_cast<std::size_t>(n) < buffer.size(), "printf buffer");
    line.append(buffer.data(), static_cast<std::size_t>(n));
    return line;
}

double Rounded(double v) {
    char buffer[340];
    std::snprintf(buffer, sizeof buffer, "%.3f", v);
    return std::strtod(buffer, nullptr);
}

// Written and read back: the printf bytes, then the same name and the
// values as "%.3f" rounds them.
void CheckRoundTrip(bool withNames, std::string_view name, double a, double b, double c) {
    std::string line;
    AppendPointLine(line, withNames, name, a, b, c);
    Check(line == PrintfLine(withNames, name, a, b, c), "writer matches printf");
    // A name that starts with a byte-order mark (from files joined with
    // cat) would lose it at the very start of a file, where a mark is
    // skipped: such a line is read back after another one.
    const bool afterAnother = name.substr(0, 3) == "\xEF\xBB\xBF";
    reference::MemoryInput in(afterAnother ? "x 1 2 3\n" + line : line);
    PointReader reader(in.Get(), withNames);
    std::string_view again;
    double x = kPoison, y = kPoison, z = kPoison;
    if (afterAnother) Check(reader.Next(again, x, y, z) == PointReader::Status::Point, "first line");
    Check(reader.Next(again, x, y, z) == PointReader::Status::Point, "written line reads back");
    Check(again == name, "name reads back");
    Check(SameDouble(x, Rounded(a)) && SameDouble(y, Rounded(b)) && SameDouble(z, Rounded(c)),
          "values read back rounded to three decimals");
    Check(reader.Next(again, x, y, z) == PointReader::Status::End, "one line, one point");
}

void CheckPoint(const reference::Point& want, std::string_view name, const double v[3]) {
    Check(name == want.name, "name as in the file");
    for (int k = 0; k < 3; ++k) Check(SameDouble(v[k], want.v[k]), "value as in the file");
}

void ReadWithPointReader(std::string_view text, bool withNames, bool probeEnd,
                         const reference::Reading& want) {
    reference::MemoryInput in(text);
    PointReader reader(in.Get(), withNames);
    std::size_t k = 0;
    PointReader::Status status;
    for (;;) {
        if (probeEnd) {
            const bool atEnd = reader.AtEnd();
            Check(atEnd == (k == want.points.size() && want.ending == reference::Ending::Clean),
                  "AtEnd exactly when no token is left");
        }
        std::string_view name;
        double v[3] = {kPoison, kPoison, kPoison};
        status = reader.Next(name, v[0], v[1], v[2]);
        if (status != PointReader::Status::Point) {
            for (double value : v) Check(SameDouble(value, kPoison), "no values without a point");
            break;
        }
        // Ends: never more points than the file holds.
        Check(k < want.points.size(), "no point beyond the file's points");
        CheckPoint(want.points[k], name, v);
        CheckRoundTrip(withNames, name, v[0], v[1], v[2]);
        ++k;
    }
    Check(k == want.points.size(), "every point of the file is read");
    Check(reader.BytesRead() <= text.size(), "no more bytes than the file holds");
    switch (want.ending) {
        case reference::Ending::Clean: {
            Check(status == PointReader::Status::End, "clean end");
            std::string_view name;
            double a, b, c;
            Check(reader.Next(name, a, b, c) == PointReader::Status::End, "the end stays the end");
            Check(reader.AtEnd(), "AtEnd after the end");
            break;
        }
        case reference::Ending::Unreadable:
            Check(status == PointReader::Status::Unreadable, "unreadable token found");
            Check(reader.ProblemLine() == want.line, "line of the unreadable token");
            reference::CheckQuoted(reader.ProblemToken(), want.token);
            break;
        case reference::Ending::CutShort:
            Check(status == PointReader::Status::CutShort, "point cut short found");
            Check(reader.ProblemLine() == want.line, "line of the cut-short point");
            Check(reader.ProblemToken().empty(), "no token for a cut-short point");
            break;
    }
}

// The chunks a conversion hands to its threads, with a tiny block size so
// that the cuts fall everywhere.
void ReadInChunks(std::string_view text, bool withNames, std::size_t block,
                  const reference::Reading& want) {
    using Result = pointscan::ChunkParser::Result;
    reference::MemoryInput in(text);
    pointscan::ChunkSource source(in.Get(), withNames, block);
    pointscan::Chunk chunk;
    std::size_t k = 0;
    std::int64_t lines = 0;
    std::size_t chunks = 0;
    for (;;) {
        const auto status = source.Next(chunk);
        Check(status != pointscan::ChunkSource::Status::ReadError, "no read error in memory");
        if (status == pointscan::ChunkSource::Status::End) break;
        Check(!chunk.bytes.empty(), "no empty chunk");
        Check(++chunks <= text.size(), "chunks end");
        pointscan::ChunkParser parser(chunk);
        for (;;) {
            std::string_view name;
            double v[3] = {kPoison, kPoison, kPoison};
            const Result result = parser.Next(withNames, name, v);
            if (result == Result::Point) {
                Check(k < want.points.size(), "no point beyond the file's points (chunks)");
                CheckPoint(want.points[k], name, v);
                ++k;
                continue;
            }
            if (result == Result::End) break;
            Check(k == want.points.size(), "problem after the same points (chunks)");
            const std::int64_t line = lines + parser.ProblemLinesBefore() + 1;
            Check(line == want.line, "line of the problem (chunks)");
            if (result == Result::Unreadable) {
                Check(want.ending == reference::Ending::Unreadable, "unreadable (chunks)");
                // A token too long to read is only held in part.
                const std::string_view token = parser.ProblemToken();
                Check(token == want.token ||
                          (token.size() > 4096 && want.token.substr(0, token.size()) == token),
                      "the token (chunks)");
            } else {
                Check(want.ending == reference::Ending::CutShort, "cut short (chunks)");
                Check(source.Next(chunk) == pointscan::ChunkSource::Status::End,
                      "only the last chunk ends inside a point");
            }
            return;
        }
        lines += parser.LinesPassed();
    }
    Check(k == want.points.size(), "every point in the chunks");
    Check(want.ending == reference::Ending::Clean, "chunks end cleanly");
}

// A whole conversion from X Y Z to X Y Z of one datum through zero seven
// parameters: the values pass through unchanged (a zero comes out
// positive), so the output is the input written with three decimals.
void Convert(std::string_view text, bool withNames, int threads, const reference::Reading& want) {
    reference::MemoryInput in(text);
    char* bytes = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&bytes, &size);
    Check(out != nullptr, "open_memstream");
    FileConversionOptions options;
    options.threads = threads;
    const Crs xyz = Crs::Geocentric(DatumId::Wgs84);
    FileFormats formats;
    formats.withNames = withNames;
    const FileConversionResult result = ConvertPointFile(
        in.Get(), out, ConversionChain(xyz, xyz, {Transformation::Seven(SevenParams{})}), formats,
        options);
    std::fflush(out);
    const std::string written(bytes, size);
    std::fclose(out);
    std::free(bytes);

    std::string expected;
    for (const reference::Point& p : want.points) {
        expected += PrintfLine(withNames, p.name, p.v[0] + 0.0, p.v[1] + 0.0, p.v[2] + 0.0);
    }
    Check(written == expected, "converted lines are the points read, in order");
    Check(result.points == want.points.size(), "count of converted points");
    switch (want.ending) {
        case reference::Ending::Clean:
            Check(result.status == FileConversionResult::Status::Ok, "conversion succeeds");
            break;
        case reference::Ending::Unreadable:
            Check(result.status == FileConversionResult::Status::Unreadable, "conversion stops");
            Check(result.line == want.line, "conversion reports the line");
            reference::CheckQuoted(result.token, want.token);
            break;
        case reference::Ending::CutShort:
            Check(result.status == FileConversionResult::Status::CutShort, "conversion stops");
            Check(result.line == want.line, "conversion reports the line");
            Check(result.token.empty(), "no token for a cut-short point");
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned flags = data[0];
    const bool withNames = (flags & 1) != 0;
    const bool probeEnd = (flags & 2) != 0;
    const int threads = (flags & 4) != 0 ? 2 : 1;
    const std::size_t block = 1 + (flags >> 3);
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    const reference::Reading want = reference::ReadPoints(text, withNames);
    ReadWithPointReader(text, withNames, probeEnd, want);
    ReadInChunks(text, withNames, block, want);
    Convert(text, withNames, threads, want);
    return 0;
}
