#include "platform/number_text.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <system_error>

void AppendFixed(std::string& out, double value, int decimals) {
    char buffer[400];  // fixed notation of 1e308 with a few decimals fits
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    out.append(buffer, result.ptr);
}

std::string FormatFixed(double value, int decimals) {
    std::string out;
    AppendFixed(out, value, decimals);
    return out;
}

std::string FormatGeneral(double value, int precision) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
    return std::string(buffer, result.ptr);
}

std::optional<double> ParseDecimal(std::string_view text) {
    const char* first = text.data();
    const char* last = first + text.size();
    bool negative = false;
    if (first != last && (*first == '+' || *first == '-')) {
        negative = *first == '-';
        ++first;
    }
    // A digit or a decimal point must follow: this keeps out inf, nan and a
    // second sign, which from_chars would otherwise take.
    if (first == last || !((*first >= '0' && *first <= '9') || *first == '.')) return std::nullopt;
    double value = 0.0;
    const auto result = std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != last) return std::nullopt;
    return negative ? -value : value;
}

std::optional<int> ParseInt(std::string_view text) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') {
        ++first;
        if (first == last || *first < '0' || *first > '9') return std::nullopt;
    }
    if (first == last) return std::nullopt;
    int value = 0;
    const auto result = std::from_chars(first, last, value);
    if (result.ec != std::errc() || result.ptr != last) return std::nullopt;
    return value;
}

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlankOrTab(char c) { return c == ' ' || c == '\t'; }
}  // namespace

std::optional<double> ParseDialogNumber(std::string_view text) {
    text = text.substr(0, 31);
    std::size_t i = 0;
    while (i < text.size() && IsBlankOrTab(text[i])) ++i;
    const std::size_t start = i;
    // The longest prefix that reads as a decimal number.
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < text.size() && IsDigit(text[j])) {
            while (j < text.size() && IsDigit(text[j])) ++j;
            i = j;
        }
    }
    const std::size_t end = i;
    while (i < text.size() && IsBlankOrTab(text[i])) ++i;
    if (i != text.size()) return std::nullopt;
    const std::optional<double> value = ParseDecimal(text.substr(start, end - start));
    if (!value) return std::nullopt;
    if (*value == 0.0 && text[start] != '0') return std::nullopt;
    return value;
}

namespace {
constexpr std::uint64_t kPow10[] = {1ULL,
                                    10ULL,
                                    100ULL,
                                    1000ULL,
                                    10000ULL,
                                    100000ULL,
                                    1000000ULL,
                                    10000000ULL,
                                    100000000ULL,
                                    1000000000ULL,
                                    10000000000ULL,
                                    100000000000ULL,
                                    1000000000000ULL,
                                    10000000000000ULL,
                                    100000000000000ULL,
                                    1000000000000000ULL,
                                    10000000000000000ULL,
                                    100000000000000000ULL};
}  // namespace

char* WriteFixed(char* out, double value, int decimals) {
#if defined(__SIZEOF_INT128__)
    __extension__ typedef unsigned __int128 Uint128;
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const int exponent = static_cast<int>((bits >> 52) & 0x7FF);
    if (exponent != 0x7FF && decimals >= 0 && decimals <= kWriteFixedMaxDecimals) {
        // |value| = mantissa * 2^-shift exactly (subnormals and zero too).
        std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
        int shift = 1074;
        if (exponent != 0) {
            mantissa |= std::uint64_t{1} << 52;
            shift = 1075 - exponent;
        }
        std::uint64_t whole = 0;
        std::uint64_t fraction = 0;  // in units of 10^-decimals
        bool exact = true;
        if (shift <= 0) {
            // An integer: exact in 64 bits up to 2^64.
            if (shift < -11) {
                exact = false;
            } else {
                whole = mantissa << -shift;
            }
        } else {
            // The bits below the binary point, times 10^decimals, are below
            // 2^53 * 10^17 < 2^110: exact in 128 bits.
            Uint128 scaled;
            if (shift < 64) {
                whole = mantissa >> shift;
                scaled = static_cast<Uint128>(mantissa - (whole << shift)) * kPow10[decimals];
            } else {
                scaled = static_cast<Uint128>(mantissa) * kPow10[decimals];
            }
            if (shift < 120) {
                fraction = static_cast<std::uint64_t>(scaled >> shift);
                const Uint128 rest = scaled & ((Uint128{1} << shift) - 1);
                const Uint128 half = Uint128{1} << (shift - 1);
                // The last digit written is that of fraction, or of whole
                // without decimals (10^decimals is even otherwise).
                const std::uint64_t last = decimals == 0 ? whole : fraction;
                if (rest > half || (rest == half && (last & 1))) ++fraction;
                if (fraction == kPow10[decimals]) {
                    fraction = 0;
                    ++whole;
                }
            }
            // shift >= 120: scaled < 2^110 is below half a unit: zero.
        }
        if (exact) {
            if (bits >> 63) *out++ = '-';
            out = std::to_chars(out, out + 20, whole).ptr;
            if (decimals > 0) {
                *out = '.';
                for (int i = decimals; i > 0; --i) {
                    out[i] = static_cast<char>('0' + fraction % 10);
                    fraction /= 10;
                }
                out += decimals + 1;
            }
            return out;
        }
    }
#endif
    return std::to_chars(out, out + kWriteFixedMax, value, std::chars_format::fixed, decimals).ptr;
}
