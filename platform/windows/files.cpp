#include "platform/files.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include "platform/windows/wide_text.h"

namespace zelk::platform {

namespace windows {

std::wstring Wide(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int size = static_cast<int>(utf8.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
    return wide;
}

std::string Utf8(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

}  // namespace windows

std::filesystem::path PathFromUtf8(std::string_view name) {
    return std::filesystem::path(windows::Wide(name));
}

std::string PathText(const std::filesystem::path& path) { return windows::Utf8(path.native()); }

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) {
    std::wstring wideMode = windows::Wide(mode);
    if (wideMode.find(L'b') == std::wstring::npos) wideMode += L'b';
    return ::_wfopen(path.c_str(), wideMode.c_str());
}

std::optional<std::uint64_t> RegularFileSize(std::FILE* stream) {
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    if (handle == INVALID_HANDLE_VALUE || ::GetFileType(handle) != FILE_TYPE_DISK) {
        return std::nullopt;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(handle, &size)) return std::nullopt;
    return static_cast<std::uint64_t>(size.QuadPart);
}

std::uint64_t ProcessId() { return ::GetCurrentProcessId(); }

bool HasDescriptorNames() { return false; }

}  // namespace zelk::platform
