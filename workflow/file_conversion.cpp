#include "workflow/file_conversion.h"

#include <algorithm>
#include <charconv>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "workflow/kml_writer.h"
#include "workflow/point_file.h"
#include "workflow/point_formats.h"
#include "workflow/record_source.h"
#include "workflow/point_scan.h"

namespace zelk {

namespace {

using pointformat::Axes;
using pointformat::FileFormat;
using pointformat::ParseResult;
using pointformat::ProblemKind;

// Bytes read at a time; a chunk is about this size.
constexpr std::size_t kBlockSize = 128 * 1024;
// Chunks read ahead of the writer, at most: this bounds the memory of a
// run whatever the size of the file.
constexpr std::size_t kMaxChunksInFlight = 48;
constexpr int kMaxThreads = 64;

Axes AxesOf(const zelk::Crs& crs) {
    switch (crs.form) {
        case zelk::Form::Geodetic:
            return Axes::Geodetic;
        case zelk::Form::Geocentric:
            return Axes::Geocentric;
        case zelk::Form::Projected:
        case zelk::Form::Local:
            break;
    }
    return Axes::Plane;
}

// Everything a chunk's conversion needs besides its bytes; shared, read only.
struct Setup {
    Setup(const zelk::ConversionChain& c, const FileFormats& f)
        : chain(c),
          formats(f),
          input{f.input, f.withNames, AxesOf(c.From()), f.inputAngles},
          outputAxes(AxesOf(c.To())),
          namesIn(input.HasNames()),
          numberNames(!namesIn && f.output != FileFormat::Plain) {}

    const zelk::ConversionChain& chain;
    FileFormats formats;
    pointformat::InputFormat input;
    Axes outputAxes;
    bool namesIn;      // the records read carry names
    bool numberNames;  // the output needs names the input has not: 1, 2, 3 ...
    // The columns of a csv input: found by the reading side before the
    // first chunk of points is handed on, and read only after.
    const pointformat::CsvLayout* layout = nullptr;
};

// What became of one chunk.
struct ChunkOutcome {
    enum class Result { End, Problem, Refused } result = Result::End;
    std::int64_t lines = 0;    // line ends in the chunk (up to the problem)
    std::uint64_t points = 0;  // points converted into the output
    std::int64_t problemLinesBefore = 0;
    ProblemKind kind = ProblemKind::Unreadable;  // Problem
    int field = 0;
    std::string label;
    std::string token;  // quoted
    zelk::PointProblem problem = zelk::PointProblem::None;  // Refused
};

// Points converted together (see ConversionChain::Convert).
constexpr int kBatch = 64;

void AppendRecord(std::string& out, const Setup& setup, std::string_view name,
                  std::string_view code, const double values[3]) {
    const FileFormats& f = setup.formats;
    switch (f.output) {
        case FileFormat::Plain:
            if (setup.outputAxes != Axes::Geodetic) {
                // The plain writer as it always was.
                AppendPointLine(out, setup.namesIn, name, values[0], values[1], values[2]);
            } else {
                pointformat::AppendPlainRecord(out, setup.namesIn, name, values, Axes::Geodetic,
                                               f.outputAngles);
            }
            return;
        case FileFormat::Dat:
            pointformat::AppendDatRecord(out, name, code, values, setup.outputAxes,
                                         f.outputAngles);
            return;
        case FileFormat::Csv:
            pointformat::AppendCsvRecord(out, name, values, setup.outputAxes, f.outputAngles);
            return;
        case FileFormat::Kml:
            pointformat::AppendKmlPlacemark(out, name, values);
            return;
    }
}

// Converts the records of one chunk into out (appended), stopping at the
// first problem. firstNumber numbers the points when the output needs names
// the input has not.
template <typename Parser>
ChunkOutcome ConvertRecords(Parser& parser, const Setup& setup, std::uint64_t firstNumber,
                            std::string& out) {
    ChunkOutcome outcome;
    pointformat::PointRecord records[kBatch];
    std::int64_t lines[kBatch];
    double values[3 * kBatch];
    zelk::PointProblem problems[kBatch];
    char number[24];
    for (;;) {
        int n = 0;
        ParseResult result = ParseResult::Point;
        while (n < kBatch) {
            result = parser.Next(records[n]);
            if (result != ParseResult::Point) break;
            lines[n] = parser.PointLinesBefore();
            values[3 * n] = records[n].values[0];
            values[3 * n + 1] = records[n].values[1];
            values[3 * n + 2] = records[n].values[2];
            ++n;
        }
        setup.chain.Convert(values, problems, static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            if (problems[i] != zelk::PointProblem::None) {
                outcome.result = ChunkOutcome::Result::Refused;
                outcome.problem = problems[i];
                outcome.problemLinesBefore = lines[i];
                outcome.lines = lines[i];
                return outcome;
            }
            std::string_view name = records[i].name;
            if (setup.numberNames) {
                const auto end = std::to_chars(number, number + sizeof number,
                                               firstNumber + outcome.points);
                name = std::string_view(number, static_cast<std::size_t>(end.ptr - number));
            }
            AppendRecord(out, setup, name, records[i].code, values + 3 * i);
            ++outcome.points;
        }
        if (result == ParseResult::End) {
            outcome.lines = parser.LinesPassed();
            return outcome;
        }
        if (result == ParseResult::Problem) {
            const pointformat::RecordProblem& p = parser.Problem();
            outcome.result = ChunkOutcome::Result::Problem;
            outcome.kind = p.kind;
            outcome.field = p.field;
            outcome.label = std::string(p.label);
            outcome.problemLinesBefore = p.linesBefore;
            outcome.lines = p.linesBefore;
            outcome.token = pointscan::QuoteToken(p.token);
            return outcome;
        }
    }
}

ChunkOutcome ConvertChunk(pointformat::InputChunk& chunk, const Setup& setup,
                          std::uint64_t firstNumber, std::string& out) {
    pointformat::ChunkRecords records(chunk, setup.input, *setup.layout);
    return ConvertRecords(records, setup, firstNumber, out);
}

// The number of the line after lineEnds line ends.
std::int64_t LineNumber(std::int64_t lineEnds) { return lineEnds + 1; }

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
        case Result::Problem:
            result.status =
                outcome.kind == ProblemKind::CutShort ? Status::CutShort : Status::Unreadable;
            break;
        case Result::Refused:
            result.status = Status::PointRefused;
            break;
    }
    result.line = LineNumber(linesBefore + outcome.problemLinesBefore);
    result.token = outcome.token;
    result.problem = outcome.problem;
    result.kind = outcome.kind;
    result.field = outcome.field;
    result.label = outcome.label;
    return false;
}

