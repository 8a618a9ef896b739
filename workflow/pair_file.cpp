#include "workflow/pair_file.h"

#include <string_view>
#include <vector>

#include "workflow/file_conversion.h"
#include "workflow/line_source.h"
#include "workflow/point_formats.h"
#include "workflow/point_scan.h"

namespace zelk {

namespace {

using pointformat::Axes;
using pointformat::ProblemKind;

constexpr std::size_t kBlockSize = 64 * 1024;
constexpr int kNoColumn = -1;

Axes AxesOf(const Crs& crs) {
    return crs.form == Form::Geodetic     ? Axes::Geodetic
           : crs.form == Form::Geocentric ? Axes::Geocentric
                                          : Axes::Plane;
}

// "转换前x", "转换后H": a value's label in messages.
std::string ValueName(bool after, Axes axes, int i) {
    return std::string(after ? "转换后" : "转换前") + std::string(pointformat::ValueLabel(axes, i));
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// A plain line's fields: at commas when it has any, else at runs of blanks.
std::vector<std::string_view> SplitPlain(std::string_view line) {
    std::vector<std::string_view> fields;
    if (line.find(',') != std::string_view::npos) {
        for (;;) {
            const std::size_t comma = line.find(',');
            fields.push_back(Trim(line.substr(0, comma)));
            if (comma == std::string_view::npos) break;
            line.remove_prefix(comma + 1);
        }
        return fields;
    }
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && pointscan::IsWhite(static_cast<unsigned char>(line[i]))) ++i;
        const std::size_t start = i;
        while (i < line.size() && !pointscan::IsWhite(static_cast<unsigned char>(line[i]))) ++i;
        if (i > start) fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

// The side a csv header name marks at its end, and the name without it:
// 1 before, 2 ' ′ after; -1 none.
int SideMark(std::string_view& name) {
    static constexpr std::string_view kPrime = "\xE2\x80\xB2";  // ′
    if (name.size() > 1 && name.back() == '1') {
        name.remove_suffix(1);
        return 0;
    }
    if (name.size() > 1 && (name.back() == '2' || name.back() == '\'')) {
        name.remove_suffix(1);
        return 1;
    }
    if (name.size() > kPrime.size() && name.substr(name.size() - kPrime.size()) == kPrime) {
        name.remove_suffix(kPrime.size());
        return 1;
    }
    return -1;
}

// Reads pairs line by line.
class PairReader {
public:
    PairReader(std::FILE* in, const Crs& before, const Crs& after, const CommonPointFormats& formats)
        : m_source(in, kBlockSize),
          m_axes{AxesOf(before), AxesOf(after)},
          m_angles{formats.beforeAngles, formats.afterAngles},
          m_csv(formats.format == pointformat::FileFormat::Csv) {}

    enum class Status { Pair, End, Problem, ReadError };

    // The next pair as text: its name (empty when the line has none) and
    // its six values with the field each is in; valid until the next call.
    Status Next(std::string_view& name, std::string_view tokens[6], int fields[6], CommonPointsResult& result) {
        for (;;) {
            char* begin = nullptr;
            char* end = nullptr;
            switch (NextLine(begin, end, result)) {
                case Status::Pair:
                    break;
                case Status::End:
                    return Status::End;
                case Status::Problem:
                    return Status::Problem;
                case Status::ReadError:
                    result.status = CommonPointsResult::Status::ReadError;
                    result.line = m_line;
                    return Status::ReadError;
            }
            if (pointformat::IsSkippedLine(begin, end)) continue;
            if (m_csv && !m_headerFound) {
                if (!ReadHeader(begin, end, result)) return Status::Problem;
                continue;
            }
            return ReadPair(begin, end, name, tokens, fields, result) ? Status::Pair : Status::Problem;
        }
    }

    std::int64_t Line() const { return m_line; }

private:
    // The next line (Pair), or the end, a read error or a line too long.
    Status NextLine(char*& begin, char*& end, CommonPointsResult& result) {
        for (;;) {
            const char* b = nullptr;
            const char* e = nullptr;
            const int before = m_cursor.LinesPassed();
            if (m_haveChunk && m_cursor.Next(b, e)) {
                m_line = m_linesDone + before + 1;
                if (static_cast<std::size_t>(e - b) > pointformat::kMaxLineBytes) {
                    Fail(ProblemKind::LineTooLong, 0, {}, {}, result);
                    return Status::Problem;
                }
                begin = m_chunk.data() + (b - m_chunk.data());
                end = m_chunk.data() + (e - m_chunk.data());
                return Status::Pair;
            }
            if (m_haveChunk) m_linesDone += m_cursor.LinesPassed();
            m_haveChunk = false;
            switch (m_source.Next(m_chunk)) {
                case pointformat::LineChunkSource::Status::Chunk:
                    m_cursor = pointformat::LineCursor(m_chunk.data(), m_chunk.data() + m_chunk.size());
                    m_haveChunk = true;
                    continue;
                case pointformat::LineChunkSource::Status::End:
                    return Status::End;
                case pointformat::LineChunkSource::Status::ReadError:
                    m_line = m_linesDone + 1;
                    return Status::ReadError;
                case pointformat::LineChunkSource::Status::LineTooLong:
                    m_line = m_linesDone + 1;
                    Fail(ProblemKind::LineTooLong, 0, {}, {}, result);
                    return Status::Problem;
            }
        }
    }

    void Fail(ProblemKind kind, int field, const std::string& label, std::string_view token,
              CommonPointsResult& result) const {
        result.status = CommonPointsResult::Status::Unreadable;
        result.inPairFile = true;
        result.line = m_line;
        result.kind = kind;
        result.field = field;
        result.label = label;
        result.token = pointscan::QuoteToken(token);
    }

    bool ReadHeader(char* begin, char* end, CommonPointsResult& result) {
        std::vector<std::string_view> fields;
        const int count = pointformat::SplitCsvFields(begin, end, fields, 1 << 16);
        if (count < 0) {
            Fail(ProblemKind::BadQuote, -count, {}, {}, result);
            return false;
        }
        for (int c = 0; c < static_cast<int>(fields.size()); ++c) {
            const std::string_view field = fields[static_cast<std::size_t>(c)];
            if (pointformat::CsvColumnRole(m_axes[0], field) == pointformat::kCsvNameRole) {
                if (m_name != kNoColumn) {
                    Fail(ProblemKind::DuplicateColumn, c + 1, "name", field, result);
                    return false;
                }
                m_name = c;
                continue;
            }
            int side = -1, role = -1;
            std::string_view unmarked = field;
            const int mark = SideMark(unmarked);
            if (mark >= 0) {
                const int r = pointformat::CsvColumnRole(m_axes[mark], unmarked);
                if (r >= 0 && r != pointformat::kCsvNameRole) {
                    side = mark;
                    role = r;
                }
            }
            // Without a mark: the before side's column first, then the after side's.
            for (int s = 0; s < 2 && side < 0; ++s) {
                const int r = pointformat::CsvColumnRole(m_axes[s], field);
                if (r < 0 || r == pointformat::kCsvNameRole) continue;
                if (s == 0 && m_columns[r] != kNoColumn) continue;
                side = s;
                role = r;
            }
            if (side < 0) continue;  // a column not read
            int& column = m_columns[side * 3 + role];
            if (column != kNoColumn) {
                Fail(ProblemKind::DuplicateColumn, c + 1, ValueName(side == 1, m_axes[side], role), field, result);
                return false;
            }
            column = c;
        }
        m_fieldCount = static_cast<int>(fields.size());
        if (m_name == kNoColumn) {
            Fail(ProblemKind::MissingColumn, 0, "name", {}, result);
            return false;
        }
        for (int k = 0; k < 6; ++k) {
            if (m_columns[k] == kNoColumn) {
                Fail(ProblemKind::MissingColumn, 0, ValueName(k >= 3, m_axes[k / 3], k % 3), {}, result);
                return false;
            }
        }
        m_headerFound = true;
        return true;
    }

public:
    // Value k (0 to 5: before x y H, after x y H) of a token: '*' or an
    // empty field is not known.
    bool Value(int k, std::string_view token, int field, double& value, CommonPointsResult& result) const {
        if (token.empty() || token == "*") {
            value = kUnknown;
            return true;
        }
        const int side = k / 3;
        if (!pointformat::ParseValue(token, m_axes[side], k % 3, m_angles[side], value)) {
            Fail(ProblemKind::Unreadable, field, ValueName(side == 1, m_axes[side], k % 3), token, result);
            return false;
        }
        return true;
    }

private:
    bool ReadPair(char* begin, char* end, std::string_view& name, std::string_view tokens[6], int fields[6],
                  CommonPointsResult& result) {
        if (m_csv) {
            std::vector<std::string_view>& split = m_fields;
            const int count = pointformat::SplitCsvFields(begin, end, split, m_fieldCount);
            if (count < 0) {
                Fail(ProblemKind::BadQuote, -count, {}, {}, result);
                return false;
            }
            if (count > m_fieldCount) {
                Fail(ProblemKind::ExtraField, count, {}, {}, result);
                return false;
            }
            int missing = kNoColumn;
            for (int column : {m_name, m_columns[0], m_columns[1], m_columns[2], m_columns[3], m_columns[4],
                               m_columns[5]}) {
                if (column >= count && (missing == kNoColumn || column < missing)) missing = column;
            }
            if (missing != kNoColumn) {
                Fail(ProblemKind::MissingField, missing + 1, {}, {}, result);
                return false;
            }
            name = split[static_cast<std::size_t>(m_name)];
            if (name.empty()) {
                Fail(ProblemKind::EmptyField, m_name + 1, "name", {}, result);
                return false;
            }
            for (int k = 0; k < 6; ++k) {
                const int column = m_columns[k];
                tokens[k] = split[static_cast<std::size_t>(column)];
                fields[k] = column + 1;
            }
            return true;
        }
        m_fields = SplitPlain(std::string_view(begin, static_cast<std::size_t>(end - begin)));
        const std::vector<std::string_view>& split = m_fields;
        const int count = static_cast<int>(split.size());
        if (count > 7) {
            Fail(ProblemKind::ExtraField, 8, {}, split[7], result);
            return false;
        }
        if (count < 6) {
            Fail(ProblemKind::MissingField, count + 1, {}, {}, result);
            return false;
        }
        const int first = count - 6;  // 1 with a name
        name = first == 1 ? split[0] : std::string_view();
        if (first == 1 && name.empty()) {
            Fail(ProblemKind::EmptyField, 1, "name", {}, result);
            return false;
        }
        for (int k = 0; k < 6; ++k) {
            tokens[k] = split[static_cast<std::size_t>(first + k)];
            fields[k] = first + k + 1;
        }
        return true;
    }

    pointformat::LineChunkSource m_source;
    std::vector<char> m_chunk;
    pointformat::LineCursor m_cursor;
    bool m_haveChunk = false;
    std::int64_t m_linesDone = 0;  // line ends of the chunks before
    std::int64_t m_line = 0;       // of the last line given
    Axes m_axes[2];
    AngleFormat m_angles[2];
    bool m_csv;
    bool m_headerFound = false;
    int m_fieldCount = 0;
    int m_name = kNoColumn;
    int m_columns[6] = {kNoColumn, kNoColumn, kNoColumn, kNoColumn, kNoColumn, kNoColumn};
    std::vector<std::string_view> m_fields;  // of the last line
};

// The pairs of a file one by one: take(name, tokens, fields, count) for
// each (count: the pairs taken before), which says false to stop (the
// problem in result). Stops at the file's end, at a problem of the file,
// and beyond kMaxCommonPoints pairs (TooManyPairs, at that line).
template <class Take>
void ForEachPair(PairReader& reader, CommonPointsResult& result, Take take) {
    std::string_view name, tokens[6];
    int fields[6];
    for (std::size_t count = 0;; ++count) {
        const PairReader::Status status = reader.Next(name, tokens, fields, result);
        if (status == PairReader::Status::End) return;
        if (status != PairReader::Status::Pair) {
            result.inPairFile = true;
            return;
        }
        if (!take(name, tokens, fields, count)) return;
    }
}

// Refuses the pair after the last one a run may take.
bool TooMany(std::size_t count, const PairReader& reader, CommonPointsResult& result) {
    if (count < kMaxCommonPoints) return false;
    result.status = CommonPointsResult::Status::TooManyPairs;
    result.inPairFile = true;
    result.line = reader.Line();
    return true;
}

}  // namespace

CommonPointsResult ReadPairFile(std::FILE* file, const Crs& beforeSystem, const Crs& afterSystem,
                                const CommonPointFormats& formats, CommonPoints& points) {
    CommonPointsResult result;
    PairReader reader(file, beforeSystem, afterSystem, formats);
    points.lines.oneFile = true;
    ForEachPair(reader, result, [&](std::string_view name, const std::string_view* tokens, const int* fields,
                                    std::size_t count) {
        double v[6];
        for (int k = 0; k < 6; ++k) {
            if (!reader.Value(k, tokens[k], fields[k], v[k], result)) return false;
        }
        if (TooMany(count, reader, result)) return false;
        points.before.push_back(PointRecord{v[0], v[1], v[2]});
        points.after.push_back(PointRecord{v[3], v[4], v[5]});
        points.lines.before.push_back(reader.Line());
        points.lines.after.push_back(reader.Line());
        points.names.push_back(name.empty() ? std::string() : pointscan::QuoteToken(name));
        return true;
    });
    return result;
}

CommonPointsResult ReadPairTokens(std::FILE* file, const Crs& beforeSystem, const Crs& afterSystem, bool csv,
                                  std::vector<PairTokens>& pairs) {
    CommonPointsResult result;
    CommonPointFormats formats;
    formats.format = csv ? pointformat::FileFormat::Csv : pointformat::FileFormat::Plain;
    PairReader reader(file, beforeSystem, afterSystem, formats);
    ForEachPair(reader, result, [&](std::string_view name, const std::string_view* tokens, const int*,
                                    std::size_t count) {
        if (TooMany(count, reader, result)) return false;
        PairTokens pair;
        pair.name.assign(name);
        for (int k = 0; k < 6; ++k) pair.values[static_cast<std::size_t>(k)] = tokens[k].empty() ? "*" : std::string(tokens[k]);
        pair.line = reader.Line();
        pairs.push_back(std::move(pair));
        return true;
    });
    return result;
}

void AppendPairHeader(std::string& out, Axes before, Axes after) {
    out += "name";
    for (const Axes axes : {before, after}) {
        for (int i = 0; i < 3; ++i) {
            out += ',';
            out += pointformat::ValueLabel(axes, i);
        }
    }
    out += '\n';
}

bool AppendPairLine(std::string& out, bool csv, std::string_view name, const std::array<std::string, 6>& values) {
    const auto plainWritable = [](std::string_view text) {
        if (text.empty() || text.front() == '#') return false;
        for (char c : text) {
            if (c == ',' || c == '\r' || c == '\n' || pointscan::IsWhite(static_cast<unsigned char>(c))) return false;
        }
        return true;
    };
    if (csv) {
        if (name.empty()) return false;
        std::string line;
        pointformat::AppendCsvField(line, name);
        for (const std::string& value : values) {
            line += ',';
            pointformat::AppendCsvField(line, value);
        }
        out += line + '\n';
        return true;
    }
    if (!name.empty() && !plainWritable(name)) return false;
    for (const std::string& value : values) {
        if (!plainWritable(value)) return false;
    }
    std::string line(name);
    for (const std::string& value : values) {
        if (!line.empty()) line += ' ';
        line += value;
    }
    out += line + '\n';
    return true;
}

}  // namespace zelk

namespace zelk {

bool SavePairText(const std::filesystem::path& path, std::string_view text) {
    AtomicOutputFile file;
    if (!file.Open(path)) return false;
    if (std::fwrite(text.data(), 1, text.size(), file.Stream()) != text.size() || !file.Commit()) {
        file.Abandon();
        return false;
    }
    return true;
}

}  // namespace zelk
