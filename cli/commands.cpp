#include "cli/commands.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "cli/arguments.h"
#include "cli/console.h"
#include "cli/params_file.h"
#include "cli/systems.h"
#include "bursa/bursa_model.h"
#include "platform/message_box.h"
#include "platform/number_text.h"
#include "workflow/convert_run.h"
#include "workflow/estimation_run.h"
#include "workflow/file_conversion.h"

#ifndef ZELK_VERSION
#define ZELK_VERSION "unknown"
#endif

namespace {

// A failure that the data or a file is to blame for: exit status 1.
class DataError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// ---------------------------------------------------------------- texts

constexpr const char* kShortUsage =
    "usage: zelk-cli systems|point|convert|estimate [OPTIONS] ARGUMENTS, or zelk-cli --help";

constexpr const char* kOverviewUsage =
    "usage: zelk-cli systems\n"
    "       zelk-cli point    --from SYS --to SYS [--from-meridian DMS] [--to-meridian DMS]\n"
    "                         [--params P] A B C\n"
    "       zelk-cli convert  --from SYS --to SYS [--from-meridian DMS] [--to-meridian DMS]\n"
    "                         [--params P] [--names] [--jobs N] INPUT OUTPUT\n"
    "       zelk-cli estimate --before SYS --after SYS [--before-meridian DMS]\n"
    "                         [--after-meridian DMS] [--save FILE] [--residuals]\n"
    "                         BEFORE AFTER\n"
    "       zelk-cli --help | --version\n"
    "       zelk-cli COMMAND --help\n";

constexpr const char* kCommonTerms =
    "SYS is one of wgs84-utm, wgs84-geodetic, beijing54-gauss, beijing54-geodetic,\n"
    "xian80-gauss, xian80-geodetic (zelk-cli systems lists them with the desktop\n"
    "program's labels). Projected systems (wgs84-utm and the two -gauss systems)\n"
    "hold x (northing), y (easting with the 500000 m false easting, no zone\n"
    "number) and H in metres; geodetic systems hold B, L in packed DMS and H in\n"
    "metres.\n"
    "\n"
    "DMS is an angle in packed degrees.minutesseconds: 114.3015 is 114 degrees\n"
    "30 minutes 15 seconds. A central meridian left out is 0, as in the dialogs;\n"
    "geodetic systems ignore it.\n";

constexpr const char* kParamsTerms =
    "P is the seven parameters of the Bursa-Wolf transformation from the source\n"
    "datum to the target datum, seven comma-separated numbers in the order\n"
    "dX0,dY0,dZ0 (metres),K (ppm),betaX,betaY,betaZ (arc-seconds), or @FILE to\n"
    "read them from a parameters file written by zelk-cli estimate --save.\n"
    "Left out, all seven are zero.\n";

constexpr const char* kExitTerms =
    "Exit status: 0 success, 1 the data or a file is at fault (the message is on\n"
    "standard error), 2 a mistake on the command line.\n";

constexpr const char* kSystemsUsage = "usage: zelk-cli systems";
constexpr const char* kSystemsHelp =
    "Lists the names of the six coordinate systems, whether each is projected\n"
    "(needs a central meridian) or geodetic, and the labels the desktop\n"
    "program's main dialog and seven-parameter dialog give them.\n";

constexpr const char* kPointUsage =
    "usage: zelk-cli point --from SYS --to SYS [--from-meridian DMS] [--to-meridian DMS]\n"
    "                      [--params P] A B C";
constexpr const char* kPointHelp =
    "Converts one point A B C (x y H or B L H of the source system) and prints\n"
    "the result in the target system as three numbers with 15 significant\n"
    "digits, the way the desktop program's target fields show them.\n"
    "\n"
    "  --from SYS, --to SYS   source and target coordinate systems\n"
    "  --from-meridian DMS    central meridian of a projected source\n"
    "  --to-meridian DMS      central meridian of a projected target\n"
    "  --params P             the seven parameters (default all zero)\n"
    "\n"
    "Negative coordinates may be written as they are (-12.5); \"--\" ends the\n"
    "options.\n";

constexpr const char* kConvertUsage =
    "usage: zelk-cli convert --from SYS --to SYS [--from-meridian DMS] [--to-meridian DMS]\n"
    "                        [--params P] [--names] [--jobs N] INPUT OUTPUT";
constexpr const char* kConvertHelp =
    "Converts the point file INPUT into OUTPUT exactly as the desktop program's\n"
    "convert button does: the same reader, the same output bytes (three\n"
    "decimals per value, one line per point), the same messages. OUTPUT is\n"
    "written beside its final place and only takes that place when the whole\n"
    "file has converted: a failed conversion leaves an existing OUTPUT as it was.\n"
    "INPUT - reads standard input; OUTPUT - writes standard output (streamed, so\n"
    "a failure part-way leaves the lines already written). A file name that\n"
    "starts with '-' goes after \"--\", which ends the options.\n"
    "\n"
    "  --from SYS, --to SYS   source and target coordinate systems\n"
    "  --from-meridian DMS    central meridian of a projected source\n"
    "  --to-meridian DMS      central meridian of a projected target\n"
    "  --params P             the seven parameters (default all zero)\n"
    "  --names                every point carries a name before its three numbers\n"
    "  --jobs N               worker threads (default: ZELK_THREADS, else all cores);\n"
    "                         the output is the same for any number\n"
    "\n"
    "On a terminal a conversion that takes more than a second shows its progress\n"
    "on standard error; never when standard output is piped or redirected.\n"
    "\n"
    "Environment: ZELK_THREADS, the number of worker threads (0 or unset: all\n"
    "cores).\n";

constexpr const char* kEstimateUsage =
    "usage: zelk-cli estimate --before SYS --after SYS [--before-meridian DMS]\n"
    "                         [--after-meridian DMS] [--save FILE] [--residuals]\n"
    "                         BEFORE AFTER";
constexpr const char* kEstimateHelp =
    "Estimates the seven parameters by least squares from two files of common\n"
    "points, as the desktop program's compute button does: BEFORE holds the\n"
    "points in the source system, AFTER the same points in the same order in the\n"
    "target system, three numbers a point and no names. Prints the estimation\n"
    "report (the error figures, the standard error of every parameter, a line\n"
    "starting with 警告 when the common points are too badly spread to fix some\n"
    "parameters, and the blunder test), then the seven parameters, one\n"
    "\"name = value\" line each with 15 significant digits, in the order dX0 dY0\n"
    "dZ0 K betaX betaY betaZ. They serve conversions from the BEFORE system to\n"
    "the AFTER system.\n"
    "\n"
    "  --before SYS, --after SYS    systems of the BEFORE and AFTER files\n"
    "  --before-meridian DMS        central meridian of a projected BEFORE system\n"
    "  --after-meridian DMS         central meridian of a projected AFTER system\n"
    "  --save FILE                  also write the parameters to FILE, a small text\n"
    "                               file that --params @FILE reads back exactly\n"
    "  --residuals                  after the report, list every pair's residuals in\n"
    "                               X, Y, Z and 3-D (metres, at the final parameters)\n"
    "                               and its 3-D discrepancy from parameters estimated\n"
    "                               without it; a pair that the leave-one-out test\n"
    "                               suspects of a blunder is marked with * at the end\n"
    "                               of its line (with four pairs or more)\n"
    "\n"
    "The parameters file has one \"name = value\" line for each of the seven\n"
    "parameters (any order, each once); blank lines and lines starting with #\n"
    "are ignored. Values carry every digit needed to read back the same double.\n";

// ---------------------------------------------------------------- helpers

void WriteOut(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

// Display width of a label made of ASCII and three-byte UTF-8 (CJK) text.
std::size_t DisplayWidth(std::string_view text) {
    std::size_t width = 0;
    for (unsigned char c : text) {
        if (c < 0x80) {
            ++width;
        } else if (c >= 0xE0) {
            width += 2;
        }
    }
    return width;
}

void PadTo(std::string& line, std::size_t column, std::size_t width) {
    line.append(column > width ? column - width : 2, ' ');
}

int ThreadCount(const std::string& text, const std::string& what) {
    const auto value = ParseInt(text);
    if (!value || *value < 0 || *value > 1024) {
        throw UsageError(what + ": '" + text +
                         "' is not a number of threads (0 to 1024, 0 = all cores)");
    }
    return *value;
}

int ThreadsFromEnvironment() {
    const char* text = std::getenv("ZELK_THREADS");
    if (text == nullptr || *text == '\0') return 0;
    return ThreadCount(text, "environment variable ZELK_THREADS");
}

SevenParams ParamsOption(const ParsedArguments& parsed) {
    const std::string* value = parsed.Value("--params");
    if (value == nullptr) return SevenParams{};
    if (!value->empty() && value->front() == '@') {
        const std::string path = value->substr(1);
        if (path.empty()) throw UsageError("option --params: a file name is needed after @");
        std::string error;
        const auto params = ReadParamsFile(path, error);
        if (!params) throw DataError(error);
        return *params;
    }
    return ParseParamsList(*value, "option --params");
}

void RequirePositionals(const ParsedArguments& parsed, std::size_t count, const char* names) {
    if (parsed.positionals.size() != count) {
        throw UsageError(std::string(parsed.positionals.size() < count ? "missing" : "too many") +
                         " arguments: " + names + " expected");
    }
}

std::string PathArgument(const std::string& text, const char* what) {
    if (text.empty()) throw UsageError(std::string(what) + " is an empty file name");
    return text;
}

// Bytes of an input that can be sized (a regular file), else 0.
std::uint64_t InputSize(int fd) {
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return 0;
    return static_cast<std::uint64_t>(info.st_size);
}

// ---------------------------------------------------------------- systems

int SystemsCommand(const ParsedArguments& parsed) {
    if (!parsed.positionals.empty() || !parsed.options.empty()) {
        throw UsageError("systems takes no arguments");
    }
    std::string out = "name                form       main dialog       seven-parameter dialog\n";
    const SystemName* names = SystemNames();
    for (int i = 0; i < kSystemCount; ++i) {
        const CoordinateSystem system = names[i].system;
        std::string line = names[i].name;
        PadTo(line, 20, line.size());
        line += IsProjected(system) ? "projected" : "geodetic";
        PadTo(line, 31, line.size());
        const char* mainLabel = MainListLabel(MainListIndex(system));
        line += mainLabel;
        PadTo(line, 49, 31 + DisplayWidth(mainLabel));
        line += ParamListLabel(ParamListIndex(system));
        out += line;
        out += '\n';
    }
    WriteOut(out);
    return kExitSuccess;
}

// ---------------------------------------------------------------- point

constexpr OptionSpec kPointOptions[] = {
    {"--from", true},         {"--to", true},     {"--from-meridian", true},
    {"--to-meridian", true},  {"--params", true},
};

int PointCommand(const ParsedArguments& parsed) {
    const CoordinateSystem from = RequiredSystem(parsed, "--from");
    const CoordinateSystem to = RequiredSystem(parsed, "--to");
    const double fromMeridian = OptionalNumber(parsed, "--from-meridian", 0.0);
    const double toMeridian = OptionalNumber(parsed, "--to-meridian", 0.0);
    RequirePositionals(parsed, 3, "three coordinates A B C");
    double a = NumberArgument(parsed.positionals[0], "coordinate A");
    double b = NumberArgument(parsed.positionals[1], "coordinate B");
    double c = NumberArgument(parsed.positionals[2], "coordinate C");
    const SevenParams params = ParamsOption(parsed);

    ConvertPoint(MainListIndex(from), MainListIndex(to), fromMeridian, toMeridian, params, a, b, c);
    WriteOut(FormatGeneral(a, 15) + " " + FormatGeneral(b, 15) + " " + FormatGeneral(c, 15) + "\n");
    return kExitSuccess;
}

// ---------------------------------------------------------------- convert

constexpr OptionSpec kConvertOptions[] = {
    {"--from", true},        {"--to", true},     {"--from-meridian", true},
    {"--to-meridian", true}, {"--params", true}, {"--names", false},
    {"--jobs", true},
};

// The file conversion with standard input or output in place of a file: the
// same conversion and messages as the convert button, but streamed.
bool ConvertStreaming(const std::string& input, const std::string& output,
                      const ConvertDialogValues& values, const FileConversionOptions& options) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> opened(nullptr, &std::fclose);
    std::FILE* in = stdin;
    if (input != "-") {
        opened.reset(std::fopen(input.c_str(), "rb"));
        if (!opened) {
            ShowMessage(kInputOpenText, kReadFileCaption, MessageIcon::Error);
            return false;
        }
        in = opened.get();
    }
    AtomicOutputFile file;
    std::FILE* out = stdout;
    if (output != "-") {
        if (!file.Open(output)) {
            ShowMessage(kOutputOpenText, kWriteFileCaption, MessageIcon::Error);
            return false;
        }
        out = file.Stream();
    }
    const FileConversionResult result =
        ConvertPointFile(in, out, values.withNames != 0, values.srcSystem, values.tgtSystem,
                         values.srcMeridian, values.tgtMeridian, values.params, options);
    if (result.status != FileConversionResult::Status::Ok) {
        file.Abandon();
        ReportFileConversionProblem(result);
        return false;
    }
    if (output != "-" && !file.Commit()) {
        FileConversionResult failed;
        failed.status = FileConversionResult::Status::WriteError;
        ReportFileConversionProblem(failed);
        return false;
    }
    ShowMessage(kConversionDoneText, ApplicationName(), MessageIcon::Warning);
    return true;
}

int ConvertCommand(const ParsedArguments& parsed, ConsoleMessages& messages) {
    const CoordinateSystem from = RequiredSystem(parsed, "--from");
    const CoordinateSystem to = RequiredSystem(parsed, "--to");
    const double fromMeridian = OptionalNumber(parsed, "--from-meridian", 0.0);
    const double toMeridian = OptionalNumber(parsed, "--to-meridian", 0.0);
    int threads = ThreadsFromEnvironment();
    if (const std::string* jobs = parsed.Value("--jobs")) {
        threads = ThreadCount(*jobs, "option --jobs");
    }
    RequirePositionals(parsed, 2, "INPUT and OUTPUT");
    const std::string input = PathArgument(parsed.positionals[0], "INPUT");
    const std::string output = PathArgument(parsed.positionals[1], "OUTPUT");
    const SevenParams params = ParamsOption(parsed);

    ConvertDialogValues values;
    values.srcSystem = MainListIndex(from);
    values.tgtSystem = MainListIndex(to);
    values.srcMeridian = fromMeridian;
    values.tgtMeridian = toMeridian;
    // srcX and srcY stay 0: the dialog then converts no single point.
    values.withNames = parsed.Has("--names") ? 1 : 0;
    values.params = params;

    FileConversionOptions options;
    options.threads = threads;
    std::unique_ptr<ProgressLine> progress;
    if (output != "-" && isatty(STDERR_FILENO) && isatty(STDOUT_FILENO)) {
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
        options.progress = [line = progress.get()](std::uint64_t bytes) { line->Update(bytes); };
    }

    bool ok = false;
    if (input == "-" || output == "-") {
        ok = ConvertStreaming(input, output, values, options);
    } else {
        values.inputPath = input;
        values.outputPath = output;
        ok = RunConvert(values, options) == ConvertOutcome::Done;
    }
    if (progress) {
        progress->Clear();
        messages.SetProgressLine(nullptr);
    }
    return ok ? kExitSuccess : kExitFailure;
}

// ---------------------------------------------------------------- estimate

constexpr OptionSpec kEstimateOptions[] = {
    {"--before", true},
    {"--after", true},
    {"--before-meridian", true},
    {"--after-meridian", true},
    {"--save", true},
    {"--residuals", false},
};

// One line per pair: its number (from 1), the residuals in X, Y, Z and 3-D
// at the final parameters, the 3-D discrepancy of the pair from parameters
// estimated without it (and without the pairs the test marked before it),
// and a mark where the leave-one-out test suspects a blunder
// (BursaQuality::blunders).
std::string ResidualTable(const EstimationRunResult& result) {
    const std::size_t n = result.before.size();
    const OutlierTest& test = result.quality.blunders;
    const auto column = [](std::string& out, const std::string& text, std::size_t width) {
        out.append(text.size() < width ? width - text.size() : 1, ' ');
        out += text;
    };
    std::string out = "pair      rX (m)      rY (m)      rZ (m)     3-D (m)  left out (m)\n";
    for (std::size_t i = 0; i < n; ++i) {
        const BursaResidual r = ResidualAt(result.internal.data(), result.after[i], result.before[i]);
        const std::string number = std::to_string(i + 1);
        out.append(number.size() < 4 ? 4 - number.size() : 0, ' ');
        out += number;
        column(out, FormatFixed(r.rX, 4), 12);
        column(out, FormatFixed(r.rY, 4), 12);
        column(out, FormatFixed(r.rZ, 4), 12);
        column(out, FormatFixed(std::sqrt(r.rX * r.rX + r.rY * r.rY + r.rZ * r.rZ), 4), 12);
        const bool tested = test.performed && test.groups[i].tested;
        column(out, tested ? FormatFixed(test.groups[i].discrepancyLength, 4) : "-", 14);
        if (tested && test.groups[i].suspect) out += " *";
        out += '\n';
    }
    const int minimum = MinimumGroupsForTest(kBursaCount, 3);
    if (static_cast<int>(n) < minimum) {
        out += "left out: not computed, the leave-one-out test needs at least " +
               std::to_string(minimum) + " pairs; no pair marked\n";
    } else {
        const std::size_t marked = test.suspects.size();
        out += "left out: the pair's 3-D discrepancy from parameters estimated without it "
               "(and without the pairs marked before it); * suspected blunder, the discrepancy "
               "being too large for the spread of the other pairs (F test, 1% for the whole "
               "set): " +
               std::to_string(marked) + " pair" + (marked == 1 ? "" : "s") +
               (test.tooMany ? " and more; check the systems, the meridians and that the two "
                               "files pair up"
                             : "") +
               "\n";
    }
    return out;
}

// "# before: beijing54-gauss, meridian 117" and so on, for the file's head.
std::string SavedFileComment(const BursaDialogValues& values, const std::string& report,
                             const std::string& path) {
    const auto describe = [](int index, double meridian) {
        const CoordinateSystem system = SystemFromParamList(index);
        std::string text = NameOfSystem(system);
        if (IsProjected(system)) text += ", central meridian " + FormatGeneral(meridian, 15);
        return text;
    };
    return "Seven parameters (Bursa-Wolf) estimated by zelk-cli estimate.\n"
           "before: " + describe(values.beforeSystem, values.beforeMeridian) + " (" +
           values.beforeFile.string() + ")\n" +
           "after:  " + describe(values.afterSystem, values.afterMeridian) + " (" +
           values.afterFile.string() + ")\n" +
           "They convert from the before system to the after system, e.g.\n"
           "  zelk-cli convert --params @" + path + " ...\n" + report + "\n" +
           "One \"name = value\" line per parameter; lines starting with # are ignored.\n"
           "dX0 dY0 dZ0 in metres, K in ppm, betaX betaY betaZ in arc-seconds.";
}

void SaveParams(const std::string& path, const SevenParams& params, const std::string& comment) {
    for (double value : {params.dX0, params.dY0, params.dZ0, params.K, params.betaX, params.betaY,
                         params.betaZ}) {
        if (!std::isfinite(value)) {
            throw DataError(path + ": not written, the estimate is not a finite number");
        }
    }
    const std::string text = FormatParamsFile(params, comment);
    AtomicOutputFile file;
    if (!file.Open(path)) throw DataError(path + ": cannot write the parameters file");
    const bool written = std::fwrite(text.data(), 1, text.size(), file.Stream()) == text.size();
    if (!written || !file.Commit()) {
        file.Abandon();
        throw DataError(path + ": cannot write the parameters file");
    }
}

int EstimateCommand(const ParsedArguments& parsed, ConsoleMessages& messages) {
    const CoordinateSystem before = RequiredSystem(parsed, "--before");
    const CoordinateSystem after = RequiredSystem(parsed, "--after");
    const double beforeMeridian = OptionalNumber(parsed, "--before-meridian", 0.0);
    const double afterMeridian = OptionalNumber(parsed, "--after-meridian", 0.0);
    std::string savePath;
    if (const std::string* save = parsed.Value("--save")) {
        if (save->empty() || *save == "-") {
            throw UsageError("option --save: a file name is needed");
        }
        savePath = *save;
    }
    RequirePositionals(parsed, 2, "BEFORE and AFTER");

    BursaDialogValues values;
    values.beforeSystem = ParamListIndex(before);
    values.afterSystem = ParamListIndex(after);
    values.beforeMeridian = beforeMeridian;
    values.afterMeridian = afterMeridian;
    values.beforeFile = PathArgument(parsed.positionals[0], "BEFORE");
    values.afterFile = PathArgument(parsed.positionals[1], "AFTER");

    messages.StartCapture();
    const EstimationRunResult result = RunEstimation(values);
    std::vector<ConsoleMessages::Message> shown = messages.StopCapture();

    const bool estimated = result.outcome == EstimationOutcome::Estimated && !shown.empty();
    // The report is the last message of a successful run; anything before it
    // (and everything of a failed run) is a diagnostic.
    for (std::size_t i = 0; i + (estimated ? 1 : 0) < shown.size(); ++i) {
        WriteDiagnostic(shown[i].text);
    }
    if (!estimated) return kExitFailure;

    const std::string& report = shown.back().text;
    const SevenParams params{values.dX0,   values.dY0,   values.dZ0,  values.K,
                             values.betaX, values.betaY, values.betaZ};
    std::string out = report + "\n";
    if (parsed.Has("--residuals")) out += ResidualTable(result);
    const std::pair<const char*, double> lines[] = {
        {"dX0", params.dX0},     {"dY0", params.dY0},     {"dZ0", params.dZ0},
        {"K", params.K},         {"betaX", params.betaX}, {"betaY", params.betaY},
        {"betaZ", params.betaZ},
    };
    for (const auto& [name, value] : lines) {
        out += name;
        out += " = ";
        out += FormatGeneral(value, 15);
        out += '\n';
    }
    WriteOut(out);

    if (!savePath.empty()) SaveParams(savePath, params, SavedFileComment(values, report, savePath));
    return kExitSuccess;
}

// ---------------------------------------------------------------- dispatch

struct Command {
    const char* name;
    const char* usage;
    const char* help;
    std::span<const OptionSpec> options;
    bool takesParams;  // the P and SYS explanations belong to its help
};

constexpr Command kCommands[] = {
    {"systems", kSystemsUsage, kSystemsHelp, {}, false},
    {"point", kPointUsage, kPointHelp, kPointOptions, true},
    {"convert", kConvertUsage, kConvertHelp, kConvertOptions, true},
    {"estimate", kEstimateUsage, kEstimateHelp, kEstimateOptions, false},
};

const Command* FindCommand(std::string_view name) {
    for (const Command& command : kCommands) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

std::string CommandHelp(const Command& command) {
    std::string text = std::string(command.usage) + "\n\n" + command.help;
    if (std::string_view(command.name) != "systems") text += "\n" + std::string(kCommonTerms);
    if (command.takesParams) text += "\n" + std::string(kParamsTerms);
    text += "\n" + std::string(kExitTerms);
    return text;
}

std::string OverviewHelp() {
    return std::string(
               "zelk-cli converts point coordinates between WGS84, Beijing 1954 and Xian 1980\n"
               "and estimates seven-parameter transformations between them, with the same\n"
               "results as the desktop program zelk.\n\n") +
           kOverviewUsage + "\n" +
           "Commands:\n"
           "  systems    list the coordinate systems\n"
           "  point      convert one point\n"
           "  convert    convert a point file\n"
           "  estimate   estimate the seven parameters from two common-point files\n\n" +
           kCommonTerms + "\n" + kParamsTerms + "\n" + kExitTerms +
           "\nEnvironment: ZELK_THREADS, the number of worker threads of convert (0 or\n"
           "unset: all cores).\n";
}

int UsageFailure(const std::string& message, const char* usage, const char* command) {
    WriteDiagnostic(message);
    std::string text = std::string(usage) + "\n";
    text += command == nullptr ? "Try 'zelk-cli --help' for more.\n"
                               : "Try 'zelk-cli " + std::string(command) + " --help' for more.\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
    return kExitUsage;
}

int RunCommand(const Command& command, std::span<const std::string> args,
               ConsoleMessages& messages) {
    const ParsedArguments parsed = ParseArguments(args, command.options);
    if (parsed.help) {
        WriteOut(CommandHelp(command));
        return kExitSuccess;
    }
    const std::string_view name = command.name;
    if (name == "systems") return SystemsCommand(parsed);
    if (name == "point") return PointCommand(parsed);
    if (name == "convert") return ConvertCommand(parsed, messages);
    return EstimateCommand(parsed, messages);
}

// Standard output must have taken everything that was written to it.
int FinishOutput(int status) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        WriteDiagnostic("cannot write to standard output");
        return status == kExitSuccess ? kExitFailure : status;
    }
    return status;
}

}  // namespace

