// The points of an input file in any of the point-file formats, in chunks
// (for conversions that convert chunks on several threads) or one by one
// (for the common-point files of an estimation).
//
// Plain files are cut into chunks of whole points (pointscan::ChunkSource),
// dat and csv files at line ends (pointformat::LineChunkSource); a csv
// file's header is found on the reading side, before any chunk of points is
// parsed. Lines are counted from 1 over the whole file. Memory stays bounded
// whatever the input: a chunk is about one read, and a token or line beyond
// its limit is a problem of the input, not a reason to grow.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "workflow/angle_text.h"
#include "workflow/line_source.h"
#include "workflow/point_formats.h"
#include "workflow/point_scan.h"

namespace zelk {

namespace pointformat {

// What is read: the format, whether a plain file's points start with a name,
// the axes of the system and the angle format of B and L.
struct InputFormat {
    FileFormat format = FileFormat::Plain;  // Plain, Dat or Csv
    bool withNames = false;                 // Plain only
    Axes axes = Axes::Plane;
    AngleFormat angles = AngleFormat::Packed;

    // The records carry names: dat, csv, or plain with names.
    bool HasNames() const { return format != FileFormat::Plain || withNames; }
};

// One chunk of input: its bytes, and where its records start.
struct InputChunk {
    pointscan::Chunk bytes;
    std::size_t dataOffset = 0;     // csv: the header and what precedes it are skipped
    std::int64_t skippedLines = 0;  // line ends before dataOffset
    // A problem of the input found while cutting (a line too long, a bad csv
    // header): the input ends with it, at problem.linesBefore in this chunk.
    bool failed = false;
    RecordProblem problem;
};

// The chunks of an input, in order, on the reading side.
class InputChunks {
public:
    enum class Status { Chunk, End, ReadError };

    // in stays owned by the caller.
    InputChunks(std::FILE* in, const InputFormat& format, std::size_t blockSize);

    Status Next(InputChunk& chunk);
    std::uint64_t BytesRead() const;
    // The columns of a csv input, once its header has been found.
    const CsvLayout& Layout() const { return m_layout; }

private:
    void FindHeader(InputChunk& chunk);

    InputFormat m_format;
    pointscan::ChunkSource m_plain;
    LineChunkSource m_lines;
    CsvLayout m_layout;
    bool m_headerFound;
    bool m_done = false;
};

// The records of one chunk, with line numbers from the chunk's start.
class ChunkRecords {
public:
    // The chunk, whose bytes may be changed in place (csv unquoting), and
    // the layout must outlive the records.
    ChunkRecords(InputChunk& chunk, const InputFormat& format, const CsvLayout& layout);

    ParseResult Next(PointRecord& record);
    // Line ends passed: at End, all those of the chunk.
    std::int64_t LinesPassed() const;
    // After Point: line ends before the point's line (plain: its first token).
    std::int64_t PointLinesBefore() const;
    // After Problem.
    const RecordProblem& Problem() const { return m_problem; }

private:
    // count(parser) of the format's parser, in lines from the chunk's start.
    template <class Count>
    std::int64_t FromChunkStart(Count count) const;

    InputChunk& m_chunk;
    FileFormat m_format;
    PlainChunkParser m_plain;
    DatChunkParser m_dat;
    CsvChunkParser m_csv;
    RecordProblem m_problem;
};

// The records of a whole input one by one.
class RecordReader {
public:
    enum class Status { Point, End, Problem, ReadError };

    RecordReader(std::FILE* in, const InputFormat& format);
    ~RecordReader();
    RecordReader(const RecordReader&) = delete;
    RecordReader& operator=(const RecordReader&) = delete;

    // The next record; its name stays valid until the next call.
    Status Next(PointRecord& record);
    // True when no record is left (Next would give End); false on a record,
    // a problem or a read error, which Next then gives.
    bool AtEnd();

    // After Point: the record's line. After Problem: the problem, its line
    // and the token quoted for a message. After ReadError: the line reached.
    std::int64_t Line() const { return m_line; }
    const RecordProblem& Problem() const { return m_problem; }
    const std::string& QuotedToken() const { return m_quoted; }

private:
    struct Impl;
    Impl* m_impl;
    std::int64_t m_line = 0;
    RecordProblem m_problem;
    std::string m_quoted;
};

}  // namespace pointformat

}  // namespace zelk
