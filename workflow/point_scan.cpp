#include "workflow/point_scan.h"

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
    for (std::size_t i = 0; i < len; ++i) {
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
    if (tokens < perPoint) return 0;
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
            const std::size_t old = chunk.size();
            chunk.resize(old + m_blockSize);
            const std::size_t got = std::fread(chunk.data() + old, 1, m_blockSize, m_in);
            chunk.resize(old + got);
            m_bytesRead += got;
            if (got < m_blockSize) {
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
        const std::optional<double> value = ParseDecimal(token);
        if (!value) {
            m_problemLines = tokenLines;
            m_problemToken = token;
            return Result::Unreadable;
        }
        read[i] = *value;
        token = {};
    }
    values[0] = read[0];
    values[1] = read[1];
    values[2] = read[2];
    name = pointName;
    return Result::Point;
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
