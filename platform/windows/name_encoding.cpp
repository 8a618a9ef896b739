// GBK to UTF-8 through the system's code page 936 (mingw-w64 has no iconv).
#include <windows.h>

#include "platform/name_encoding.h"

namespace nameencoding {

std::optional<std::string> ToUtf8(std::string_view bytes) {
    if (IsUtf8(bytes)) return std::string(bytes);
    const int size = static_cast<int>(bytes.size());
    // Bytes that are no GBK character fail instead of becoming U+FFFD.
    const int length =
        ::MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (length <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(), length);
    const int utf8Length =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(utf8Length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8.data(), utf8Length, nullptr,
                          nullptr);
    if (!IsUtf8(utf8)) return std::nullopt;
    return utf8;
}

}  // namespace nameencoding
