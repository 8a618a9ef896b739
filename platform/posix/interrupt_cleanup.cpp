#include "platform/interrupt_cleanup.h"

#include "platform/cleanup_slots.h"

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

detail::SlotTable<4096> g_slots;

void OnSignal(int signal) {
    g_slots.RemoveAll([](const char* path) { ::unlink(path); });
    ::_exit(128 + signal);
}

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

}  // namespace

int Register(const std::filesystem::path::value_type* path) { return g_slots.Register(path); }

void Forget(int slot) { g_slots.Forget(slot); }

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
