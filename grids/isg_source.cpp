// ISG (International Service for the Geoid) text grids, versions 1.0 to 2.0.
// Opening reads the whole text once: it checks every value and keeps, for
// every row, the offset of its first value and of every 256th value after
// it, so that a block is later read by parsing only its own part of the
// rows (blocks begin at multiples of 256 columns).
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "grids/grid_file.h"
#include "grids/grid_source.h"
#include "platform/number_text.h"

namespace zelk::grids::detail {
namespace {

constexpr int kMarkShift = 8;  // an offset kept for every 256th value of a row
constexpr std::size_t kHeaderLimit = 1 << 20;
constexpr std::size_t kOpenBuffer = 1 << 20;
constexpr std::size_t kBlockBuffer = 1 << 12;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    return text;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c == '_') c = ' ';
    }
    return out;
}

// A token of the file in a message: quoted, at most 40 bytes of it, control
// bytes written as \xNN.
std::string Quoted(std::string_view text) {
    constexpr std::size_t kMax = 40;
    static const char kHex[] = "0123456789abcdef";
    std::string out = "'";
    for (const char c : text.substr(0, kMax)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    if (text.size() > kMax) out += "...";
    return out + "'";
}

// Whitespace-separated tokens of a file from an offset on, with their
// offsets and line numbers, through a buffer of fixed size.
class TokenReader {
public:
    TokenReader(const ReadOnlyFile& file, std::size_t bufferBytes) : m_file(file), m_buffer(bufferBytes) {}

    void Start(std::uint64_t offset, long line) {
        m_bufferOffset = offset;
        m_begin = m_end = 0;
        m_atEnd = false;
        m_line = line;
    }

    // The next token; false at the end of the file or on an error (error
    // set). The token stays valid until the next call.
    bool Next(std::string_view& token, std::uint64_t& offset, std::string& error) {
        for (;;) {
            while (m_begin < m_end && IsSpace(m_buffer[m_begin])) {
                if (m_buffer[m_begin] == '\n') ++m_line;
                ++m_begin;
            }
            if (m_begin == m_end) {
                if (m_atEnd) return false;
                if (!Refill(error)) return false;
                continue;
            }
            std::size_t stop = m_begin;
            while (stop < m_end && !IsSpace(m_buffer[stop])) ++stop;
            if (stop == m_end && !m_atEnd) {
                if (m_begin == 0 && m_end == m_buffer.size()) {
                    error = "a value of more than " + std::to_string(m_buffer.size()) + " characters";
                    return false;
                }
                if (!Refill(error)) return false;
                continue;
            }
            token = std::string_view(m_buffer.data() + m_begin, stop - m_begin);
            offset = m_bufferOffset + m_begin;
            m_begin = stop;
            return true;
        }
    }

    long Line() const { return m_line; }

private:
    // Keeps the unread bytes, moved to the front, and reads after them.
    bool Refill(std::string& error) {
        const std::size_t kept = m_end - m_begin;
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, kept);
        m_bufferOffset += m_begin;
        m_begin = 0;
        m_end = kept;
        const long long got =
            m_file.ReadSome(m_bufferOffset + kept, m_buffer.data() + kept, m_buffer.size() - kept, error);
        if (got < 0) return false;
        m_end += static_cast<std::size_t>(got);
        if (m_end < m_buffer.size()) m_atEnd = true;
        return true;
    }

    const ReadOnlyFile& m_file;
    std::vector<char> m_buffer;
    std::uint64_t m_bufferOffset = 0;  // of m_buffer[0]
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    bool m_atEnd = false;
    long m_line = 1;
};

// Half a unit of the last decimal of a number as written: how far the value
// it stands for may lie from it.
double HalfUnitOfLastDigit(std::string_view text) {
    const std::size_t point = text.find('.');
    int decimals = 0;
    if (point != std::string_view::npos) {
        for (std::size_t i = point + 1; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) ++decimals;
    }
    return 0.5 * std::pow(10.0, -decimals);
}

bool StartsWithDigit(std::string_view text) { return !text.empty() && text[0] >= '0' && text[0] <= '9'; }

