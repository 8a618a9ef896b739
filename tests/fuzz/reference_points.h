// A plain, slow reading of point files for the fuzz targets to compare the
// real reader against. It shares no code with the reader: tokens are cut with
// a loop over the bytes, numbers are checked against the grammar by hand and
// converted with strtod (the fuzz programs never change the C locale).
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace reference {

// Stops the run so that libFuzzer (or the replay test) reports the input.
inline void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}

// Same bits: -0 differs from 0, and a NaN equals itself.
inline bool SameDouble(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

inline bool White(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

inline bool Digit(char c) { return c >= '0' && c <= '9'; }

struct Token {
    std::string_view text;
    int line;  // counted from 1; CR LF, LF and a lone CR end a line
};

// Every token of a point file, after a UTF-8 byte-order mark at the start.
inline std::vector<Token> Tokens(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::vector<Token> tokens;
    int line = 1;
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (White(c)) {
            if (c == '\r' || (c == '\n' && (i == 0 || text[i - 1] != '\r'))) ++line;
            ++i;
            continue;
        }
        const std::size_t start = i;
        while (i < text.size() && !White(static_cast<unsigned char>(text[i]))) ++i;
        tokens.push_back({text.substr(start, i - start), line});
    }
    return tokens;
}

// A whole token as a decimal number: optional sign, digits with an optional
// decimal point (at least one digit), optional exponent with at least one
// digit. A value that overflows, or a non-zero number that underflows to
// zero, is out of range and not read.
inline bool Number(std::string_view token, double& value) {
    if (token.size() > 4096) return false;  // longer than any number read
    std::size_t i = 0;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
    std::size_t digits = 0;
    bool nonZero = false;
    while (i < token.size() && Digit(token[i])) nonZero |= token[i++] != '0', ++digits;
    if (i < token.size() && token[i] == '.') {
        ++i;
        while (i < token.size() && Digit(token[i])) nonZero |= token[i++] != '0', ++digits;
    }
    if (digits == 0) return false;
    if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        ++i;
        if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
        std::size_t exponentDigits = 0;
        while (i < token.size() && Digit(token[i])) ++i, ++exponentDigits;
        if (exponentDigits == 0) return false;
    }
    if (i != token.size()) return false;
    const std::string copy(token);
    const double v = std::strtod(copy.c_str(), nullptr);
    if (std::isinf(v) || (v == 0.0 && nonZero)) return false;
    value = v;
    return true;
}

struct Point {
    std::string_view name;  // empty without names
    double v[3];
};

enum class Ending { Clean, Unreadable, CutShort };

struct Reading {
    std::vector<Point> points;
    Ending ending = Ending::Clean;
    int line = 0;            // of the problem
    std::string_view token;  // Unreadable: the whole token
};

// A name of more than 64 KB is not read.
inline bool Name(std::string_view token) { return token.size() <= 65536; }

// Points until the first problem: three numbers a point, after a name when
// names are on. A point cut short by the end is placed on the line of its
// last token.
inline Reading ReadPoints(std::string_view text, bool withNames) {
    const std::vector<Token> tokens = Tokens(text);
    Reading reading;
    const std::size_t per = withNames ? 4 : 3;
    for (std::size_t first = 0; first < tokens.size(); first += per) {
        if (withNames && !Name(tokens[first].text)) {
            reading.ending = Ending::Unreadable;
            reading.line = tokens[first].line;
            reading.token = tokens[first].text;
            return reading;
        }
        if (first + per > tokens.size()) {
            // Numbers that are there are still checked in order: the first
            // bad one is reported before the missing end.
            for (std::size_t k = first + (withNames ? 1 : 0); k < tokens.size(); ++k) {
                double ignored;
                if (!Number(tokens[k].text, ignored)) {
                    reading.ending = Ending::Unreadable;
                    reading.line = tokens[k].line;
                    reading.token = tokens[k].text;
                    return reading;
                }
            }
            reading.ending = Ending::CutShort;
            reading.line = tokens.back().line;
            return reading;
        }
        Point point{};
        std::size_t k = first;
        if (withNames) point.name = tokens[k++].text;
        for (int n = 0; n < 3; ++n, ++k) {
            if (!Number(tokens[k].text, point.v[n])) {
                reading.ending = Ending::Unreadable;
                reading.line = tokens[k].line;
                reading.token = tokens[k].text;
                return reading;
            }
        }
        reading.points.push_back(point);
    }
    return reading;
}

// The token as a message quotes it: control bytes (below 0x20, and DEL) as
// \xHH, at most 40 bytes in all; the whole token when it fits, else its
// start, 37 to 40 bytes (a \xHH that does not fit, or a UTF-8 character
// that would be split, is left out whole).
inline void CheckQuoted(std::string_view quoted, std::string_view token) {
    std::string shown;
    for (unsigned char c : token.substr(0, 41)) {
        if (c < 0x20 || c == 0x7F) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            shown += escape;
        } else {
            shown += static_cast<char>(c);
        }
    }
    if (token.size() <= 40 && shown.size() <= 40) {
        Check(quoted == shown, "a short token is quoted whole");
        return;
    }
    Check(quoted.size() <= 40 && quoted.size() >= 37, "a long token is quoted with 37 to 40 bytes");
    Check(shown.substr(0, quoted.size()) == quoted, "the quote is the token's start");
}

// A file in memory, opened for reading like a file on disk.
class MemoryInput {
public:
    explicit MemoryInput(std::string_view bytes)
        : m_bytes(bytes.begin(), bytes.end()),
          m_file(fmemopen(m_bytes.empty() ? nullptr : m_bytes.data(), m_bytes.size(), "rb")) {
        Check(m_file != nullptr || m_bytes.empty(), "fmemopen");
        if (!m_file) m_file = std::fopen("/dev/null", "rb");
        Check(m_file != nullptr, "open an empty input");
    }
    ~MemoryInput() { std::fclose(m_file); }
    MemoryInput(const MemoryInput&) = delete;
    MemoryInput& operator=(const MemoryInput&) = delete;
    std::FILE* Get() const { return m_file; }

private:
    std::vector<char> m_bytes;
    std::FILE* m_file;
};

}  // namespace reference
