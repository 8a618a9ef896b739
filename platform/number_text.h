// Locale-independent number text. Never printf/strtod: the desktop program
// runs under the user's locale, where 114.3015 could turn into 114,3015.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace zelk {

// Appends value as printf's "%.<decimals>f" would in the C locale.
void AppendFixed(std::string& out, double value, int decimals);
std::string FormatFixed(double value, int decimals);

// value as printf's "%.<precision>g" would in the C locale.
std::string FormatGeneral(double value, int precision = 15);

// Parses text as a whole decimal number: optional sign, digits with an
// optional decimal point, optional exponent. No hexadecimal, no inf/nan, no
// surrounding blanks, nothing after the number; out-of-range values are
// refused. Returns nothing when text is not such a number.
std::optional<double> ParseDecimal(std::string_view text);

// Parses a C-style "%d" integer (optional sign, digits) fitting an int.
std::optional<int> ParseInt(std::string_view text);

// Reads the text of a dialog's number field: at most its first 31 bytes,
// leading blanks and tabs skipped, a decimal number (optional sign, digits
// with an optional decimal point, optional exponent), then only blanks and
// tabs. A value of zero counts only when the text (after the leading blanks)
// begins with "0": an empty field, ".0", "+0" and "-0" are not numbers,
// "0" and "0.0" are. Out-of-range values are not numbers either.
std::optional<double> ParseDialogNumber(std::string_view text);

// Shows a number in a dialog field: printf's "%.15g" in the C locale, except
// that a negative zero shows as "0" (the field rules refuse "-0", and a
// value the program shows must read back).
inline std::string FormatDialogNumber(double value) {
    return value == 0.0 ? std::string("0") : FormatGeneral(value, 15);
}

// Exact fixed-point writing for the file writers, which write millions of
// values: WriteFixed(out, value, decimals) writes exactly what printf's
// "%.<decimals>f" writes in the C locale (the exact binary value rounded to
// the nearest multiple of 10^-decimals, a tie to even; a sign for every
// negative value, -0.0 and values that round to zero included; "inf",
// "-inf", "nan" and "-nan" as they are), for 0 <= decimals <=
// kWriteFixedMaxDecimals, at most kWriteFixedMax bytes, without a
// terminating NUL; returns one past the last byte written. Values below 2^64
// are written with integer arithmetic alone; others go through
// std::to_chars, which is exact too.
inline constexpr int kWriteFixedMaxDecimals = 17;
inline constexpr std::size_t kWriteFixedMax = 330;
char* WriteFixed(char* out, double value, int decimals);

// A double's magnitude as mantissa · 2^-shift, exactly (subnormals and zero
// too), with its biased exponent (0x7FF: infinite or not a number). For the
// writers that round decimals in integer arithmetic.
struct DoubleParts {
    std::uint64_t mantissa;
    int shift;
    int exponent;
};
inline DoubleParts SplitDouble(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    DoubleParts parts{bits & ((std::uint64_t{1} << 52) - 1), 1074,
                      static_cast<int>((bits >> 52) & 0x7FF)};
    if (parts.exponent != 0) {
        parts.mantissa |= std::uint64_t{1} << 52;
        parts.shift = 1075 - parts.exponent;
    }
    return parts;
}

}  // namespace zelk
