// UTF-8 and the UTF-16 of the Windows API.
#pragma once

#include <string>
#include <string_view>

namespace zelk::platform::windows {

// Bytes that are not UTF-8 become U+FFFD, as do lone surrogates the other
// way round.
std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

}  // namespace zelk::platform::windows
