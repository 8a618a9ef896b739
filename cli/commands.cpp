#include "cli/commands.h"

#include <cerrno>
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
#include "workflow/parameter_file.h"
#include "cli/systems.h"
#include "bursa/bursa_model.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/number_text.h"
#include "platform/standard_streams.h"
#include "workflow/angle_text.h"
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
    "       zelk-cli point    --from SYS --to SYS [--from-meridian DMS | --from-zone W]\n"
    "                         [--to-meridian DMS | --to-zone W] [--params P]\n"
    "                         [--convention C] [--from-angles A] [--to-angles A] A B C\n"
    "       zelk-cli convert  --from SYS --to SYS [--from-meridian DMS | --from-zone W]\n"
    "                         [--to-meridian DMS | --to-zone W] [--params P]\n"
    "                         [--convention C] [--names] [--from-format F]\n"
    "                         [--to-format F] [--from-angles A] [--to-angles A]\n"
    "                         [--jobs N] INPUT OUTPUT\n"
    "       zelk-cli estimate --before SYS --after SYS\n"
    "                         [--before-meridian DMS | --before-zone W]\n"
    "                         [--after-meridian DMS | --after-zone W] [--format F]\n"
    "                         [--from-angles A] [--to-angles A] [--model M]\n"
    "                         [--height H] [--convention C] [--save FILE]\n"
    "                         [--export-line FILE] [--residuals] BEFORE AFTER\n"
    "       zelk-cli --help | --version\n"
    "       zelk-cli COMMAND --help\n";

constexpr const char* kCommonTerms =
    "SYS is one of wgs84-utm, wgs84-geodetic, beijing54-gauss, beijing54-geodetic,\n"
    "xian80-gauss, xian80-geodetic, cgcs2000-gauss, cgcs2000-geodetic, wgs84-xyz,\n"
    "beijing54-xyz, xian80-xyz, cgcs2000-xyz, local (zelk-cli systems lists them\n"
    "with the desktop program's labels). Projected systems (wgs84-utm and the\n"
    "-gauss systems) hold x (northing), y (easting with the 500000 m false\n"
    "easting) and H in metres; geodetic systems hold B, L in packed DMS and H in\n"
    "metres; geocentric systems (-xyz) hold the earth-centred X, Y, Z in metres;\n"
    "local is a site's own grid x y H, reached only through a site calibration.\n"
    "\n"
    "A projected system takes its central meridian from --*-meridian DMS, or\n"
    "from zones with --*-zone W, W being 3 or 6 (Gauss-Kruger only): then every\n"
    "easting carries its zone number in front (39440136.928 is 440136.928 in\n"
    "3-degree zone 39, meridian 117). Read, the zone comes from each easting;\n"
    "written, from each point's own longitude: 6-degree zone n = floor(L/6) + 1\n"
    "on 6n - 3 degrees, 3-degree zone n = floor((L - 1.5)/3) + 1 on 3n degrees.\n"
    "\n"
    "DMS is an angle in packed degrees.minutesseconds: 114.3015 is 114 degrees\n"
    "30 minutes 15 seconds. A central meridian left out is 0, as in the dialogs;\n"
    "other systems ignore it. A point more than 6 degrees from its central\n"
    "meridian, a latitude beyond 90 or a longitude beyond 180 degrees is\n"
    "refused with its line.\n";

constexpr const char* kFormatTerms =
    "A is the angle format of B and L of a geodetic system: packed (the default,\n"
    "ddd.mmss, written with 8 decimals: 0.0001 of a second), degrees (decimal\n"
    "degrees, written with 9 decimals) or dms (written 39°54′30.12345″; read also\n"
    "with ' and \", as 39:54:30.12345, with a leading minus or a trailing N S E W).\n"
    "Packed and decimal degrees cannot be told apart: the format is never guessed.\n"
    "\n"
    "F is a point-file format: plain (the default: one point a line, white space\n"
    "between the values, a name first with --names), dat (the CASS data file:\n"
    "name,code,E,N,H a line, east before north: name,code,y,x,H, name,code,L,B,H\n"
    "or name,code,X,Y,Z), csv (comma-separated with a header naming the columns\n"
    "in any order: name/点名, x/N/北, y/E/东, H/h/高程, B/lat/纬度, L/lon/经度, or\n"
    "X/Y/Z; a UTF-8 byte-order mark and GBK are read; written with the header\n"
    "name,x,y,H, name,B,L,H or name,X,Y,Z) or, written only, kml (WGS84 or\n"
    "CGCS2000 geodetic targets: a Placemark a point, lon,lat,h in decimal\n"
    "degrees, for a map). dat and csv are read by line: blank lines and lines\n"
    "starting with # are skipped, and a problem names its line and field. dat,\n"
    "csv and kml always carry names (points without a name are numbered 1, 2,\n"
    "3 ...); --names is implied there. x y H and X Y Z are written with 3\n"
    "decimals.\n";

