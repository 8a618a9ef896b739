#include "workflow/point_scan.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/number_text.h"
#include "workflow/point_file.h"

namespace zelk {

namespace pointscan {

namespace {
// Number of tokens that start in data[0, len), data[0] counting as the
// start of a token when it is not white (a chunk starts at a point
// boundary: the start of the file or a white byte after a cut).
std::size_t CountTokens(const char* data, std::size_t len) {
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    std::size_t count = 0;
    unsigned previousWhite = 1;
    std::size_t i = 0;
#if defined(__SSE2__)
    // 64 bytes at a time: a mask of the white bytes; a token starts where a
    // white byte is followed by a non-white one.
    const __m128i blank = _mm_set1_epi8(' ');
    const __m128i tab = _mm_set1_epi8('\t');
    const __m128i four = _mm_set1_epi8(4);
    auto whiteMask = [&](const unsigned char* q) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
        const __m128i control = _mm_sub_epi8(v, tab);  // '\t' to '\r' -> 0 to 4
        const __m128i white = _mm_or_si128(
            _mm_cmpeq_epi8(v, blank), _mm_cmpeq_epi8(_mm_min_epu8(control, four), control));
        return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(white)));
    };
    for (; i + 64 <= len; i += 64) {
        const std::uint64_t mask = whiteMask(p + i) | whiteMask(p + i + 16) << 16 |
                                   whiteMask(p + i + 32) << 32 | whiteMask(p + i + 48) << 48;
        std::uint64_t starts = ~mask & ((mask << 1) | previousWhite);
        previousWhite = static_cast<unsigned>(mask >> 63);
        // Bits set, without a library call.
        starts = starts - ((starts >> 1) & 0x5555555555555555u);
        starts = (starts & 0x3333333333333333u) + ((starts >> 2) & 0x3333333333333333u);
        starts = (starts + (starts >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
        count += static_cast<std::size_t>((starts * 0x0101010101010101u) >> 56);
    }
#endif
    for (; i < len; ++i) {
        const unsigned white = IsWhite(p[i]) ? 1u : 0u;
        count += previousWhite & (white ^ 1u);
        previousWhite = white;
    }
    return count;
}

constexpr unsigned char kBom[3] = {0xEF, 0xBB, 0xBF};
}  // namespace

std::size_t FindCut(const char* data, std::size_t len, int tokensPerPoint) {
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    // Tokens that end before the last white byte are complete.
    std::size_t limit = len;
    while (limit > 0 && !IsWhite(p[limit - 1])) --limit;
    if (limit == 0) return 0;
    const std::size_t tokens = CountTokens(data, limit);
    const std::size_t perPoint = static_cast<std::size_t>(tokensPerPoint);
    if (tokens < perPoint) {
        // No whole point: the white space before the first token can go on
        // its own, so that long runs of blank lines are not held. Never cut
        // between the CR and the LF of a line end.
        std::size_t first = 0;
        while (first < len && IsWhite(p[first])) ++first;
        if (first == len && p[len - 1] == '\r') --first;
        return first;
    }
    // Walk back over the tokens of the incomplete point after the last
    // complete one, then over the white space before them.
    std::size_t pos = limit;
    for (std::size_t extra = tokens % perPoint; extra > 0; --extra) {
        while (pos > 0 && IsWhite(p[pos - 1])) --pos;
        while (pos > 0 && !IsWhite(p[pos - 1])) --pos;
    }
    while (pos > 0 && IsWhite(p[pos - 1])) --pos;
    return pos;
}

std::int64_t CountLineEnds(const char* begin, const char* end) {
    std::int64_t lines = 0;
    bool afterCr = false;
    for (const char* p = begin; p != end; ++p) {
        if (*p == '\n') {
            if (!afterCr) ++lines;
            afterCr = false;
        } else {
            afterCr = *p == '\r';
            if (afterCr) ++lines;
        }
    }
    return lines;
}

ChunkSource::ChunkSource(std::FILE* in, bool withNames, std::size_t blockSize)
    : m_in(in),
      m_withNames(withNames),
      m_tokensPerPoint(TokensPerPoint(withNames)),
      m_blockSize(blockSize) {}

ChunkSource::Status ChunkSource::Next(Chunk& chunk) {
    chunk.bytes.assign(m_carry.bytes.begin(), m_carry.bytes.end());
    chunk.gaps.assign(m_carry.gaps.begin(), m_carry.gaps.end());
    m_carry.bytes.clear();
    m_carry.gaps.clear();
    std::vector<char>& bytes = chunk.bytes;
    for (;;) {
        if (m_error) return Status::ReadError;
        if (!m_end) {
            // A chunk that holds no whole point yet (a long name) is doubled
            // at each read, so it is scanned a few times, not once per block;
            // Bound keeps it small.
            const std::size_t old = bytes.size();
            const std::size_t want = std::max(m_blockSize, old);
            bytes.resize(old + want);
            const std::size_t got = std::fread(bytes.data() + old, 1, want, m_in);
            bytes.resize(old + got);
            m_bytesRead += got;
            if (got < want) {
                if (std::ferror(m_in)) {
                    m_error = true;
                    return Status::ReadError;
                }
                m_end = true;
            }
            if (!m_started && (bytes.size() >= 3 || m_end)) {
                m_started = true;
                if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == kBom[0] &&
                    static_cast<unsigned char>(bytes[1]) == kBom[1] &&
                    static_cast<unsigned char>(bytes[2]) == kBom[2]) {
                    bytes.erase(bytes.begin(), bytes.begin() + 3);
                }
            }
        }
        if (m_end) {
            return bytes.empty() ? Status::End : Status::Chunk;
        }
        const std::size_t cut = FindCut(bytes.data(), bytes.size(), m_tokensPerPoint);
        if (cut == 0) {
            // Not one whole point yet: read on, unless a token is too long.
            if (Bound(chunk)) return Status::Chunk;
            continue;
        }
        // Bytes go out: whatever follows is no longer the start of the file,
        // where alone a byte-order mark is skipped.
        m_started = true;
        m_carry.bytes.assign(bytes.begin() + static_cast<std::ptrdiff_t>(cut), bytes.end());
        bytes.resize(cut);
        while (!chunk.gaps.empty() && chunk.gaps.back().at >= cut) {
            m_carry.gaps.insert(m_carry.gaps.begin(),
                                LineGap{chunk.gaps.back().at - cut, chunk.gaps.back().lines});
            chunk.gaps.pop_back();
        }
        return Status::Chunk;
    }
}

