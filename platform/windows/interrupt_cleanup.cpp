#include "platform/interrupt_cleanup.h"

#include <windows.h>

#include <atomic>
#include <cwchar>

namespace zelk {

namespace interruptcleanup {

namespace {

constexpr int kSlots = 16;
constexpr std::size_t kPathChars = 32768;  // the longest \\?\ path

enum SlotState : int { kFree = 0, kFilling = 1, kActive = 2 };

struct Slot {
    std::atomic<int> state{kFree};
    wchar_t path[kPathChars];
};

Slot g_slots[kSlots];
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
    for (Slot& slot : g_slots) {
        if (slot.state.load(std::memory_order_acquire) == kActive) ::DeleteFileW(slot.path);
    }
    // As _exit: no exit handlers, no flushing of streams that another
    // thread may hold locked.
    ::TerminateProcess(::GetCurrentProcess(), kInterruptedStatus);
    return TRUE;
}

}  // namespace

int Register(const std::filesystem::path::value_type* path) {
    const std::size_t length = std::wcslen(path);
    if (length >= kPathChars) return -1;
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (g_slots[i].state.compare_exchange_strong(expected, kFilling,
                                                     std::memory_order_acq_rel)) {
            std::wmemcpy(g_slots[i].path, path, length + 1);
            g_slots[i].state.store(kActive, std::memory_order_release);
            return i;
        }
    }
    return -1;
}

void Forget(int slot) {
    if (slot < 0 || slot >= kSlots) return;
    g_slots[slot].state.store(kFilling, std::memory_order_release);
    g_slots[slot].path[0] = L'\0';
    g_slots[slot].state.store(kFree, std::memory_order_release);
}

void InstallHandlers() { ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

HoldSignals::HoldSignals() : m_previous{}, m_held(true) {
    g_holds.fetch_add(1, std::memory_order_acq_rel);
}

HoldSignals::~HoldSignals() {
    if (m_held) g_holds.fetch_sub(1, std::memory_order_acq_rel);
}

}  // namespace interruptcleanup

}  // namespace zelk
