// zelk-cli: the commands, their help and the exit statuses. Each command
// lives in a file of its own (cli/command_*.cpp).
#include "cli/commands.h"

#include <cerrno>
#include <cstdio>
#include <string_view>

#include "cli/arguments.h"
#include "cli/console.h"
#include "cli/help_texts.h"
#include "cli/options.h"
#include "platform/standard_streams.h"

#ifndef ZELK_VERSION
#define ZELK_VERSION "unknown"
#endif

namespace {

const Command* FindCommand(std::string_view name) {
    for (const Command* command :
         {&SystemsCommand(), &PointCommand(), &ConvertCommand(), &EstimateCommand()}) {
        if (name == command->name) return command;
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
    return command.run(parsed, messages);
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
