// zelk-cli systems: the catalogue of coordinate systems.
#include "cli/commands.h"
#include "cli/help_texts.h"
#include "cli/options.h"
#include "workflow/coordinate_system.h"

using namespace zelk;

namespace {

const char* FormName(Form form) {
    switch (form) {
        case Form::Projected:
            return "projected";
        case Form::Geodetic:
            return "geodetic";
        case Form::Geocentric:
            return "geocentric";
        case Form::Local:
            return "local";
    }
    return "";
}

// Blanks from a text `width` columns wide up to `column` (two at least).
void PadTo(std::string& line, std::size_t column, std::size_t width) {
    line.append(column > width ? column - width : 2, ' ');
}

int Run(const ParsedArguments& parsed, ConsoleMessages&) {
    if (!parsed.positionals.empty() || !parsed.options.empty()) {
        throw UsageError("systems takes no arguments");
    }
    std::string out = "name                form       main dialog       seven-parameter dialog\n";
    for (const SystemEntry& entry : Systems()) {
        std::string line = entry.name;
        PadTo(line, 20, line.size());
        line += FormName(entry.form);
        PadTo(line, 31, line.size());
        line += entry.mainLabel;
        PadTo(line, 49, 31 + TerminalWidth(entry.mainLabel));
        line += entry.paramLabel;
        out += line;
        out += '\n';
    }
    WriteOut(out);
    return kExitSuccess;
}

}  // namespace

const Command& SystemsCommand() {
    static const Command command{"systems", kSystemsUsage, kSystemsHelp, {}, false, Run};
    return command;
}
