#include "workflow/record_source.h"

#include <optional>
#include <string_view>

namespace zelk {

namespace pointformat {

// ---- chunks ----

InputChunks::InputChunks(std::FILE* in, const InputFormat& format, std::size_t blockSize)
    : m_format(format),
      m_plain(in, format.withNames, blockSize),
      m_lines(in, blockSize),
      m_headerFound(format.format != FileFormat::Csv) {}

std::uint64_t InputChunks::BytesRead() const {
    return m_format.format == FileFormat::Plain ? m_plain.BytesRead() : m_lines.BytesRead();
}

InputChunks::Status InputChunks::Next(InputChunk& chunk) {
    chunk.dataOffset = 0;
    chunk.skippedLines = 0;
    chunk.failed = false;
    chunk.bytes.gaps.clear();
    if (m_done) return Status::End;
    if (m_format.format == FileFormat::Plain) {
        switch (m_plain.Next(chunk.bytes)) {
            case pointscan::ChunkSource::Status::Chunk:
                return Status::Chunk;
            case pointscan::ChunkSource::Status::End:
                return Status::End;
            case pointscan::ChunkSource::Status::ReadError:
                return Status::ReadError;
        }
    }
    switch (m_lines.Next(chunk.bytes.bytes)) {
        case LineChunkSource::Status::Chunk:
            break;
        case LineChunkSource::Status::End:
            return Status::End;
        case LineChunkSource::Status::ReadError:
            return Status::ReadError;
        case LineChunkSource::Status::LineTooLong:
            // The line after every line end read so far: it ends the input,
            // in its place among the chunks.
            m_done = true;
            chunk.bytes.bytes.clear();
            chunk.failed = true;
            chunk.problem = RecordProblem{ProblemKind::LineTooLong, 0, 0, {}, {}};
            return Status::Chunk;
    }
    if (!m_headerFound) FindHeader(chunk);
    return Status::Chunk;
}

void InputChunks::FindHeader(InputChunk& chunk) {
    std::vector<char>& bytes = chunk.bytes.bytes;
    std::size_t offset = 0;
    int lines = 0;
    RecordProblem problem;
    switch (FindCsvHeader(bytes.data(), bytes.data() + bytes.size(), m_format.axes, m_layout,
                          offset, lines, problem)) {
        case HeaderResult::Found:
            m_headerFound = true;
            chunk.dataOffset = offset;
            chunk.skippedLines = lines;
            return;
        case HeaderResult::NotYet:
            chunk.dataOffset = bytes.size();
            chunk.skippedLines = lines;
            return;
        case HeaderResult::Problem:
            // The header names the columns of every line after it.
            m_done = true;
            chunk.failed = true;
            chunk.problem = problem;
            chunk.problem.linesBefore = lines;
            return;
    }
}

// ---- the records of a chunk ----

namespace {
char* DataBegin(InputChunk& chunk) { return chunk.bytes.bytes.data() + chunk.dataOffset; }
char* DataEnd(InputChunk& chunk) { return chunk.bytes.bytes.data() + chunk.bytes.bytes.size(); }
}  // namespace

ChunkRecords::ChunkRecords(InputChunk& chunk, const InputFormat& format, const CsvLayout& layout)
    : m_chunk(chunk),
      m_format(format.format),
      m_plain(chunk.bytes, format.withNames, format.axes, format.angles),
      m_dat(DataBegin(chunk), DataEnd(chunk), format.axes, format.angles),
      m_csv(DataBegin(chunk), DataEnd(chunk), layout, format.axes, format.angles) {}

ParseResult ChunkRecords::Next(PointRecord& record) {
    if (m_chunk.failed) {
        m_problem = m_chunk.problem;
        return ParseResult::Problem;
    }
    ParseResult result = ParseResult::End;
    switch (m_format) {
        case FileFormat::Plain:
            result = m_plain.Next(record);
            if (result == ParseResult::Problem) m_problem = m_plain.Problem();
            break;
        case FileFormat::Dat:
            result = m_dat.Next(record);
            if (result == ParseResult::Problem) m_problem = m_dat.Problem();
            break;
        case FileFormat::Csv:
        default:
            result = m_csv.Next(record);
            if (result == ParseResult::Problem) m_problem = m_csv.Problem();
            break;
    }
    m_problem.linesBefore += m_chunk.skippedLines;
    return result;
}

template <class Count>
std::int64_t ChunkRecords::FromChunkStart(Count count) const {
    // The plain parser counts from the chunk's start itself; the others
    // from after the lines the chunk skipped.
    if (m_format == FileFormat::Plain) return count(m_plain);
    return m_chunk.skippedLines + (m_format == FileFormat::Dat ? count(m_dat) : count(m_csv));
}

std::int64_t ChunkRecords::LinesPassed() const {
    return FromChunkStart([](const auto& parser) { return parser.LinesPassed(); });
}

std::int64_t ChunkRecords::PointLinesBefore() const {
    return FromChunkStart([](const auto& parser) { return parser.PointLinesBefore(); });
}

// ---- one by one ----

namespace {
constexpr std::size_t kReadBlock = 256 * 1024;
}  // namespace

struct RecordReader::Impl {
    Impl(std::FILE* in, const InputFormat& f) : format(f), chunks(in, f, kReadBlock) {}

