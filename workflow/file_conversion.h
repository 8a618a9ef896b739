// Batch conversion of a point file, and the output file that only replaces
// its target when the whole conversion succeeded.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "bursa/seven_params.h"
#include "workflow/chain.h"

struct FileConversionOptions {
    // Worker threads for the arithmetic; 0 picks the number of cores, 1
    // converts on the calling thread. The output is the same either way.
    int threads = 0;
    // Called now and then with the bytes of input consumed so far.
    std::function<void(std::uint64_t bytesRead)> progress;
};

struct FileConversionResult {
    enum class Status {
        Ok,
        Unreadable,    // a token is not a number
        CutShort,      // the file ends inside a point
        PointRefused,  // a point the chain refuses (see problem)
        ReadError,
        WriteError,
    } status = Status::Ok;
    int line = 0;        // Unreadable / CutShort / PointRefused: line of the problem
    std::string token;   // Unreadable: the token, cut to 40 bytes
    zelk::PointProblem problem = zelk::PointProblem::None;  // PointRefused
    std::uint64_t points = 0;  // points converted and written
};

// Converts every point of in into out through the chain, one output line
// per point, in input order. Stops at the first unreadable token or refused
// point without writing a value that was not read or that was refused.
// Flushes out; a write error is reported as WriteError.
FileConversionResult ConvertPointFile(std::FILE* in, std::FILE* out, bool withNames,
                                      const zelk::ConversionChain& chain,
                                      const FileConversionOptions& options = {});

// The same with the chain of ConvertPoint (main-list indices).
FileConversionResult ConvertPointFile(std::FILE* in, std::FILE* out, bool withNames,
                                      int sourceIndex, int targetIndex, double sourceMeridian,
                                      double targetMeridian, const SevenParams& params,
                                      const FileConversionOptions& options = {});

// An output file written beside its target and renamed over it on Commit.
// Until then an existing target stays exactly as it was; a file that is not
// committed is removed. A target that exists and is not a regular file (a
// device, a pipe) is written directly instead.
class AtomicOutputFile {
public:
    AtomicOutputFile() = default;
    ~AtomicOutputFile();  // abandons an uncommitted file
    AtomicOutputFile(const AtomicOutputFile&) = delete;
    AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

    // Opens the temporary file (or the target itself, see above).
    bool Open(const std::filesystem::path& target);
    std::FILE* Stream() const { return m_stream; }
    // Flushes, closes and renames over the target. False on any error, in
    // which case the target is unchanged and the temporary file removed.
    bool Commit();
    // Closes and removes the temporary file; the target is unchanged.
    void Abandon();

private:
    std::filesystem::path m_target;
    std::filesystem::path m_temporary;
    std::FILE* m_stream = nullptr;
    bool m_direct = false;
};
