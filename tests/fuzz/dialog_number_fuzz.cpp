// The number-field reader of the dialogs.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/number_text.h"

using namespace zelk;

namespace {
void Check(bool condition) {
    if (!condition) std::abort();
}
bool IsBlankOrTab(char c) { return c == ' ' || c == '\t'; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto value = ParseDialogNumber(text);
    if (!value) return 0;
    // Only the first 31 bytes count: the same text cut there reads the same.
    const auto cut = ParseDialogNumber(text.substr(0, 31));
    Check(cut && std::memcmp(&*cut, &*value, sizeof(double)) == 0);
    // A number is finite, and zero only when the text starts with "0".
    Check(std::isfinite(*value));
    std::string_view head = text.substr(0, 31);
    while (!head.empty() && IsBlankOrTab(head.front())) head.remove_prefix(1);
    Check(!head.empty());
    if (*value == 0.0) Check(head.front() == '0' && !std::signbit(*value));
    // What the dialog then shows reads back and shows the same again.
    const std::string shown = FormatDialogNumber(*value);
    const auto again = ParseDialogNumber(shown);
    Check(again.has_value());
    Check(FormatDialogNumber(*again) == shown);
    return 0;
}
