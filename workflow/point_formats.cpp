#include "workflow/point_formats.h"

#include <cstdint>
#include <cstring>

#include "platform/number_text.h"
#include "workflow/name_table.h"
#include "workflow/point_scan.h"

namespace zelk {

namespace pointformat {

constexpr NamedValue<FileFormat> kFileFormatNames[] = {
    {"plain", FileFormat::Plain},     {"dat", FileFormat::Dat},
    {"csv", FileFormat::Csv},         {"kml", FileFormat::Kml},
    {"dxf", FileFormat::Dxf},         {"shp", FileFormat::Shapefile},
    {"gpkg", FileFormat::GeoPackage}, {"geojson", FileFormat::GeoJson},
    {"xlsx", FileFormat::Xlsx}};

std::optional<FileFormat> FileFormatFromName(std::string_view name) {
    return ValueNamed(kFileFormatNames, name);
}

std::string_view FileFormatName(FileFormat format) { return NameOfValue(kFileFormatNames, format); }

std::string_view FileFormatLabel(FileFormat format) {
    switch (format) {
        case FileFormat::Plain: return "普通格式";
        case FileFormat::Dat: return "CASS数据";
        case FileFormat::Csv: return "CSV";
        case FileFormat::Kml: return "KML";
        case FileFormat::Dxf: return "DXF";
        case FileFormat::Shapefile: return "Shapefile";
        case FileFormat::GeoPackage: return "GeoPackage";
        case FileFormat::GeoJson: return "GeoJSON";
        case FileFormat::Xlsx: return "XLSX";
    }
    return "";
}

namespace {

constexpr std::string_view kLabels[3][3] = {
    {"x", "y", "H"}, {"B", "L", "H"}, {"X", "Y", "Z"}};
constexpr std::string_view kName = "name";
constexpr std::string_view kCode = "code";

bool IsAngle(Axes axes, int i) { return axes == Axes::Geodetic && i < 2; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

inline std::string_view Trim(const char* begin, const char* end) {
    while (begin != end && IsBlank(*begin)) ++begin;
    while (end != begin && IsBlank(end[-1])) --end;
    return {begin, static_cast<std::size_t>(end - begin)};
}

// A line to skip: empty, blanks, tabs and commas only, or a comment.
bool IsSkipped(const char* begin, const char* end) {
    while (begin != end && IsBlank(*begin)) ++begin;
    if (begin == end || *begin == '#') return true;
    if (*begin != ',') return false;
    while (begin != end && (IsBlank(*begin) || *begin == ',')) ++begin;
    return begin == end;
}

// The next line of a dat or csv chunk that holds data: blank and comment
// lines are passed over. linesBefore: the line ends before it.
enum class LineStep { Data, End, TooLong };
LineStep NextDataLine(LineCursor& cursor, std::size_t maxLine, const char*& begin, const char*& end,
                      int& linesBefore) {
    for (;;) {
        linesBefore = cursor.LinesPassed();
        if (!cursor.Next(begin, end)) return LineStep::End;
        if (static_cast<std::size_t>(end - begin) > maxLine) return LineStep::TooLong;
        if (!IsSkipped(begin, end)) return LineStep::Data;
    }
}

// The value (0 to 2, engine order) in dat field 3 to 5: east before north.
int DatValue(Axes axes, int field) {
    if (axes == Axes::Geocentric) return field - 3;
    return field == 3 ? 1 : field == 4 ? 0 : 2;
}

}  // namespace

std::string_view ValueLabel(Axes axes, int i) { return kLabels[static_cast<int>(axes)][i]; }

bool ParseValue(std::string_view token, Axes axes, int i, AngleFormat angles, double& value) {
    if (IsAngle(axes, i)) {
        return ParseAngle(token, angles, i == 0 ? AngleAxis::Latitude : AngleAxis::Longitude,
                          value);
    }
    return pointscan::ParseNumber(token, value);
}

char* WriteValue(char* out, double value, Axes axes, int i, AngleFormat angles) {
    if (IsAngle(axes, i)) return WriteAngle(out, value, angles);
    return pointscan::WriteFixed3(out, value);  // the same bytes as WriteFixed(.., 3), sooner
}

namespace {
// The first CR or LF in [p, end), or end; eight bytes at a time.
const char* FindLineEnd(const char* p, const char* end) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kHigh = 0x8080808080808080u;
    auto zeroByte = [](std::uint64_t v) { return (v - kOnes) & ~v & kHigh; };
    while (end - p >= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        if (zeroByte(w ^ (kOnes * '\n')) | zeroByte(w ^ (kOnes * '\r'))) break;
        p += 8;
    }
    while (p != end && *p != '\n' && *p != '\r') ++p;
    return p;
}
}  // namespace

bool LineCursor::Next(const char*& begin, const char*& end) {
    if (m_p == m_end) return false;
    begin = m_p;
    const char* q = FindLineEnd(m_p, m_end);
    end = q;
    if (q != m_end) {
        ++m_lines;
        q += (*q == '\r' && q + 1 != m_end && q[1] == '\n') ? 2 : 1;
    }
    m_p = q;
    return true;
}

// ---- dat ----

DatChunkParser::DatChunkParser(const char* begin, const char* end, Axes axes, AngleFormat angles,
                               std::size_t maxLine)
    : m_cursor(begin, end), m_axes(axes), m_angles(angles), m_maxLine(maxLine) {}

ParseResult DatChunkParser::Fail(ProblemKind kind, int linesBefore, int field,
                                 std::string_view token) {
    m_failed = true;
    m_problem.kind = kind;
    m_problem.linesBefore = linesBefore;
    m_problem.field = field;
    m_problem.token = token;
    m_problem.label = field == 1                  ? kName
                      : field == 2                ? kCode
                      : field >= 3 && field <= 5 ? ValueLabel(m_axes, DatValue(m_axes, field))
                                                  : std::string_view();
    return ParseResult::Problem;
}

ParseResult DatChunkParser::Next(PointRecord& record) {
    if (m_failed) return ParseResult::Problem;
    const char* begin;
    const char* end;
    int linesBefore = 0;
    const LineStep step = NextDataLine(m_cursor, m_maxLine, begin, end, linesBefore);
    if (step == LineStep::End) return ParseResult::End;
    if (step == LineStep::TooLong) return Fail(ProblemKind::LineTooLong, linesBefore, 0, {});
    std::string_view fields[5];
    const char* p = begin;
    int count = 0;
    for (;;) {
        // Fields are short: a plain loop beats a library call.
        const char* fieldEnd = p;
        while (fieldEnd != end && *fieldEnd != ',') ++fieldEnd;
        if (count == 5) return Fail(ProblemKind::ExtraField, linesBefore, 6, Trim(p, fieldEnd));
        fields[count++] = Trim(p, fieldEnd);
        if (fieldEnd == end) break;
        p = fieldEnd + 1;
    }
    if (count < 5) return Fail(ProblemKind::MissingField, linesBefore, count + 1, {});
    if (fields[0].empty()) return Fail(ProblemKind::EmptyField, linesBefore, 1, {});
    double values[3];
    for (int field = 3; field <= 5; ++field) {
        const int i = DatValue(m_axes, field);
        const std::string_view token = fields[field - 1];
        if (token.empty()) return Fail(ProblemKind::EmptyField, linesBefore, field, {});
        if (!ParseValue(token, m_axes, i, m_angles, values[i])) {
            return Fail(ProblemKind::Unreadable, linesBefore, field, token);
        }
    }
    record.name = fields[0];
    record.code = fields[1];
    record.values[0] = values[0];
    record.values[1] = values[1];
    record.values[2] = values[2];
    m_pointLines = linesBefore;
    return ParseResult::Point;
}

// ---- csv ----

namespace {

// Splits a csv line into fields, unquoting quoted ones in place. Calls
// take(index, field) for each; stops early when take says false. Returns
// the number of fields, or -1 - index of a field with a bad quote.
template <typename Take>
int SplitCsv(char* begin, char* end, Take take) {
    char* p = begin;
    int index = 0;
    for (;;) {
        while (p != end && IsBlank(*p)) ++p;
        std::string_view field;
        if (p != end && *p == '"') {
            char* out = ++p;
            char* const start = out;
            for (;;) {
                if (p == end) return -1 - index;  // not closed on this line
                if (*p == '"') {
                    if (p + 1 != end && p[1] == '"') {
                        *out++ = '"';
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                *out++ = *p++;
            }
            field = {start, static_cast<std::size_t>(out - start)};
            while (p != end && IsBlank(*p)) ++p;
            if (p != end && *p != ',') return -1 - index;
        } else {
            char* const start = p;
            while (p != end && *p != ',') ++p;
            field = Trim(start, p);
        }
        if (!take(index, field)) return index + 1;
        ++index;
        if (p == end) return index;
        ++p;  // the comma
    }
}

bool EqualsAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char c = a[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != b[i]) return false;
    }
    return true;
}

struct HeaderName {
    std::string_view text;  // lower case ASCII, or UTF-8 / GBK bytes
    int role;               // 0 to 2 a value, 3 the name
};

constexpr int kNameRole = 3;

// Chinese names in UTF-8 and in GBK.
#define ZELK_NAME_ALIASES {"name", kNameRole}, {"\xE7\x82\xB9\xE5\x90\x8D", kNameRole}, \
    {"\xB5\xE3\xC3\xFB", kNameRole}, {"\xE7\x82\xB9\xE5\x8F\xB7", kNameRole},         \
    {"\xB5\xE3\xBA\xC5", kNameRole}
constexpr HeaderName kPlaneNames[] = {
    ZELK_NAME_ALIASES,
    {"x", 0}, {"n", 0}, {"\xE5\x8C\x97", 0}, {"\xB1\xB1", 0},
    {"y", 1}, {"e", 1}, {"\xE4\xB8\x9C", 1}, {"\xB6\xAB", 1},
    {"h", 2}, {"\xE9\xAB\x98\xE7\xA8\x8B", 2}, {"\xB8\xDF\xB3\xCC", 2}};
constexpr HeaderName kGeodeticNames[] = {
    ZELK_NAME_ALIASES,
    {"b", 0}, {"lat", 0}, {"latitude", 0}, {"\xE7\xBA\xAC\xE5\xBA\xA6", 0}, {"\xCE\xB3\xB6\xC8", 0},
    {"l", 1}, {"lon", 1}, {"longitude", 1}, {"\xE7\xBB\x8F\xE5\xBA\xA6", 1}, {"\xBE\xAD\xB6\xC8", 1},
    {"h", 2}, {"\xE9\xAB\x98\xE7\xA8\x8B", 2}, {"\xB8\xDF\xB3\xCC", 2}};
constexpr HeaderName kGeocentricNames[] = {ZELK_NAME_ALIASES, {"x", 0}, {"y", 1}, {"z", 2}};
#undef ZELK_NAME_ALIASES

int HeaderRole(Axes axes, std::string_view text) {
    auto find = [&](const auto& names) {
        for (const HeaderName& n : names) {
            if (EqualsAsciiCase(text, n.text)) return n.role;
        }
        return -1;
    };
    switch (axes) {
        case Axes::Plane: return find(kPlaneNames);
        case Axes::Geodetic: return find(kGeodeticNames);
        case Axes::Geocentric: return find(kGeocentricNames);
    }
    return -1;
}

std::string_view RoleLabel(Axes axes, int role) {
    return role == kNameRole ? kName : ValueLabel(axes, role);
}

}  // namespace

int CsvColumnRole(Axes axes, std::string_view name) { return HeaderRole(axes, name); }

bool IsSkippedLine(const char* begin, const char* end) { return IsSkipped(begin, end); }

int SplitCsvFields(char* begin, char* end, std::vector<std::string_view>& fields, int maxFields) {
    fields.clear();
    return SplitCsv(begin, end, [&](int index, std::string_view field) {
        if (index >= maxFields) return false;
        fields.push_back(field);
        return true;
    });
}

HeaderResult FindCsvHeader(char* begin, char* end, Axes axes, CsvLayout& layout,
                           std::size_t& dataOffset, int& linesBefore, RecordProblem& problem,
                           std::size_t maxLine) {
    LineCursor cursor(begin, end);
    const char* lineBegin;
    const char* lineEnd;
    for (;;) {
        const int before = cursor.LinesPassed();
        if (!cursor.Next(lineBegin, lineEnd)) {
            linesBefore = before;
            return HeaderResult::NotYet;
        }
        auto fail = [&](ProblemKind kind, int field, std::string_view label,
                        std::string_view token) {
            problem = RecordProblem{kind, before, field, label, token};
            linesBefore = before;
            return HeaderResult::Problem;
        };
        if (static_cast<std::size_t>(lineEnd - lineBegin) > maxLine) {
            return fail(ProblemKind::LineTooLong, 0, {}, {});
        }
        if (IsSkipped(lineBegin, lineEnd)) continue;
        layout = CsvLayout{};
        int duplicate = -1;
        std::string_view duplicateText;
        char* const mutableBegin = begin + (lineBegin - begin);
        const int count = SplitCsv(mutableBegin, mutableBegin + (lineEnd - lineBegin),
                                   [&](int index, std::string_view field) {
                                       const int role = HeaderRole(axes, field);
                                       layout.role.push_back(static_cast<signed char>(role));
                                       if (role < 0) return true;
                                       int& column = role == kNameRole ? layout.name
                                                                       : layout.values[role];
                                       if (column >= 0) {
                                           duplicate = role;
                                           duplicateText = field;
                                           return false;
                                       }
                                       column = index;
                                       return true;
                                   });
        if (count < 0) return fail(ProblemKind::BadQuote, -count, {}, {});
        if (duplicate >= 0) {
            return fail(ProblemKind::DuplicateColumn, count, RoleLabel(axes, duplicate),
                        duplicateText);
        }
        layout.columns = count;
        if (layout.name < 0) return fail(ProblemKind::MissingColumn, 0, kName, {});
        for (int i = 0; i < 3; ++i) {
            if (layout.values[i] < 0) {
                return fail(ProblemKind::MissingColumn, 0, ValueLabel(axes, i), {});
            }
        }
        dataOffset = static_cast<std::size_t>(cursor.Position() - begin);
        linesBefore = cursor.LinesPassed();
        return HeaderResult::Found;
    }
}

CsvChunkParser::CsvChunkParser(char* begin, char* end, const CsvLayout& layout, Axes axes,
                               AngleFormat angles, std::size_t maxLine)
    : m_cursor(begin, end), m_layout(layout), m_axes(axes), m_angles(angles), m_maxLine(maxLine) {}

ParseResult CsvChunkParser::Fail(ProblemKind kind, int linesBefore, int field,
                                 std::string_view label, std::string_view token) {
    m_failed = true;
    m_problem = RecordProblem{kind, linesBefore, field, label, token};
    return ParseResult::Problem;
}

ParseResult CsvChunkParser::Next(PointRecord& record) {
    if (m_failed) return ParseResult::Problem;
    const char* begin;
    const char* end;
    int linesBefore = 0;
    const LineStep step = NextDataLine(m_cursor, m_maxLine, begin, end, linesBefore);
    if (step == LineStep::End) return ParseResult::End;
    if (step == LineStep::TooLong) return Fail(ProblemKind::LineTooLong, linesBefore, 0, {}, {});
    // The chunk is the caller's, given as char*: the cursor's pointers
    // are into it.
    char* const line = const_cast<char*>(begin);
    std::string_view fields[4];  // the three values, the name
    const int columns = m_layout.columns;
    const int count = SplitCsv(line, line + (end - begin), [&](int index, std::string_view f) {
        if (index >= columns) return false;
        const int role = m_layout.role[static_cast<std::size_t>(index)];
        if (role >= 0) fields[role] = f;
        return true;
    });
    if (count < 0) return Fail(ProblemKind::BadQuote, linesBefore, -count, {}, {});
    if (count > columns) {
        return Fail(ProblemKind::ExtraField, linesBefore, count, {}, {});
    }
    // The first column read that the line does not reach.
    int missing = -1;
    for (int role = 0; role < 4; ++role) {
        const int column = role == kNameRole ? m_layout.name : m_layout.values[role];
        if (column >= count && (missing < 0 || column < missing)) missing = column;
    }
    if (missing >= 0) {
        return Fail(ProblemKind::MissingField, linesBefore, missing + 1,
                    RoleLabel(m_axes, m_layout.role[static_cast<std::size_t>(missing)]), {});
    }
    if (fields[kNameRole].empty()) {
        return Fail(ProblemKind::EmptyField, linesBefore, m_layout.name + 1, kName, {});
    }
    double values[3];
    for (int i = 0; i < 3; ++i) {
        const std::string_view token = fields[i];
        const int field = m_layout.values[i] + 1;
        if (token.empty()) {
            return Fail(ProblemKind::EmptyField, linesBefore, field, ValueLabel(m_axes, i), {});
        }
        if (!ParseValue(token, m_axes, i, m_angles, values[i])) {
            return Fail(ProblemKind::Unreadable, linesBefore, field, ValueLabel(m_axes, i),
                        token);
        }
    }
    record.name = fields[kNameRole];
    record.code = {};
    record.values[0] = values[0];
    record.values[1] = values[1];
    record.values[2] = values[2];
    m_pointLines = linesBefore;
    return ParseResult::Point;
}

// ---- plain ----

PlainChunkParser::PlainChunkParser(const pointscan::Chunk& chunk, bool withNames, Axes axes,
                                   AngleFormat angles)
    : m_parser(chunk), m_withNames(withNames), m_values{axes, angles} {
    // B and L through the angle reader, packed ones too: their degrees and
    // minutes are the text's (ParsePackedAngle).
    if (axes == Axes::Geodetic) m_parser.SetValueReader(&ReadValue, &m_values);
}

bool PlainChunkParser::ReadValue(std::string_view token, int i, const void* context,
                                 double& value) {
    const Values& values = *static_cast<const Values*>(context);
    return ParseValue(token, values.axes, i, values.angles, value);
}

ParseResult PlainChunkParser::Next(PointRecord& record) {
    using Result = pointscan::ChunkParser::Result;
    const Result result = m_parser.Next(m_withNames, record.name, record.values);
    switch (result) {
        case Result::Point:
            record.code = {};
            return ParseResult::Point;
        case Result::End:
            return ParseResult::End;
        case Result::Unreadable:
        case Result::CutShort:
            break;
    }
    m_problem = RecordProblem{
        result == Result::Unreadable ? ProblemKind::Unreadable : ProblemKind::CutShort,
        m_parser.ProblemLinesBefore(), 0, {}, m_parser.ProblemToken()};
    return ParseResult::Problem;
}

// ---- writers ----

namespace {

// The three values in the given order, separated, then a line end.
char* WriteValues(char* p, const double values[3], const int order[3], char separator, Axes axes,
                  AngleFormat angles) {
    for (int k = 0; k < 3; ++k) {
        if (k > 0) *p++ = separator;
        p = WriteValue(p, values[order[k]], axes, order[k], angles);
    }
    *p++ = '\n';
    return p;
}

constexpr int kEngineOrder[3] = {0, 1, 2};
constexpr int kEastFirst[3] = {1, 0, 2};

// Holds a comma, a quote (when quote), a CR or an LF.
bool HasSpecial(std::string_view text, bool quote) {
    for (char c : text) {
        if (c == ',' || c == '\r' || c == '\n' || (quote && c == '"')) return true;
    }
    return false;
}

bool DatWritable(std::string_view text) {
    if (text.empty()) return true;
    if (text.front() == '#' || IsBlank(text.front()) || IsBlank(text.back())) return false;
    return !HasSpecial(text, false);
}

}  // namespace

bool AppendPlainRecord(std::string& out, bool withNames, std::string_view name,
                       const double values[3], Axes axes, AngleFormat angles) {
    if (withNames) {
        if (name.empty()) return false;
        for (char c : name) {
            if (pointscan::IsWhite(static_cast<unsigned char>(c))) return false;
        }
        out.append(name);
        out.push_back(' ');
    }
    char line[3 * kValueTextMax + 3];
    out.append(line, WriteValues(line, values, kEngineOrder, ' ', axes, angles));
    return true;
}

bool AppendDatRecord(std::string& out, std::string_view name, std::string_view code,
                     const double values[3], Axes axes, AngleFormat angles) {
    if (name.empty() || !DatWritable(name) || !DatWritable(code)) return false;
    out.append(name);
    out.push_back(',');
    out.append(code);
    out.push_back(',');
    char line[3 * kValueTextMax + 3];
    out.append(line, WriteValues(line, values, axes == Axes::Geocentric ? kEngineOrder : kEastFirst,
                                 ',', axes, angles));
    return true;
}

void AppendCsvHeader(std::string& out, Axes axes) {
    out.append("name,");
    out.append(ValueLabel(axes, 0));
    out.push_back(',');
    out.append(ValueLabel(axes, 1));
    out.push_back(',');
    out.append(ValueLabel(axes, 2));
    out.push_back('\n');
}

void AppendCsvField(std::string& out, std::string_view text) {
    const bool quote = !text.empty() &&
                       (text.front() == '#' || IsBlank(text.front()) || IsBlank(text.back()) ||
                        HasSpecial(text, true));
    if (!quote) {
        out.append(text);
        return;
    }
    out.push_back('"');
    for (char c : text) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
}

void AppendCsvRecord(std::string& out, std::string_view name, const double values[3], Axes axes,
                     AngleFormat angles) {
    AppendCsvField(out, name);
    out.push_back(',');
    char line[3 * kValueTextMax + 3];
    out.append(line, WriteValues(line, values, kEngineOrder, ',', axes, angles));
}

}  // namespace pointformat

}  // namespace zelk