// What comes before the first point and after the last.
std::string OutputHead(const Setup& setup) {
    std::string text;
    if (setup.formats.output == FileFormat::Csv) {
        pointformat::AppendCsvHeader(text, setup.outputAxes);
    }
    if (setup.formats.output == FileFormat::Kml) pointformat::AppendKmlHeader(text);
    return text;
}

std::string OutputTail(const Setup& setup) {
    std::string text;
    if (setup.formats.output == FileFormat::Kml) pointformat::AppendKmlFooter(text);
    return text;
}

bool CancelAsked(const FileConversionOptions& options) {
    return options.cancel && options.cancel->load(std::memory_order_relaxed);
}

FileConversionResult ConvertSequential(std::FILE* in, std::FILE* out, Setup& setup,
                                       const FileConversionOptions& options) {
    FileConversionResult result;
    pointformat::InputChunks source(in, setup.input, kBlockSize);
    setup.layout = &source.Layout();
    pointformat::InputChunk chunk;
    std::string text;
    std::int64_t linesBefore = 0;
    for (;;) {
        if (CancelAsked(options)) {
            result.status = FileConversionResult::Status::Cancelled;
            return result;
        }
        const auto status = source.Next(chunk);
        if (status == pointformat::InputChunks::Status::End) break;
        if (status == pointformat::InputChunks::Status::ReadError) {
            result.status = FileConversionResult::Status::ReadError;
            result.line = LineNumber(linesBefore);
            break;
        }
        text.clear();
        const ChunkOutcome outcome = ConvertChunk(chunk, setup, result.points + 1, text);
        if (!WriteAll(out, text)) {
            result.status = FileConversionResult::Status::WriteError;
            return result;
        }
        if (!TakeChunk(result, linesBefore, outcome)) break;
        if (options.progress) options.progress(source.BytesRead(), result.points);
    }
    return result;
}

