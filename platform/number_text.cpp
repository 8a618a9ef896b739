#include "platform/number_text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <utility>

namespace zelk {

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
// Bits of 10^n: 10^n < 2^kPow10Bits[n].
constexpr int kPow10Bits[] = {1, 4, 7, 10, 14, 17, 20, 24, 27, 30, 34, 37, 40, 44, 47, 50, 54, 57};

#if defined(__SIZEOF_INT128__)
__extension__ typedef unsigned __int128 Uint128;

// The bits of a value below the binary point (f * 2^-shift, f < 2^shift,
// 1 <= shift < 120) times 10^Decimals, rounded to the nearest integer, a tie
// to even (of whole when there are no decimals: 10^Decimals is even
// otherwise). Uint is wide enough for f * 10^Decimals.
template <int Decimals, typename Uint>
std::uint64_t RoundScaled(Uint f, int shift, std::uint64_t whole) {
    const Uint scaled = f * kPow10[Decimals];
    std::uint64_t q = static_cast<std::uint64_t>(scaled >> shift);
    const Uint rest = scaled & ((Uint{1} << shift) - 1);
    const Uint half = Uint{1} << (shift - 1);
    const std::uint64_t last = Decimals == 0 ? whole : q;
    if (rest > half || (rest == half && (last & 1))) ++q;
    return q;
}

// WriteFixed for a number of decimals known when compiling, so that the
// powers of ten are constants and the digit loop unrolls.
template <int Decimals>
char* WriteFixedWith(char* out, double value) {
    const auto [mantissa, shift, exponent] = SplitDouble(value);
    // Integers up to 2^64 and every finite value below (those of 2^-120
    // and less are zero at 17 decimals) are written in integer arithmetic.
    if (exponent == 0x7FF || shift < -11) {
        return std::to_chars(out, out + kWriteFixedMax, value, std::chars_format::fixed, Decimals)
            .ptr;
    }
    std::uint64_t whole = 0;
    std::uint64_t fraction = 0;  // in units of 10^-Decimals
    if (shift <= 0) {
        whole = mantissa << -shift;
    } else if (shift < 120) {
        if (shift < 64) whole = mantissa >> shift;
        const std::uint64_t f = shift < 64 ? mantissa - (whole << shift) : mantissa;
        // f * 10^Decimals: below 2^64 for most values of a file (metres
        // with 3 decimals), always below 2^53 * 10^17 < 2^110.
        fraction = shift <= 64 - kPow10Bits[Decimals]
                       ? RoundScaled<Decimals, std::uint64_t>(f, shift, whole)
                       : RoundScaled<Decimals, Uint128>(f, shift, whole);
        if (fraction == kPow10[Decimals]) {
            fraction = 0;
            ++whole;
        }
    }
    if (std::signbit(value)) *out++ = '-';
    out = std::to_chars(out, out + 20, whole).ptr;
    if constexpr (Decimals > 0) {
        *out = '.';
        if constexpr (Decimals <= 9) {
            auto digits = static_cast<std::uint32_t>(fraction);
            for (int i = Decimals; i > 0; --i) {
                out[i] = static_cast<char>('0' + digits % 10);
                digits /= 10;
            }
        } else {
            for (int i = Decimals; i > 0; --i) {
                out[i] = static_cast<char>('0' + fraction % 10);
                fraction /= 10;
            }
        }
        out += Decimals + 1;
    }
    return out;
}

template <std::size_t... D>
constexpr auto MakeFixedWriters(std::index_sequence<D...>) {
    return std::array<char* (*)(char*, double), sizeof...(D)>{&WriteFixedWith<static_cast<int>(D)>...};
}
constexpr auto kFixedWriters =
    MakeFixedWriters(std::make_index_sequence<kWriteFixedMaxDecimals + 1>());
#endif

}  // namespace

char* WriteFixed(char* out, double value, int decimals) {
#if defined(__SIZEOF_INT128__)
    if (decimals >= 0 && decimals <= kWriteFixedMaxDecimals) {
        return kFixedWriters[static_cast<std::size_t>(decimals)](out, value);
    }
#endif
    return std::to_chars(out, out + kWriteFixedMax, value, std::chars_format::fixed, decimals).ptr;
}

}  // namespace zelk