bool ChunkSource::Bound(Chunk& chunk) {
    std::vector<char>& bytes = chunk.bytes;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    // The chunk starts at a point boundary and holds at most one point's
    // tokens, the last perhaps still growing.
    std::size_t i = 0;
    for (int index = 0;; ++index) {
        while (i < n && IsWhite(p[i])) ++i;
        if (i == n) break;
        const std::size_t start = i;
        while (i < n && !IsWhite(p[i])) ++i;
        const bool isName = m_withNames && index % m_tokensPerPoint == 0;
        const std::size_t limit = isName ? kNameByteLimit : kNumberByteLimit;
        if (i - start > limit) {
            // Enough of it for the parser to see it is too long; nothing
            // after it is read.
            bytes.resize(start + limit + 1);
            while (!chunk.gaps.empty() && chunk.gaps.back().at >= bytes.size()) {
                chunk.gaps.pop_back();
            }
            m_end = true;
            return true;
        }
    }
    // A long white stretch after the last token: keep its first and last
    // bytes (the line-end state on either side stays as it was) and count
    // the line ends of the rest as a gap.
    std::size_t start = n;
    while (start > 0 && IsWhite(p[start - 1])) --start;
    if (start == 0 || n - start <= kLongWhite) return false;
    std::int64_t lines = CountLineEnds(bytes.data() + start, bytes.data() + n);
    while (!chunk.gaps.empty() && chunk.gaps.back().at > start) {
        lines += chunk.gaps.back().lines;
        chunk.gaps.pop_back();
    }
    const char kept[2] = {bytes[start], bytes[n - 1]};
    lines -= CountLineEnds(kept, kept + 2);
    bytes[start + 1] = kept[1];
    bytes.resize(start + 2);
    if (lines != 0) chunk.gaps.push_back({start + 1, lines});
    return false;
}

void ChunkParser::Reset(const char* begin, const char* end) {
    m_begin = begin;
    m_p = begin;
    m_end = end;
    m_gap = nullptr;
    m_gapsEnd = nullptr;
    m_gapAt = end;
    m_lines = 0;
    m_afterCr = false;
    m_problemLines = 0;
    m_problemToken = {};
}

void ChunkParser::Reset(const Chunk& chunk) {
    Reset(chunk.begin(), chunk.end());
    if (!chunk.gaps.empty()) {
        m_gap = chunk.gaps.data();
        m_gapsEnd = m_gap + chunk.gaps.size();
        m_gapAt = m_begin + m_gap->at;
    }
}

void ChunkParser::SkipWhite() {
    for (;;) {
        while (m_p != m_gapAt) {
            const unsigned char c = static_cast<unsigned char>(*m_p);
            if (c == '\n') {
                if (!m_afterCr) ++m_lines;
                m_afterCr = false;
            } else if (c == '\r') {
                ++m_lines;
                m_afterCr = true;
            } else if (c == ' ' || c == '\t' || c == '\v' || c == '\f') {
                m_afterCr = false;
            } else {
                return;
            }
            ++m_p;
        }
        if (m_p == m_end) return;
        // Line ends squeezed out before this byte.
        m_lines += m_gap->lines;
        ++m_gap;
        m_gapAt = m_gap != m_gapsEnd ? m_begin + m_gap->at : m_end;
    }
}