    InputFormat format;
    InputChunks chunks;
    InputChunk chunk;
    std::optional<ChunkRecords> records;
    std::int64_t linesBefore = 0;  // line ends of the chunks before the current one
    bool done = false;
    bool readError = false;
    // A record read ahead by AtEnd, with its name kept.
    bool pending = false;
    RecordReader::Status pendingStatus = RecordReader::Status::End;
    PointRecord pendingRecord{};
    std::string pendingName;
    std::int64_t pendingLine = 0;
};

RecordReader::RecordReader(std::FILE* in, const InputFormat& format)
    : m_impl(new Impl(in, format)) {}

RecordReader::~RecordReader() { delete m_impl; }

RecordReader::Status RecordReader::Next(PointRecord& record) {
    Impl& impl = *m_impl;
    if (impl.pending) {
        // Read ahead by AtEnd; a problem's details are still in place.
        impl.pending = false;
        if (impl.pendingStatus == Status::Point) {
            record = impl.pendingRecord;
            record.name = impl.pendingName;
            m_line = impl.pendingLine;
        }
        return impl.pendingStatus;
    }
    for (;;) {
        if (impl.done) return impl.readError ? Status::ReadError : Status::End;
        if (impl.records) {
            const ParseResult result = impl.records->Next(record);
            if (result == ParseResult::Point) {
                m_line = impl.linesBefore + impl.records->PointLinesBefore() + 1;
                return Status::Point;
            }
            if (result == ParseResult::Problem) {
                m_problem = impl.records->Problem();
                m_line = impl.linesBefore + m_problem.linesBefore + 1;
                m_quoted = pointscan::QuoteToken(m_problem.token);
                m_problem.token = {};
                impl.done = true;
                return Status::Problem;
            }
            impl.linesBefore += impl.records->LinesPassed();
            impl.records.reset();
        }
        switch (impl.chunks.Next(impl.chunk)) {
            case InputChunks::Status::Chunk:
                impl.records.emplace(impl.chunk, impl.format, impl.chunks.Layout());
                break;
            case InputChunks::Status::End:
                impl.done = true;
                break;
            case InputChunks::Status::ReadError:
                impl.done = true;
                impl.readError = true;
                m_line = impl.linesBefore + 1;
                break;
        }
    }
}

bool RecordReader::AtEnd() {
    Impl& impl = *m_impl;
    if (impl.pending) return impl.pendingStatus == Status::End;
    PointRecord record{};
    const Status status = Next(record);
    impl.pending = true;
    impl.pendingStatus = status;
    if (status == Status::Point) {
        impl.pendingRecord = record;
        impl.pendingName = std::string(record.name);
        impl.pendingLine = m_line;
    }
    return status == Status::End;
}

}  // namespace pointformat

}  // namespace zelk
