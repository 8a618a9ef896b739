// The tokenizer behind every point-file reader.
//
// A file is read in large blocks and cut into chunks that hold whole points:
// a chunk ends right after the last number of a point, so the points of one
// chunk can be read without looking at any other chunk (and by another
// thread). Only the last chunk of a file can end inside a point.
//
// Chunks are cut right after a token, never between the CR and the LF of a
// line end, so the line count of a file is the sum of the line counts of its
// chunks and every chunk starts with a fresh line-end state.
//
// Memory stays bounded whatever the input. A token longer than its limit
// (kNameByteLimit for a name, kNumberByteLimit for a number) ends the input:
// its chunk is the last, cut kept one byte past the limit, and the parser
// refuses the token. A long stretch of white space inside a point (between
// its tokens) is squeezed: its middle is dropped from the chunk and the line
// ends it held are kept as a LineGap, which the parser adds back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace zelk {

namespace pointscan {

// Blank, tab, LF, VT, FF, CR: the white space of the C locale.
inline bool IsWhite(unsigned char c) {
    return c == ' ' || static_cast<unsigned char>(c - '\t') < 5;
}

// Tokens a point takes: three numbers, after a name when names are on.
inline int TokensPerPoint(bool withNames) { return withNames ? 4 : 3; }

// Line ends that were squeezed out of a chunk: the parser counts `lines`
// more when it reaches the byte at offset `at` (a white byte).
struct LineGap {
    std::size_t at;
    std::int64_t lines;
};

// The bytes of a chunk and the line ends squeezed out of them (rarely any).
struct Chunk {
    std::vector<char> bytes;
    std::vector<LineGap> gaps;  // in increasing order of `at`

    const char* begin() const { return bytes.data(); }
    const char* end() const { return bytes.data() + bytes.size(); }
};

class ChunkSource {
public:
    enum class Status { Chunk, End, ReadError };

    // in stays owned by the caller. blockSize is the size of each read.
    ChunkSource(std::FILE* in, bool withNames, std::size_t blockSize);

    // Replaces chunk with the next bytes of the input: whole points and the
    // white space between them. A UTF-8 byte-order mark at the very start
    // of the input is dropped.
    Status Next(Chunk& chunk);

    // Bytes taken from the input so far.
    std::uint64_t BytesRead() const { return m_bytesRead; }

private:
    // With no whole point in chunk yet: ends the input at a token beyond
    // its limit, else squeezes a long white stretch at the end. True when
    // the input was ended.
    bool Bound(Chunk& chunk);

    std::FILE* m_in;
    bool m_withNames;
    int m_tokensPerPoint;
    std::size_t m_blockSize;
    Chunk m_carry;  // bytes after the last cut
    bool m_started = false;
    bool m_end = false;
    bool m_error = false;
    std::uint64_t m_bytesRead = 0;
};

// The longest token read as a name, and as a number, in bytes.
inline constexpr std::size_t kNameByteLimit = 64 * 1024;
inline constexpr std::size_t kNumberByteLimit = 4 * 1024;
// A white stretch inside a point longer than this is squeezed.
inline constexpr std::size_t kLongWhite = 4 * 1024;

// Line ends in bytes [begin, end) when the byte before begin is not a CR.
std::int64_t CountLineEnds(const char* begin, const char* end);

// Where a chunk of len bytes, starting at a point boundary, may be cut: one
// past the last token of its last complete point whose end is known (a white
// byte follows it within the chunk); without such a point, before the first
// token, after the white space that precedes it. 0 when nowhere.
std::size_t FindCut(const char* data, std::size_t len, int tokensPerPoint);

// Reads the points of one chunk in order.
class ChunkParser {
public:
    enum class Result { Point, End, Unreadable, CutShort };

    ChunkParser() = default;
    ChunkParser(const char* begin, const char* end) { Reset(begin, end); }
    explicit ChunkParser(const Chunk& chunk) { Reset(chunk); }
    void Reset(const char* begin, const char* end);
    void Reset(const Chunk& chunk);

    // The next point. values[0..2] are written only on Point; name is empty
    // without names. On End every white byte of the chunk has been passed.
    Result Next(bool withNames, std::string_view& name, double values[3]);

    // Reads value i (0 to 2) of a point from its token, false when it is not
    // one. Without a reader (the default) every value is a number
    // (ParseNumber).
    using ValueReader = bool (*)(std::string_view token, int i, const void* context,
                                 double& value);
    void SetValueReader(ValueReader reader, const void* context) {
        m_reader = reader;
        m_readerContext = context;
    }

    // Skips white space; true when nothing but white space was left.
    bool AtEnd();

    // Line ends passed so far (CR LF, LF and a lone CR count one each).
    std::int64_t LinesPassed() const { return m_lines; }
    // After Point: line ends before the first token of that point.
    std::int64_t PointLinesBefore() const { return m_pointLines; }
    // After Unreadable or CutShort: line ends before the offending token
    // (CutShort: before the last token of the incomplete point), and the
    // token itself (empty when cut short). A name longer than kNameByteLimit
    // or a number longer than kNumberByteLimit is unreadable.
    std::int64_t ProblemLinesBefore() const { return m_problemLines; }
    std::string_view ProblemToken() const { return m_problemToken; }

private:
    void SkipWhite();
    // The next token; empty at the end of the chunk.
    std::string_view NextToken();

    const char* m_begin = nullptr;
    const char* m_p = nullptr;
    const char* m_end = nullptr;
    const LineGap* m_gap = nullptr;  // the next gap not yet passed
    const LineGap* m_gapsEnd = nullptr;
    const char* m_gapAt = nullptr;  // where m_gap applies, else m_end
    std::int64_t m_lines = 0;
    bool m_afterCr = false;
    std::int64_t m_pointLines = 0;
    std::int64_t m_problemLines = 0;
    std::string_view m_problemToken;
    ValueReader m_reader = nullptr;
    const void* m_readerContext = nullptr;
};

// Reads a whole token as a decimal number (optional sign, digits with an
// optional decimal point, optional exponent; no hex, inf or nan) into value,
// exactly as ParseDecimal reads it. False when the token is no such number.
bool ParseNumber(std::string_view token, double& value);

// Writes value as printf's "%.3f" does in the C locale, at most
// kFixed3Max bytes; returns one past the last byte written.
inline constexpr std::size_t kFixed3Max = 330;
char* WriteFixed3(char* out, double value);

// A token as quoted to the user: at most kQuotedTokenLimit bytes, not cut
// inside a UTF-8 character when it looks like UTF-8. Control bytes (below
// 0x20, and DEL) are written as \xHH, four bytes each, so that no raw
// control byte reaches a terminal or a message box.
std::string QuoteToken(std::string_view token);

}  // namespace pointscan

}  // namespace zelk