std::string_view ChunkParser::NextToken() {
    SkipWhite();
    const char* start = m_p;
    while (m_p != m_end && !IsWhite(static_cast<unsigned char>(*m_p))) ++m_p;
    m_afterCr = false;
    return {start, static_cast<std::size_t>(m_p - start)};
}

bool ChunkParser::AtEnd() {
    SkipWhite();
    return m_p == m_end;
}

ChunkParser::Result ChunkParser::Next(bool withNames, std::string_view& name, double values[3]) {
    std::string_view token = NextToken();
    if (token.empty()) return Result::End;
    // A token holds no line end: the count after it is the token's line.
    std::int64_t tokenLines = m_lines;
    const std::int64_t pointLines = m_lines;
    std::string_view pointName;
    if (withNames) {
        if (token.size() > kNameByteLimit) {
            m_problemLines = tokenLines;
            m_problemToken = token;
            return Result::Unreadable;
        }
        pointName = token;
        token = {};
    }
    double read[3];
    for (int i = 0; i < 3; ++i) {
        if (token.empty()) {
            token = NextToken();
            if (token.empty()) {
                m_problemLines = tokenLines;
                m_problemToken = {};
                return Result::CutShort;
            }
            tokenLines = m_lines;
        }
        if (token.size() > kNumberByteLimit ||
            !(m_reader ? m_reader(token, i, m_readerContext, read[i])
                       : ParseNumber(token, read[i]))) {
            m_problemLines = tokenLines;
            m_problemToken = token;
            return Result::Unreadable;
        }
        token = {};
    }
    values[0] = read[0];
    values[1] = read[1];
    values[2] = read[2];
    name = pointName;
    m_pointLines = pointLines;
    return Result::Point;
}

namespace {
// Powers of ten that are exact doubles.
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
}  // namespace

bool ParseNumber(std::string_view token, double& value) {
    // The common case, digits with a decimal point: when the digits form an
    // integer w of at most 2^53 (exact as a double) and there are at most 22
    // decimals (10^k exact), w / 10^k is one correctly rounded operation:
    // the very double that the general parse gives. Anything else, exponents
    // included, is left to the general parse.
    const char* p = token.data();
    const char* const end = p + token.size();
    bool negative = false;
    if (p != end && (*p == '-' || *p == '+')) {
        negative = *p == '-';
        ++p;
    }
    std::uint64_t w = 0;
    const char* const digitsStart = p;
    for (; p != end && static_cast<unsigned char>(*p - '0') < 10; ++p) {
        w = w * 10 + static_cast<unsigned>(*p - '0');
    }
    std::ptrdiff_t count = p - digitsStart;
    std::ptrdiff_t decimals = 0;
    if (p != end && *p == '.') {
        const char* const fractionStart = ++p;
        for (; p != end && static_cast<unsigned char>(*p - '0') < 10; ++p) {
            w = w * 10 + static_cast<unsigned>(*p - '0');
        }
        decimals = p - fractionStart;
        count += decimals;
    }
    // At most 19 digits cannot overflow w.
    if (p == end && count > 0 && count <= 19 && decimals <= 22 &&
        w <= (std::uint64_t{1} << 53)) {
        const double magnitude = static_cast<double>(w) / kPowersOfTen[decimals];
        value = negative ? -magnitude : magnitude;
        return true;
    }
    const std::optional<double> general = ParseDecimal(token);
    if (!general) return false;
    value = *general;
    return true;
}

std::string QuoteToken(std::string_view token) {
    // Bytes of the token that fit, each control byte taking four.
    std::size_t cut = 0;
    std::size_t width = 0;
    const auto isControl = [](unsigned char c) { return c < 0x20 || c == 0x7F; };
    while (cut < token.size()) {
        const std::size_t w = isControl(static_cast<unsigned char>(token[cut])) ? 4 : 1;
        if (width + w > kQuotedTokenLimit) break;
        width += w;
        ++cut;
    }
    if (cut < token.size()) {
        // When the first byte left out continues a UTF-8 character, leave
        // out that whole character.
        std::size_t start = cut;
        while (start > 0 && cut - start < 3 &&
               (static_cast<unsigned char>(token[start]) & 0xC0) == 0x80) {
            --start;
        }
        if (start < cut && static_cast<unsigned char>(token[start]) >= 0xC0) cut = start;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string quoted;
    quoted.reserve(width);
    for (std::size_t i = 0; i < cut; ++i) {
        const unsigned char c = static_cast<unsigned char>(token[i]);
        if (isControl(c)) {
            quoted += "\\x";
            quoted += kHex[c >> 4];
            quoted += kHex[c & 15];
        } else {
            quoted += static_cast<char>(c);
        }
    }
    return quoted;
}

}  // namespace pointscan

}  // namespace zelk