// An angle as decimal degrees or D°M'S" (the degree sign in UTF-8 or
// Latin-1); halfUnit is how far it may lie from what is written.
std::optional<double> ParseAngle(std::string_view text, double& halfUnit) {
    text = Trim(text);
    std::size_t degree = text.find("\xC2\xB0");
    std::size_t signBytes = 2;
    if (degree == std::string_view::npos) {
        degree = text.find('\xB0');
        signBytes = 1;
    }
    if (degree == std::string_view::npos) {
        halfUnit = HalfUnitOfLastDigit(text);
        return ParseDecimal(text);
    }
    bool negative = false;
    std::string_view rest = text;
    if (!rest.empty() && (rest[0] == '-' || rest[0] == '+')) {
        negative = rest[0] == '-';
        rest.remove_prefix(1);
        degree -= 1;
    }
    const std::string_view degreesText = rest.substr(0, degree);
    rest.remove_prefix(degree + signBytes);
    const std::size_t minuteMark = rest.find('\'');
    if (minuteMark == std::string_view::npos) return std::nullopt;
    const std::string_view minutesText = rest.substr(0, minuteMark);
    rest.remove_prefix(minuteMark + 1);
    if (!rest.empty() && rest.back() == '"') rest.remove_suffix(1);
    const std::string_view secondsText = rest;
    if (!StartsWithDigit(degreesText) || !StartsWithDigit(minutesText) || !StartsWithDigit(secondsText)) {
        return std::nullopt;
    }
    const auto d = ParseDecimal(degreesText);
    const auto m = ParseDecimal(minutesText);
    const auto s = ParseDecimal(secondsText);
    if (!d || !m || !s || *m >= 60.0 || *s >= 60.0) return std::nullopt;
    halfUnit = HalfUnitOfLastDigit(secondsText) / 3600.0;
    const double value = *d + *m / 60.0 + *s / 3600.0;
    return negative ? -value : value;
}

// The header's keys this reader uses; others are left alone.
bool IsKnownKey(std::string_view key) {
    for (const char* known : {"lat min", "lat max", "lon min", "lon max", "delta lat", "delta lon",
                              "nrows", "ncols", "nodata", "isg format", "coord type", "coord units",
                              "data format", "data units", "units", "data ordering"}) {
        if (key == known) return true;
    }
    return false;
}

struct Field {
    std::string value;
    long line = 0;
};

class IsgSource final : public GridSource {
public:
    bool Open(const std::filesystem::path& path, const std::string& name, GridGeometry& geometry,
              std::string& error) override {
        m_name = name;
        std::string why;
        if (!m_file.Open(path, why)) {
            error = name + ": " + why;
            return false;
        }
        std::uint64_t dataStart = 0;
        long dataLine = 0;
        if (!ReadHeader(dataStart, dataLine, error)) return false;
        if (!MakeGeometry(geometry, error)) return false;
        return ScanValues(dataStart, dataLine, error);
    }

    bool Read(int row0, int rowCount, int col0, int colCount, float* out, std::size_t stride,
              std::string& error) override {
        const std::uint64_t cols = static_cast<std::uint64_t>(m_cols);
        const int fileCol0 = m_westToEast ? col0 : m_cols - (col0 + colCount);
        const int mark = fileCol0 >> kMarkShift;
        const int skip = fileCol0 - (mark << kMarkShift);
        const std::size_t marksPerRow = ((cols - 1) >> kMarkShift) + 1;
        for (int r = 0; r < rowCount; ++r) {
            const int row = row0 + r;
            const std::size_t fileRow = static_cast<std::size_t>(m_northToSouth ? m_rows - 1 - row : row);
            m_reader.Start(m_rowStart[fileRow] + m_marks[fileRow * marksPerRow + mark], 0);
            float* line = out + static_cast<std::size_t>(r) * stride;
            std::string_view token;
            std::uint64_t offset = 0;
            for (int i = 0; i < skip + colCount; ++i) {
                if (!m_reader.Next(token, offset, error)) {
                    if (error.empty()) error = "ends early (changed since it was opened?)";
                    return false;
                }
                if (i < skip) continue;
                const auto value = ParseDecimal(token);
                if (!value || std::fabs(*value) > FLT_MAX) {
                    error = "value " + Quoted(token) + " is not a number (changed since it was opened?)";
                    return false;
                }
                const int j = i - skip;
                line[m_westToEast ? j : colCount - 1 - j] = Node(*value);
            }
        }
        return true;
    }

    std::size_t MemoryBound() const override {
        return sizeof(*this) + m_rowStart.capacity() * sizeof(std::uint64_t) +
               m_marks.capacity() * sizeof(std::uint32_t) + kBlockBuffer;
    }

private:
    float Node(double value) const {
        if (m_hasNoData && value == m_noData) return std::nanf("");
        return static_cast<float>(value);
    }

