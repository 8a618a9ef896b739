// Point records in the file formats besides the plain one: parsers for
// chunks of dat and csv files (cut by LineChunkSource), a token parser for
// plain files whose angles are not packed, and the writers of plain, dat
// and csv lines. KML output is in workflow/kml_writer.h.
//
// Values. A record holds three values in the engine's order: (x, y, H) for
// Axes::Plane (x north, y east, metres), (B, L, H) for Axes::Geodetic (B and
// L packed DMS, see engine/angle.h; H metres) and (X, Y, Z) for
// Axes::Geocentric (metres). Numbers are read as plain files read them
// (pointscan::ParseNumber: exact, correctly rounded, locale-free); B and L
// in the AngleFormat given (workflow/angle_text.h). Written, metres have
// three decimals, exactly as printf would write them in the C locale, and
// angles follow the AngleFormat (packed: 9 decimals, carried).
//
// Lines (dat, csv). Line ends are LF, CR LF or a lone CR; lines are counted
// from 1 in the whole file: a parser reports line ends within its chunk and
// the caller adds those of the chunks before. A line is skipped when it is
// empty, holds only blanks, tabs and commas, or its first byte other than a
// blank or tab is '#'. Fields are separated by commas; blanks and tabs
// around a field are not part of it. A line longer than kMaxLineBytes
// (without its line end) is refused.
//
// dat, the CASS data file: name,code,E,N,H on each line; east before
// north. Plane: name,code,y,x,H. Geodetic: name,code,L,B,H. Geocentric:
// name,code,X,Y,Z. Exactly five fields; the name may not be empty, the code
// may. No quoting: a name or code with a comma, a line break or a leading
// '#' cannot be written (AppendDatRecord says false).
//
// csv (RFC 4180 with the limits below). The first line not skipped is the
// header, naming the columns in any order; names are compared without
// regard to ASCII case, and Chinese names in UTF-8 or GBK alike (the UTF-8
// byte-order mark is dropped by the source):
//   name:        name 点名 点号
//   Plane:       x n 北 (north), y e 东 (east), h 高程 (height)
//   Geodetic:    b lat latitude 纬度, l lon longitude 经度, h 高程
//   Geocentric:  x y z
// so that "x" is north in a plane file and the geocentric X in a geocentric
// one. The name column and the three value columns must be there, once
// each; other columns are ignored. A file that ends before its header holds
// no points. A data line may not have more fields than the header (a name
// with an unquoted comma would shift the values); it may have fewer when
// the columns read are all there. A field is quoted when it starts with '"'
// (after blanks): "" inside stands for ", and only blanks may follow the
// closing quote. A quoted field must close on its own line: line breaks
// inside fields are refused, so that every line end is a record boundary
// and chunks can be cut at any of them. An unquoted field is taken as it
// is, quotes included (39°54'30").
// Written: a header "name,x,y,H" / "name,B,L,H" / "name,X,Y,Z" in ASCII
// (the bytes of names may be GBK or UTF-8, so no byte-order mark), then one
// line per point, LF line ends; a name is quoted when it holds a comma, a
// quote, a CR or LF, starts with '#', or starts or ends with a blank or tab
// (a name with a line break, which no reader here gives, is written as RFC
// 4180 says but would not read back).
//
// Names and codes are bytes copied unchanged; every name read is non-empty.
//
// In a conversion (see workflow/file_conversion.cpp): the reading thread
// takes chunks from a LineChunkSource (dat, csv) or pointscan::ChunkSource
// (plain); for csv it passes the first chunks to FindCsvHeader until Found
// and keeps the layout for the whole file; each chunk (after dataOffset for
// the header's) goes to a worker, which runs a DatChunkParser,
// CsvChunkParser or PlainChunkParser over it and writes the converted
// records with AppendPlainRecord, AppendDatRecord, AppendCsvRecord or
// AppendKmlPlacemark; the writer thread writes the header (AppendCsvHeader,
// AppendKmlHeader) first and the KML footer last. A problem's line is the
// line ends of the chunks before plus Problem().linesBefore plus 1; a
// LineTooLong from the source is the line after all line ends of the chunks
// before, as for a read error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "workflow/angle_text.h"
#include "workflow/line_source.h"
#include "workflow/point_scan.h"

