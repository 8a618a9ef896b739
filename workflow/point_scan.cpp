#include "workflow/point_scan.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/number_text.h"
#include "workflow/point_file.h"

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

ChunkSource::ChunkSource(std::FILE* in, bool withNames, std::size_t blockSize)
    : m_in(in), m_tokensPerPoint(TokensPerPoint(withNames)), m_blockSize(blockSize) {}

ChunkSource::Status ChunkSource::Next(std::vector<char>& chunk) {
    chunk.assign(m_carry.begin(), m_carry.end());
    m_carry.clear();
    for (;;) {
        if (m_error) return Status::ReadError;
        if (!m_end) {
            // A chunk that holds no whole point yet (a very long name) is
            // doubled at each read, so it is scanned a few times, not once
            // per block.
            const std::size_t old = chunk.size();
            const std::size_t want = std::max(m_blockSize, old);
            chunk.resize(old + want);
            const std::size_t got = std::fread(chunk.data() + old, 1, want, m_in);
            chunk.resize(old + got);
            m_bytesRead += got;
            if (got < want) {
                if (std::ferror(m_in)) {
                    m_error = true;
                    return Status::ReadError;
                }
                m_end = true;
            }
            if (!m_started && (chunk.size() >= 3 || m_end)) {
                m_started = true;
                if (chunk.size() >= 3 && static_cast<unsigned char>(chunk[0]) == kBom[0] &&
                    static_cast<unsigned char>(chunk[1]) == kBom[1] &&
                    static_cast<unsigned char>(chunk[2]) == kBom[2]) {
                    chunk.erase(chunk.begin(), chunk.begin() + 3);
                }
            }
        }
        if (m_end) {
            return chunk.empty() ? Status::End : Status::Chunk;
        }
        const std::size_t cut = FindCut(chunk.data(), chunk.size(), m_tokensPerPoint);
        if (cut == 0) continue;  // not one whole point yet: read on
        // Bytes go out: whatever follows is no longer the start of the file,
        // where alone a byte-order mark is skipped.
        m_started = true;
        m_carry.assign(chunk.begin() + static_cast<std::ptrdiff_t>(cut), chunk.end());
        chunk.resize(cut);
        return Status::Chunk;
    }
}

void ChunkParser::Reset(const char* begin, const char* end) {
    m_p = begin;
    m_end = end;
    m_lines = 0;
    m_afterCr = false;
    m_problemLines = 0;
    m_problemToken = {};
}

void ChunkParser::SkipWhite() {
    while (m_p != m_end) {
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
    int tokenLines = m_lines;
    const int pointLines = m_lines;
    std::string_view pointName;
    if (withNames) {
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
        if (!ParseNumber(token, read[i])) {
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
    if (token.size() <= kQuotedTokenLimit) return std::string(token);
    std::size_t cut = kQuotedTokenLimit;
    // When the first byte left out continues a UTF-8 character, leave out
    // that whole character.
    std::size_t start = cut;
    while (start > 0 && cut - start < 3 && (static_cast<unsigned char>(token[start]) & 0xC0) == 0x80) {
        --start;
    }
    if (start < cut && static_cast<unsigned char>(token[start]) >= 0xC0) cut = start;
    return std::string(token.substr(0, cut));
}

}  // namespace pointscan
