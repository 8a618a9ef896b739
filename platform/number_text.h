// Locale-independent number text. Never printf/strtod: the desktop program
// runs under the user's locale, where 114.3015 could turn into 114,3015.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

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
