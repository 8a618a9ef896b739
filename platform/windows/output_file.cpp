#include "platform/output_file.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

#include "platform/files.h"
#include "platform/interrupt_cleanup.h"
#include "platform/standard_streams.h"

namespace zelk {

namespace {

namespace fs = std::filesystem;

std::atomic<unsigned> g_temporaryCounter{0};

// A target held open by another program is tried again this often, this
// long apart: about two seconds in all, which outlasts a virus scanner's
// look at a new file but not a spreadsheet that shows it.
constexpr int kReplaceAttempts = 20;
constexpr DWORD kReplacePauseMs = 100;

bool HeldByAnother(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_ACCESS_DENIED || error == ERROR_UNABLE_TO_REMOVE_REPLACED ||
           error == ERROR_USER_MAPPED_FILE;
}

std::string HeldText(const fs::path& target) {
    return "“" + zelk::platform::PathText(target) +
           "”正被其他程序打开（例如在 Excel 中），无法替换，原文件未改动。请关闭该程序后重试。";
}

// True when another program has target open in a way that keeps it from
// being replaced. Asked before ReplaceFileW, which on some systems (wine)
// leaves a file of its own behind when it fails.
bool TargetHeld(const fs::path& target) {
    const HANDLE probe =
        ::CreateFileW(target.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_SHARING_VIOLATION;
    ::CloseHandle(probe);
    return false;
}

// A C stream over a handle, which it then owns; null (the handle closed)
// on failure.
std::FILE* StreamOf(HANDLE handle, const char* mode) {
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(handle);
        return nullptr;
    }
    std::FILE* stream = ::_fdopen(fd, mode);
    if (!stream) ::_close(fd);
    return stream;
}

HANDLE HandleOf(std::FILE* stream) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
}

// A temporary file that the system removes when it is closed, in the
// temporary folder, open for reading and writing; null on failure.
std::FILE* AnonymousFile() {
    std::error_code ec;
    const fs::path folder = fs::temp_directory_path(ec);
    if (ec) return nullptr;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path name =
            folder / ("zelk-spool-" + std::to_string(zelk::platform::ProcessId()) + "-" +
                      std::to_string(g_temporaryCounter.fetch_add(1)) + ".tmp");
        const HANDLE handle = ::CreateFileW(
            name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (handle != INVALID_HANDLE_VALUE) return StreamOf(handle, "w+b");
        if (::GetLastError() != ERROR_FILE_EXISTS) return nullptr;
    }
    return nullptr;
}

bool WriteFully(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const unsigned part = static_cast<unsigned>(size < (1u << 30) ? size : (1u << 30));
        const int written = ::_write(fd, data, part);
        if (written <= 0) return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Copies the whole of from (from its start) to fd at fd's position.
bool CopyWhole(std::FILE* from, int fd) {
    if (std::fflush(from) != 0 || ::_fseeki64(from, 0, SEEK_SET) != 0) return false;
    std::vector<char> buffer(256 * 1024);
    for (;;) {
        const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), from);
        if (got == 0) return !std::ferror(from);
        if (!WriteFully(fd, buffer.data(), got)) return false;
    }
}

// Writes the text of the finished temporary file over target, which keeps
// its identity (its other names).
bool WriteOver(const fs::path& temporary, const fs::path& target) {
    const HANDLE from = ::CreateFileW(temporary.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (from == INVALID_HANDLE_VALUE) return false;
    const HANDLE to = ::CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (to == INVALID_HANDLE_VALUE) {
        ::CloseHandle(from);
        return false;
    }
    bool ok = true;
    // One writer at a time: besides the sharing refused above, an exclusive
    // lock on the whole file, which another run writing it through a
    // handle it already holds (standard output) waits for too.
    OVERLAPPED whole{};
    const bool locked =
        ::LockFileEx(to, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole) != 0;
    {
        // Not cut in the middle by an interrupt.
        const interruptcleanup::HoldSignals hold;
        std::vector<char> buffer(256 * 1024);
        for (;;) {
            DWORD got = 0;
            if (!::ReadFile(from, buffer.data(), static_cast<DWORD>(buffer.size()), &got,
                            nullptr)) {
                ok = false;
                break;
            }
            if (got == 0) break;
            DWORD written = 0;
            if (!::WriteFile(to, buffer.data(), got, &written, nullptr) || written != got) {
                ok = false;
                break;
            }
        }
        ok = ok && ::SetEndOfFile(to) && ::FlushFileBuffers(to);
    }
    if (locked) {
        OVERLAPPED again{};
        ::UnlockFileEx(to, 0, MAXDWORD, MAXDWORD, &again);
    }
    ok = ::CloseHandle(to) && ok;
    ::CloseHandle(from);
    return ok;
}

}  // namespace

// Windows has no names for open descriptors.
int OutputDescriptor(const std::filesystem::path&) { return -1; }

AtomicOutputFile::~AtomicOutputFile() { Abandon(); }