    std::string Where(long line) const { return m_name + ":" + std::to_string(line) + ": "; }

    const Field* Find(const char* key) const {
        for (const auto& [k, field] : m_fields) {
            if (k == key) return &field;
        }
        return nullptr;
    }

    // The header's "key : value" and "key = value" lines up to end_of_head.
    bool ReadHeader(std::uint64_t& dataStart, long& dataLine, std::string& error) {
        const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(m_file.Size(), kHeaderLimit));
        std::string text(size, '\0');
        std::string why;
        if (!m_file.ReadAt(0, text.data(), size, why)) {
            error = m_name + ": " + why;
            return false;
        }
        const std::size_t begin = text.find("begin_of_head");
        const std::size_t end = text.find("end_of_head", begin == std::string::npos ? 0 : begin);
        if (end == std::string::npos) {
            error = m_name + ": not an ISG grid: no end_of_head line in the first " +
                    std::to_string(kHeaderLimit >> 20) + " MiB";
            return false;
        }
        long line = 1;
        std::size_t at = 0;
        // Lines before begin_of_head are comments.
        if (begin != std::string::npos) {
            for (; at < begin; ++at) line += text[at] == '\n';
            at = text.find('\n', begin);
            if (at == std::string::npos || at > end) at = end;
        }
        while (at < end) {
            if (text[at] == '\n') {
                ++line;
                ++at;
                continue;
            }
            std::size_t stop = text.find('\n', at);
            if (stop == std::string::npos || stop > end) stop = end;
            const std::string_view content(text.data() + at, stop - at);
            const std::size_t separator = content.find_first_of(":=");
            if (separator != std::string_view::npos) {
                const std::string key = Lower(Trim(content.substr(0, separator)));
                const std::string_view value = Trim(content.substr(separator + 1));
                if (Find(key.c_str())) {
                    if (IsKnownKey(key)) {
                        error = Where(line) + key + " is given a second time";
                        return false;
                    }
                } else {
                    m_fields.emplace_back(key, Field{std::string(value), line});
                }
            }
            at = stop;
        }
        std::size_t afterEnd = text.find('\n', end);
        if (afterEnd == std::string::npos) {
            // Nothing follows end_of_head in the first bytes read.
            if (m_file.Size() > size) {
                error = m_name + ": the end_of_head line is too long";
                return false;
            }
            afterEnd = text.size();
        } else {
            ++afterEnd;
        }
        for (; at < afterEnd; ++at) line += text[at] == '\n';
        dataStart = afterEnd;
        dataLine = line;
        return true;
    }

    bool Text(const char* key, std::string& value) const {
        const Field* field = Find(key);
        if (!field) return false;
        value = Lower(field->value);
        return true;
    }

    bool Required(const char* key, const Field*& field, std::string& error) const {
        field = Find(key);
        if (!field) {
            error = m_name + ": ISG header: " + key + " is missing";
            return false;
        }
        return true;
    }

    bool Angle(const char* key, double& value, double& halfUnit, std::string& error) const {
        const Field* field = nullptr;
        if (!Required(key, field, error)) return false;
        const auto parsed = ParseAngle(field->value, halfUnit);
        if (!parsed || !std::isfinite(*parsed)) {
            error = Where(field->line) + "the value of " + key + ", " + Quoted(field->value) +
                    ", is not an angle in degrees or D°M'S\"";
            return false;
        }
        value = *parsed;
        return true;
    }

    bool Count(const char* key, int& value, std::string& error) const {
        const Field* field = nullptr;
        if (!Required(key, field, error)) return false;
        const auto parsed = ParseInt(Trim(field->value));
        if (!parsed || *parsed <= 0) {
            error = Where(field->line) + "the value of " + key + ", " + Quoted(field->value) +
                    ", is not a positive whole number";
            return false;
        }
        value = *parsed;
        return true;
    }

    bool MakeGeometry(GridGeometry& geometry, std::string& error) {
        std::string text;
        double version = 1.0;
        if (const Field* field = Find("isg format")) {
            const auto parsed = ParseDecimal(Trim(field->value));
            if (!parsed || *parsed < 1.0 || *parsed > 2.0) {
                error = Where(field->line) + "ISG format " + Quoted(field->value) +
                        ": only versions 1.0 to 2.0 are read";
                return false;
            }
            version = *parsed;
        }
        if (Text("coord type", text) && text != "geodetic") {
            error = Where(Find("coord type")->line) + "coord type " + Quoted(text) +
                    ": only geodetic coordinates (latitude, longitude) are read";
            return false;
        }
        if (Text("coord units", text) && text != "deg" && text != "dms") {
            error = Where(Find("coord units")->line) + "coord units " + Quoted(text) +
                    ": only deg and dms are read";
            return false;
        }
        if (Text("data format", text) && text != "grid") {
            error = Where(Find("data format")->line) + "data format " + Quoted(text) +
                    ": only grids are read";
            return false;
        }
        for (const char* key : {"data units", "units"}) {
            if (Text(key, text) && text != "meters" && text != "metres" && text != "m") {
                error = Where(Find(key)->line) + key + " " + Quoted(text) + ": only meters are read";
                return false;
            }
        }
        if (Text("data ordering", text)) {
            std::string compact;
            for (char c : text) {
                if (!IsSpace(c)) compact += c;
            }
            if (compact == "n-to-s,w-to-e" || compact == "s-to-n,w-to-e" ||
                compact == "n-to-s,e-to-w" || compact == "s-to-n,e-to-w") {
                m_northToSouth = compact[0] == 'n';
                m_westToEast = compact[7] == 'w';
            } else {
                error = Where(Find("data ordering")->line) + "data ordering " + Quoted(text) +
                        ": expected N-to-S or S-to-N, then W-to-E or E-to-W";
                return false;
            }
        }
        if (const Field* field = Find("nodata")) {
            const std::string_view value = Trim(field->value);
            if (value != "---" && !value.empty()) {
                const auto parsed = ParseDecimal(value);
                if (!parsed) {
                    error = Where(field->line) + "the value of nodata, " + Quoted(value) +
                            ", is not a number";
                    return false;
                }
                m_hasNoData = true;
                m_noData = *parsed;
            }
        }

        double latMin, latMax, lonMin, lonMax, dLat, dLon, unused, latHalfUnit, lonHalfUnit;
        if (!Angle("lat min", latMin, unused, error) || !Angle("lat max", latMax, unused, error) ||
            !Angle("lon min", lonMin, unused, error) || !Angle("lon max", lonMax, unused, error) ||
            !Angle("delta lat", dLat, latHalfUnit, error) ||
            !Angle("delta lon", dLon, lonHalfUnit, error) || !Count("nrows", m_rows, error) ||
            !Count("ncols", m_cols, error)) {
            return false;
        }
        if (!(dLat > 0.0) || !(dLon > 0.0)) {
            const char* key = dLat > 0.0 ? "delta lon" : "delta lat";
            error = Where(Find(key)->line) + "the value of " + key + ", " +
                    Quoted(Find(key)->value) + ", is not positive";
            return false;
        }
        // The bounds give the outer nodes, or the borders of the cells
        // around them: take the one that agrees with the deltas as printed,
        // the version's own first.
        const double latSpan = latMax - latMin;
        const double lonSpan = lonMax - lonMin;
        const double latNodes = m_rows > 1 ? latSpan / (m_rows - 1) : dLat;
        const double lonNodes = m_cols > 1 ? lonSpan / (m_cols - 1) : dLon;
        const double latCells = latSpan / m_rows;
        const double lonCells = lonSpan / m_cols;
        const double slack = 1e-9;
        const bool nodesFit = (m_rows > 1 || latSpan == 0.0) && (m_cols > 1 || lonSpan == 0.0) &&
                              std::fabs(latNodes - dLat) <= latHalfUnit + slack &&
                              std::fabs(lonNodes - dLon) <= lonHalfUnit + slack;
        const bool cellsFit = std::fabs(latCells - dLat) <= latHalfUnit + slack &&
                              std::fabs(lonCells - dLon) <= lonHalfUnit + slack;
        bool onNodes;
        if (nodesFit && cellsFit) {
            onNodes = version >= 2.0;
        } else if (nodesFit || cellsFit) {
            onNodes = nodesFit;
        } else {
            error = m_name + ": ISG header: the bounds, nrows, ncols and deltas disagree: " +
                    std::to_string(m_rows) + " rows from lat min " + FormatGeneral(latMin, 10) +
                    " to lat max " + FormatGeneral(latMax, 10) + " are " +
                    FormatGeneral(latNodes, 8) + " apart as nodes or " + FormatGeneral(latCells, 8) +
                    " as cells, " + std::to_string(m_cols) + " columns from lon min " +
                    FormatGeneral(lonMin, 10) + " to lon max " + FormatGeneral(lonMax, 10) + " " +
                    FormatGeneral(lonNodes, 8) + " or " + FormatGeneral(lonCells, 8) +
                    "; delta lat is " + Find("delta lat")->value + ", delta lon " +
                    Find("delta lon")->value;
            return false;
        }
        if (onNodes) {
            geometry.dlat = latNodes;
            geometry.dlon = lonNodes;
            geometry.south = latMin;
            geometry.west = lonMin;
        } else {
            geometry.dlat = latCells;
            geometry.dlon = lonCells;
            geometry.south = latMin + latCells / 2;
            geometry.west = lonMin + lonCells / 2;
        }
        geometry.rows = m_rows;
        geometry.cols = m_cols;
        return true;
    }

    bool ScanValues(std::uint64_t dataStart, long dataLine, std::string& error) {
        const std::uint64_t cols = static_cast<std::uint64_t>(m_cols);
        const std::uint64_t total = static_cast<std::uint64_t>(m_rows) * cols;
        const std::size_t marksPerRow = ((cols - 1) >> kMarkShift) + 1;
        // Every value takes two bytes at least (a digit and a blank).
        if (total > m_file.Size() / 2 + 1) {
            error = m_name + ": truncated: nrows x ncols = " + std::to_string(m_rows) + " x " +
                    std::to_string(m_cols) + " values cannot fit in " +
                    std::to_string(m_file.Size()) + " bytes";
            return false;
        }
        m_rowStart.assign(static_cast<std::size_t>(m_rows), 0);
        m_marks.assign(static_cast<std::size_t>(m_rows) * marksPerRow, 0);

        TokenReader reader(m_file, kOpenBuffer);
        reader.Start(dataStart, dataLine);
        std::string_view token;
        std::uint64_t offset = 0;
        std::uint64_t count = 0;
        std::size_t row = 0;
        std::uint64_t col = 0;
        bool anyData = false;
        std::string why;
        while (reader.Next(token, offset, why)) {
            if (count == total) {
                error = Where(reader.Line()) + "more values than nrows x ncols (" +
                        std::to_string(m_rows) + " x " + std::to_string(m_cols) + "): " + Quoted(token);
                return false;
            }
            if (col == 0) m_rowStart[row] = offset;
            if ((col & ((1u << kMarkShift) - 1)) == 0) {
                const std::uint64_t within = offset - m_rowStart[row];
                if (within > UINT32_MAX) {
                    error = Where(reader.Line()) + "a row of more than 4 GiB of text";
                    return false;
                }
                m_marks[row * marksPerRow + (col >> kMarkShift)] = static_cast<std::uint32_t>(within);
            }
            const auto value = ParseDecimal(token);
            if (!value) {
                error = Where(reader.Line()) + Quoted(token) + " is not a number (row " +
                        std::to_string(row + 1) + ", value " + std::to_string(col + 1) + " of the row)";
                return false;
            }
            if (std::fabs(*value) > FLT_MAX) {
                error = Where(reader.Line()) + Quoted(token) + " is beyond the range of the grid's values";
                return false;
            }
            if (!anyData && !std::isnan(Node(*value))) anyData = true;
            ++count;
            if (++col == cols) {
                col = 0;
                ++row;
            }
        }
        if (!why.empty()) {
            error = m_name + ": " + why;
            return false;
        }
        if (count < total) {
            error = m_name + ": truncated: nrows x ncols = " + std::to_string(m_rows) + " x " +
                    std::to_string(m_cols) + " = " + std::to_string(total) +
                    " values expected after the header, " + std::to_string(count) + " found";
            return false;
        }
        if (!anyData) {
            error = m_name + ": holds no data: every value is the nodata value of the header";
            return false;
        }
        return true;
    }

    std::string m_name;
    ReadOnlyFile m_file;
    std::vector<std::pair<std::string, Field>> m_fields;
    int m_rows = 0;
    int m_cols = 0;
    bool m_northToSouth = true;
    bool m_westToEast = true;
    bool m_hasNoData = false;
    double m_noData = 0.0;
    std::vector<std::uint64_t> m_rowStart;  // file rows, in file order
    std::vector<std::uint32_t> m_marks;     // every 256th value of a row, from the row's start
    TokenReader m_reader{m_file, kBlockBuffer};
};

}  // namespace

std::unique_ptr<GridSource> NewIsgSource() { return std::make_unique<IsgSource>(); }

}  // namespace zelk::grids::detail
