// zelk-cli convert: a point file, through the same request and path as the
// main dialog's file conversion.
#include <filesystem>
#include <memory>

#include "cli/commands.h"
#include "cli/help_texts.h"
#include "cli/options.h"
#include "platform/files.h"
#include "platform/output_file.h"
#include "platform/standard_streams.h"
#include "workflow/conversion_run.h"

using namespace zelk;

namespace {

constexpr OptionSpec kConvertOptions[] = {
    {"--from", true},          {"--to", true},          {"--from-meridian", true},
    {"--to-meridian", true},   {"--from-zone", true},   {"--to-zone", true},
    {"--params", true, true},        {"--names", false},      {"--jobs", true},
    {"--from-format", true},   {"--to-format", true},   {"--from-angles", true},
    {"--to-angles", true},     {"--convention", true},   {"--save-chain", true},
    {"--from-geoid", true},    {"--to-geoid", true},    {"--inverse", false},
    {"--layer", true},
    {"--from-utm-zone", true}, {"--to-utm-zone", true},
};

bool IsLayerFormat(pointformat::FileFormat format) {
    return pointformat::IsExternalFormat(format) && format != pointformat::FileFormat::Xlsx;
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
    const std::vector<Transformation> given = StepsOption(parsed);
    request.steps = InverseOption(parsed, given);
    request.fromGeoid = GeoidOption(parsed, "--from-geoid", &request.from);
    request.toGeoid = GeoidOption(parsed, "--to-geoid", &request.to);
    FileFormats& formats = request.formats;
    formats.withNames = parsed.Has("--names");
    formats.input = FormatOption(parsed, "--from-format", false, true);
    formats.output = FormatOption(parsed, "--to-format", true, true);
    formats.inputAngles = AnglesOption(parsed, "--from-angles");
    formats.outputAngles = AnglesOption(parsed, "--to-angles");
    const std::string* fromFormat = parsed.Value("--from-format");
    const std::string* toFormat = parsed.Value("--to-format");
    // GIS layers and drawings hold decimal degrees, and so do all the
    // formats outside the core when written: no other angle format applies.
    if (IsLayerFormat(formats.input) && parsed.Has("--from-angles") &&
        formats.inputAngles != AngleFormat::Degrees) {
        throw UsageError("option --from-angles: " + *fromFormat +
                         " files hold B and L in decimal degrees");
    }
    if (pointformat::IsExternalFormat(formats.output) && parsed.Has("--to-angles") &&
        formats.outputAngles != AngleFormat::Degrees) {
        throw UsageError("option --to-angles: " + *toFormat +
                         " files hold B and L in decimal degrees");
    }
    if (const std::string* layer = parsed.Value("--layer")) {
        if (!pointformat::IsExternalFormat(formats.input)) {
            throw UsageError("option --layer: only for an INPUT in xlsx, shp, gpkg, geojson or dxf");
        }
        if (layer->empty()) throw UsageError("option --layer: an empty name");
        formats.inputLayer = *layer;
    }
    if (!FormatProblemText(formats, request.to).empty()) {
        throw UsageError(formats.output == pointformat::FileFormat::Kml
                             ? "option --to-format: KML holds WGS84 or CGCS2000 geodetic points only"
                             : "option --to-format: GeoJSON (RFC 7946) holds WGS84 longitude and latitude "
                               "only, no projected, geocentric or other datum's coordinates; choose a "
                               "WGS84 or CGCS2000 geodetic target");
    }
    request.external = ProgramFormats();
    const int outputDescriptor = output == "-" ? platform::kStandardOutputDescriptor
                                               : OutputDescriptor(platform::PathFromUtf8(output));
    // GDAL reads and writes these formats by name, seeking in them.
    if (pointformat::IsExternalFormat(formats.input) && input == "-") {
        throw UsageError("INPUT: " + *fromFormat + " files cannot be read from standard input");
    }
    if (pointformat::IsExternalFormat(formats.output) && outputDescriptor >= 0) {
        throw UsageError("OUTPUT: " + *toFormat + " files cannot be written to standard output");
    }
    request.input = PointInput{platform::PathFromUtf8(input)};
    request.output = PointOutput{platform::PathFromUtf8(output), outputDescriptor};
    if (const std::string problem = RequestProblemText(request); !problem.empty()) {
        throw DataError(problem);
    }
    SaveChainOption(parsed, given);  // as given: --inverse is the run's, not the file's

    FileConversionOptions options;
    options.threads = threads;
    std::unique_ptr<ProgressLine> progress;
    if (outputDescriptor < 0 && platform::IsTerminal(stderr) && platform::IsTerminal(stdout)) {
        const std::uint64_t total = input == "-" ? platform::RegularFileSize(stdin).value_or(0) : [&] {
            std::error_code error;
            const auto size = std::filesystem::file_size(request.input->path, error);
            return error ? std::uint64_t{0} : static_cast<std::uint64_t>(size);
        }();
        progress = std::make_unique<ProgressLine>(total, [](std::string_view text) {
            platform::WriteText(stderr, text);
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
