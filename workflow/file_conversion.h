// Batch conversion of a point file. Its output file, which only replaces
// its target when the whole conversion succeeded, is platform/output_file.h;
// files in the formats outside the core come and go through a PointSource
// and a PointSink (workflow/point_stream.h).
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>

#include "bursa/seven_params.h"
#include "platform/output_file.h"
#include "workflow/angle_text.h"
#include "workflow/chain.h"
#include "workflow/point_formats.h"
#include "workflow/point_stream.h"

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
    // The output is the last thing the program was asked to make (zelk-cli
    // convert): once it is in place an interruption no longer turns the
    // finished run into a failure (interruptcleanup::RunComplete).
    bool completesRun = false;
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
        InputProblem,  // a PointSource's problem (message)
        NameRefused,   // a name (or dat code) the output format cannot hold (see nameFormat)
    } status = Status::Ok;
    // Unreadable / CutShort / PointRefused / NameRefused: line of the
    // problem; from a PointSource, the point's number, which place names.
    std::int64_t line = 0;
    std::string place;  // from a PointSource: "第12个要素" (PointSource::Place); else empty
    // InputProblem: the source's message; WriteError of a PointSink: the
    // sink's message and the point's place in the input.
    std::string message;
    // Unreadable: the token, NameRefused: the name (or code), as
    // pointscan::QuoteToken quotes it.
    std::string token;
    zelk::PointProblem problem = zelk::PointProblem::None;  // PointRefused
    // Unreadable: what is wrong (in a dat or csv file, also the field,
    // 1-based, 0 when none, and its label).
    pointformat::ProblemKind kind = pointformat::ProblemKind::Unreadable;
    int field = 0;
    std::string label;
    // NameRefused: the output format that cannot hold it, and whether it is
    // the point's code rather than its name.
    pointformat::FileFormat nameFormat = pointformat::FileFormat::Plain;
    bool codeRefused = false;
    std::uint64_t points = 0;  // points converted and written
};

// How the files of a conversion are written.
struct FileFormats {
    // Any but kml; kml is written only. The formats outside the core
    // (pointformat::IsExternalFormat) need the program's ExternalFormats.
    pointformat::FileFormat input = pointformat::FileFormat::Plain;
    pointformat::FileFormat output = pointformat::FileFormat::Plain;
    // B and L of geodetic systems.
    AngleFormat inputAngles = AngleFormat::Packed;
    AngleFormat outputAngles = AngleFormat::Packed;
    // A plain input's points start with a name. dat and csv always carry
    // names; a plain output writes names when the input has them, and dat,
    // csv and kml outputs number the points 1, 2, 3 ... when it has none.
    // A PointSource always gives names: a point the file gives none is
    // named with its number there.
    bool withNames = false;
    // The sheet or layer of an input outside the core; empty: the first.
    std::string inputLayer;
};

// Where the points come from and go to: a text stream, or a source or sink
// of a format outside the core (exactly one of each pair is set).
struct PointFileInput {
    std::FILE* text = nullptr;
    PointSource* source = nullptr;
};
struct PointFileOutput {
    std::FILE* text = nullptr;
    PointSink* sink = nullptr;
};

// Converts every point of in into out through the chain, one output line
// per point, in input order. Stops at the first unreadable token, refused
// point or name the output cannot hold, without writing a value that was
// not read or that was refused: every point read is written, or the run
// fails.
// Flushes out; a write error is reported as WriteError, a lack of memory as
// OutOfMemory.
FileConversionResult ConvertPointFile(std::FILE* in, std::FILE* out, bool withNames,
                                      const zelk::ConversionChain& chain,
                                      const FileConversionOptions& options = {});

// The same in any of the text formats. KML output takes geodetic targets.
FileConversionResult ConvertPointFile(std::FILE* in, std::FILE* out,
                                      const zelk::ConversionChain& chain,
                                      const FileFormats& formats,
                                      const FileConversionOptions& options = {});

// The same from a text stream or a source, into a text stream or a sink.
// Text is read in chunks and formatted by worker threads, as above. A
// source is read on the calling thread, a chunk of points at a time, whose
// points the workers convert; a sink gets the converted points of each
// chunk on the calling thread, in input order. A sink is neither committed
// nor abandoned here.
FileConversionResult ConvertPointFile(const PointFileInput& in, const PointFileOutput& out,
                                      const zelk::ConversionChain& chain,
                                      const FileFormats& formats,
                                      const FileConversionOptions& options = {});

}  // namespace zelk
