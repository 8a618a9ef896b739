#include "workflow/file_conversion.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "workflow/conversion.h"
#include "workflow/point_file.h"
#include "workflow/point_scan.h"

namespace {

// Bytes read at a time; a chunk is about this size.
constexpr std::size_t kBlockSize = 128 * 1024;
// Chunks read ahead of the writer, at most: this bounds the memory of a
// run whatever the size of the file.
constexpr std::size_t kMaxChunksInFlight = 48;
constexpr int kMaxThreads = 64;

// What became of one chunk.
struct ChunkOutcome {
    enum class Result { End, Unreadable, CutShort, Refused } result = Result::End;
    int lines = 0;             // line ends in the chunk (up to the problem)
    std::uint64_t points = 0;  // points converted into the output
    int problemLinesBefore = 0;
    std::string token;  // quoted
    zelk::PointProblem problem = zelk::PointProblem::None;
};

// Points converted together (see CPointConverter::ConvertMany).
constexpr int kBatch = 64;

// Converts the points of one chunk into out (appended), stopping at the
// first problem.
ChunkOutcome ConvertChunk(const char* begin, const char* end, bool withNames,
                          const zelk::ConversionChain& chain, std::string& out) {
    using Result = pointscan::ChunkParser::Result;
    pointscan::ChunkParser parser(begin, end);
    ChunkOutcome outcome;
    std::string_view names[kBatch];
    int lines[kBatch];
    double values[3 * kBatch];
    zelk::PointProblem problems[kBatch];
    for (;;) {
        int n = 0;
        Result result = Result::Point;
        while (n < kBatch) {
            result = parser.Next(withNames, names[n], values + 3 * n);
            if (result != Result::Point) break;
            lines[n] = parser.PointLinesBefore();
            ++n;
        }
        chain.Convert(values, problems, static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            if (problems[i] != zelk::PointProblem::None) {
                outcome.result = ChunkOutcome::Result::Refused;
                outcome.problem = problems[i];
                outcome.problemLinesBefore = lines[i];
                outcome.lines = lines[i];
                return outcome;
            }
            AppendPointLine(out, withNames, names[i], values[3 * i], values[3 * i + 1],
                            values[3 * i + 2]);
            ++outcome.points;
        }
        if (result != Result::Point) {
            outcome.lines = parser.LinesPassed();
            if (result == Result::End) return outcome;
            outcome.result = result == Result::Unreadable ? ChunkOutcome::Result::Unreadable
                                                          : ChunkOutcome::Result::CutShort;
            outcome.problemLinesBefore = parser.ProblemLinesBefore();
            outcome.token = pointscan::QuoteToken(parser.ProblemToken());
            return outcome;
        }
    }
}

// The number of the line after lineEnds line ends, as reported (a file of
// more than two thousand million lines is reported at the last int).
int LineNumber(std::int64_t lineEnds) {
    return static_cast<int>(std::min<std::int64_t>(lineEnds + 1, INT_MAX));
}

bool WriteAll(std::FILE* out, const std::string& bytes) {
    return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
}

// Takes one converted chunk into the result; false when the run stops.
bool TakeChunk(FileConversionResult& result, std::int64_t& linesBefore,
               const ChunkOutcome& outcome) {
    using Result = ChunkOutcome::Result;
    using Status = FileConversionResult::Status;
    result.points += outcome.points;
    switch (outcome.result) {
        case Result::End:
            linesBefore += outcome.lines;
            return true;
        case Result::Unreadable:
            result.status = Status::Unreadable;
            break;
        case Result::CutShort:
            result.status = Status::CutShort;
            break;
        case Result::Refused:
            result.status = Status::PointRefused;
            break;
    }
    result.line = LineNumber(linesBefore + outcome.problemLinesBefore);
    result.token = outcome.token;
    result.problem = outcome.problem;
    return false;
}

FileConversionResult ConvertSequential(std::FILE* in, std::FILE* out, bool withNames,
                                       const zelk::ConversionChain& chain,
                                       const FileConversionOptions& options) {
    FileConversionResult result;
    pointscan::ChunkSource source(in, withNames, kBlockSize);
    std::vector<char> chunk;
    std::string text;
    std::int64_t linesBefore = 0;
    for (;;) {
        const auto status = source.Next(chunk);
        if (status == pointscan::ChunkSource::Status::End) break;
        if (status == pointscan::ChunkSource::Status::ReadError) {
            result.status = FileConversionResult::Status::ReadError;
            result.line = LineNumber(linesBefore);
            break;
        }
        text.clear();
        const ChunkOutcome outcome =
            ConvertChunk(chunk.data(), chunk.data() + chunk.size(), withNames, chain, text);
        if (!WriteAll(out, text)) {
            result.status = FileConversionResult::Status::WriteError;
            return result;
        }
        if (!TakeChunk(result, linesBefore, outcome)) break;
        if (options.progress) options.progress(source.BytesRead());
    }
    return result;
}

// The parallel run: this thread reads chunks and writes the converted chunks
// in input order; worker threads convert them. A chunk's output depends on
// its bytes alone, so the result is the same as the sequential run's.
class ParallelConversion {
public:
    ParallelConversion(bool withNames, const zelk::ConversionChain& chain)
        : m_withNames(withNames), m_chain(chain) {}

