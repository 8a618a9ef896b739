// Temporary files that must not outlive an interrupted run.
//
// An output file is written beside its target under a temporary name and
// only then takes the target's place. When the program is stopped by
// SIGINT, SIGTERM or SIGHUP in between, the handler installed here removes
// every temporary file still registered and ends the program with exit
// status 128 + the signal number; the target is left as it was. SIGKILL
// cannot be caught: after it a temporary file (a hidden name beside the
// target, ending in .tmp) may stay behind.
//
// The registry is a fixed table of paths: the handler only reads it, calls
// unlink() and _exit(), all async-signal-safe.
#pragma once

#include <signal.h>

namespace zelk {

namespace interruptcleanup {

// Registers a path to remove on those signals; returns its slot, or -1 when
// the path is too long or the table is full (the file is then simply not
// removed by the handler). Call it before the file is created.
int Register(const char* path);

// Forgets a slot returned by Register (-1 is ignored). Call it once the file
// is renamed or removed.
void Forget(int slot);

// Installs the handler for SIGINT, SIGTERM and SIGHUP, except for a signal
// that is ignored already (as nohup leaves SIGHUP): it stays ignored.
void InstallHandlers();

// While one lives, the calling thread holds SIGINT, SIGTERM and SIGHUP back
// (they are delivered when it ends): for the short steps that write over a
// target in place, which must not be cut in the middle.
class HoldSignals {
public:
    HoldSignals();
    ~HoldSignals();
    HoldSignals(const HoldSignals&) = delete;
    HoldSignals& operator=(const HoldSignals&) = delete;

private:
    sigset_t m_previous;  // the thread's mask before
    bool m_held = false;
};

}  // namespace interruptcleanup

}  // namespace zelk
