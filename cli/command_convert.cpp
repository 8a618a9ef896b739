// zelk-cli convert: a point file, through the same request and path as the
// main dialog's file conversion.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "cli/commands.h"
#include "cli/help_texts.h"
#include "cli/options.h"
#include "workflow/conversion_run.h"

using namespace zelk;

namespace {

constexpr OptionSpec kConvertOptions[] = {
    {"--from", true},          {"--to", true},          {"--from-meridian", true},
    {"--to-meridian", true},   {"--from-zone", true},   {"--to-zone", true},
    {"--params", true, true},        {"--names", false},      {"--jobs", true},
    {"--from-format", true},   {"--to-format", true},   {"--from-angles", true},
    {"--to-angles", true},     {"--convention", true},   {"--save-chain", true},
};

// Bytes of an input that can be sized (a regular file), else 0.
std::uint64_t InputSize(int fd) {
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return 0;
    return static_cast<std::uint64_t>(info.st_size);
}

int Run(const ParsedArguments& parsed, ConsoleMessages& messages) {
    ConversionRequest request;
    request.from = RequiredCrs(parsed, "from");
    request.to = RequiredCrs(parsed, "to");
    // An explicit --jobs wins: the environment is not even read then.
    const std::string* jobs = parsed.Value("--jobs");
    const int threads = jobs ? ThreadCount(*jobs, "option --jobs") : ThreadsFromEnvironment();
    RequirePositionals(parsed, 2, "INPUT and OUTPUT");
    const std::string input = PathArgument(parsed.positionals[0], "INPUT");
    const std::string output = PathArgument(parsed.positionals[1], "OUTPUT");
    SaveChainPath(parsed);  // a mistake there is the command line's, before any file is read
    request.steps = StepsOption(parsed);
    FileFormats& formats = request.formats;
    formats.withNames = parsed.Has("--names");
    formats.input = FormatOption(parsed, "--from-format", false);
    formats.output = FormatOption(parsed, "--to-format", true);
    formats.inputAngles = AnglesOption(parsed, "--from-angles");
    formats.outputAngles = AnglesOption(parsed, "--to-angles");
    if (!FormatProblemText(formats, request.to).empty()) {
        throw UsageError("option --to-format: KML holds WGS84 or CGCS2000 geodetic points only");
    }
    const int outputDescriptor = output == "-" ? STDOUT_FILENO : OutputDescriptor(output);
    request.input = PointInput{input};
    request.output = PointOutput{output, outputDescriptor};
    if (const std::string problem = RequestProblemText(request); !problem.empty()) {
        throw DataError(problem);
    }
    SaveChainOption(parsed, request.steps);

    FileConversionOptions options;
    options.threads = threads;
    std::unique_ptr<ProgressLine> progress;
    if (outputDescriptor < 0 && isatty(STDERR_FILENO) && isatty(STDOUT_FILENO)) {
        const std::uint64_t total = input == "-" ? InputSize(STDIN_FILENO) : [&] {
            std::error_code error;
            const auto size = std::filesystem::file_size(input, error);
            return error ? std::uint64_t{0} : static_cast<std::uint64_t>(size);
        }();
        progress = std::make_unique<ProgressLine>(total, [](std::string_view text) {
            std::fwrite(text.data(), 1, text.size(), stderr);
            std::fflush(stderr);
        });
        messages.SetProgressLine(progress.get());
        options.progress = [line = progress.get()](std::uint64_t bytes, std::uint64_t) {
            line->Update(bytes);
        };
    }
    const FileRun run = ConvertFiles(request, ChainFor(request), options);
    if (progress) {
        progress->Clear();
        messages.SetProgressLine(nullptr);
    }
    if (run.readerGone) return kExitReaderGone;
    const UserMessage message = MessageFor(run);
    messages.Show(message.text, message.caption, message.icon);
    return run.committed ? kExitSuccess : kExitFailure;
}

}  // namespace

const Command& ConvertCommand() {
    static const Command command{"convert", kConvertUsage, kConvertHelp, kConvertOptions, true, Run};
    return command;
}
