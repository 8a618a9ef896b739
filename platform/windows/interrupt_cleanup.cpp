#include "platform/interrupt_cleanup.h"

#include "platform/cleanup_slots.h"

#include <windows.h>

#include <atomic>
#include <cwchar>

namespace zelk {

namespace interruptcleanup {

namespace {

detail::SlotTable<32768> g_slots;  // the longest \\?\ path
// HoldSignals alive, in any thread.
std::atomic<int> g_holds{0};

// What a program ended by Ctrl-C returns on Windows.
constexpr UINT kInterruptedStatus = 0xC000013AU;

// Runs on a thread the system starts for the event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            break;
        default:
            return FALSE;
    }
    // A target being written over in place is finished first.
    while (g_holds.load(std::memory_order_acquire) > 0) ::Sleep(5);
    g_slots.RemoveAll([](const wchar_t* path) { ::DeleteFileW(path); });
    // As _exit: no exit handlers, no flushing of streams that another
    // thread may hold locked.
    ::TerminateProcess(::GetCurrentProcess(), kInterruptedStatus);
    return TRUE;
}

}  // namespace

int Register(const std::filesystem::path::value_type* path) { return g_slots.Register(path); }

void Forget(int slot) { g_slots.Forget(slot); }

void InstallHandlers() { ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

HoldSignals::HoldSignals() : m_previous{}, m_held(true) {
    g_holds.fetch_add(1, std::memory_order_acq_rel);
}

HoldSignals::~HoldSignals() {
    if (m_held) g_holds.fetch_sub(1, std::memory_order_acq_rel);
}

}  // namespace interruptcleanup

}  // namespace zelk
