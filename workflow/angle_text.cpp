#include "workflow/angle_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/angle.h"
#include "platform/number_text.h"
#include "workflow/name_table.h"
#include "workflow/point_scan.h"

namespace zelk {

constexpr NamedValue<AngleFormat> kAngleFormatNames[] = {
    {"packed", AngleFormat::Packed}, {"degrees", AngleFormat::Degrees}, {"dms", AngleFormat::Dms}};

std::optional<AngleFormat> AngleFormatFromName(std::string_view name) {
    return ValueNamed(kAngleFormatNames, name);
}

std::string_view AngleFormatName(AngleFormat format) {
    return NameOfValue(kAngleFormatNames, format);
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
    return ParsePackedAngle(std::string_view(text, static_cast<std::size_t>(p - text)), packed);
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
    const auto [mantissa, shift, exponent] = SplitDouble(f);  // shift at least 53 below 1
    (void)exponent;
    if (shift >= 120) return 0;  // below 2^-67: far below half a unit
    // The common case, a fraction with no bits below 2^-64 (any angle of a
    // degree or more): f·2^64 is an integer F, and F·10^12 / 2^64 is the
    // high word of one product, its rest the low word.
    if (shift <= 64 || (mantissa & ((std::uint64_t{1} << (shift - 64)) - 1)) == 0) {
        const std::uint64_t F = shift <= 64 ? mantissa << (64 - shift) : mantissa >> (shift - 64);
        const Uint128 product = static_cast<Uint128>(F) * 1000000000000ULL;
        std::uint64_t q = static_cast<std::uint64_t>(product >> 64);
        const auto low = static_cast<std::uint64_t>(product);
        const std::uint64_t half = std::uint64_t{1} << 63;
        if (low > half || (low == half && (q & 1))) ++q;
        return q;
    }
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

// The canonical value rounded to 1e-5 seconds, a tie to even, carried.
struct RoundedDms {
    std::uint64_t degrees;
    int minutes;
    std::uint64_t seconds;  // in units of 1e-5 s, below 60e5
};

// The same as Canonicalize and then rounding the seconds to 1e-5 (a tie
// to even) and carrying, in fewer divisions: the rounding looks only at
// the last three of the twelve decimals, which the carries of 60″ (6e9 in
// 1e-8 s) never change, nor the parity of the rest.
RoundedDms RoundToTenMicroseconds(double a) {
    const double whole = std::trunc(a);
    RoundedDms r{static_cast<std::uint64_t>(whole), 0, 0};
    const std::uint64_t n = ScaledFraction(a - whole);  // 1e-12, at most 1e12
    auto t = static_cast<std::uint32_t>(n / 1000);      // 1e-9 of the packed value
    const auto rest = static_cast<std::uint32_t>(n - std::uint64_t{t} * 1000);
    const bool up = rest > 500 || (rest == 500 && (t & 1));
    if (t == 1000000000u) {  // the twelve decimals round to a whole degree
        ++r.degrees;
        t = 0;
    }
    std::uint32_t minutes = t / 10000000u;
    std::uint32_t seconds = t - minutes * 10000000u;  // 1e-5 s, truncated
    const auto carry = [&] {
        if (seconds >= 6000000u) {
            seconds -= 6000000u;
            ++minutes;
        }
        if (minutes >= 60) {
            minutes -= 60;
            ++r.degrees;
        }
    };
    carry();
    seconds += up;
    carry();
    r.minutes = static_cast<int>(minutes);
    r.seconds = seconds;
    return r;
}

char* WriteDmsText(char* out, bool negative, const RoundedDms& r) {
    if (negative) *out++ = '-';
    out = std::to_chars(out, out + 20, r.degrees).ptr;
    std::memcpy(out, "\xC2\xB0", 2);
    out = WriteDigits(out + 2, static_cast<std::uint64_t>(r.minutes), 2);
    std::memcpy(out, "\xE2\x80\xB2", 3);
    out = WriteDigits(out + 3, r.seconds / 100000, 2);
    *out++ = '.';
    out = WriteDigits(out, r.seconds % 100000, 5);
    std::memcpy(out, "\xE2\x80\xB3", 3);
    return out + 3;
}

// "00" to "99".
constexpr char kDigitPairs[201] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

void WritePair(char* out, std::uint32_t pair) {
    out[0] = kDigitPairs[2 * pair];
    out[1] = kDigitPairs[2 * pair + 1];
}

// ddd.mmssfffff: the same digits as the DMS text. The decimals are written
// in pairs from independent quotients, which a file of millions of angles
// notices.
char* WritePackedText(char* out, bool negative, const RoundedDms& r) {
    if (negative) *out++ = '-';
    if (r.degrees < 100) {
        if (r.degrees >= 10) {
            WritePair(out, static_cast<std::uint32_t>(r.degrees));
            out += 2;
        } else {
            *out++ = static_cast<char>('0' + r.degrees);
        }
    } else {
        out = std::to_chars(out, out + 20, r.degrees).ptr;
    }
    *out = '.';
    const auto seconds = static_cast<std::uint32_t>(r.seconds);  // below 6e6
    WritePair(out + 1, static_cast<std::uint32_t>(r.minutes));
    WritePair(out + 3, seconds / 100000);
    WritePair(out + 5, seconds / 1000 % 100);
    WritePair(out + 7, seconds / 10 % 100);
    out[9] = static_cast<char>('0' + seconds % 10);
    return out + 10;
}

}  // namespace

bool ParsePackedAngle(std::string_view token, double& packed) {
    if (!pointscan::ParseNumber(token, packed)) return false;
    // The engine's degrees and minutes can differ from the text's only where
    // the double lies within its rounding (and the engine's, a few units in
    // the last place) of a whole minute: elsewhere the nearest double is it.
    const double y = std::fabs(packed) * 100;
    if (y < 0x1p62) {
        const double fraction = y - static_cast<double>(static_cast<std::int64_t>(y));
        const double tolerance = y * 0x1p-48;
        if (fraction > tolerance && fraction < 1 - tolerance) return true;
    }
    // The whole degrees and minutes the digits say: sign, at most 9 digits,
    // and the first two decimals (missing ones are zeros); other texts
    // (exponents, longer degrees) keep the nearest double.
    std::size_t i = token[0] == '+' || token[0] == '-' ? 1 : 0;
    const std::size_t wholeEnd = Digits(token, i);
    if (wholeEnd - i > 9) return true;
    double degrees = 0;
    for (; i < wholeEnd; ++i) degrees = degrees * 10 + (token[i] - '0');
    int minutes = 0;
    if (i < token.size()) {
        if (token[i] != '.' || Digits(token, i + 1) != token.size()) return true;
        const std::size_t decimals = token.size() - i - 1;
        if (decimals >= 1) minutes += (token[i + 1] - '0') * 10;
        if (decimals >= 2) minutes += token[i + 2] - '0';
    }
    // Where the engine's reading of the double (engine/angle.h) has other
    // degrees or minutes, the text sits within a rounding of the boundary:
    // the neighbour on the text's side reads as the text says.
    const double away = std::signbit(packed) ? -HUGE_VAL : HUGE_VAL;
    for (int step = 0; step < 2; ++step) {
        const DmsReading r = ReadDms(std::fabs(packed));
        if (r.degrees == degrees && r.minutes == minutes) break;
        const bool beyond = r.degrees > degrees || (r.degrees == degrees && r.minutes > minutes);
        packed = std::nextafter(packed, beyond ? -away : away);
    }
    return true;
}

bool ParseAngle(std::string_view token, AngleFormat format, AngleAxis axis, double& packed) {
    switch (format) {
        case AngleFormat::Packed: return ParsePackedAngle(token, packed);
        case AngleFormat::Degrees: return ParseDegrees(token, packed);
        case AngleFormat::Dms: return ParseDms(token, axis, packed);
    }
    return false;
}

char* WriteAngle(char* out, double packed, AngleFormat format) {
    if (!std::isfinite(packed)) return std::to_chars(out, out + kAngleTextMax, packed).ptr;
    const bool negative = std::signbit(packed);
    const double a = std::fabs(packed);
    if (a >= kTwo63) {
        // A whole number of degrees (never a real angle).
        if (format != AngleFormat::Dms) return WriteFixed(out, packed, 9);
        if (negative) *out++ = '-';
        out = std::to_chars(out, out + kWriteFixedMax, a, std::chars_format::fixed, 0).ptr;
        std::memcpy(out, "\xC2\xB0" "00\xE2\x80\xB2" "00.00000\xE2\x80\xB3", 18);
        return out + 18;
    }
    switch (format) {
        case AngleFormat::Packed: return WritePackedText(out, negative, RoundToTenMicroseconds(a));
        case AngleFormat::Degrees: return WriteDegreesText(out, negative, Canonicalize(a));
        case AngleFormat::Dms: return WriteDmsText(out, negative, RoundToTenMicroseconds(a));
    }
    return out;
}

std::string PackedAngleText(double packed) {
    char text[kAngleTextMax];
    std::string written(text, WriteAngle(text, packed, AngleFormat::Packed));
    if (written.size() > 1 && written[0] == '-' &&
        written.find_first_not_of("0.", 1) == std::string::npos) {
        written.erase(0, 1);
    }
    return written;
}

}  // namespace zelk
