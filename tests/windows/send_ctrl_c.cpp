// send_ctrl_c: starts a command in this program's console, waits until a
// file matching a pattern (wildcards as in dir) appears, sends Ctrl-C to the console as a control event, and exits
// with the command's exit status. For the Windows build's interrupt test.
// usage: send_ctrl_c PATTERN COMMAND_LINE
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fwprintf(stderr, L"usage: send_ctrl_c PATTERN COMMAND_LINE\n");
        return 2;
    }
    // A console to share with the command; none when started from a pipe.
    if (!::GetConsoleWindow()) ::AllocConsole();
    STARTUPINFOW start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION process{};
    const wchar_t* how = _wgetenv(L"SEND_CTRL_HOW");
    const bool group = how && std::wcscmp(how, L"break") == 0;
    if (!::CreateProcessW(nullptr, argv[2], nullptr, nullptr, TRUE,
                          group ? CREATE_NEW_PROCESS_GROUP : 0, nullptr, nullptr, &start,
                          &process)) {
        std::fwprintf(stderr, L"send_ctrl_c: cannot start the command (%lu)\n", ::GetLastError());
        return 2;
    }
    const auto appeared = [&] {
        WIN32_FIND_DATAW found;
        const HANDLE search = ::FindFirstFileW(argv[1], &found);
        if (search == INVALID_HANDLE_VALUE) return false;
        ::FindClose(search);
        return true;
    };
    for (int i = 0; i < 600 && !appeared(); ++i) ::Sleep(50);
    std::fwprintf(stderr, L"send_ctrl_c: %ls %ls\n", argv[1], appeared() ? L"appeared" : L"did not appear");
    ::Sleep(200);
    // Ctrl-C goes to every program of the console: this one lets it pass
    // (set only now: a program started after would inherit it).
    ::SetConsoleCtrlHandler(nullptr, TRUE);
    const BOOL sent = group ? ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, process.dwProcessId)
                            : ::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    std::fwprintf(stderr, L"send_ctrl_c: event sent: %d (%lu)\n", sent, sent ? 0 : ::GetLastError());
    if (::WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) {
        std::fwprintf(stderr, L"send_ctrl_c: the command did not stop\n");
        ::TerminateProcess(process.hProcess, 3);
        return 3;
    }
    DWORD status = 0;
    ::GetExitCodeProcess(process.hProcess, &status);
    std::fwprintf(stderr, L"send_ctrl_c: exit status 0x%08lX\n", status);
    return static_cast<int>(status);
}
