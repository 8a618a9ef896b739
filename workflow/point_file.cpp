#include "workflow/point_file.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

#include "platform/number_text.h"
#include "workflow/point_scan.h"

namespace zelk {

namespace pointscan {

char* WriteFixed3(char* out, double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const int exponent = static_cast<int>((bits >> 52) & 0x7FF);
    // value = mantissa * 2^-shift. Exact in integers when 1 <= shift <= 60:
    // mantissa * 1000 < 2^63 always fits. Everything else (zero, tiny,
    // huge, inf, nan) goes the general way.
    const int shift = 1075 - exponent;
    if (exponent == 0 || exponent == 0x7FF || shift < 1 || shift > 60) {
        return std::to_chars(out, out + kFixed3Max, value, std::chars_format::fixed, 3).ptr;
    }
    const std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    const std::uint64_t scaled = mantissa * 1000;
    std::uint64_t q = scaled >> shift;
    const std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1);
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    // Round to nearest, a tie to even, as printf does.
    if (rest > half || (rest == half && (q & 1))) ++q;
    if (bits >> 63) *out++ = '-';
    const std::uint64_t whole = q / 1000;
    const unsigned thousandths = static_cast<unsigned>(q % 1000);
    out = std::to_chars(out, out + 24, whole).ptr;
    out[0] = '.';
    out[1] = static_cast<char>('0' + thousandths / 100);
    out[2] = static_cast<char>('0' + thousandths / 10 % 10);
    out[3] = static_cast<char>('0' + thousandths % 10);
    return out + 4;
}

}  // namespace pointscan

namespace {
constexpr std::size_t kReadBlock = 256 * 1024;

std::int64_t LineNumber(std::int64_t lineEnds) { return lineEnds + 1; }
}  // namespace

struct PointReader::Impl {
    Impl(std::FILE* in, bool names) : source(in, names, kReadBlock), withNames(names) {}

    pointscan::ChunkSource source;
    pointscan::ChunkParser parser;
    pointscan::Chunk chunk;
    bool withNames;
    bool done = false;          // the input has no more chunks
    pointscan::ChunkSource::Status lastStatus = pointscan::ChunkSource::Status::Chunk;
    std::int64_t linesBefore = 0;  // line ends in the chunks before the current one

    // Moves to the next chunk; false at the end of the input or on error.
    bool Advance() {
        if (done) return false;
        linesBefore += parser.LinesPassed();
        lastStatus = source.Next(chunk);
        if (lastStatus != pointscan::ChunkSource::Status::Chunk) {
            done = true;
            parser.Reset(nullptr, nullptr);
            return false;
        }
        parser.Reset(chunk);
        return true;
    }
};

PointReader::PointReader(std::FILE* in, bool withNames) : m_impl(new Impl(in, withNames)) {}

PointReader::~PointReader() { delete m_impl; }

PointReader::Status PointReader::Next(std::string_view& name, double& a, double& b, double& c) {
    using Result = pointscan::ChunkParser::Result;
    Impl& impl = *m_impl;
    for (;;) {
        double values[3];
        const Result result = impl.parser.Next(impl.withNames, name, values);
        switch (result) {
            case Result::Point:
                a = values[0];
                b = values[1];
                c = values[2];
                m_pointLine = LineNumber(impl.linesBefore + impl.parser.PointLinesBefore());
                m_bytesRead = impl.source.BytesRead();
                return Status::Point;
            case Result::Unreadable:
            case Result::CutShort:
                m_problemLine = LineNumber(impl.linesBefore + impl.parser.ProblemLinesBefore());
                m_problemToken = pointscan::QuoteToken(impl.parser.ProblemToken());
                return result == Result::Unreadable ? Status::Unreadable : Status::CutShort;
            case Result::End:
                if (impl.Advance()) continue;
                m_bytesRead = impl.source.BytesRead();
                if (impl.lastStatus == pointscan::ChunkSource::Status::ReadError) {
                    m_problemLine = LineNumber(impl.linesBefore);
                    m_problemToken.clear();
                    return Status::ReadError;
                }
                return Status::End;
        }
    }
}

bool PointReader::AtEnd() {
    Impl& impl = *m_impl;
    while (impl.parser.AtEnd()) {
        if (!impl.Advance()) return impl.lastStatus != pointscan::ChunkSource::Status::ReadError;
    }
    return false;
}

void AppendPointLine(std::string& out, bool withNames, std::string_view name, double a, double b,
                     double c) {
    if (withNames) {
        out.append(name);
        out.push_back(' ');
    }
    // Zero is written without a sign, whatever rounded to it.
    char line[3 * pointscan::kFixed3Max + 3];
    char* p = DropNegativeZero(line, pointscan::WriteFixed3(line, a));
    *p++ = ' ';
    p = DropNegativeZero(p, pointscan::WriteFixed3(p, b));
    *p++ = ' ';
    p = DropNegativeZero(p, pointscan::WriteFixed3(p, c));
    *p++ = '\n';
    out.append(line, p);
}

}  // namespace zelk
