// Temporary files that must not outlive an interrupted run.
//
// An output file is written beside its target under a temporary name and
// only then takes the target's place. When the program is stopped in
// between, the handler installed here removes every temporary file still
// registered and ends the program; the target is left as it was.
//  - POSIX: on SIGINT, SIGTERM or SIGHUP, with exit status 128 + the signal
//    number. SIGKILL cannot be caught: after it a temporary file (a hidden
//    name beside the target, ending in .tmp) may stay behind.
//  - Windows: on the console's Ctrl-C, Ctrl-Break, closing of its window,
//    logoff and shutdown, with exit status 0xC000013A (what a program ended
//    by Ctrl-C returns there; cmd shows -1073741510). Ending the process
//    from outside (Task Manager, taskkill /F) cannot be caught either.
//
// The registry is a fixed table of paths: the POSIX handler only reads it,
// calls unlink() and _exit(), all async-signal-safe; the Windows handler,
// which runs on a thread of its own, the same with DeleteFileW and
// TerminateProcess.
#pragma once

#include <filesystem>

namespace zelk {

namespace interruptcleanup {

// Registers a path (absolute) to remove on those events; returns its slot,
// or -1 when the path is too long or the table is full (the file is then
// simply not removed by the handler). Call it before the file is created.
int Register(const std::filesystem::path::value_type* path);

// Forgets a slot returned by Register (-1 is ignored). Call it once the file
// is renamed or removed.
void Forget(int slot);

// Installs the handler. On POSIX systems a signal that is ignored already
// (as nohup leaves SIGHUP) stays ignored.
void InstallHandlers();

// While one lives, an interruption waits (it is delivered when the last one
// ends): for the short steps that write over a target in place, which must
// not be cut in the middle. On POSIX systems the calling thread holds the
// signals back; on Windows the handler waits for every HoldSignals.
class HoldSignals {
public:
    HoldSignals();
    ~HoldSignals();
    HoldSignals(const HoldSignals&) = delete;
    HoldSignals& operator=(const HoldSignals&) = delete;

private:
    // POSIX: the thread's signal mask before (a sigset_t).
    alignas(16) unsigned char m_previous[128];
    bool m_held = false;
};

}  // namespace interruptcleanup

}  // namespace zelk