constexpr const char* kParamsTerms =
    "P is the seven parameters of the Bursa-Wolf transformation from the source\n"
    "datum to the target datum, seven comma-separated numbers in the order\n"
    "dX0,dY0,dZ0 (metres),K (ppm),betaX,betaY,betaZ (arc-seconds), their\n"
    "rotations in the coordinate-frame convention unless --convention\n"
    "position-vector says otherwise; or @FILE to apply a parameters file written\n"
    "by zelk-cli estimate --save: seven parameters, or a site calibration (four\n"
    "parameters, a height fit), for the systems it names (a file made for other\n"
    "systems is refused). A four-parameter file also converts backwards, from\n"
    "its AFTER system (such as local) to systems of its BEFORE datum. Left out,\n"
    "all seven are zero.\n";

constexpr const char* kExitTerms =
    "Exit status: 0 success, 1 the data or a file is at fault (the message is on\n"
    "standard error), 2 a mistake on the command line. Stopped by SIGINT, SIGTERM\n"
    "or SIGHUP: 128 + the signal (130, 143, 129); no temporary file is left and an\n"
    "earlier OUTPUT or --save file is as it was. A reader of standard output that\n"
    "stops early (| head) ends the printing without a message and leaves the\n"
    "status as it is; only convert, writing its points there, stops at once, with\n"
    "141.\n";

// What differs on Windows: added to every help there.
constexpr const char* kWindowsTerms =
    "On Windows: file names may hold any characters (Chinese names too). Text\n"
    "shows in the console as characters whatever its code page, and goes to a\n"
    "pipe or a file in UTF-8. Files and standard input and output carry bytes\n"
    "unchanged: lines end in LF as on Linux, and Ctrl-Z is no end of file. '-'\n"
    "stands for standard input or output; /dev/stdout, /dev/fd/N and the like do\n"
    "not exist there and are refused. An OUTPUT or --save file held open by\n"
    "another program (a spreadsheet showing it) is tried again for about two\n"
    "seconds, then refused, the old file unchanged. Stopped by Ctrl-C,\n"
    "Ctrl-Break or the closing of the console window: exit status 0xC000013A\n"
    "(cmd shows -1073741510) in place of 128 + a signal; no temporary file is\n"
    "left and an earlier OUTPUT or --save file is as it was.\n";

constexpr const char* kSystemsUsage = "usage: zelk-cli systems";
constexpr const char* kSystemsHelp =
    "Lists the names of the coordinate systems, whether each is projected\n"
    "(needs a central meridian or zones), geodetic or geocentric, and the\n"
    "labels the desktop program's main dialog and seven-parameter dialog give\n"
    "them.\n";

constexpr const char* kPointUsage =
    "usage: zelk-cli point --from SYS --to SYS [--from-meridian DMS | --from-zone W]\n"
    "                      [--to-meridian DMS | --to-zone W] [--params P]\n"
    "                      [--convention C] [--from-angles A] [--to-angles A] A B C";
constexpr const char* kPointHelp =
    "Converts one point A B C (x y H, B L H or X Y Z of the source system) and\n"
    "prints the result in the target system as three numbers with 15\n"
    "significant digits, the way the desktop program's target fields show them.\n"
    "\n"
    "  --from SYS, --to SYS   source and target coordinate systems\n"
    "  --from-meridian DMS    central meridian of a projected source\n"
    "  --to-meridian DMS      central meridian of a projected target\n"
    "  --from-zone W          a projected source in W-degree zones (3 or 6)\n"
    "  --to-zone W            a projected target in W-degree zones (3 or 6)\n"
    "  --params P             the seven parameters (default all zero), or @FILE\n"
    "  --convention C         rotations of P: coordinate-frame (default) or\n"
    "                         position-vector\n"
    "  --from-angles A        B and L of a geodetic source are typed in format A\n"
    "  --to-angles A          B and L of a geodetic target are printed in format A\n"
    "                         (packed: 15 significant digits)\n"
    "\n"
    "Negative coordinates may be written as they are (-12.5); \"--\" ends the\n"
    "options.\n";

constexpr const char* kConvertUsage =
    "usage: zelk-cli convert --from SYS --to SYS [--from-meridian DMS | --from-zone W]\n"
    "                        [--to-meridian DMS | --to-zone W] [--params P]\n"
    "                        [--convention C] [--names] [--from-format F]\n"
    "                        [--to-format F] [--from-angles A] [--to-angles A]\n"
    "                        [--jobs N] INPUT OUTPUT";
