// Batch conversion of a point file, and the output file that only replaces
// its target when the whole conversion succeeded.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>

#include "bursa/seven_params.h"
#include "workflow/angle_text.h"
#include "workflow/chain.h"
#include "workflow/point_formats.h"

namespace zelk {

// A file run that another thread stops waiting for. A conversion whose
// input has stalled (a named pipe nobody writes to, a network share that no
// longer answers) cannot be interrupted inside its read. The thread that
// asked it to cancel withdraws it instead: from then on the run never
// commits its output, and its temporary file is removed at once, not when
// the read comes back. ConvertFiles (workflow/conversion_run.h) honours it.
class RunWithdrawal {
public:
    // Any thread: true once the run is withdrawn (again true when it
    // already was); false while it is putting its output in place, which
    // then lands: wait for the run to end.
    bool Withdraw();
    bool Withdrawn() const;

    // The run's side. Track: the temporary file its output is written to
    // (empty for none); false when withdrawn, and the run abandons it.
    // BeginCommit: false when withdrawn, and the run abandons its output;
    // true, and Withdraw waits for the run from then on.
    bool Track(const std::filesystem::path& temporary);
    bool BeginCommit();

private:
    mutable std::mutex m_mutex;
    std::filesystem::path m_temporary;
    bool m_withdrawn = false;
    bool m_committing = false;
};

struct FileConversionOptions {
    // Worker threads for the arithmetic; 0 picks the number of cores, 1
    // converts on the calling thread. The output is the same either way.
    int threads = 0;
    // Called now and then, on the calling thread, with the bytes of input
    // consumed and the points written so far.
    std::function<void(std::uint64_t bytesRead, std::uint64_t pointsWritten)> progress;
    // A flag another thread may set to stop the run. It is looked at before
    // each chunk; a run that finds it set ends with Status::Cancelled, having
    // written part of the output at most (which the caller then abandons).
    const std::atomic<bool>* cancel = nullptr;
    // Set by the caller when another thread may withdraw the run (ConvertFiles).
    RunWithdrawal* withdrawal = nullptr;
};

struct FileConversionResult {
    enum class Status {
        Ok,
        Unreadable,    // a token is not a number
        CutShort,      // the file ends inside a point
        PointRefused,  // a point the chain refuses (see problem)
        ReadError,
        WriteError,
        OutOfMemory,  // a buffer or a worker's converter could not be had
        Cancelled,    // stopped through FileConversionOptions::cancel
    } status = Status::Ok;
    std::int64_t line = 0;  // Unreadable / CutShort / PointRefused: line of the problem
    std::string token;      // Unreadable: the token as pointscan::QuoteToken quotes it
    zelk::PointProblem problem = zelk::PointProblem::None;  // PointRefused
    // Unreadable: what is wrong (in a dat or csv file, also the field,
    // 1-based, 0 when none, and its label).
    pointformat::ProblemKind kind = pointformat::ProblemKind::Unreadable;
    int field = 0;
    std::string label;
    std::uint64_t points = 0;  // points converted and written
};

// How the files of a conversion are written.
struct FileFormats {
    pointformat::FileFormat input = pointformat::FileFormat::Plain;   // plain, dat, csv
    pointformat::FileFormat output = pointformat::FileFormat::Plain;  // plain, dat, csv, kml
    // B and L of geodetic systems.
    AngleFormat inputAngles = AngleFormat::Packed;
    AngleFormat outputAngles = AngleFormat::Packed;
    // A plain input's points start with a name. dat and csv always carry
    // names; a plain output writes names when the input has them, and dat,
    // csv and kml outputs number the points 1, 2, 3 ... when it has none.
    bool withNames = false;
};

// Converts every point of in into out through the chain, one output line
// per point, in input order. Stops at the first unreadable token or refused
// point without writing a value that was not read or that was refused.
// Flushes out; a write error is reported as WriteError, a lack of memory as
// OutOfMemory.
FileConversionResult ConvertPointFile(std::FILE* in, std::FILE* out, bool withNames,
                                      const zelk::ConversionChain& chain,
                                      const FileConversionOptions& options = {});

// The same in any of the file formats. KML output takes geodetic targets.
FileConversionResult ConvertPointFile(std::FILE* in, std::FILE* out,
                                      const zelk::ConversionChain& chain,
                                      const FileFormats& formats,
                                      const FileConversionOptions& options = {});

// The output of a conversion or of a saved parameters file: nothing of what
// was there before is lost unless the whole new text is ready.
//
// A regular file named by its path is written beside its target under a
// temporary name and renamed over it on Commit; until then an existing
// target stays exactly as it was, and a file that is not committed is
// removed (also when the program is stopped by SIGINT, SIGTERM or SIGHUP,
// see platform/interrupt_cleanup.h). The target keeps its owner and
// permissions. Exceptions, each written in place instead:
//  - a symbolic link is followed to the file it names (a dangling link
//    creates that file); the link itself is never replaced;
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

private:
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
};

}  // namespace zelk