// The parallel run: this thread reads chunks and writes the converted chunks
// in input order; worker threads convert them. A chunk's output depends on
// its bytes alone, so the result is the same as the sequential run's.
class ParallelConversion {
public:
    explicit ParallelConversion(Setup& setup) : m_setup(setup) {}

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
        pointformat::InputChunk input;
        std::string output;
        ChunkOutcome outcome;
        bool done = false;
        bool failed = false;  // the worker could not convert it (no memory)
    };

    void Work();
    void StopWorkers();
    void Submit(Job* job);
    void WaitDone(Job* job);

    // Complete (the csv layout included) before the chunk that needs it is
    // submitted, and only read by the workers.
    Setup& m_setup;

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
            job->outcome = ConvertChunk(job->input, m_setup, 1, job->output);
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
    pointformat::InputChunks source(in, m_setup.input, kBlockSize);
    m_setup.layout = &source.Layout();
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
        if (job->failed) {
            result.status = FileConversionResult::Status::OutOfMemory;
            return false;
        }
        if (!WriteAll(out, job->output)) {
            result.status = FileConversionResult::Status::WriteError;
            return false;
        }
        return TakeChunk(result, linesBefore, job->outcome);
    };
    auto cancelled = [&]() {
        if (!CancelAsked(options)) return false;
        result.status = FileConversionResult::Status::Cancelled;
        return true;
    };
    auto oldestDone = [&]() {
        std::lock_guard lock(m_mutex);
        return pending.front()->done;
    };

    while (!stopped && !inputDone) {
        if (cancelled()) {
            stopped = true;
            break;
        }
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
        if (status != pointformat::InputChunks::Status::Chunk) {
            spare.push_back(job);
            inputDone = true;
            readError = status == pointformat::InputChunks::Status::ReadError;
            break;
        }
        Submit(job);
        pending.push_back(job);
        if (options.progress) options.progress(source.BytesRead(), result.points);
    }
    while (!stopped && !pending.empty()) stopped = cancelled() || !writeOldest();
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
                                      const zelk::ConversionChain& chain,
                                      const FileConversionOptions& options) {
    FileFormats formats;
    formats.withNames = withNames;
    return ConvertPointFile(in, out, chain, formats, options);
}

FileConversionResult ConvertPointFile(std::FILE* in, std::FILE* out,
                                      const zelk::ConversionChain& chain,
                                      const FileFormats& formats,
                                      const FileConversionOptions& options) try {
    Setup setup(chain, formats);
    FileConversionResult result;
    if (!WriteAll(out, OutputHead(setup))) {
        result.status = FileConversionResult::Status::WriteError;
        return result;
    }
    // Names numbered in order need the points of every chunk before.
    const int threads = setup.numberNames ? 1 : ThreadsFor(options);
    std::unique_ptr<ParallelConversion> parallel;
    if (threads > 1) {
        parallel = std::make_unique<ParallelConversion>(setup);
        if (!parallel->Start(threads)) parallel.reset();
    }
    if (parallel) {
        result = parallel->Run(in, out, options);
    } else {
        result = ConvertSequential(in, out, setup, options);
    }
    if (result.status == FileConversionResult::Status::Ok && !WriteAll(out, OutputTail(setup))) {
        result.status = FileConversionResult::Status::WriteError;
    }
    // A problem found earlier in the input is the one to report.
    if ((std::fflush(out) != 0 || std::ferror(out)) &&
        result.status == FileConversionResult::Status::Ok) {
        result.status = FileConversionResult::Status::WriteError;
    }
    return result;
} catch (const std::bad_alloc&) {
    // Where the memory ran out, in this thread: a buffer, a chunk, a worker.
    FileConversionResult result;
    result.status = FileConversionResult::Status::OutOfMemory;
    return result;
}

bool RunWithdrawal::Withdraw() {
    const std::lock_guard lock(m_mutex);
    if (m_committing) return false;
    if (!m_withdrawn && !m_temporary.empty()) {
        // Where the system refuses to remove an open file, the run removes
        // it when its read comes back.
        std::error_code ignored;
        std::filesystem::remove(m_temporary, ignored);
    }
    m_withdrawn = true;
    return true;
}

bool RunWithdrawal::Withdrawn() const {
    const std::lock_guard lock(m_mutex);
    return m_withdrawn;
}

bool RunWithdrawal::Track(const std::filesystem::path& temporary) {
    const std::lock_guard lock(m_mutex);
    if (m_withdrawn) return false;
    m_temporary = temporary;
    return true;
}

bool RunWithdrawal::BeginCommit() {
    const std::lock_guard lock(m_mutex);
    if (m_withdrawn) return false;
    m_committing = true;
    return true;
}

}  // namespace zelk