constexpr const char* kConvertHelp =
    "Converts the point file INPUT into OUTPUT exactly as the desktop program's\n"
    "convert button does: the same reader, the same output bytes (one line per\n"
    "point; 3 decimals for metres, 8 for packed B and L), the same messages.\n"
    "OUTPUT is written beside its final place and only takes that place when the whole\n"
    "file has converted: a failed or interrupted conversion leaves an existing\n"
    "OUTPUT as it was. A symbolic link is written through to its file. A file\n"
    "with other names (hard links), or one that cannot be replaced (bind-mounted),\n"
    "is written over in place once the whole file has converted. A file that may\n"
    "not be written is refused.\n"
    "\n"
    "INPUT - reads standard input. OUTPUT - writes standard output, as /dev/stdout,\n"
    "/dev/fd/N and /proc/self/fd/N write their descriptors: into a file (after >\n"
    "or >>) after what it holds, once the whole file has converted; into a pipe\n"
    "or a terminal as the points convert (a failure part-way leaves the lines\n"
    "already written). A file name that starts with '-' goes after \"--\", which\n"
    "ends the options.\n"
    "\n"
    "A name longer than 64 KB or a number longer than 4 KB is unreadable data, as\n"
    "is anything not a number where one is due; reading stops there.\n"
    "\n"
    "  --from SYS, --to SYS   source and target coordinate systems\n"
    "  --from-meridian DMS    central meridian of a projected source\n"
    "  --to-meridian DMS      central meridian of a projected target\n"
    "  --from-zone W          a projected source in W-degree zones (3 or 6)\n"
    "  --to-zone W            a projected target in W-degree zones (3 or 6)\n"
    "  --params P             the seven parameters (default all zero), or @FILE\n"
    "  --convention C         rotations of P: coordinate-frame (default) or\n"
    "                         position-vector\n"
    "  --names                every point carries a name before its three numbers\n"
    "  --from-format F        the format of INPUT (plain, dat, csv)\n"
    "  --to-format F          the format of OUTPUT (plain, dat, csv, kml)\n"
    "  --from-angles A        the angle format of B and L in INPUT\n"
    "  --to-angles A          the angle format of B and L in OUTPUT\n"
    "  --jobs N               worker threads (without it: ZELK_THREADS, else all\n"
    "                         cores); the output is the same for any number\n"
    "\n"
    "On a terminal a conversion that takes more than a second shows its progress\n"
    "on standard error; never when standard output is piped or redirected.\n"
    "\n"
    "Environment: ZELK_THREADS, the number of worker threads when --jobs is not\n"
    "given (0 or unset: all cores).\n";

constexpr const char* kEstimateUsage =
    "usage: zelk-cli estimate --before SYS --after SYS\n"
    "                         [--before-meridian DMS | --before-zone W]\n"
    "                         [--after-meridian DMS | --after-zone W] [--format F]\n"
    "                         [--from-angles A] [--to-angles A] [--model M]\n"
    "                         [--height H] [--convention C] [--save FILE]\n"
    "                         [--export-line FILE] [--residuals] BEFORE AFTER";
constexpr const char* kEstimateHelp =
    "Estimates a transformation by least squares from two files of common\n"
    "points, as the desktop program's compute button and calibration dialog do:\n"
    "BEFORE holds the points in the source system, AFTER the same points in the\n"
    "same order in the target system. By default the seven parameters: prints\n"
    "the estimation report (the error figures, the standard error of every\n"
    "parameter, a line starting with 警告 when the common points are too badly\n"
    "spread to fix some parameters, and the blunder test), then the seven\n"
    "parameters, one \"name = value\" line each with 15 significant digits, in\n"
    "the order dX0 dY0 dZ0 K betaX betaY betaZ. They serve conversions from the\n"
    "BEFORE system to the AFTER system. Points pair by position; at most 200000\n"
    "pairs are taken, more are refused.\n"
    "\n"
    "A site calibration (--model four) is the plane similarity of a projected\n"
    "BEFORE system onto a projected AFTER system or the local grid (local):\n"
    "x2 = dX + K(x1 cos alpha - y1 sin alpha), y2 = dY + K(x1 sin alpha +\n"
    "y1 cos alpha), from two pairs or more. A height fit (--height) models\n"
    "zeta = H before - H after over the plane, from the centroid in km: fixed\n"
    "a0 (one pair or more), plane a0 + a1 dx + a2 dy (three), quadratic adds\n"
    "a3 dx^2 + a4 dx dy + a5 dy^2 (six). With seven parameters the AFTER system\n"
    "must then be projected; the fit is made at the converted points.\n"
    "\n"
    "  --before SYS, --after SYS    systems of the BEFORE and AFTER files\n"
    "  --before-meridian DMS        central meridian of a projected BEFORE system\n"
    "  --after-meridian DMS         central meridian of a projected AFTER system\n"
    "  --before-zone W              a projected BEFORE system in W-degree zones\n"
    "  --after-zone W               a projected AFTER system in W-degree zones\n"
    "  --format F                   the format of both files (plain, dat, csv);\n"
    "                               pairs go by position, names are not compared\n"
    "  --from-angles A              the angle format of B and L in BEFORE\n"
    "  --to-angles A                the angle format of B and L in AFTER\n"
    "  --model M                    seven (the default) or four\n"
    "  --height H                   none (the default), fixed, plane or quadratic\n"
    "  --convention C               the rotations of seven parameters:\n"
    "                               coordinate-frame (the default) or position-vector\n"
    "  --save FILE                  also write the whole calibration to FILE, a small\n"
    "                               text file that --params @FILE reads back exactly\n"
    "                               (model, convention, systems, values, height fit);\n"
    "                               written before anything is printed\n"
    "  --export-line FILE           also write the seven parameters as one line,\n"
    "                               X,Y,Z shift (m),X,Y,Z rotation (\"),scale (ppm),\n"
    "                               as land-use exchange files hold them (- prints it)\n"
    "  --residuals                  after the report, list every pair's residuals in\n"
    "                               X, Y, Z and 3-D (metres, at the final parameters)\n"
    "                               and its 3-D discrepancy from parameters estimated\n"
    "                               without it; a pair that the leave-one-out test\n"
    "                               suspects of a blunder is marked with * at the end\n"
    "                               of its line (with four pairs or more); dat and\n"
    "                               csv files add each point's name after its number\n"
    "\n"
    "The parameters file has one \"name = value\" line for each value (any order,\n"
    "each once): model, convention, before, before-meridian or before-zone, after\n"
    "(and its setting), dX0 dY0 dZ0 K betaX betaY betaZ or dX dY alpha (rad) scale,\n"
    "height, height-x0, height-y0 and a0 to a5. Blank lines and lines starting\n"
    "with # are ignored. Values carry every digit needed to read back the same\n"
    "double. A file of the seven values alone serves any systems.\n";