namespace zelk {

namespace pointformat {

// The axes of a coordinate system as the file formats see them.
enum class Axes {
    Plane,       // x north, y east, H
    Geodetic,    // B, L (packed DMS), H
    Geocentric,  // X, Y, Z
};

// The text formats (plain, dat, csv; kml written only), which the core
// reads and writes itself, then the GIS, CAD and spreadsheet formats, which
// a program hands in (workflow/point_stream.h).
enum class FileFormat { Plain, Dat, Csv, Kml, Dxf, Shapefile, GeoPackage, GeoJson, Xlsx };

// "plain", "dat", "csv", "kml", "dxf", "shp", "gpkg", "geojson", "xlsx".
std::optional<FileFormat> FileFormatFromName(std::string_view name);
std::string_view FileFormatName(FileFormat format);
// How messages name a format: "DXF", "Shapefile", "KML"...
std::string_view FileFormatLabel(FileFormat format);
// DXF, Shapefile, GeoPackage, GeoJSON and XLSX: read and written outside
// the core.
inline bool IsExternalFormat(FileFormat format) { return format >= FileFormat::Dxf; }

// The label of value i (0 to 2, engine order): x y H, B L H or X Y Z.
std::string_view ValueLabel(Axes axes, int i);

// Reads a whole token as value i of axes. False when it is not a value.
bool ParseValue(std::string_view token, Axes axes, int i, AngleFormat angles, double& value);

// Writes value i of axes; at most kValueTextMax bytes, returns the end.
inline constexpr std::size_t kValueTextMax = kAngleTextMax;
char* WriteValue(char* out, double value, Axes axes, int i, AngleFormat angles);

struct PointRecord {
    std::string_view name;  // bytes of the chunk; empty when the format has none
    std::string_view code;  // dat only
    double values[3];
};

enum class ProblemKind {
    Unreadable,       // token is not a value in the format
    EmptyField,       // the name or a value is empty
    MissingField,     // the line ends before field
    ExtraField,       // the line has a field the format has not (field)
    BadQuote,         // a quoted field does not close on its line, or text follows
    LineTooLong,      // the line is longer than the limit
    CutShort,         // plain: the input ends inside a point
    MissingColumn,    // csv header: no column for label
    DuplicateColumn,  // csv header: a second column for label (field)
};

struct RecordProblem {
    ProblemKind kind = ProblemKind::Unreadable;
    std::int64_t linesBefore = 0;  // line ends in the chunk before the problem's line
    int field = 0;           // 1-based field (column) of the line; 0: none
    std::string_view label;  // "name", "code", a value label; empty: none
    std::string_view token;  // the text at fault, in the chunk; may be empty
};

enum class ParseResult { Point, End, Problem };

// Walks the lines of a chunk, counting line ends.
class LineCursor {
public:
    LineCursor() = default;
    LineCursor(const char* begin, const char* end) : m_p(begin), m_end(end) {}
    // The next line without its line end; false at the end of the chunk.
    bool Next(const char*& begin, const char*& end);
    int LinesPassed() const { return m_lines; }
    const char* Position() const { return m_p; }

private:
    const char* m_p = nullptr;
    const char* m_end = nullptr;
    int m_lines = 0;
};

// Reads the points of one chunk of a dat file, in order. After Problem the
// parser stays there.
class DatChunkParser {
public:
    DatChunkParser(const char* begin, const char* end, Axes axes, AngleFormat angles,
                   std::size_t maxLine = kMaxLineBytes);
    ParseResult Next(PointRecord& record);
    // Line ends passed: at End, all those of the chunk.
    int LinesPassed() const { return m_cursor.LinesPassed(); }
    // After Point: line ends before the point's line.
    int PointLinesBefore() const { return m_pointLines; }
    const RecordProblem& Problem() const { return m_problem; }

private:
    ParseResult Fail(ProblemKind kind, int linesBefore, int field, std::string_view token);

