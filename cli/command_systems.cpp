// zelk-cli systems: the catalogue of coordinate systems, the EPSG codes, and
// one system as ZELK reads it.
#include <algorithm>
#include <vector>

#include "cli/commands.h"
#include "cli/help_texts.h"
#include "cli/options.h"
#include "engine/angle.h"
#include "platform/number_text.h"
#include "workflow/coordinate_system.h"
#include "workflow/epsg.h"

using namespace zelk;

namespace {

constexpr OptionSpec kSystemsOptions[] = {
    {"--epsg", false},
    {"--system", true},
    {"--system-meridian", true},
    {"--system-zone", true},
};

const char* FormName(Form form) {
    static constexpr const char* kNames[] = {"geodetic", "projected", "geocentric", "local"};
    return kNames[static_cast<int>(form)];
}

// Blanks from a text `width` columns wide up to `column` (two at least).
void PadTo(std::string& line, std::size_t column, std::size_t width) {
    line.append(column > width ? column - width : 2, ' ');
}

// The codes of a catalogue system as runs: "4491-4554", "2401-2442, 21413-21423".
std::string CodeRuns(const char* system) {
    std::vector<int> codes;
    for (const EpsgSystem& row : EpsgSystems()) {
        if (std::string_view(row.system) == system) codes.push_back(row.code);
    }
    std::sort(codes.begin(), codes.end());
    std::string text;
    for (std::size_t i = 0; i < codes.size();) {
        std::size_t j = i;
        while (j + 1 < codes.size() && codes[j + 1] == codes[j] + 1) ++j;
        if (!text.empty()) text += ", ";
        text += std::to_string(codes[i]);
        if (j > i) text += "-" + std::to_string(codes[j]);
        i = j + 1;
    }
    return text;
}

std::string Catalogue() {
    std::string out =
        "name                form       main dialog       seven-parameter dialog  EPSG\n";
    for (const SystemEntry& entry : Systems()) {
        std::string line = entry.name;
        PadTo(line, 20, line.size());
        line += FormName(entry.form);
        PadTo(line, 31, line.size());
        line += entry.mainLabel;
        PadTo(line, 49, 31 + TerminalWidth(entry.mainLabel));
        line += entry.paramLabel;
        const std::string codes = CodeRuns(entry.name);
        if (!codes.empty()) {
            PadTo(line, 73, 49 + TerminalWidth(entry.paramLabel));
            line += codes;
        }
        out += line;
        out += '\n';
    }
    return out;
}

std::string Codes() {
    std::string out = "code        system                                        name in EPSG\n";
    for (const EpsgSystem& row : EpsgSystems()) {
        std::string line = "EPSG:" + std::to_string(row.code);
        PadTo(line, 12, line.size());
        line += DescribeSystem(CrsOf(row));
        PadTo(line, 58, line.size());
        line += row.name;
        out += line + "\n";
    }
    return out;
}

std::string Number(double value) { return FormatGeneral(value, 15); }

// One system: its definition, its code, its projection plane and the
// transverse Mercator it comes to, and its WKT.
std::string Described(const Crs& crs) {
    std::string out = "system      " + DescribeSystem(crs) + "\n";
    const std::optional<int> code = EpsgCodeOf(crs);
    out += "EPSG        " + (code ? std::to_string(*code) + "  " + FindEpsg(*code)->name : std::string("none")) + "\n";
    if (crs.IsProjected() && !crs.IsZoned()) {
        if (crs.plane.height != 0.0) {
            const double q = PlaneScale(crs);
            out += "plane       H0 " + Number(crs.plane.height) + " m, R " + FormatFixed(crs.plane.height / q, 3) +
                   " m at latitude " + Number(crs.plane.latitude) + ", q = H0/R = " + Number(q) + " (" +
                   FormatFixed(q * 1e6, 3) + " mm/km), about x0 " + Number(crs.plane.x0) + ", y0 " +
                   Number(crs.plane.y0) + "\n";
        }
        const GridConstants grid = ProjectionConstants(crs);
        out += "projection  transverse Mercator on " + Number(crs.meridian) + " (packed), k0 " +
               Number(grid.scale) + ", false easting " + Number(grid.falseEasting) + ", false northing " +
               Number(grid.falseNorthing) + (crs.HasDatumGrid() ? " (the datum's own grid)" : " (a grid of its own)") + "\n";
    }
    const std::string wkt = WktOf(crs);
    out += "WKT         " + (wkt.empty() ? std::string("none (each point in its own zone, or a local grid)") : wkt) + "\n";
    return out;
}

int Run(const ParsedArguments& parsed, ConsoleMessages&) {
    if (!parsed.positionals.empty()) throw UsageError("systems takes no arguments");
    if (parsed.Has("--system")) {
        if (parsed.Has("--epsg")) throw UsageError("options --epsg and --system exclude each other");
        WriteOut(Described(RequiredCrs(parsed, "system")));
        return kExitSuccess;
    }
    for (const char* setting : {"--system-meridian", "--system-zone"}) {
        if (parsed.Has(setting)) throw UsageError(std::string("option ") + setting + " needs --system");
    }
    WriteOut(parsed.Has("--epsg") ? Codes() : Catalogue());
    return kExitSuccess;
}

}  // namespace

const Command& SystemsCommand() {
    static const Command command{"systems", kSystemsUsage, kSystemsHelp, kSystemsOptions, false, Run};
    return command;
}
