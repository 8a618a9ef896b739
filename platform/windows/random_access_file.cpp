#include "platform/random_access_file.h"

#include <windows.h>

#include <algorithm>

#include "platform/windows/wide_text.h"

namespace zelk::platform {

namespace {
HANDLE Handle(std::intptr_t file) { return reinterpret_cast<HANDLE>(file); }

std::string Reason(DWORD code) {
    wchar_t* text = nullptr;
    ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                         FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason = text ? windows::Utf8(text) : "error " + std::to_string(code);
    if (text) ::LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.')) {
        reason.pop_back();
    }
    return reason;
}
}  // namespace

RandomAccessFile::~RandomAccessFile() {
    if (m_file != -1) ::CloseHandle(Handle(m_file));
}

bool RandomAccessFile::Open(const std::filesystem::path& path, std::string& error) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = "is a folder, not a file";
        return false;
    }
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = "cannot open (" + Reason(::GetLastError()) + ")";
        return false;
    }
    m_file = reinterpret_cast<std::intptr_t>(file);
    if (::GetFileType(file) != FILE_TYPE_DISK) {
        error = "is not a regular file";
        return false;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file, &size)) {
        error = "cannot read (" + Reason(::GetLastError()) + ")";
        return false;
    }
    m_size = static_cast<std::uint64_t>(size.QuadPart);
    return true;
}

long long RandomAccessFile::ReadOnce(std::uint64_t offset, char* out, std::size_t count,
                                     std::string& error) const {
    // A read at an offset of its own: threads do not share a position.
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
    DWORD got = 0;
    if (::ReadFile(Handle(m_file), out, want, &got, &at)) return got;
    const DWORD code = ::GetLastError();
    if (code == ERROR_HANDLE_EOF) return 0;
    error = "cannot read (" + Reason(code) + ")";
    return -1;
}

}  // namespace zelk::platform
