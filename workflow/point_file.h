// Point files: one point a line, an optional name then three numbers.
//
// Reading is token-based: any white space (blank, tab, CR, LF, VT, FF)
// separates tokens, so CR LF or LF line ends, blank lines and a missing last
// line end are all accepted. A UTF-8 byte-order mark at the very start is
// skipped. A name is any run of non-white bytes up to 64 KB, copied
// unchanged (GBK or UTF-8 alike). A number is a whole token of at most 4 KB:
// optional sign, digits with an optional decimal point, optional exponent
// (no hex, inf or nan). A longer token is unreadable, and nothing after it
// is read. Lines are counted from 1, in 64 bits; CR LF, LF and a lone CR
// each end a line.
//
// Written, a point is one line: "%.3lf %.3lf %.3lf\n" or, with names,
// "%s %.3lf %.3lf %.3lf\n", formatted independently of the locale, except
// that a value that rounds to zero has no sign ("0.000", never "-0.000").
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace zelk {

// Longest token quoted back to the user in a message, in bytes (a control
// byte, shown as \xHH, counts four).
inline constexpr std::size_t kQuotedTokenLimit = 40;

class PointReader {
public:
    enum class Status {
        Point,       // a whole point was read
        End,         // the input ended cleanly before the next point
        Unreadable,  // a token is not a number where one is expected
        CutShort,    // the input ended inside a point
        ReadError,   // the operating system reported a read error
    };

    // Reads from in, which stays owned by the caller.
    PointReader(std::FILE* in, bool withNames);
    ~PointReader();
    PointReader(const PointReader&) = delete;
    PointReader& operator=(const PointReader&) = delete;

    // Reads the next point. On Point, name (empty without names) stays valid
    // until the next call. The values are only written on Point.
    Status Next(std::string_view& name, double& a, double& b, double& c);

    // Skips white space; true when the input holds no further token (Next
    // would give End). False on a read error, which Next then reports.
    bool AtEnd();

    // After Unreadable or CutShort: the line of the offending token (or of
    // the input's end) and the token as QuoteToken quotes it (empty when cut
    // short).
    std::int64_t ProblemLine() const { return m_problemLine; }
    const std::string& ProblemToken() const { return m_problemToken; }

    // After Point: the line of that point's first token.
    std::int64_t PointLine() const { return m_pointLine; }

    // Bytes consumed so far (for progress displays).
    std::uint64_t BytesRead() const { return m_bytesRead; }

private:
    struct Impl;
    Impl* m_impl;
    std::int64_t m_problemLine = 0;
    std::int64_t m_pointLine = 0;
    std::string m_problemToken;
    std::uint64_t m_bytesRead = 0;
};

// Appends one output line for a point.
void AppendPointLine(std::string& out, bool withNames, std::string_view name, double a, double b,
                     double c);

}  // namespace zelk
