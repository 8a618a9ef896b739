#include "platform/number_text.h"

#include <charconv>
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
