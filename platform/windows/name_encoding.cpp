#include "platform/name_encoding.h"

#include <windows.h>

namespace zelk::nameencoding {

std::optional<std::string> ToUtf8(std::string_view bytes) {
    if (IsUtf8(bytes)) return std::string(bytes);
    // GBK is the system's code page 936; a byte sequence that is not GBK is
    // refused, never guessed.
    const int size = static_cast<int>(bytes.size());
    const int wide = ::MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (wide <= 0) return std::nullopt;
    std::wstring text(static_cast<std::size_t>(wide), L'\0');
    ::MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes.data(), size, text.data(), wide);
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, out.data(), length, nullptr, nullptr);
    if (!IsUtf8(out)) return std::nullopt;
    return out;
}

}  // namespace zelk::nameencoding