// ---------------------------------------------------------------- helpers

void WriteOut(std::string_view text) { zelk::platform::WriteText(stdout, text); }

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

const char* FormName(zelk::Form form) {
    switch (form) {
        case zelk::Form::Projected:
            return "projected";
        case zelk::Form::Geodetic:
            return "geodetic";
        case zelk::Form::Geocentric:
            return "geocentric";
        case zelk::Form::Local:
            return "local";
    }
    return "";
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

// --convention: coordinate-frame (the default) or position-vector.
RotationConvention ConventionOption(const ParsedArguments& parsed) {
    const std::string* value = parsed.Value("--convention");
    if (value == nullptr) return RotationConvention::CoordinateFrame;
    const auto convention = ConventionFromName(*value);
    if (!convention) {
        throw UsageError("option --convention: '" + *value +
                         "' is not a convention (coordinate-frame, position-vector)");
    }
    return *convention;
}

// What --params (and --convention) say for a conversion from `from` to
// `to`: seven values, or a parameters file with whatever it holds.
zelk::Transformation TransformationOption(const ParsedArguments& parsed, const zelk::Crs& from,
                                          const zelk::Crs& to) {
    const std::string* value = parsed.Value("--params");
    if (value != nullptr && !value->empty() && value->front() == '@') {
        const std::string path = value->substr(1);
        if (path.empty()) throw UsageError("option --params: a file name is needed after @");
        if (parsed.Has("--convention")) {
            throw UsageError("option --convention: a parameters file says its own convention");
        }
        std::string error;
        const auto calibration = ReadCalibrationFile(zelk::platform::PathFromUtf8(path), error);
        if (!calibration) throw DataError(error);
        std::string problem;
        const auto transformation = TransformationFor(*calibration, from, to, problem);
        if (!transformation) throw DataError(path + ": " + problem);
        return *transformation;
    }
    const SevenParams params =
        value == nullptr ? SevenParams{} : ParseParamsList(*value, "option --params");
    return zelk::Transformation::Seven(params, ConventionOption(parsed));
}

void RequirePositionals(const ParsedArguments& parsed, std::size_t count, const char* names) {
    if (parsed.positionals.size() != count) {
        throw UsageError(std::string(parsed.positionals.size() < count ? "missing" : "too many") +
                         " arguments: " + names + " expected");
    }
}

// Names of open descriptors do not exist everywhere (not on Windows).
void RefuseDescriptorName(const std::string& text, const std::string& what) {
    if (!zelk::platform::HasDescriptorNames() && zelk::platform::IsDescriptorName(text)) {
        throw UsageError(what + ": there is no '" + text +
                         "' on this system; use '-' for standard input or output");
    }
}

std::string PathArgument(const std::string& text, const char* what) {
    if (text.empty()) throw UsageError(std::string(what) + " is an empty file name");
    RefuseDescriptorName(text, what);
    return text;
}

// ---------------------------------------------------------------- systems

int SystemsCommand(const ParsedArguments& parsed) {
    if (!parsed.positionals.empty() || !parsed.options.empty()) {
        throw UsageError("systems takes no arguments");
    }
    std::string out = "name                form       main dialog       seven-parameter dialog\n";
    for (const zelk::SystemEntry& entry : zelk::Systems()) {
        std::string line = entry.name;
        PadTo(line, 20, line.size());
        line += FormName(entry.form);
        PadTo(line, 31, line.size());
        line += entry.mainLabel;
        PadTo(line, 49, 31 + DisplayWidth(entry.mainLabel));
        line += entry.paramLabel;
        out += line;
        out += '\n';
    }
    WriteOut(out);
    return kExitSuccess;
}

// ---------------------------------------------------------------- point

constexpr OptionSpec kPointOptions[] = {
    {"--from", true},        {"--to", true},          {"--from-meridian", true},
    {"--to-meridian", true}, {"--from-zone", true},   {"--to-zone", true},
    {"--params", true},      {"--from-angles", true}, {"--to-angles", true},
    {"--convention", true},
};

// --from-angles / --to-angles: packed (the default), degrees or dms.
AngleFormat AnglesOption(const ParsedArguments& parsed, const std::string& name) {
    const std::string* value = parsed.Value(name);
    if (value == nullptr) return AngleFormat::Packed;
    const auto format = AngleFormatFromName(*value);
    if (!format) {
        throw UsageError("option " + name + ": '" + *value +
                         "' is not an angle format (packed, degrees or dms)");
    }
    return *format;
}

// --from-format, --to-format, --format: plain (the default), dat, csv, and
// kml for an output.
pointformat::FileFormat FormatOption(const ParsedArguments& parsed, const std::string& name,
                                     bool output) {
    const std::string* value = parsed.Value(name);
    if (value == nullptr) return pointformat::FileFormat::Plain;
    const auto format = pointformat::FileFormatFromName(*value);
    if (!format || (*format == pointformat::FileFormat::Kml && !output)) {
        throw UsageError("option " + name + ": '" + *value + "' is not a file format (plain, dat, csv" +
                         (output ? ", kml)" : ")"));
    }
    return *format;
}

// One value of a typed point: B and L of a geodetic system in its angle format.
double PointArgument(const std::string& text, const zelk::Crs& crs, int i, AngleFormat angles,
                     const std::string& what) {
    if (crs.form != zelk::Form::Geodetic || i == 2 || angles == AngleFormat::Packed) {
        return NumberArgument(text, what);
    }
    double value = 0.0;
    if (!ParseAngle(text, angles, i == 0 ? AngleAxis::Latitude : AngleAxis::Longitude, value)) {
        throw UsageError(what + ": '" + text + "' is not an angle in the " +
                         std::string(AngleFormatName(angles)) + " format");
    }
    return value;
}

// One value of a result: 15 significant digits, as the dialog shows it; B and
// L of a geodetic system in its angle format when that is not packed.
std::string PointResult(double value, const zelk::Crs& crs, int i, AngleFormat angles) {
    if (crs.form != zelk::Form::Geodetic || i == 2 || angles == AngleFormat::Packed) {
        return FormatGeneral(value, 15);
    }
    char text[kAngleTextMax];
    return std::string(text, WriteAngle(text, value, angles));
}

int PointCommand(const ParsedArguments& parsed) {
    const zelk::Crs from = RequiredCrs(parsed, "from");
    const zelk::Crs to = RequiredCrs(parsed, "to");
    const AngleFormat fromAngles = AnglesOption(parsed, "--from-angles");
    const AngleFormat toAngles = AnglesOption(parsed, "--to-angles");
    RequirePositionals(parsed, 3, "three coordinates A B C");
    double a = PointArgument(parsed.positionals[0], from, 0, fromAngles, "coordinate A");
    double b = PointArgument(parsed.positionals[1], from, 1, fromAngles, "coordinate B");
    double c = PointArgument(parsed.positionals[2], from, 2, fromAngles, "coordinate C");
    const zelk::Transformation transformation = TransformationOption(parsed, from, to);
    if (const std::string problem = zelk::TransformationProblemText(from, to, transformation);
        !problem.empty()) {
        throw DataError(problem);
    }
    const zelk::ConversionChain chain(from, to, transformation);
    const zelk::PointProblem problem = chain.Convert(a, b, c);
    if (problem != zelk::PointProblem::None) throw DataError(PointProblemText(problem, kTypedPoint));
    WriteOut(PointResult(a, to, 0, toAngles) + " " + PointResult(b, to, 1, toAngles) + " " +
             PointResult(c, to, 2, toAngles) + "\n");
    return kExitSuccess;
}

// ---------------------------------------------------------------- convert

constexpr OptionSpec kConvertOptions[] = {
    {"--from", true},          {"--to", true},          {"--from-meridian", true},
    {"--to-meridian", true},   {"--from-zone", true},   {"--to-zone", true},
    {"--params", true},        {"--names", false},      {"--jobs", true},
    {"--from-format", true},   {"--to-format", true},   {"--from-angles", true},
    {"--to-angles", true},     {"--convention", true},
};

// The convert button's values for two systems of the catalogue.
void SetSystems(ConvertDialogValues& values, const zelk::Crs& from, const zelk::Crs& to) {
    const auto mainIndex = [](const zelk::Crs& crs) {
        return zelk::MainListIndexOf(*zelk::FindSystem(crs.datum, crs.form));
    };
    values.srcSystem = mainIndex(from);
    values.tgtSystem = mainIndex(to);
    values.srcMeridian = from.meridian;
    values.tgtMeridian = to.meridian;
    values.srcZoning = from.zoning;
    values.tgtZoning = to.zoning;
}

// The file conversion with standard input in place of a file, or into a
// descriptor (outputDescriptor >= 0: standard output for "-", or a name like
// /dev/stdout): the same conversion and messages as the convert button. A
// pipe whose reader stops early (`| head`) ends the conversion quietly.
int ConvertStreaming(const std::string& input, const std::string& output, int outputDescriptor,
                     const ConvertDialogValues& values, const FileConversionOptions& options) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> opened(nullptr, &std::fclose);
    std::FILE* in = stdin;
    if (input != "-") {
        opened.reset(zelk::platform::OpenFile(zelk::platform::PathFromUtf8(input), "rb"));
        if (!opened) {
            ShowMessage(kInputOpenText, kReadFileCaption, MessageIcon::Error);
            return kExitFailure;
        }
        in = opened.get();
    }
    AtomicOutputFile file;
    if (outputDescriptor >= 0 ? !file.OpenDescriptor(outputDescriptor)
                              : !file.Open(zelk::platform::PathFromUtf8(output))) {
        ShowMessage(kOutputOpenText, kWriteFileCaption, MessageIcon::Error);
        return kExitFailure;
    }
    std::FILE* out = file.Stream();
    const zelk::Crs from = *MainListCrs(values.srcSystem, values.srcZoning, values.srcMeridian);
    const zelk::Crs to = *MainListCrs(values.tgtSystem, values.tgtZoning, values.tgtMeridian);
    const zelk::Transformation transformation =
        values.calibration ? *values.calibration : zelk::Transformation::Seven(values.params);
    if (const std::string problem = zelk::TransformationProblemText(from, to, transformation);
        !problem.empty()) {
        ShowMessage(problem, kSettingCaption, MessageIcon::Warning);
        return kExitFailure;
    }
    const zelk::ConversionChain chain(from, to, transformation);
    FileFormats formats = values.formats;
    formats.withNames = values.withNames != 0;
    const FileConversionResult result = ConvertPointFile(in, out, chain, formats, options);
    if (result.status == FileConversionResult::Status::WriteError && file.ReaderGone()) {
        return kExitReaderGone;
    }
    if (result.status != FileConversionResult::Status::Ok) {
        file.Abandon();
        ReportFileConversionProblem(result);
        return kExitFailure;
    }
    if (!file.Commit()) {
        if (file.ReaderGone()) return kExitReaderGone;
        FileConversionResult failed;
        failed.status = FileConversionResult::Status::WriteError;
        ReportFileConversionProblem(failed);
        return kExitFailure;
    }
    ShowMessage(kConversionDoneText, ApplicationName(), MessageIcon::Warning);
    return kExitSuccess;
}

