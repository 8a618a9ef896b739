// zelk-cli: the command-line companion of the desktop program.
#include <clocale>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/console.h"
#include "platform/standard_streams.h"

using namespace zelk;

int main(int argc, char** argv) {
    // The user's locale, like any program; numbers never depend on it.
    std::setlocale(LC_ALL, "");
    InstallSignalHandling();
    ConsoleMessages messages;
    // UTF-8 on every system (from the UTF-16 command line on Windows).
    const std::vector<std::string> args = zelk::platform::CommandLineArguments(argc, argv);
    return RunCli(args, messages);
}