    LineCursor m_cursor;
    Axes m_axes;
    AngleFormat m_angles;
    std::size_t m_maxLine;
    bool m_failed = false;
    int m_pointLines = 0;
    RecordProblem m_problem;
};

// What the header of a csv file says: the column of each field read.
struct CsvLayout {
    int columns = 0;               // fields of the header
    int name = -1;                 // 0-based columns
    int values[3] = {-1, -1, -1};  // engine order
    std::vector<signed char> role;  // per column: -1 ignored, 0 to 2 a value, 3 the name
};

enum class HeaderResult {
    Found,    // layout filled; the data start at dataOffset
    NotYet,   // the chunk holds only skipped lines: look in the next one
    Problem,  // problem filled (MissingColumn, DuplicateColumn, BadQuote, LineTooLong)
};

// Looks for the header of a csv file in a chunk (the first ones until found;
// a chunk holds whole lines, so the header is never cut). Quoted header
// fields are unquoted in place. linesBefore: line ends of the chunk before
// dataOffset (Found), in the whole chunk (NotYet), before the header line
// (Problem, also in problem.linesBefore).
HeaderResult FindCsvHeader(char* begin, char* end, Axes axes, CsvLayout& layout,
                           std::size_t& dataOffset, int& linesBefore, RecordProblem& problem,
                           std::size_t maxLine = kMaxLineBytes);

// What a csv header's column name means for axes: 0 to 2 a value (engine
// order), kCsvNameRole the name, -1 nothing read (the recognition above).
inline constexpr int kCsvNameRole = 3;
int CsvColumnRole(Axes axes, std::string_view name);

// A line of a dat or csv file that holds no data (see above).
bool IsSkippedLine(const char* begin, const char* end);

// Splits a csv line into fields as the csv parser does (quoted fields
// unquoted in place, blanks around fields dropped), stopping after
// maxFields. Returns the number of fields seen (maxFields + 1 when there
// are more), or -1 - index of a field whose quote does not close.
int SplitCsvFields(char* begin, char* end, std::vector<std::string_view>& fields, int maxFields);

// Reads the points of one chunk of a csv file after its header. Quoted
// fields are unquoted in place, so names stay valid as long as the chunk.
class CsvChunkParser {
public:
    CsvChunkParser(char* begin, char* end, const CsvLayout& layout, Axes axes,
                   AngleFormat angles, std::size_t maxLine = kMaxLineBytes);
    ParseResult Next(PointRecord& record);
    int LinesPassed() const { return m_cursor.LinesPassed(); }
    // After Point: line ends before the point's line.
    int PointLinesBefore() const { return m_pointLines; }
    const RecordProblem& Problem() const { return m_problem; }

private:
    ParseResult Fail(ProblemKind kind, int linesBefore, int field, std::string_view label,
                     std::string_view token);

    LineCursor m_cursor;
    const CsvLayout& m_layout;
    Axes m_axes;
    AngleFormat m_angles;
    std::size_t m_maxLine;
    bool m_failed = false;
    int m_pointLines = 0;
    RecordProblem m_problem;
};

// Reads the points of one chunk of a plain file (cut by
// pointscan::ChunkSource) as pointscan::ChunkParser does, B and L in any
// AngleFormat (packed: ParsePackedAngle, the double ChunkParser reads or its
// neighbour with the degrees and minutes of the text).
// Problems: Unreadable (the token) and CutShort, at the line ChunkParser
// gives; field and label are not known here.
class PlainChunkParser {
public:
    PlainChunkParser(const pointscan::Chunk& chunk, bool withNames, Axes axes,
                     AngleFormat angles);
    ParseResult Next(PointRecord& record);
    // Line ends passed; after Point, those before the point's first token.
    std::int64_t LinesPassed() const { return m_parser.LinesPassed(); }
    std::int64_t PointLinesBefore() const { return m_parser.PointLinesBefore(); }
    const RecordProblem& Problem() const { return m_problem; }

private:
    struct Values {
        Axes axes;
        AngleFormat angles;
    };
    static bool ReadValue(std::string_view token, int i, const void* context, double& value);

    pointscan::ChunkParser m_parser;
    bool m_withNames;
    Values m_values;
    RecordProblem m_problem;
};

// Appends one plain line: "[name ]v0 v1 v2\n". For Plane and Geocentric the
// bytes are those of AppendPointLine. False (nothing appended) when a name
// is wanted and is empty or holds white space: it would not read back.
bool AppendPlainRecord(std::string& out, bool withNames, std::string_view name,
                       const double values[3], Axes axes, AngleFormat angles);

// Appends one dat line "name,code,E,N,H\n". False (nothing appended) when
// the name is empty, or the name or code would not read back (see above).
bool AppendDatRecord(std::string& out, std::string_view name, std::string_view code,
                     const double values[3], Axes axes, AngleFormat angles);

// Appends a csv field, quoted when it holds a comma, a quote, a CR or LF,
// starts with '#', or starts or ends with a blank or tab.
void AppendCsvField(std::string& out, std::string_view text);

// Appends the csv header line, then lines of points.
void AppendCsvHeader(std::string& out, Axes axes);
void AppendCsvRecord(std::string& out, std::string_view name, const double values[3], Axes axes,
                     AngleFormat angles);

}  // namespace pointformat

}  // namespace zelk