    ~ParallelConversion() { StopWorkers(); }

    // Starts up to threads workers; false when not one could be started.
    bool Start(int threads) {
        for (int i = 0; i < threads; ++i) {
            try {
                m_workers.emplace_back([this] { Work(); });
            } catch (const std::system_error&) {
                break;
            }
        }
        return !m_workers.empty();
    }

    FileConversionResult Run(std::FILE* in, std::FILE* out, const FileConversionOptions& options);

private:
    struct Job {
        std::vector<char> input;
        std::string output;
        ChunkOutcome outcome;
        bool done = false;
        bool failed = false;  // the worker could not convert it (no memory)
    };

    void Work();
    void StopWorkers();
    void Submit(Job* job);
    void WaitDone(Job* job);

    const bool m_withNames;
    const zelk::ConversionChain& m_chain;  // immutable, shared by the workers

    std::mutex m_mutex;
    std::condition_variable m_workReady;
    std::condition_variable m_jobDone;
    std::deque<Job*> m_queue;  // read, not yet taken by a worker
    bool m_stopping = false;
    std::vector<std::thread> m_workers;
    std::vector<std::unique_ptr<Job>> m_jobs;  // outlive the workers
};

void ParallelConversion::Work() {
    for (;;) {
        Job* job = nullptr;
        {
            std::unique_lock lock(m_mutex);
            m_workReady.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty()) return;
            job = m_queue.front();
            m_queue.pop_front();
        }
        bool failed = false;
        try {
            job->output.clear();
            job->outcome = ConvertChunk(job->input.data(), job->input.data() + job->input.size(),
                                        m_withNames, m_chain, job->output);
        } catch (const std::bad_alloc&) {
            failed = true;
        }
        {
            std::lock_guard lock(m_mutex);
            job->failed = failed;
            job->done = true;
        }
        m_jobDone.notify_all();
    }
}

void ParallelConversion::StopWorkers() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_queue.clear();
    }
    m_workReady.notify_all();
    for (std::thread& worker : m_workers) worker.join();
    m_workers.clear();
}

void ParallelConversion::Submit(Job* job) {
    {
        std::lock_guard lock(m_mutex);
        job->done = false;
        job->failed = false;
        m_queue.push_back(job);
    }
    m_workReady.notify_one();
}

void ParallelConversion::WaitDone(Job* job) {
    std::unique_lock lock(m_mutex);
    m_jobDone.wait(lock, [job] { return job->done; });
}

FileConversionResult ParallelConversion::Run(std::FILE* in, std::FILE* out,
                                             const FileConversionOptions& options) {
    FileConversionResult result;
    pointscan::ChunkSource source(in, m_withNames, kBlockSize);
    const std::size_t maxInFlight = std::min(kMaxChunksInFlight, 2 * m_workers.size() + 2);
    std::vector<Job*> spare;
    std::deque<Job*> pending;  // in input order
    std::int64_t linesBefore = 0;
    bool inputDone = false;
    bool readError = false;
    bool stopped = false;

    // Writes the oldest job once it is converted; false when the run stops.
    auto writeOldest = [&]() {
        Job* job = pending.front();
        WaitDone(job);
        pending.pop_front();
        spare.push_back(job);
        if (job->failed || !WriteAll(out, job->output)) {
            result.status = FileConversionResult::Status::WriteError;
            return false;
        }
        return TakeChunk(result, linesBefore, job->outcome);
    };
    auto oldestDone = [&]() {
        std::lock_guard lock(m_mutex);
        return pending.front()->done;
    };

    while (!stopped && !inputDone) {
        // Write what is ready, and wait while too much is read ahead.
        while (!stopped && !pending.empty() && (pending.size() >= maxInFlight || oldestDone())) {
            stopped = !writeOldest();
        }
        if (stopped) break;
        Job* job;
        if (spare.empty()) {
            m_jobs.push_back(std::make_unique<Job>());
            job = m_jobs.back().get();
        } else {
            job = spare.back();
            spare.pop_back();
        }
        const auto status = source.Next(job->input);
        if (status != pointscan::ChunkSource::Status::Chunk) {
            spare.push_back(job);
            inputDone = true;
            readError = status == pointscan::ChunkSource::Status::ReadError;
            break;
        }
        Submit(job);
        pending.push_back(job);
        if (options.progress) options.progress(source.BytesRead());
    }
    while (!stopped && !pending.empty()) stopped = !writeOldest();
    StopWorkers();
    if (!stopped && readError) {
        result.status = FileConversionResult::Status::ReadError;
        result.line = LineNumber(linesBefore);
    }
    return result;
}

