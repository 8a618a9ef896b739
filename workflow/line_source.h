// Cuts a file into chunks of whole lines, for the line-based point formats
// (dat, csv).
//
// A chunk ends right after a line end (LF, CR LF or a lone CR), never
// between the CR and the LF of one, so every chunk starts at the start of a
// line and can be parsed by another thread without looking at any other
// chunk; only the last chunk of a file can end without a line end. A UTF-8
// byte-order mark at the very start of the file is dropped.
//
// Memory is bounded: a chunk holds about one block plus at most one line of
// at most maxLine bytes (line end not counted). A longer line stops the
// source with LineTooLong; it is the line after all the line ends of the
// chunks given so far. The chunk parsers refuse a line longer than maxLine
// too, so the outcome does not depend on where the blocks fall.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace zelk {

namespace pointformat {

// Longest line of a dat or csv file, in bytes without its line end.
inline constexpr std::size_t kMaxLineBytes = 64 * 1024;

// One past the last line end of data[0, len) known to be whole (a CR at the
// very end might be followed by an LF), or 0 when there is none.
std::size_t FindLineCut(const char* data, std::size_t len);

class LineChunkSource {
public:
    enum class Status { Chunk, End, ReadError, LineTooLong };

    // in stays owned by the caller. blockSize is the size of each read.
    LineChunkSource(std::FILE* in, std::size_t blockSize, std::size_t maxLine = kMaxLineBytes);

    // Replaces chunk with the next whole lines of the input.
    Status Next(std::vector<char>& chunk);

    // Bytes taken from the input so far.
    std::uint64_t BytesRead() const { return m_bytesRead; }

private:
    std::FILE* m_in;
    std::size_t m_blockSize;
    std::size_t m_maxLine;
    std::vector<char> m_carry;  // the start of a line not yet ended
    bool m_started = false;     // bytes of the input seen (the mark is only at the start)
    bool m_end = false;
    bool m_error = false;
    bool m_tooLong = false;
    std::uint64_t m_bytesRead = 0;
};

}  // namespace pointformat

}  // namespace zelk