int RunCli(std::span<const std::string> args, ConsoleMessages& messages) {
    if (args.empty()) return UsageFailure("a command is needed", kShortUsage, nullptr);
    const std::string& first = args[0];
    if (first == "--help" || first == "-h" || first == "help") {
        if (first == "help" && args.size() > 1) {
            const Command* command = FindCommand(args[1]);
            if (command == nullptr) {
                return UsageFailure("unknown command '" + args[1] + "'", kShortUsage, nullptr);
            }
            WriteOut(CommandHelp(*command));
        } else {
            WriteOut(OverviewHelp());
        }
        return FinishOutput(kExitSuccess);
    }
    if (first == "--version" || first == "-V") {
        WriteOut(std::string(kProgramName) + " " + ZELK_VERSION + "\n");
        return FinishOutput(kExitSuccess);
    }
    const Command* command = FindCommand(first);
    if (command == nullptr) {
        const std::string what =
            first.size() > 0 && first[0] == '-' ? "unknown option '" : "unknown command '";
        return UsageFailure(what + first + "'", kShortUsage, nullptr);
    }
    try {
        return FinishOutput(RunCommand(*command, args.subspan(1), messages));
    } catch (const UsageError& error) {
        return UsageFailure(error.what(), command->usage, command->name);
    } catch (const DataError& error) {
        WriteDiagnostic(error.what());
        return FinishOutput(kExitFailure);
    } catch (const std::exception& error) {
        WriteDiagnostic(std::string("unexpected failure: ") + error.what());
        return FinishOutput(kExitFailure);
    }
}
