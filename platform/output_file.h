// The output file that only replaces its target when the whole text is
// ready.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace zelk {

// The output of a conversion or of a saved parameters file: nothing of what
// was there before is lost unless the whole new text is ready.
//
// Replaced atomically: a regular file named by its path (with one name) is
// written beside its target under a temporary name and renamed over it on
// Commit; until then an existing target stays exactly as it was, and at
// every moment, a crash or SIGKILL included, the name holds either the
// whole old text or the whole new one. A file that is not committed is
// removed (also when the program is stopped by SIGINT, SIGTERM or SIGHUP,
// or on Windows by Ctrl-C or the closing of its console, see
// platform/interrupt_cleanup.h). The target keeps its owner and
// permissions (on Windows its attributes and security, through
// ReplaceFileW).
//
// Written in place, because the file must keep its identity: the whole
// text is still made first (in the temporary file beside the target, or
// an anonymous one), and only on Commit copied over the target and cut to
// its length. The copy is not atomic: SIGINT, SIGTERM and SIGHUP wait
// until it is done, but SIGKILL, a crash or a power cut during it leave
// the target part new, part old. While it copies, the target is locked
// (POSIX record lock; on Windows opened without sharing): a second run
// writing the same file waits for the first (on Windows about two seconds,
// then fails with a Problem()), so the two texts never mix. On POSIX
// systems these are written in place:
//  - a file with more than one name (a hard link) is overwritten in place on
//    Commit, so that every name sees the result; so is a file that cannot be
//    renamed over (EBUSY: a file bind-mounted into a container);
//  - a name for a descriptor this program already has open (/dev/stdout,
//    /dev/stderr, /dev/fd/N, /proc/self/fd/N) is written through that
//    descriptor, at its position, never reopened or replaced: a regular
//    file behind it receives the text on Commit only (until then it is kept
//    in an anonymous temporary file); a pipe or a terminal receives it as
//    it is written;
//  - a device or a named pipe is written directly.
// A symbolic link is followed to the file it names (a dangling link
// creates that file), which is then treated as above; the link itself is
// never replaced.
// On Windows a file with more than one name is written in place too; a
// file held open by another program (a spreadsheet showing it) cannot be
// replaced: Commit tries again for about two seconds, then fails with a
// Problem() that says so; a read-only file is refused by Open; a device
// (NUL) or a named pipe is written directly; names of descriptors do not
// exist there.
//
// A write beyond the size the system allows (`ulimit -f`: EFBIG, SIGXFSZ
// being ignored, see interrupt_cleanup.h) or on a full disk fails like any
// other: the stream reports the error, Commit says false, the temporary
// file goes and the target is unchanged.
// A target that exists but may not be written is refused by Open.
// The descriptor that an output path leads to, following symbolic links,
// when it names one this program has open (/dev/stdout is 1); else -1.
int OutputDescriptor(const std::filesystem::path& path);

class AtomicOutputFile {
public:
    AtomicOutputFile() = default;
    ~AtomicOutputFile();  // abandons an uncommitted file
    AtomicOutputFile(const AtomicOutputFile&) = delete;
    AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

    // Opens the temporary file (or the target itself, see above).
    bool Open(const std::filesystem::path& target);
    // Opens for writing through descriptor fd, which stays open and owned by
    // the caller (1 for standard output), as for /dev/fd/N above. What the
    // program's own streams hold is flushed first.
    bool OpenDescriptor(int fd);
    std::FILE* Stream() const { return m_stream; }
    // The temporary file the text goes to before Commit; empty when there
    // is none (a descriptor, a device, a named pipe).
    const std::filesystem::path& TemporaryPath() const { return m_temporary; }
    // Flushes, closes and puts the text in place. False on any error, in
    // which case a replaced target is unchanged and the temporary file
    // removed.
    bool Commit();
    // Closes and removes the temporary file; the target is unchanged.
    void Abandon();
    // True when the output is a pipe whose reader has gone (a reader that
    // stopped early, as `head` does): then a failed write was no fault of
    // the disk. Ask before Abandon.
    bool ReaderGone() const;
    // Why the last Open or Commit failed, in words for the user, when there
    // is more to say than that the file could not be written (the target is
    // held open by another program); else empty.
    const std::string& Problem() const { return m_problem; }

private:
    // Commit's last steps, each system's own: the spooled text into the
    // descriptor's file; the temporary file, flushed (ok: so far so good),
    // into the target's place.
    bool CopySpool();
    bool CommitTemporary(bool ok);

    enum class Mode {
        Rename,   // temporary file beside the target, renamed over it
        InPlace,  // temporary file beside the target, copied over it
        Spool,    // anonymous temporary file, copied into m_descriptor
        Direct,   // the target itself (a device, a pipe, a terminal)
    };
    std::filesystem::path m_target;
    std::filesystem::path m_temporary;
    int m_cleanupSlot = -1;
    int m_descriptor = -1;  // Spool: where the text goes; Direct: the stream's
    std::FILE* m_stream = nullptr;
    Mode m_mode = Mode::Rename;
    bool m_readerGone = false;
    std::string m_problem;
};

}  // namespace zelk
