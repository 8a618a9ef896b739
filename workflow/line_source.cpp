#include "workflow/line_source.h"

namespace zelk {

namespace pointformat {

std::size_t FindLineCut(const char* data, std::size_t len) {
    for (std::size_t i = len; i > 0; --i) {
        const char c = data[i - 1];
        // Scanning back, an LF after this CR would have been met first.
        if (c == '\n' || (c == '\r' && i < len)) return i;
    }
    return 0;
}

LineChunkSource::LineChunkSource(std::FILE* in, std::size_t blockSize, std::size_t maxLine)
    : m_in(in), m_blockSize(blockSize > 0 ? blockSize : 1), m_maxLine(maxLine) {}

LineChunkSource::Status LineChunkSource::Next(std::vector<char>& chunk) {
    chunk.swap(m_carry);
    m_carry.clear();
    for (;;) {
        if (m_error) return Status::ReadError;
        if (m_tooLong) return Status::LineTooLong;
        if (m_end) return chunk.empty() ? Status::End : Status::Chunk;
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
        // The bytes before the read hold no line end but perhaps a last CR.
        std::size_t from = old > 0 ? old - 1 : 0;
        if (!m_started && (chunk.size() >= 3 || m_end)) {
            m_started = true;
            if (chunk.size() >= 3 && static_cast<unsigned char>(chunk[0]) == 0xEF &&
                static_cast<unsigned char>(chunk[1]) == 0xBB &&
                static_cast<unsigned char>(chunk[2]) == 0xBF) {
                chunk.erase(chunk.begin(), chunk.begin() + 3);
                from = 0;
            }
        }
        // The rest of the file: at most one block more than a carried line.
        if (m_end) return chunk.empty() ? Status::End : Status::Chunk;
        const std::size_t found = FindLineCut(chunk.data() + from, chunk.size() - from);
        const std::size_t cut = found == 0 ? 0 : from + found;
        if (cut == 0) {
            // Not one whole line yet. Its bytes, less a CR that may end it.
            if (chunk.size() > m_maxLine + 1) {
                m_tooLong = true;
                return Status::LineTooLong;
            }
            continue;
        }
        m_started = true;
        m_carry.assign(chunk.begin() + static_cast<std::ptrdiff_t>(cut), chunk.end());
        chunk.resize(cut);
        if (m_carry.size() > m_maxLine + 1) {
            // The unfinished line is already too long: give the whole lines
            // first, then report it.
            m_carry.clear();
            m_tooLong = true;
        }
        return Status::Chunk;
    }
}

}  // namespace pointformat

}  // namespace zelk