bool AtomicOutputFile::Open(const std::filesystem::path& target) {
    Abandon();
    m_readerGone = false;
    m_problem.clear();
    // Absolute: ReplaceFileW of some systems (wine) fails on relative names.
    std::error_code absolute;
    m_target = fs::absolute(target, absolute);
    if (absolute) m_target = target;
    m_mode = Mode::Rename;
    // What is there now, asked without opening it for anything.
    const HANDLE existing = ::CreateFileW(
        m_target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (existing != INVALID_HANDLE_VALUE) {
        const DWORD type = ::GetFileType(existing);
        BY_HANDLE_FILE_INFORMATION info{};
        const bool known = ::GetFileInformationByHandle(existing, &info) != 0;
        ::CloseHandle(existing);
        if (type != FILE_TYPE_DISK) {
            // A device (NUL, CON) or a named pipe: write straight into it.
            m_mode = Mode::Direct;
            m_stream = zelk::platform::OpenFile(m_target, "wb");
            return m_stream != nullptr;
        }
        if (!known || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY)) {
            return false;
        }
        // Not silently replaced when it may not be written.
        const HANDLE writable = ::CreateFileW(
            m_target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (writable != INVALID_HANDLE_VALUE) {
            ::CloseHandle(writable);
        } else if (::GetLastError() == ERROR_ACCESS_DENIED) {
            return false;
        }
        if (info.nNumberOfLinks > 1) m_mode = Mode::InPlace;
    }
    const fs::path folder = m_target.parent_path();
    // Beside the target, named after it unless that name is long.
    std::wstring base = m_target.filename().native();
    base = L"." + (base.size() <= 200 ? base : std::wstring(L"zelk")) + L".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring name = base + std::to_wstring(zelk::platform::ProcessId()) + L"-" +
                                  std::to_wstring(g_temporaryCounter.fetch_add(1)) + L".tmp";
        const fs::path candidate = folder / name;
        // Known to the interrupt handler before it exists.
        std::error_code ec;
        m_cleanupSlot = interruptcleanup::Register(fs::absolute(candidate, ec).c_str());
        // Others may read it, and the handler may remove it while it is open.
        const HANDLE handle =
            ::CreateFileW(candidate.c_str(), GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = ::GetLastError();
            interruptcleanup::Forget(m_cleanupSlot);
            m_cleanupSlot = -1;
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
            return false;
        }
        m_temporary = candidate;
        m_stream = StreamOf(handle, "wb");
        if (!m_stream) {
            Abandon();
            return false;
        }
        return true;
    }
    return false;
}

bool AtomicOutputFile::OpenDescriptor(int fd) {
    Abandon();
    m_readerGone = false;
    m_problem.clear();
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE) return false;
    // What this program has written to the same place comes first.
    std::fflush(nullptr);
    const int copy = ::_dup(fd);
    if (copy < 0) return false;
    ::_setmode(copy, _O_BINARY);
    if (::GetFileType(handle) == FILE_TYPE_DISK) {
        // A file (as after `>` or `>>`): it receives the text on Commit only.
        m_stream = AnonymousFile();
        if (!m_stream) {
            ::_close(copy);
            return false;
        }
        m_mode = Mode::Spool;
        m_descriptor = copy;
        return true;
    }
    // A pipe, a console, a device: written as the text comes.
    m_stream = ::_fdopen(copy, "wb");
    if (!m_stream) {
        ::_close(copy);
        return false;
    }
    m_mode = Mode::Direct;
    m_descriptor = copy;
    return true;
}

bool AtomicOutputFile::CopySpool() {
    // A file behind the descriptor: one writer at a time (another run's
    // lock is waited for).
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(m_descriptor));
    OVERLAPPED whole{};
    const bool locked =
        ::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole) != 0;
    bool ok = false;
    {
        const interruptcleanup::HoldSignals hold;
        ok = CopyWhole(m_stream, m_descriptor);
    }
    if (locked) {
        OVERLAPPED again{};
        ::UnlockFileEx(handle, 0, MAXDWORD, MAXDWORD, &again);
    }
    return ok;
}

bool AtomicOutputFile::CommitTemporary(bool ok) {
    // On disk before it takes the target's place.
    if (ok) ok = ::FlushFileBuffers(HandleOf(m_stream)) != 0;
    ok = std::fclose(m_stream) == 0 && ok;
    m_stream = nullptr;
    for (int attempt = 0; ok; ++attempt) {
        DWORD error = ERROR_SUCCESS;
        if (m_mode == Mode::InPlace) {
            if (WriteOver(m_temporary, m_target)) break;
            error = ::GetLastError();
        } else {
            // The target keeps its attributes and security; a new target is
            // simply the temporary file renamed.
            if (TargetHeld(m_target)) {
                error = ERROR_SHARING_VIOLATION;
            } else if (::ReplaceFileW(m_target.c_str(), m_temporary.c_str(), nullptr,
                               REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
                m_temporary.clear();
                break;
            } else {
                error = ::GetLastError();
            }
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
                if (::MoveFileExW(m_temporary.c_str(), m_target.c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
                    m_temporary.clear();
                    break;
                }
                error = ::GetLastError();
            }
        }
        if (!HeldByAnother(error)) {
            ok = false;
        } else if (attempt + 1 >= kReplaceAttempts) {
            m_problem = HeldText(m_target);
            ok = false;
        } else {
            ::Sleep(kReplacePauseMs);
        }
    }
    Abandon();
    return ok;
}

void AtomicOutputFile::Abandon() {
    if (m_stream) {
        std::fclose(m_stream);
        m_stream = nullptr;
    }
    if (m_mode == Mode::Spool && m_descriptor >= 0) ::_close(m_descriptor);
    m_descriptor = -1;
    if (!m_temporary.empty()) {
        ::DeleteFileW(m_temporary.c_str());
        m_temporary.clear();
    }
    interruptcleanup::Forget(m_cleanupSlot);
    m_cleanupSlot = -1;
}

}  // namespace zelk
