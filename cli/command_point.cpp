// zelk-cli point: one point, as the main dialog converts a typed point.
#include "cli/commands.h"
#include "cli/help_texts.h"
#include "cli/options.h"
#include "platform/number_text.h"
#include "workflow/angle_text.h"
#include "workflow/conversion_run.h"

using namespace zelk;

namespace {

constexpr OptionSpec kPointOptions[] = {
    {"--from", true},        {"--to", true},          {"--from-meridian", true},
    {"--to-meridian", true}, {"--from-zone", true},   {"--to-zone", true},
    {"--params", true, true},      {"--from-angles", true}, {"--to-angles", true},
    {"--convention", true},   {"--save-chain", true},
    {"--from-geoid", true},    {"--to-geoid", true},    {"--inverse", false},
    {"--from-utm-zone", true}, {"--to-utm-zone", true},
};

// One value of a typed point: B and L of a geodetic system in its angle format.
double PointArgument(const std::string& text, const Crs& crs, int i, AngleFormat angles,
                     const std::string& what) {
    if (crs.form != Form::Geodetic || i == 2 || angles == AngleFormat::Packed) {
        return NumberArgument(text, what);
    }
    double value = 0.0;
    if (!ParseAngle(text, angles, i == 0 ? AngleAxis::Latitude : AngleAxis::Longitude, value)) {
        throw UsageError(what + ": '" + text + "' is not an angle in the " +
                         std::string(AngleFormatName(angles)) + " format");
    }
    return value;
}

// One value of a result, as the dialog's result fields show it: 15
// significant digits; B and L of a geodetic system packed with nine
// decimals, or in its angle format.
std::string PointResult(double value, const Crs& crs, int i, AngleFormat angles) {
    if (crs.form != Form::Geodetic || i == 2) return FormatGeneral(value, 15);
    if (angles == AngleFormat::Packed) return PackedAngleText(value);
    char text[kAngleTextMax];
    return std::string(text, WriteAngle(text, value, angles));
}

int Run(const ParsedArguments& parsed, ConsoleMessages&) {
    ConversionRequest request;
    request.from = RequiredCrs(parsed, "from");
    request.to = RequiredCrs(parsed, "to");
    const AngleFormat fromAngles = AnglesOption(parsed, "--from-angles");
    const AngleFormat toAngles = AnglesOption(parsed, "--to-angles");
    RequirePositionals(parsed, 3, "three coordinates A B C");
    SaveChainPath(parsed);  // a mistake there is the command line's, before any file is read
    double a = PointArgument(parsed.positionals[0], request.from, 0, fromAngles, "coordinate A");
    double b = PointArgument(parsed.positionals[1], request.from, 1, fromAngles, "coordinate B");
    double c = PointArgument(parsed.positionals[2], request.from, 2, fromAngles, "coordinate C");
    const std::vector<Transformation> given = StepsOption(parsed);
    request.steps = InverseOption(parsed, given);
    request.fromGeoid = GeoidOption(parsed, "--from-geoid", &request.from);
    request.toGeoid = GeoidOption(parsed, "--to-geoid", &request.to);
    if (const std::string problem = RequestProblemText(request); !problem.empty()) {
        throw DataError(problem);
    }
    SaveChainOption(parsed, given);  // as given: --inverse is the run's, not the file's
    if (const std::string problem = ConvertTypedPoint(ChainFor(request), a, b, c); !problem.empty()) {
        throw DataError(problem);
    }
    const Crs& to = request.to;
    WriteOut(PointResult(a, to, 0, toAngles) + " " + PointResult(b, to, 1, toAngles) + " " +
             PointResult(c, to, 2, toAngles) + "\n");
    return kExitSuccess;
}

}  // namespace

const Command& PointCommand() {
    static const Command command{"point", kPointUsage, kPointHelp, kPointOptions, true, Run};
    return command;
}
