#include "platform/standard_streams.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>

#include "platform/windows/wide_text.h"

// The C runtime's own reading of the UTF-16 command line: what wmain()
// receives (msvcrt.dll and the UCRT both have it).
extern "C" int __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** env, int expandWildcards,
                              void* startInfo);

namespace zelk::platform {

namespace {

HANDLE HandleOf(std::FILE* stream) {
    const int fd = ::_fileno(stream);
    return fd < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0;
}

// Characters a console takes in one write, well below its limits.
constexpr std::size_t kConsoleChunk = 8192;

}  // namespace

bool RunsOnWindows() { return true; }

StreamKind KindOf(std::FILE* stream) {
    const HANDLE handle = HandleOf(stream);
    if (handle == INVALID_HANDLE_VALUE) return StreamKind::Other;
    switch (::GetFileType(handle)) {
        case FILE_TYPE_DISK:
            return StreamKind::File;
        case FILE_TYPE_PIPE:
            return StreamKind::Pipe;
        case FILE_TYPE_CHAR:
            // NUL is a character device too, but not a console.
            return IsConsole(handle) ? StreamKind::Terminal : StreamKind::Other;
        default:
            return StreamKind::Other;
    }
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = nullptr;
    wchar_t** environment = nullptr;
    struct {
        int newMode = 0;
    } startInfo;
    if (::__wgetmainargs(&count, &wide, &environment, 0, &startInfo) < 0 || wide == nullptr) {
        return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
    }
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) args.push_back(windows::Utf8(wide[i]));
    return args;
}

void PrepareStandardStreams() {
    ::_setmode(::_fileno(stdin), _O_BINARY);
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
}

bool WriteText(std::FILE* stream, std::string_view text) {
    if (text.empty()) return true;
    const HANDLE handle = HandleOf(stream);
    if (!IsConsole(handle)) {
        return std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    }
    std::fflush(stream);
    const std::wstring wide = windows::Wide(text);
    for (std::size_t at = 0; at < wide.size();) {
        std::size_t count = std::min(kConsoleChunk, wide.size() - at);
        // A character of two UTF-16 units stays whole.
        if (count < wide.size() - at && wide[at + count - 1] >= 0xD800 &&
            wide[at + count - 1] < 0xDC00) {
            --count;
        }
        DWORD written = 0;
        if (!::WriteConsoleW(handle, wide.data() + at, static_cast<DWORD>(count), &written,
                             nullptr) ||
            written == 0) {
            return false;
        }
        at += written;
    }
    return true;
}

bool PipeReaderGone(std::FILE* stream) {
    // What the failed write left: the error of WriteFile on a pipe whose
    // reader has closed it.
    const DWORD error = ::GetLastError();
    if (KindOf(stream) != StreamKind::Pipe) return false;
    if (error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE ||
        error == ERROR_PIPE_NOT_CONNECTED) {
        return true;
    }
    // That error does not last (the threads' locks clear it), and an empty
    // write does not ask every pipe (wine's). A write to a pipe fails for no
    // other reason: a pipe is never full, only slow, and has no disk to fill.
    if (std::ferror(stream)) return true;
    // Otherwise an empty write asks the pipe.
    DWORD written = 0;
    if (::WriteFile(HandleOf(stream), "", 0, &written, nullptr)) return false;
    const DWORD probe = ::GetLastError();
    return probe == ERROR_NO_DATA || probe == ERROR_BROKEN_PIPE ||
           probe == ERROR_PIPE_NOT_CONNECTED;
}

}  // namespace zelk::platform