int ThreadsFor(const FileConversionOptions& options) {
    int threads = options.threads;
    if (threads <= 0) threads = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(threads, 1, kMaxThreads);
}

}  // namespace

FileConversionResult ConvertPointFile(std::FILE* in, std::FILE* out, bool withNames,
                                      int sourceIndex, int targetIndex, double sourceMeridian,
                                      double targetMeridian, const SevenParams& params,
                                      const FileConversionOptions& options) {
    return ConvertPointFile(
        in, out, withNames,
        MainListChain(sourceIndex, targetIndex, sourceMeridian, targetMeridian, params), options);
}

FileConversionResult ConvertPointFile(std::FILE* in, std::FILE* out, bool withNames,
                                      const zelk::ConversionChain& chain,
                                      const FileConversionOptions& options) {
    FileConversionResult result;
    const int threads = ThreadsFor(options);
    std::unique_ptr<ParallelConversion> parallel;
    if (threads > 1) {
        parallel = std::make_unique<ParallelConversion>(withNames, chain);
        if (!parallel->Start(threads)) parallel.reset();
    }
    if (parallel) {
        result = parallel->Run(in, out, options);
    } else {
        result = ConvertSequential(in, out, withNames, chain, options);
    }
    // A problem found earlier in the input is the one to report.
    if ((std::fflush(out) != 0 || std::ferror(out)) &&
        result.status == FileConversionResult::Status::Ok) {
        result.status = FileConversionResult::Status::WriteError;
    }
    return result;
}

// ---------------------------------------------------------------------------

namespace {
std::atomic<unsigned> g_temporaryCounter{0};
}

AtomicOutputFile::~AtomicOutputFile() { Abandon(); }

bool AtomicOutputFile::Open(const std::filesystem::path& target) {
    namespace fs = std::filesystem;
    Abandon();
    m_target = target;
    m_direct = false;
    std::error_code ec;
    // Replace what a link points to, not the link.
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (!ec) m_target = resolved;
    }
    struct stat existing {};
    const bool exists = ::stat(m_target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        // A device or a pipe: nothing to replace, write straight into it.
        m_direct = true;
        m_stream = std::fopen(m_target.c_str(), "wb");
        return m_stream != nullptr;
    }
    const fs::path folder = m_target.parent_path();
    // Hidden, beside the target, named after it unless that name is long.
    std::string base = m_target.filename().string();
    base = "." + (base.size() <= 200 ? base : std::string("zelk")) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = base + std::to_string(::getpid()) + "-" +
                                 std::to_string(g_temporaryCounter.fetch_add(1)) + ".tmp";
        const fs::path candidate = folder / name;
        // The mode is that of a new file (the umask applies) unless the
        // target exists, whose permissions are kept.
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        if (exists) {
            if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) {
                [[maybe_unused]] const int ignored = ::fchown(fd, existing.st_uid, existing.st_gid);
            }
            [[maybe_unused]] const int ignored = ::fchmod(fd, existing.st_mode & 07777);
        }
        m_stream = ::fdopen(fd, "wb");
        if (!m_stream) {
            ::close(fd);
            ::unlink(candidate.c_str());
            return false;
        }
        m_temporary = candidate;
        return true;
    }
    return false;
}

bool AtomicOutputFile::Commit() {
    if (!m_stream) return false;
    bool ok = std::fflush(m_stream) == 0 && !std::ferror(m_stream);
    // On disk before it takes the target's place: a crash must not leave an
    // empty file where the old one was.
    if (ok && !m_direct) ok = ::fsync(::fileno(m_stream)) == 0;
    ok = std::fclose(m_stream) == 0 && ok;
    m_stream = nullptr;
    if (m_direct) return ok;
    if (ok) ok = ::rename(m_temporary.c_str(), m_target.c_str()) == 0;
    if (!ok) ::unlink(m_temporary.c_str());
    m_temporary.clear();
    return ok;
}

void AtomicOutputFile::Abandon() {
    if (m_stream) {
        std::fclose(m_stream);
        m_stream = nullptr;
    }
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
    }
}