int ConvertCommand(const ParsedArguments& parsed, ConsoleMessages& messages) {
    const zelk::Crs from = RequiredCrs(parsed, "from");
    const zelk::Crs to = RequiredCrs(parsed, "to");
    // An explicit --jobs wins: the environment is not even read then.
    const std::string* jobs = parsed.Value("--jobs");
    const int threads = jobs ? ThreadCount(*jobs, "option --jobs") : ThreadsFromEnvironment();
    RequirePositionals(parsed, 2, "INPUT and OUTPUT");
    const std::string input = PathArgument(parsed.positionals[0], "INPUT");
    const std::string output = PathArgument(parsed.positionals[1], "OUTPUT");
    const zelk::Transformation transformation = TransformationOption(parsed, from, to);

    ConvertDialogValues values;
    SetSystems(values, from, to);
    // srcX and srcY stay 0: the dialog then converts no single point.
    values.withNames = parsed.Has("--names") ? 1 : 0;
    values.calibration = transformation;
    values.formats.input = FormatOption(parsed, "--from-format", false);
    values.formats.output = FormatOption(parsed, "--to-format", true);
    values.formats.inputAngles = AnglesOption(parsed, "--from-angles");
    values.formats.outputAngles = AnglesOption(parsed, "--to-angles");
    if (const std::string problem = FormatProblemText(values.formats, to); !problem.empty()) {
        throw UsageError("option --to-format: KML holds WGS84 or CGCS2000 geodetic points only");
    }

    FileConversionOptions options;
    options.threads = threads;
    const int outputDescriptor =
        output == "-" ? zelk::platform::kStandardOutputDescriptor
                      : OutputDescriptor(zelk::platform::PathFromUtf8(output));
    std::unique_ptr<ProgressLine> progress;
    if (outputDescriptor < 0 && zelk::platform::IsTerminal(stderr) &&
        zelk::platform::IsTerminal(stdout)) {
        const std::uint64_t total =
            input == "-" ? zelk::platform::RegularFileSize(stdin).value_or(0) : [&] {
                std::error_code error;
                const auto size =
                    std::filesystem::file_size(zelk::platform::PathFromUtf8(input), error);
                return error ? std::uint64_t{0} : static_cast<std::uint64_t>(size);
            }();
        progress = std::make_unique<ProgressLine>(total, [](std::string_view text) {
            zelk::platform::WriteText(stderr, text);
            std::fflush(stderr);
        });
        messages.SetProgressLine(progress.get());
        options.progress = [line = progress.get()](std::uint64_t bytes, std::uint64_t) {
            line->Update(bytes);
        };
    }

    int status = kExitFailure;
    if (input == "-" || outputDescriptor >= 0) {
        status = ConvertStreaming(input, output, outputDescriptor, values, options);
    } else {
        values.inputPath = zelk::platform::PathFromUtf8(input);
        values.outputPath = zelk::platform::PathFromUtf8(output);
        status = RunConvert(values, options) == ConvertOutcome::Done ? kExitSuccess : kExitFailure;
    }
    if (progress) {
        progress->Clear();
        messages.SetProgressLine(nullptr);
    }
    return status;
}

