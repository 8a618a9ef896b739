// hold_file: holds a file open as a spreadsheet showing it does (others may
// read it, not write, rename or delete it) for some seconds, for the
// Windows build's test of an output that cannot be replaced.
// usage: hold_file FILE SECONDS
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    const HANDLE file = ::CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fwprintf(stderr, L"hold_file: cannot open %ls (%lu)\n", argv[1], ::GetLastError());
        return 1;
    }
    std::fwprintf(stdout, L"holding\n");
    std::fflush(stdout);
    ::Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10) * 1000));
    ::CloseHandle(file);
    return 0;
}
