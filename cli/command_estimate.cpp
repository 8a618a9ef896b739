// zelk-cli estimate: a transformation from two files of common points,
// through the same request and path as the dialogs' compute buttons.
#include <algorithm>
#include <cstdio>
#include <optional>

#include "cli/commands.h"
#include "cli/help_texts.h"
#include "cli/options.h"
#include "platform/files.h"
#include "platform/output_file.h"
#include "platform/number_text.h"
#include "workflow/estimation_run.h"
#include "workflow/parameter_file.h"

using namespace zelk;

namespace {

constexpr OptionSpec kEstimateOptions[] = {
    {"--before", true},
    {"--after", true},
    {"--before-meridian", true},
    {"--after-meridian", true},
    {"--before-zone", true},
    {"--after-zone", true},
    {"--format", true},
    {"--from-angles", true},
    {"--to-angles", true},
    {"--model", true},
    {"--height", true},
    {"--geoid", true},
    {"--convention", true},
    {"--export-line", true},
    {"--save", true},
    {"--residuals", false},
    {"--pairs", true},
};

// Where a component took no part (a plan-only or height-only pair).
constexpr const char* kUnused = "—";

// One line per pair: its number (from 1), its name when the files have
// names (dat, csv, a pair file), its residuals (X, Y, Z and 3-D for seven
// and three parameters; x, y and the plane for four; then the height
// fit's when there is one; "—" where the pair took no part), its
// discrepancy when left out of the estimate, and a mark where the
// leave-one-out test suspects a blunder.
std::string ResidualTable(const CalibrationEstimate& result, bool seven,
                          const std::vector<std::string>& names) {
    const bool height = std::any_of(result.residuals.begin(), result.residuals.end(),
                                    [](const CalibrationResidual& r) { return r.heightFitted; });
    const auto column = [](std::string& out, const std::string& text, std::size_t width) {
        // The dash is one column wide in three bytes.
        const std::size_t shown = text == kUnused ? 1 : text.size();
        out.append(shown < width ? width - shown : 1, ' ');
        out += text;
    };
    std::size_t nameWidth = 0;
    for (const std::string& name : names) nameWidth = std::max(nameWidth, TerminalWidth(name));
    if (nameWidth > 0) nameWidth = std::max<std::size_t>(nameWidth, 4);
    const auto nameColumn = [&](std::string& out, const std::string& name) {
        if (nameWidth == 0) return;
        out += "  " + name;
        out.append(nameWidth - TerminalWidth(name), ' ');
    };
    std::string out = "pair";
    nameColumn(out, "name");
    out += seven ? "      rX (m)      rY (m)      rZ (m)     3-D (m)"
                 : "      vx (m)      vy (m)   plane (m)";
    const bool geoid = height && result.geoidCompared;
    if (height) out += "  height (m)";
    if (geoid) out += "  no geoid (m)";
    out += "  left out (m)\n";
    for (std::size_t i = 0; i < result.residuals.size(); ++i) {
        const CalibrationResidual& r = result.residuals[i];
        const std::string number = std::to_string(i + 1);
        out.append(number.size() < 4 ? 4 - number.size() : 0, ' ');
        out += number;
        nameColumn(out, i < names.size() ? names[i] : std::string());
        const auto plane = [&](double value) { return r.planeUsed ? FormatFixed(value, 4) : kUnused; };
        column(out, plane(r.r[0]), 12);
        column(out, plane(r.r[1]), 12);
        if (seven) column(out, plane(r.r[2]), 12);
        column(out, plane(r.length), 12);
        if (height) column(out, r.heightFitted ? FormatFixed(r.height, 4) : kUnused, 12);
        if (geoid) column(out, r.heightFitted ? FormatFixed(r.heightWithoutGeoid, 4) : kUnused, 14);
        column(out, result.tested && r.leftOut > 0.0 ? FormatFixed(r.leftOut, 4) : "-", 14);
        if (r.suspect) out += " *";
        out += '\n';
    }
    const std::string what = seven ? "3-D" : "plane";
    if (static_cast<int>(result.residuals.size()) < result.minimumPairs) {
        out += "left out: not computed, the leave-one-out test needs at least " +
               std::to_string(result.minimumPairs) + " pairs; no pair marked\n";
    } else {
        const std::size_t marked = result.suspects;
        out += "left out: the pair's " + what +
               " discrepancy from parameters estimated without it "
               "(and without the pairs marked before it); * suspected blunder, the discrepancy "
               "being too large for the spread of the other pairs (F test, 1% for the whole "
               "set): " +
               std::to_string(marked) + " pair" + (marked == 1 ? "" : "s") +
               (result.tooMany ? " and more; check the systems, the meridians and that the two "
                                 "files pair up"
                               : "") +
               "\n";
    }
    return out;
}

// The values of an estimate as "name = value" lines, 15 significant digits.
std::string ValueLines(const Transformation& c) {
    std::string out;
    const auto line = [&out](const char* name, double value) {
        out += name;
        out += " = ";
        out += FormatGeneral(value, 15);
        out += '\n';
    };
    if (c.model == Transformation::Model::Three) {
        line("dX0", c.three.dX);
        line("dY0", c.three.dY);
        line("dZ0", c.three.dZ);
    } else if (c.model == Transformation::Model::Seven) {
        if (c.convention != RotationConvention::CoordinateFrame) {
            out += std::string("convention = ") + ConventionName(c.convention) + "\n";
        }
        line("dX0", c.seven.dX0);
        line("dY0", c.seven.dY0);
        line("dZ0", c.seven.dZ0);
        line("K", c.seven.K);
        line("betaX", c.seven.betaX);
        line("betaY", c.seven.betaY);
        line("betaZ", c.seven.betaZ);
    } else {
        line("dX", c.four.dX);
        line("dY", c.four.dY);
        line("alpha", c.four.alpha);
        line("scale", c.four.K);
    }
    if (c.height) {
        static constexpr const char* kNames[] = {"a0", "a1", "a2", "a3", "a4", "a5"};
        line("height-x0", c.height->x0);
        line("height-y0", c.height->y0);
        for (int j = 0; j < HeightCoefficients(c.height->model); ++j) {
            line(kNames[j], c.height->a[static_cast<std::size_t>(j)]);
        }
        if (c.geoid) out += "geoid = " + GeoidFileValue(c.geoid->name) + "\n";
    }
    return out;
}

// Writes text in place of path (the old file kept until the new one is
// whole); the problem, or nothing.
std::string SaveText(const std::string& path, const std::string& text) {
    AtomicOutputFile file;
    if (!file.Open(platform::PathFromUtf8(path))) return path + ": cannot write the file";
    const bool written = std::fwrite(text.data(), 1, text.size(), file.Stream()) == text.size();
    if (!written || !file.Commit()) {
        file.Abandon();
        return path + ": cannot write the file" +
               (file.Problem().empty() ? std::string() : " (" + file.Problem() + ")");
    }
    return {};
}

std::optional<HeightModel> HeightOption(const ParsedArguments& parsed) {
    const std::string* value = parsed.Value("--height");
    if (value == nullptr || *value == "none") return std::nullopt;
    if (*value == "fixed") return HeightModel::Fixed;
    if (*value == "plane") return HeightModel::Plane;
    if (*value == "quadratic") return HeightModel::Quadratic;
    throw UsageError("option --height: '" + *value +
                     "' is not a height model (none, fixed, plane, quadratic)");
}

int Run(const ParsedArguments& parsed, ConsoleMessages&) {
    const zelk::Crs before = RequiredCrs(parsed, "before");
    const zelk::Crs after = RequiredCrs(parsed, "after");
    CalibrationSettings settings;
    settings.before = before;
    settings.after = after;
    if (const std::string* model = parsed.Value("--model")) {
        if (*model == "four") {
            settings.model = Transformation::Model::Four;
        } else if (*model == "three") {
            settings.model = Transformation::Model::Three;
        } else if (*model != "seven") {
            throw UsageError("option --model: '" + *model + "' is not a model (seven, three, four)");
        }
    }
    settings.height = HeightOption(parsed);
    if (parsed.Has("--geoid") && !settings.height) {
        throw UsageError("option --geoid: the geoid serves a height fit; give --height fixed, plane or "
                         "quadratic");
    }
    settings.geoid = GeoidOption(parsed, "--geoid");
    settings.convention = ConventionOption(parsed);
    const bool seven = settings.model == Transformation::Model::Seven;
    const bool four = settings.model == Transformation::Model::Four;
    if (!seven && parsed.Has("--convention")) {
        throw UsageError(std::string("option --convention: ") + (four ? "four" : "three") +
                         " parameters have no rotation convention");
    }
    if (!seven && parsed.Has("--export-line")) {
        throw UsageError("option --export-line: the line holds seven parameters");
    }
    if (const std::string problem = CalibrationSettingsProblem(settings); !problem.empty()) {
        throw DataError(problem);
    }
    std::string savePath;
    if (const std::string* save = parsed.Value("--save")) {
        if (save->empty() || *save == "-") {
            throw UsageError("option --save: a file name is needed");
        }
        RefuseDescriptorName(*save, "option --save");
        savePath = *save;
    }
    std::string exportPath;
    if (const std::string* line = parsed.Value("--export-line")) {
        if (line->empty()) throw UsageError("option --export-line: a file name is needed");
        RefuseDescriptorName(*line, "option --export-line");
        exportPath = *line;
    }
    EstimationRequest request;
    request.settings = settings;
    request.formats.format = FormatOption(parsed, "--format", false);
    request.formats.beforeAngles = AnglesOption(parsed, "--from-angles");
    request.formats.afterAngles = AnglesOption(parsed, "--to-angles");
    if (const std::string* pairs = parsed.Value("--pairs")) {
        if (!parsed.positionals.empty()) {
            throw UsageError("too many arguments: with --pairs FILE, which holds both sides, BEFORE "
                             "and AFTER are not given");
        }
        if (request.formats.format == pointformat::FileFormat::Dat) {
            throw UsageError("option --format: a pair file is plain or csv, not dat");
        }
        request.pairFile = platform::PathFromUtf8(PathArgument(*pairs, "option --pairs"));
    } else {
        RequirePositionals(parsed, 2, "BEFORE and AFTER (or --pairs FILE)");
        request.beforeFile = platform::PathFromUtf8(PathArgument(parsed.positionals[0], "BEFORE"));
        request.afterFile = platform::PathFromUtf8(PathArgument(parsed.positionals[1], "AFTER"));
    }

    const EstimationRun result = RunEstimation(request);
    if (result.outcome != EstimationOutcome::Estimated) throw DataError(result.message.text);

    const std::string& report = result.message.text;
    const Transformation& calibration = result.estimate.calibration;
    std::string out = report + "\n";
    if (parsed.Has("--residuals")) out += ResidualTable(result.estimate, !four, result.names);
    out += ValueLines(calibration);
    // The files first: a reader of the printout that stops early (`| head`)
    // must not cost them. The printout comes even when a file could not be
    // written.
    std::string notSaved;
    if (!savePath.empty()) {
        const bool pairs = !request.pairFile.empty();
        const std::string comment =
            CalibrationComment(calibration, report,
                               platform::PathText(pairs ? request.pairFile : request.beforeFile),
                               platform::PathText(pairs ? request.pairFile : request.afterFile)) +
            "\nUse it as: zelk-cli convert --params @" + savePath + " ...";
        std::string error;
        if (!SaveParametersFile(platform::PathFromUtf8(savePath), calibration, comment, error)) notSaved = error;
    }
    if (!exportPath.empty() && notSaved.empty()) {
        const std::string line = ExportLine(calibration.seven) + "\n";
        if (exportPath == "-") {
            out += line;
        } else {
            notSaved = SaveText(exportPath, line);
        }
    }
    WriteOut(out);
    if (!notSaved.empty()) throw DataError(notSaved);
    return kExitSuccess;
}

}  // namespace

const Command& EstimateCommand() {
    static const Command command{"estimate", kEstimateUsage, kEstimateHelp, kEstimateOptions, false, Run};
    return command;
}