// ---------------------------------------------------------------- estimate

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
    {"--convention", true},
    {"--export-line", true},
    {"--save", true},
    {"--residuals", false},
};

// Columns a name takes on a terminal: in UTF-8 a character of three or
// four bytes (Chinese) takes two and any other one; bytes that are not
// UTF-8 (GBK, whose characters are two bytes and two columns wide) one each.
std::size_t TerminalWidth(const std::string& name) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < name.size();) {
        const unsigned char lead = static_cast<unsigned char>(name[i]);
        std::size_t length = 0;  // of the UTF-8 character; 0: not a lead byte
        if (lead < 0x80) {
            length = 1;
        } else if (lead >= 0xC2 && lead < 0xE0) {
            length = 2;
        } else if (lead >= 0xE0 && lead < 0xF0) {
            length = 3;
        } else if (lead >= 0xF0 && lead < 0xF5) {
            length = 4;
        }
        bool whole = length > 0 && i + length <= name.size();
        for (std::size_t k = 1; whole && k < length; ++k) {
            whole = (static_cast<unsigned char>(name[i + k]) & 0xC0) == 0x80;
        }
        if (!whole) return name.size();
        width += length >= 3 ? 2 : 1;
        i += length;
    }
    return width;
}

// One line per pair: its number (from 1), its name when the files have
// names (dat, csv: those of BEFORE), its residuals (X, Y, Z and 3-D
// for seven parameters; x, y and the plane for four; then the height fit's
// when there is one), its discrepancy when left out of the estimate, and a
// mark where the leave-one-out test suspects a blunder.
std::string ResidualTable(const CalibrationEstimate& result, bool seven,
                          const std::vector<std::string>& names) {
    const bool height = !result.residuals.empty() && result.residuals.front().heightFitted;
    const auto column = [](std::string& out, const std::string& text, std::size_t width) {
        out.append(text.size() < width ? width - text.size() : 1, ' ');
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
    if (height) out += "  height (m)";
    out += "  left out (m)\n";
    for (std::size_t i = 0; i < result.residuals.size(); ++i) {
        const CalibrationResidual& r = result.residuals[i];
        const std::string number = std::to_string(i + 1);
        out.append(number.size() < 4 ? 4 - number.size() : 0, ' ');
        out += number;
        nameColumn(out, i < names.size() ? names[i] : std::string());
        column(out, FormatFixed(r.r[0], 4), 12);
        column(out, FormatFixed(r.r[1], 4), 12);
        if (seven) column(out, FormatFixed(r.r[2], 4), 12);
        column(out, FormatFixed(r.length, 4), 12);
        if (height) column(out, FormatFixed(r.height, 4), 12);
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
std::string ValueLines(const Calibration& c) {
    std::string out;
    const auto line = [&out](const char* name, double value) {
        out += name;
        out += " = ";
        out += FormatGeneral(value, 15);
        out += '\n';
    };
    if (c.model == Calibration::Model::Seven) {
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
    }
    return out;
}

// Writes text in place of path (the old file kept until the new one is
// whole); the problem, or nothing.
std::string SaveText(const std::string& path, const std::string& text) {
    AtomicOutputFile file;
    if (!file.Open(zelk::platform::PathFromUtf8(path))) return path + ": cannot write the file";
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

int EstimateCommand(const ParsedArguments& parsed, ConsoleMessages& messages) {
    const zelk::Crs before = RequiredCrs(parsed, "before");
    const zelk::Crs after = RequiredCrs(parsed, "after");
    CalibrationSettings settings;
    settings.before = before;
    settings.after = after;
    if (const std::string* model = parsed.Value("--model")) {
        if (*model == "four") {
            settings.model = Calibration::Model::Four;
        } else if (*model != "seven") {
            throw UsageError("option --model: '" + *model + "' is not a model (seven, four)");
        }
    }
    settings.height = HeightOption(parsed);
    settings.convention = ConventionOption(parsed);
    const bool seven = settings.model == Calibration::Model::Seven;
    if (!seven && parsed.Has("--convention")) {
        throw UsageError("option --convention: four parameters have no rotation convention");
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
    RequirePositionals(parsed, 2, "BEFORE and AFTER");

    BursaDialogValues values;
    const auto paramIndex = [](const zelk::Crs& crs) {
        return zelk::ParamListIndexOf(*zelk::FindSystem(crs.datum, crs.form));
    };
    values.beforeSystem = paramIndex(before);
    values.afterSystem = paramIndex(after);
    values.beforeMeridian = before.meridian;
    values.afterMeridian = after.meridian;
    values.beforeZoning = before.zoning;
    values.afterZoning = after.zoning;
    values.formats.format = FormatOption(parsed, "--format", false);
    values.formats.beforeAngles = AnglesOption(parsed, "--from-angles");
    values.formats.afterAngles = AnglesOption(parsed, "--to-angles");
    values.beforeFile = zelk::platform::PathFromUtf8(PathArgument(parsed.positionals[0], "BEFORE"));
    values.afterFile = zelk::platform::PathFromUtf8(PathArgument(parsed.positionals[1], "AFTER"));

    messages.StartCapture();
    const CalibrationRunResult result = RunCalibration(values, settings);
    std::vector<ConsoleMessages::Message> shown = messages.StopCapture();

    const bool estimated = result.outcome == EstimationOutcome::Estimated && !shown.empty();
    // The report is the last message of a successful run; anything before it
    // (and everything of a failed run) is a diagnostic.
    for (std::size_t i = 0; i + (estimated ? 1 : 0) < shown.size(); ++i) {
        WriteDiagnostic(shown[i].text);
    }
    if (!estimated) return kExitFailure;

    const std::string& report = shown.back().text;
    const Calibration& calibration = result.estimate.calibration;
    std::string out = report + "\n";
    if (parsed.Has("--residuals")) out += ResidualTable(result.estimate, seven, result.names);
    out += ValueLines(calibration);
    // The files first: a reader of the printout that stops early (`| head`)
    // must not cost them. The printout comes even when a file could not be
    // written.
    std::string notSaved;
    if (!savePath.empty()) {
        const std::string comment =
            CalibrationComment(settings, report, zelk::platform::PathText(values.beforeFile),
                               zelk::platform::PathText(values.afterFile)) +
            "\nUse it as: zelk-cli convert --params @" + savePath + " ...";
        std::string error;
        if (!SaveCalibrationFile(zelk::platform::PathFromUtf8(savePath), calibration, comment,
                                 error)) {
            notSaved = error;
        }
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
    if (std::string_view(command.name) != "systems") {
        text += "\n" + std::string(kCommonTerms) + "\n" + kFormatTerms;
    }
    if (command.takesParams) text += "\n" + std::string(kParamsTerms);
    text += "\n" + std::string(kExitTerms);
    if (zelk::platform::RunsOnWindows()) text += "\n" + std::string(kWindowsTerms);
    return text;
}

std::string OverviewHelp() {
    return std::string(
               "zelk-cli converts point coordinates between WGS84, Beijing 1954, Xian 1980\n"
               "and CGCS2000 and estimates seven-parameter transformations between them,\n"
               "with the same results as the desktop program zelk.\n\n") +
           kOverviewUsage + "\n" +
           "Commands:\n"
           "  systems    list the coordinate systems\n"
           "  point      convert one point\n"
           "  convert    convert a point file\n"
           "  estimate   estimate the seven parameters from two common-point files\n\n" +
           kCommonTerms + "\n" + kFormatTerms + "\n" + kParamsTerms + "\n" + kExitTerms +
           "\nEnvironment: ZELK_THREADS, the number of worker threads of convert when\n"
           "--jobs is not given (0 or unset: all cores).\n" +
           (zelk::platform::RunsOnWindows() ? "\n" + std::string(kWindowsTerms) : std::string());
}

int UsageFailure(const std::string& message, const char* usage, const char* command) {
    WriteDiagnostic(message);
    std::string text = std::string(usage) + "\n";
    text += command == nullptr ? "Try 'zelk-cli --help' for more.\n"
                               : "Try 'zelk-cli " + std::string(command) + " --help' for more.\n";
    zelk::platform::WriteText(stderr, text);
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

// Standard output must have taken everything that was written to it,
// unless its reader stopped early (`| head`): that ends the printing, no
// fault of the data, and the status stays as it was.
int FinishOutput(int status) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        if (errno == EPIPE || StandardOutputReaderGone()) return status;
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
