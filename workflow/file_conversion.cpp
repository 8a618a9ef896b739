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
    Setup(const zelk::ConversionChain& c, const FileFormats& f, bool fromSource, bool toSink)
        : chain(c),
          formats(f),
          input{f.input, f.withNames, AxesOf(c.From()), f.inputAngles},
          outputAxes(AxesOf(c.To())),
          namesIn(fromSource || input.HasNames()),
          numberNames(!namesIn && f.output != FileFormat::Plain),
          toSink(toSink) {}

    const zelk::ConversionChain& chain;
    FileFormats formats;
    pointformat::InputFormat input;
    Axes outputAxes;
    bool namesIn;      // the records read carry names
    bool numberNames;  // the output needs names the input has not: 1, 2, 3 ...
    bool toSink;       // converted points go to a PointSink, not into text
    // The columns of a csv input: found by the reading side before the
    // first chunk of points is handed on, and read only after.
    const pointformat::CsvLayout* layout = nullptr;
};

// What became of one chunk.
struct ChunkOutcome {
    // SourceProblem: the chunk's points converted, then the source's problem.
    enum class Result { End, Problem, Refused, SourceProblem, NameRefused } result = Result::End;
    std::int64_t lines = 0;    // line ends in the chunk (up to the problem)
    std::uint64_t points = 0;  // points converted into the output
    std::int64_t problemLinesBefore = 0;
    ProblemKind kind = ProblemKind::Unreadable;  // Problem
    int field = 0;
    std::string label;
    std::string token;  // quoted
    zelk::PointProblem problem = zelk::PointProblem::None;  // Refused
    bool codeRefused = false;                                // NameRefused: the code, not the name
};

// Points converted together (see ConversionChain::Convert).
constexpr int kBatch = 64;
// Points of a PointSource read into one chunk, at most.
constexpr std::size_t kSourceChunkPoints = 4096;

// Points with their names, one chunk's: read from a PointSource, or
// converted for a PointSink.
struct PointBatch {
    std::string names;  // one after another
    std::vector<std::size_t> nameEnds;
    std::vector<double> values;        // three a point
    std::vector<std::int64_t> places;  // source: the point's number; sink: line ends before its line in the chunk
    // Read from a source: its problem follows the points of this chunk.
    bool failed = false;

    std::size_t Size() const { return places.size(); }
    void Clear() {
        names.clear();
        nameEnds.clear();
        values.clear();
        places.clear();
        failed = false;
    }
    void Add(std::string_view name, const double v[3], std::int64_t place) {
        names.append(name);
        nameEnds.push_back(names.size());
        values.insert(values.end(), v, v + 3);
        places.push_back(place);
    }
    std::string_view Name(std::size_t i) const {
        const std::size_t begin = i == 0 ? 0 : nameEnds[i - 1];
        return std::string_view(names).substr(begin, nameEnds[i] - begin);
    }
};

// The records of a chunk of a source's points, as a parser of text gives
// them: a point's "line ends before" is its number less one, so that the
// line a problem reports is the point's number.
class BatchParser {
public:
    explicit BatchParser(const PointBatch& batch) : m_batch(batch) {}
    ParseResult Next(pointformat::PointRecord& record) {
        if (m_next >= m_batch.Size()) return ParseResult::End;
        record.name = m_batch.Name(m_next);
        record.code = {};
        for (int k = 0; k < 3; ++k) record.values[k] = m_batch.values[3 * m_next + k];
        m_current = m_next++;
        return ParseResult::Point;
    }
    std::int64_t PointLinesBefore() const { return m_batch.places[m_current] - 1; }
    std::int64_t LinesPassed() const { return 0; }
    const pointformat::RecordProblem& Problem() const { return m_problem; }

private:
    const PointBatch& m_batch;
    std::size_t m_next = 0;
    std::size_t m_current = 0;
    pointformat::RecordProblem m_problem;
};

// What a chunk becomes: lines of text, or points for a sink.
struct ChunkOutput {
    std::string text;
    PointBatch points;
    void Clear() {
        text.clear();
        points.Clear();
    }
};

// Appends one point in the output format; false (nothing appended) when
// its name, or its dat code, cannot be written there. A sink judges the
// names it takes itself.
bool AppendRecord(ChunkOutput& output, const Setup& setup, std::string_view name,
                  std::string_view code, const double values[3], std::int64_t linesBefore) {
    const FileFormats& f = setup.formats;
    if (setup.toSink) {
        output.points.Add(name, values, linesBefore);
        return true;
    }
    std::string& out = output.text;
    switch (f.output) {
        case FileFormat::Plain:
            if (setup.outputAxes != Axes::Geodetic) {
                // The plain writer as it always was.
                if (setup.namesIn && !pointformat::PlainNameWritable(name)) return false;
                AppendPointLine(out, setup.namesIn, name, values[0], values[1], values[2]);
                return true;
            }
            return pointformat::AppendPlainRecord(out, setup.namesIn, name, values, Axes::Geodetic,
                                                  f.outputAngles);
        case FileFormat::Dat:
            return pointformat::AppendDatRecord(out, name, code, values, setup.outputAxes,
                                                f.outputAngles);
        case FileFormat::Csv:
            return pointformat::AppendCsvRecord(out, name, values, setup.outputAxes,
                                                f.outputAngles);
        case FileFormat::Kml:
            return pointformat::AppendKmlPlacemark(out, name, values);
        default:
            return true;  // the formats outside the core go to a sink
    }
    return false;
}

