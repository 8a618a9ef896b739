#include "platform/interrupt_cleanup.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <new>

namespace zelk {

namespace interruptcleanup {

namespace {

constexpr int kSlots = 16;
constexpr std::size_t kPathBytes = 4096;

enum SlotState : int { kFree = 0, kFilling = 1, kActive = 2 };

struct Slot {
    std::atomic<int> state{kFree};
    char path[kPathBytes];
};

Slot g_slots[kSlots];

static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the table lock-free");

void OnSignal(int signal) {
    for (Slot& slot : g_slots) {
        if (slot.state.load(std::memory_order_acquire) == kActive) ::unlink(slot.path);
    }
    ::_exit(128 + signal);
}

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

}  // namespace

int Register(const std::filesystem::path::value_type* path) {
    const std::size_t length = std::strlen(path);
    if (length >= kPathBytes) return -1;
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (g_slots[i].state.compare_exchange_strong(expected, kFilling,
                                                     std::memory_order_acq_rel)) {
            std::memcpy(g_slots[i].path, path, length + 1);
            g_slots[i].state.store(kActive, std::memory_order_release);
            return i;
        }
    }
    return -1;
}

void Forget(int slot) {
    if (slot < 0 || slot >= kSlots) return;
    g_slots[slot].state.store(kFilling, std::memory_order_release);
    g_slots[slot].path[0] = '\0';
    g_slots[slot].state.store(kFree, std::memory_order_release);
}

void InstallHandlers() {
    for (int signal : kSignals) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0) continue;
        if (current.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigfillset(&action.sa_mask);  // one handler at a time
        ::sigaction(signal, &action, nullptr);
    }
}

static_assert(sizeof(sigset_t) <= 128 && alignof(sigset_t) <= 16,
              "the mask before fits the room HoldSignals keeps for it");

HoldSignals::HoldSignals() {
    sigset_t held;
    sigemptyset(&held);
    for (int signal : kSignals) sigaddset(&held, signal);
    sigset_t* previous = new (m_previous) sigset_t;
    m_held = ::pthread_sigmask(SIG_BLOCK, &held, previous) == 0;
}

HoldSignals::~HoldSignals() {
    if (m_held) ::pthread_sigmask(SIG_SETMASK, reinterpret_cast<sigset_t*>(m_previous), nullptr);
}

}  // namespace interruptcleanup

}  // namespace zelk
