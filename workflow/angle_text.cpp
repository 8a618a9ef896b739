#include "workflow/angle_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/angle.h"
#include "platform/number_text.h"
#include "workflow/point_scan.h"

namespace zelk {

std::optional<AngleFormat> AngleFormatFromName(std::string_view name) {
    if (name == "packed") return AngleFormat::Packed;
    if (name == "degrees") return AngleFormat::Degrees;
    if (name == "dms") return AngleFormat::Dms;
    return std::nullopt;
}

std::string_view AngleFormatName(AngleFormat format) {
    switch (format) {
        case AngleFormat::Packed: return "packed";
        case AngleFormat::Degrees: return "degrees";
        case AngleFormat::Dms: return "dms";
    }
    return "packed";
}

namespace {

bool IsDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

std::size_t Digits(std::string_view s, std::size_t i) {
    while (i < s.size() && IsDigit(s[i])) ++i;
    return i;
}

// One part of a DMS text: integer digits, and decimals when it is the last.
struct Part {
    std::string_view whole;
    std::string_view fraction;
    bool point = false;  // a decimal point was given
    bool present = false;
};

// Multiplies the decimal fraction 0.d1d2...dn held in digits by 60, in
// place: digits become the fraction of the product, the integer part
// (0 to 59) is returned. Exact: the product has at most n decimals.
int FractionTimes60(char* digits, std::size_t n) {
    int carry = 0;
    for (std::size_t i = n; i-- > 0;) {
        const int v = (digits[i] - '0') * 60 + carry;
        digits[i] = static_cast<char>('0' + v % 10);
        carry = v / 10;
    }
    return carry;
}

// Value of at most two digits, or -1.
int SmallValue(std::string_view digits) {
    std::size_t i = 0;
    while (i + 2 < digits.size() && digits[i] == '0') ++i;  // leading zeros
    digits.remove_prefix(i);
    if (digits.empty() || digits.size() > 2) return -1;
    int v = 0;
    for (char c : digits) v = v * 10 + (c - '0');
    return v;
}

// Builds the packed text of degrees, minutes, seconds (the last present part
// may have a fraction) and reads it. minutes/seconds absent: zero.
bool PackParts(bool negative, const Part& d, const Part& m, const Part& s, double& packed) {
    int minutes = 0, seconds = 0;
    if (m.present) {
        minutes = SmallValue(m.whole);
        if (minutes < 0 || minutes >= 60) return false;
    }
    if (s.present) {
        seconds = SmallValue(s.whole);
        if (seconds < 0 || seconds >= 60) return false;
    }
    const std::string_view fraction =
        s.present ? s.fraction : m.present ? m.fraction : d.fraction;
    // sign, degrees, '.', mm, ss, decimals of seconds.
    const std::size_t size = 1 + d.whole.size() + 5 + fraction.size();
    char small[128];
    std::string large;
    char* text = small;
    if (size > sizeof small) {
        large.resize(size);
        text = large.data();
    }
    char* p = text;
    if (negative) *p++ = '-';
    std::memcpy(p, d.whole.data(), d.whole.size());
    p += d.whole.size();
    *p++ = '.';
    char* const mm = p;
    char* const decimals = p + 4;
    if (!fraction.empty()) std::memcpy(decimals, fraction.data(), fraction.size());
    if (!s.present) {
        if (!m.present) minutes = FractionTimes60(decimals, fraction.size());
        seconds = FractionTimes60(decimals, fraction.size());
    }
    mm[0] = static_cast<char>('0' + minutes / 10);
    mm[1] = static_cast<char>('0' + minutes % 10);
    mm[2] = static_cast<char>('0' + seconds / 10);
    mm[3] = static_cast<char>('0' + seconds % 10);
    p = decimals + fraction.size();
    if (!pointscan::ParseNumber(std::string_view(text, static_cast<std::size_t>(p - text)), packed)) {
        return false;
    }
    // The engine reads a packed double by truncation (DmsToRadian): when
    // the nearest double lies just below a whole minute or degree that the
    // text stands for (36.37 is 36.369999999999997), it would read minutes
    // 36 and seconds 99.99…, 40″ too much. The next double up is read as
    // the text says.
    std::uint64_t degrees = 0;
    if (d.whole.size() <= 9) {
        for (char c : d.whole) degrees = degrees * 10 + static_cast<unsigned>(c - '0');
        const double a = std::fabs(packed);
        const double D = TruncInt32(a);
        if (D != static_cast<double>(degrees) ||
            TruncInt32(a * 100 - D * 100) != static_cast<double>(minutes)) {
            packed = std::nextafter(packed, negative ? -HUGE_VAL : HUGE_VAL);
        }
    }
    return true;
}

bool ParseDegrees(std::string_view token, double& packed) {
    bool negative = false;
    std::size_t i = 0;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
    Part d;
    d.present = true;
    const std::size_t wholeEnd = Digits(token, i);
    d.whole = token.substr(i, wholeEnd - i);
    i = wholeEnd;
    if (i < token.size() && token[i] == '.') {
        const std::size_t end = Digits(token, i + 1);
        d.fraction = token.substr(i + 1, end - i - 1);
        i = end;
    }
    if (i != token.size() || (d.whole.empty() && d.fraction.empty())) return false;
    if (d.whole.empty()) d.whole = "0";
    return PackParts(negative, d, Part{}, Part{}, packed);
}

// The length of a mark of the given kind at token[i], or 0.
enum class Mark { Degree, Minute, Second };
std::size_t MarkAt(std::string_view token, std::size_t i, Mark mark) {
    const std::string_view rest = token.substr(i);
    auto starts = [&](std::string_view m) { return rest.substr(0, m.size()) == m; };
    switch (mark) {
        case Mark::Degree:
            if (starts("\xC2\xB0") || starts("\xA1\xE3")) return 2;
            return 0;
        case Mark::Minute:
            if (starts("\xE2\x80\xB2")) return 3;
            if (starts("\xA1\xE4")) return 2;
            if (starts("'")) return 1;
            return 0;
        case Mark::Second:
            if (starts("\xE2\x80\xB3")) return 3;
            if (starts("\xA1\xE5") || starts("''")) return 2;
            if (starts("\"")) return 1;
            return 0;
    }
    return 0;
}

bool ParseDms(std::string_view token, AngleAxis axis, double& packed) {
    // Sign or hemisphere.
    bool negative = false;
    bool hasSign = false;
    if (!token.empty() && (token.front() == '+' || token.front() == '-')) {
        negative = token.front() == '-';
        hasSign = true;
        token.remove_prefix(1);
    }
    if (!token.empty()) {
        const char letter = static_cast<char>(token.back() & ~0x20);  // upper case
        const bool latitude = letter == 'N' || letter == 'S';
        const bool longitude = letter == 'E' || letter == 'W';
        if (latitude || longitude) {
            if (hasSign) return false;
            if ((latitude && axis == AngleAxis::Longitude) ||
                (longitude && axis == AngleAxis::Latitude)) {
                return false;
            }
            negative = letter == 'S' || letter == 'W';
            token.remove_suffix(1);
            while (!token.empty() && (token.back() == ' ' || token.back() == '\t')) {
                token.remove_suffix(1);
            }
        }
    }
    // Parts: digits, with decimals only in the last.
    Part parts[3];
    std::size_t i = 0;
    auto readPart = [&](Part& part) {
        const std::size_t wholeEnd = Digits(token, i);
        if (wholeEnd == i) return false;
        part.whole = token.substr(i, wholeEnd - i);
        part.present = true;
        i = wholeEnd;
        if (i < token.size() && token[i] == '.') {
            const std::size_t end = Digits(token, i + 1);
            part.fraction = token.substr(i + 1, end - i - 1);
            part.point = true;
            i = end;
        }
        return true;
    };
    if (!readPart(parts[0])) return false;
    if (const std::size_t n = MarkAt(token, i, Mark::Degree)) {
        // D°M′S″, trailing parts optional, the last mark but the degree's too.
        i += n;
        if (i != token.size()) {
            if (parts[0].point || !readPart(parts[1])) return false;
            const std::size_t minute = MarkAt(token, i, Mark::Minute);
            i += minute;
            if (i != token.size()) {
                if (minute == 0 || parts[1].point || !readPart(parts[2])) {
                    return false;
                }
                i += MarkAt(token, i, Mark::Second);
            }
        }
    } else if (i < token.size() && token[i] == ':' && !parts[0].point) {
        // D:M or D:M:S.
        ++i;
        if (!readPart(parts[1])) return false;
        if (i < token.size() && token[i] == ':' && !parts[1].point) {
            ++i;
            if (!readPart(parts[2])) return false;
        }
    } else {
        return false;
    }
    if (i != token.size()) return false;
    return PackParts(negative, parts[0], parts[1], parts[2], packed);
}

// The packed value at its decimal meaning (see the header), split up.
struct Canonical {
    std::uint64_t degrees = 0;
    int minutes = 0;
    std::uint64_t seconds = 0;  // in units of 1e-8 seconds, below 60e8
};

constexpr std::uint64_t kSecondUnits = 100000000;  // 1e-8 s
constexpr double kTwo63 = 9223372036854775808.0;

// Rounds f (0 <= f < 1) times 10^12 to the nearest integer, a tie to even.
std::uint64_t ScaledFraction(double f) {
#if defined(__SIZEOF_INT128__)
    __extension__ typedef unsigned __int128 Uint128;
    std::uint64_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    const int exponent = static_cast<int>((bits >> 52) & 0x7FF);
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    int shift = 1074;
    if (exponent != 0) {
        mantissa |= std::uint64_t{1} << 52;
        shift = 1075 - exponent;  // at least 53 below 1
    }
    if (shift >= 120) return 0;  // below 2^-67: far below half a unit
    const Uint128 scaled = static_cast<Uint128>(mantissa) * 1000000000000ULL;
    std::uint64_t q = static_cast<std::uint64_t>(scaled >> shift);
    const Uint128 rest = scaled & ((Uint128{1} << shift) - 1);
    const Uint128 half = Uint128{1} << (shift - 1);
    if (rest > half || (rest == half && (q & 1))) ++q;
    return q;
#else
    // Without 128-bit integers: printf-exact rounding through to_chars.
    char text[40];
    const auto r = std::to_chars(text, text + sizeof text, f, std::chars_format::fixed, 12);
    std::uint64_t q = 0;
    for (const char* p = text; p != r.ptr; ++p) {
        if (IsDigit(*p)) q = q * 10 + static_cast<unsigned>(*p - '0');
    }
    return q;
#endif
}

// a: finite, 0 <= a < 2^63.
Canonical Canonicalize(double a) {
    Canonical c;
    const double whole = std::trunc(a);
    c.degrees = static_cast<std::uint64_t>(whole);
    std::uint64_t n = ScaledFraction(a - whole);  // exact subtraction
    if (n == 1000000000000ULL) {
        ++c.degrees;
        n = 0;
    }
    c.minutes = static_cast<int>(n / 10000000000ULL);
    c.seconds = n % 10000000000ULL;
    if (c.seconds >= 60 * kSecondUnits) {
        c.seconds -= 60 * kSecondUnits;
        ++c.minutes;
    }
    if (c.minutes >= 60) {
        c.minutes -= 60;
        ++c.degrees;
    }
    return c;
}

char* WriteDigits(char* out, std::uint64_t value, int count) {
    for (int i = count; i-- > 0;) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return out + count;
}

char* WriteDegreesText(char* out, bool negative, const Canonical& c) {
    // Decimals of a degree in units of 1e-9: (M * 60 + S) / 3600 * 1e9 =
    // (M * 6e9 + S in 1e-8 s) / 360, rounded once.
    const std::uint64_t numerator = static_cast<std::uint64_t>(c.minutes) * 6000000000ULL + c.seconds;
    std::uint64_t q = numerator / 360;
    const std::uint64_t rest = numerator % 360;
    if (rest > 180 || (rest == 180 && (q & 1))) ++q;
    std::uint64_t degrees = c.degrees;
    if (q == 1000000000ULL) {
        q = 0;
        ++degrees;
    }
    if (negative) *out++ = '-';
    out = std::to_chars(out, out + 20, degrees).ptr;
    *out++ = '.';
    return WriteDigits(out, q, 9);
}

char* WriteDmsText(char* out, bool negative, const Canonical& c) {
    std::uint64_t q = c.seconds / 1000;  // units of 1e-5 s
    const std::uint64_t rest = c.seconds % 1000;
    if (rest > 500 || (rest == 500 && (q & 1))) ++q;
    int minutes = c.minutes;
    std::uint64_t degrees = c.degrees;
    if (q >= 6000000) {
        q -= 6000000;
        ++minutes;
    }
    if (minutes >= 60) {
        minutes -= 60;
        ++degrees;
    }
    if (negative) *out++ = '-';
    out = std::to_chars(out, out + 20, degrees).ptr;
    std::memcpy(out, "\xC2\xB0", 2);
    out = WriteDigits(out + 2, static_cast<std::uint64_t>(minutes), 2);
    std::memcpy(out, "\xE2\x80\xB2", 3);
    out = WriteDigits(out + 3, q / 100000, 2);
    *out++ = '.';
    out = WriteDigits(out, q % 100000, 5);
    std::memcpy(out, "\xE2\x80\xB3", 3);
    return out + 3;
}

}  // namespace

bool ParseAngle(std::string_view token, AngleFormat format, AngleAxis axis, double& packed) {
    switch (format) {
        case AngleFormat::Packed: return pointscan::ParseNumber(token, packed);
        case AngleFormat::Degrees: return ParseDegrees(token, packed);
        case AngleFormat::Dms: return ParseDms(token, axis, packed);
    }
    return false;
}

char* WriteAngle(char* out, double packed, AngleFormat format) {
    if (format == AngleFormat::Packed || !std::isfinite(packed)) {
        if (!std::isfinite(packed)) {
            return std::to_chars(out, out + kAngleTextMax, packed).ptr;
        }
        return WriteFixed(out, packed, 8);
    }
    const bool negative = std::signbit(packed);
    const double a = std::fabs(packed);
    if (a >= kTwo63) {
        // A whole number of degrees (never a real angle).
        if (format == AngleFormat::Degrees) return WriteFixed(out, packed, 9);
        if (negative) *out++ = '-';
        out = std::to_chars(out, out + kWriteFixedMax, a, std::chars_format::fixed, 0).ptr;
        std::memcpy(out, "\xC2\xB0" "00\xE2\x80\xB2" "00.00000\xE2\x80\xB3", 18);
        return out + 18;
    }
    const Canonical c = Canonicalize(a);
    return format == AngleFormat::Degrees ? WriteDegreesText(out, negative, c)
                                          : WriteDmsText(out, negative, c);
}

}  // namespace zelk