// Converts the records of one chunk into out (appended), stopping at the
// first problem. firstNumber numbers the points when the output needs names
// the input has not.
template <typename Parser>
ChunkOutcome ConvertRecords(Parser& parser, const Setup& setup, std::uint64_t firstNumber,
                            ChunkOutput& out) {
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
        if (setup.chain.KeepsHeight()) {
            // Exactly the height read, not what the way through X Y Z makes of it.
            for (int i = 0; i < n; ++i) values[3 * i + 2] = records[i].values[2];
        }
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
            if (!AppendRecord(out, setup, name, records[i].code, values + 3 * i, lines[i])) {
                // Never left out: the run stops at the point, naming it.
                outcome.result = ChunkOutcome::Result::NameRefused;
                outcome.codeRefused = setup.formats.output == FileFormat::Dat &&
                                      pointformat::DatNameWritable(name);
                outcome.token = pointscan::QuoteToken(outcome.codeRefused ? records[i].code : name);
                outcome.problemLinesBefore = lines[i];
                outcome.lines = lines[i];
                return outcome;
            }
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

// One chunk of input: bytes of text, or points of a source.
struct ChunkInput {
    pointformat::InputChunk text;
    PointBatch points;
};

ChunkOutcome ConvertChunk(ChunkInput& chunk, const Setup& setup, bool fromSource,
                          std::uint64_t firstNumber, ChunkOutput& out) {
    if (fromSource) {
        BatchParser parser(chunk.points);
        ChunkOutcome outcome = ConvertRecords(parser, setup, firstNumber, out);
        if (outcome.result == ChunkOutcome::Result::End && chunk.points.failed) {
            outcome.result = ChunkOutcome::Result::SourceProblem;
        }
        return outcome;
    }
    pointformat::ChunkRecords records(chunk.text, setup.input, *setup.layout);
    return ConvertRecords(records, setup, firstNumber, out);
}

// The number of the line after lineEnds line ends.
std::int64_t LineNumber(std::int64_t lineEnds) { return lineEnds + 1; }

bool WriteAll(std::FILE* out, const std::string& bytes) {
    return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
}

// Where the points come from: text cut into chunks, or a source read a
// chunk of points at a time. On the reading thread.
class ChunkReader {
public:
    enum class Status { Chunk, End, ReadError };

    ChunkReader(const PointFileInput& in, const Setup& setup)
        : m_source(in.source),
          m_text(in.source ? nullptr : in.text, setup.input, kBlockSize) {}

    Status Next(ChunkInput& chunk) {
        if (!m_source) {
            switch (m_text.Next(chunk.text)) {
                case pointformat::InputChunks::Status::Chunk: return Status::Chunk;
                case pointformat::InputChunks::Status::End: return Status::End;
                case pointformat::InputChunks::Status::ReadError: return Status::ReadError;
            }
        }
        PointBatch& batch = chunk.points;
        batch.Clear();
        if (m_sourceDone) return Status::End;
        while (batch.Size() < kSourceChunkPoints && batch.names.size() < kBlockSize) {
            const PointSource::Result result = m_source->Next(m_point);
            if (result == PointSource::Result::Point) {
                std::string_view name = m_point.name;
                char number[24];
                if (name.empty()) {
                    // Named with its number in the file.
                    const auto end = std::to_chars(number, number + sizeof number, m_point.number);
                    name = std::string_view(number, static_cast<std::size_t>(end.ptr - number));
                }
                batch.Add(name, m_point.values, m_point.number);
                continue;
            }
            m_sourceDone = true;
            batch.failed = result == PointSource::Result::Problem;
            break;
        }
        return batch.Size() > 0 || batch.failed ? Status::Chunk : Status::End;
    }

    std::uint64_t BytesRead() const { return m_source ? m_source->BytesRead() : m_text.BytesRead(); }
    // The columns of a csv input, once its header has been found.
    const pointformat::CsvLayout& Layout() const { return m_text.Layout(); }
    bool FromSource() const { return m_source != nullptr; }
    PointSource* Source() const { return m_source; }

private:
    PointSource* m_source;
    pointformat::InputChunks m_text;
    SourcePoint m_point;
    bool m_sourceDone = false;
};

// The place of a point in the input for messages: its line, or its place
// in a source's file.
std::string PlaceText(const PointSource* source, std::int64_t line) {
    if (source) return source->Place(line);
    return "第" + std::to_string(line) + "行";
}

// Writes one converted chunk: text, or points handed to the sink. False,
// with the result's status set, when the output fails.
bool WriteChunk(const PointFileOutput& out, const ChunkOutput& output, std::int64_t linesBefore,
                const PointSource* source, FileConversionResult& result) {
    if (!out.sink) {
        if (WriteAll(out.text, output.text)) return true;
        result.status = FileConversionResult::Status::WriteError;
        return false;
    }
    const PointBatch& points = output.points;
    for (std::size_t i = 0; i < points.Size(); ++i) {
        if (out.sink->Write(points.Name(i), &points.values[3 * i])) continue;
        result.status = FileConversionResult::Status::WriteError;
        result.line = LineNumber(linesBefore + points.places[i]);
        result.place = source ? source->Place(result.line) : std::string();
        result.message = out.sink->Message() + "（转换前文件" + PlaceText(source, result.line) +
                         "的点）";
        return false;
    }
    return true;
}

// Takes one converted chunk into the result; false when the run stops.
bool TakeChunk(FileConversionResult& result, std::int64_t& linesBefore,
               const ChunkOutcome& outcome, const PointSource* source) {
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
        case Result::SourceProblem:
            result.status = Status::InputProblem;
            result.message = source->Message();
            return false;
        case Result::NameRefused:
            result.status = Status::NameRefused;
            result.codeRefused = outcome.codeRefused;
            break;
    }
    result.line = LineNumber(linesBefore + outcome.problemLinesBefore);
    if (source) result.place = source->Place(result.line);
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
    if (setup.toSink) return text;
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

FileConversionResult ConvertSequential(const PointFileInput& in, const PointFileOutput& out,
                                       Setup& setup, const FileConversionOptions& options) {
    FileConversionResult result;
    ChunkReader source(in, setup);
    setup.layout = &source.Layout();
    ChunkInput chunk;
    ChunkOutput output;
    std::int64_t linesBefore = 0;
    for (;;) {
        if (CancelAsked(options)) {
            result.status = FileConversionResult::Status::Cancelled;
            return result;
        }
        const auto status = source.Next(chunk);
        if (status == ChunkReader::Status::End) break;
        if (status == ChunkReader::Status::ReadError) {
            result.status = FileConversionResult::Status::ReadError;
            result.line = LineNumber(linesBefore);
            break;
        }
        output.Clear();
        const ChunkOutcome outcome =
            ConvertChunk(chunk, setup, source.FromSource(), result.points + 1, output);
        if (!WriteChunk(out, output, linesBefore, source.Source(), result)) return result;
        if (!TakeChunk(result, linesBefore, outcome, source.Source())) break;
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

    FileConversionResult Run(const PointFileInput& in, const PointFileOutput& out,
                             const FileConversionOptions& options);

private:
    struct Job {
        ChunkInput input;
        ChunkOutput output;
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
    bool m_fromSource = false;

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
            job->output.Clear();
            job->outcome = ConvertChunk(job->input, m_setup, m_fromSource, 1, job->output);
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

FileConversionResult ParallelConversion::Run(const PointFileInput& in, const PointFileOutput& out,
                                             const FileConversionOptions& options) {
    FileConversionResult result;
    ChunkReader source(in, m_setup);
    m_setup.layout = &source.Layout();
    m_fromSource = source.FromSource();
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
        if (!WriteChunk(out, job->output, linesBefore, source.Source(), result)) return false;
        return TakeChunk(result, linesBefore, job->outcome, source.Source());
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
        if (status != ChunkReader::Status::Chunk) {
            spare.push_back(job);
            inputDone = true;
            readError = status == ChunkReader::Status::ReadError;
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
                                      const FileConversionOptions& options) {
    return ConvertPointFile(PointFileInput{in, nullptr}, PointFileOutput{out, nullptr}, chain,
                            formats, options);
}

FileConversionResult ConvertPointFile(const PointFileInput& in, const PointFileOutput& out,
                                      const zelk::ConversionChain& chain,
                                      const FileFormats& formats,
                                      const FileConversionOptions& options) try {
    Setup setup(chain, formats, in.source != nullptr, out.sink != nullptr);
    FileConversionResult result;
    if (!out.sink && !WriteAll(out.text, OutputHead(setup))) {
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
    result.nameFormat = formats.output;
    if (out.sink) return result;
    if (result.status == FileConversionResult::Status::Ok && !WriteAll(out.text, OutputTail(setup))) {
        result.status = FileConversionResult::Status::WriteError;
    }
    // A problem found earlier in the input is the one to report.
    if ((std::fflush(out.text) != 0 || std::ferror(out.text)) &&
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
